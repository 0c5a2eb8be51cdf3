// The launcher as a user runs it: the help, the "[Cmd]" line, the report and status (1 only
// when this run wrote the output file), the converter's command line, PATH and Java, and the
// producer text in the output file.
#include "behaviour/cases.h"

namespace behaviour {
namespace {

TEST(LauncherTest, HelpAndDebugLine) {
  const std::string help = "Usage: tolvarine input.svg -o output.pdf\r\n  100% done, %s %n\r\nend";
  std::string long_arg;
  while (long_arg.size() < 3000) long_arg += "100% %s %n ";
  RunCases({
      // Printed unchanged, CR LF and all, with one line end of the launcher's; nothing runs.
      {"help", kConv, Args{"in.svg", "-?"}, help + "\n", 0, "<none>", kSameEnv,
       Files{{"options.dat", help}, {"work/out.pdf", "old"}}, Files{{"work/out.pdf", "old"}}},
      {"help in lib, up to a zero byte", "", Args(), "shown\n", 0, "<none>", kSameEnv,
       Files{{"lib/options.dat", std::string("shown\0hidden\n", 13)}}},
      {"empty help", "", Args{"--help"}, "", 0, "<none>", kSameEnv, Files{{"options.dat", ""}}},
      {"help a named pipe", "", Args{"--help"}, "", 0, "<none>", kSameEnv,
       Files{{"options.dat", "<fifo>"}}, kNoFiles, "posix"},
      {"debug line, whole", "", Args{"-debug", "in.svg", "-o", "out.pdf", "a\"b", long_arg},
       "[Cmd] \"in.svg\" \"-o\" \"out.pdf\" \"a\\\"b\" \"" + long_arg + "\"\n" + Failed()},
      {"debug alone runs nothing", kConv, Args{"-debug"}, "[Cmd] \n" + Failed("-debug"), 0,
       "<none>", kSameEnv, Files{{"work/-debug", "not this run's"}}},
  });
}

// Success means that this run wrote the file: it exists, is not empty, and differs from
// before in its size, its modification time or its identity.
TEST(LauncherTest, ReportAndStatus) {
  const std::string out = "out dir/x.pdf";
  const std::string ran = "[in.svg][" + out + "]\n";
  const Files old = {{"work/" + out, "%PDF old"}};
  const Files made = {{"work/" + out, "%PDF new"}};
  const Files emptied = {{"work/" + out, ""}};
  const Files folder = {{"work/out dir", "<dir>"}};
  const Args args = {"in.svg", out};
  std::string long_name = "100% %s %n done";
  for (int i = 0; i < 6; ++i) long_name = std::string(60, 'd') + "/" + long_name;
  RunCases({
      {"new file", kConv, Args{"in.svg", "-o", out}, Created(out), 1, "[in.svg][-o][" + out + "]\n",
       Does("write:" + out + "=%PDF new"), folder, made},
      {"stale file untouched", kConv, args, Failed(out), 0, ran, kSameEnv, old, old},
      {"rewritten, same size", kConv, args, Created(out), 1, ran,
       Does("write:" + out + "=%PDF new"), old, made},
      {"replaced, same size and time", kConv, args, Created(out), 1, ran,
       Does("replace:new.pdf>" + out),
       Files{{"work/" + out, "%PDF old"}, {"work/new.pdf", "%PDF new"}}, made},
      {"emptied", kConv, args, Failed(out), 0, ran, Does("write:" + out + "="), old, emptied},
      {"not made", kConv, args, Failed(out), 0, ran, kSameEnv, kNoFiles,
       Files{{"work/" + out, "<none>"}}},
      {"a named pipe as the output", kConv, kArgs, Failed(), 0, kRan, kSameEnv,
       Files{{"work/out.pdf", "<fifo>"}}, kNoFiles, "posix"},
      {"empty output name", "", Args{"in.svg", ""}, "[Message] Output filename is empty.\n"},
      {"long name with format characters", kConv, Args{"in.svg", long_name}, Created(long_name), 1,
       "[in.svg][" + long_name + "]\n", Does("write:" + long_name + "=x"),
       Files{{"work/" + long_name.substr(0, 366), "<dir>"}}},
  });
}

TEST(LauncherTest, ConverterCommandLineAndPath) {
  const std::string lib = "[Info]\r\nRunEXE={CONV} lib\r\n";
  std::string long_path;
  for (int i = 0; long_path.size() < 100 * 1024; ++i)
    long_path += "/no/folder-" + std::to_string(i) + ":";
  long_path += "/usr/bin";
  auto path = [](const std::optional<std::string>& value) {
    return Environment{{"PATH", value}, {"FAKE_CONV_DO", "path|out:\\n"}};
  };
  const std::string defaults = "{DIR}/:{DIR}/:/bin:/usr/bin\n";
  const Files lib_folder = {{"lib", "<dir>"}};
  RunCases({
      {"template arguments first", "[Info]\nRunEXE={CONV} --first\n",
       Args{"in.svg", "-o", "out.pdf"}, Created(), 1, "[--first][in.svg][-o][out.pdf]\n",
       Does("write:out.pdf=%PDF-1.4"), Files{{"bin/java", "<helper>"}},
       Files{{"JAVA.txt", "<none>"}}},
      {"every argument intact", kConv,
       Args{"a \"quoted\" word", "C:\\dir\\", "[{JAVAEXE}] {EXEDIR}", "", "\\\\\"", "%s x.pdf"},
       Failed("%s x.pdf"), 0,
       "[a \"quoted\" word][C:\\dir\\][[{JAVAEXE}] {EXEDIR}][][\\\\\"][%s x.pdf]\n"},
      {"empty template", "[Info]\nRunEXE=\n", kArgs, Failed()},
      {"no config.dat", "", kArgs, Failed()},
      {"config.dat beside the launcher first", kConv, kArgs, Failed(), 0, kRan, kSameEnv,
       Files{{"lib/config.dat", lib}}},
      {"bin before lib", "", kArgs, Failed(), 0, "[bin]" + kRan, kSameEnv,
       Files{{"bin/config.dat", "[Info]\r\nRunEXE={CONV} bin\r\n"}, {"lib/config.dat", lib}}},
      {"a file named bin hides lib", "", kArgs, Failed(), 0, "<none>", kSameEnv,
       Files{{"bin", "plain"}, {"lib/config.dat", lib}}},
      {"libs, past a folder named config.dat", "", kArgs, Failed(), 0, "[libs]" + kRan, kSameEnv,
       Files{{"config.dat", "<dir>"}, {"libs/config.dat", "[Info]\r\nRunEXE={CONV} libs\r\n"}}},
      {"converter that cannot start", "[Info]\nRunEXE=[{EXEDIR}{SEP}missing{EXE}]\n", kArgs,
       Failed()},
      {"installation at the front of PATH", kConv, kArgs,
       Framed("{DIR}/:{DIR}/lib:/usr/bin:/bin\n") + Failed(), 0, kRan, path("/usr/bin:/bin"),
       lib_folder, kNoFiles, "posix"},
      {"installation at the front of PATH", kConv, kArgs,
       Framed("{DIR}\\;{DIR}\\lib;C:\\windows\n") + Failed(), 0, kRan, path("C:\\windows"),
       lib_folder, kNoFiles, "windows"},
      {"empty PATH: the default behind", kConv, kArgs, Framed(defaults) + Failed(), 0, kRan,
       path(""), kNoFiles, kNoFiles, "posix"},
      {"unset PATH: the default behind", kConv, kArgs, Framed(defaults) + Failed(), 0, kRan,
       path(std::nullopt), kNoFiles, kNoFiles, "posix"},
      {"very long PATH whole", kConv, kArgs, Framed("{DIR}/:{DIR}/:" + long_path + "\n") + Failed(),
       0, kRan, path(long_path), kNoFiles, kNoFiles, "posix"},
  });
}

TEST(LauncherTest, JavaResolution) {
  const std::string java_arg = "[Info]\nRunEXE={CONV} [{JAVAEXE}]\n";
  const Files java = {{"bin/java", "<helper>"}};
  const std::string phrase = "Java(TM) SE Runtime Environment";
  auto says = [](const std::string& text) { return Environment{{"FAKE_JAVA_DO", text}}; };
  const Files tested = {{"JAVA.txt", "[-version]\n"}};
  const Files untested = {{"JAVA.txt", "<none>"}};
  const std::string no_wget = Missing("{DIR}{SEP}wget{EXE}");  // then the download is tried
  RunCases({
      {"private runtime, no version test", java_arg, kArgs, Failed(), 0,
       "[{DIR}{SEP}jre{SEP}bin{SEP}{JAVA}]" + kRan, says("err:" + phrase),
       Files{{"bin/java", "<helper>"}, {"jre/bin/{JAVA}", ""}}, untested},
      {"system Java with the phrase, tested once", "[Info]\nRunEXE={CONV} {EXEJAVA} x {JAVAEXE}\n",
       kArgs, Failed(), 0, "[{JAVA}][x][{JAVA}]" + kRan,
       says("err:java version \"1.8.0\"\\n" + phrase + " (build 1.8.0)\\n"), java, tested},
      {"phrase on standard output, configured name", java_arg + "DefaultJavaEXE = java.exe\n",
       kArgs, Failed(), 0, "[java.exe]" + kRan, says("out:" + phrase), java, tested},
      {"empty configured name", java_arg + "DefaultJavaEXE=\n", kArgs, Failed(), 0, "[]" + kRan,
       says("out:" + phrase), java},
      {"without the phrase", java_arg + "DefaultJavaEXE=my-java\n", kArgs, no_wget + Failed(), 0,
       "[my-java]" + kRan, says("err:OpenJDK Runtime Environment (build 17)\\n"), java, tested},
  });
}

// The converter's producer text (the last one) is replaced in place by the product's, padded to
// its length; a file without the text is left alone.
TEST(LauncherTest, ProducerText) {
  const std::string head =
      "%PDF-1.4\n1 0 obj << /Creator " + kConverterText + " >>\n" + std::string(100000, 'z');
  const std::string tail = "\n3 0 obj << /Producer ";
  const std::string fop = "(Apache FOP Version 2.8: PDF Transcoder for Batik)";
  const std::string product = "(Tolvarine SVG to PDF Converter)";
  const Environment touch = Does("touch:out.pdf");
  auto pdf = [](const std::string& text) { return "%PDF-1.4\n<< /Producer " + text + " >>\n"; };
  auto kept = [](const std::string& content) { return Files{{"work/out.pdf", content}}; };
  const std::string no_text = "%PDF-1.4 " + kConverterText.substr(0, 54) + "\r\n%%EOF";
  const Environment written =
      Does("out:Batik line\\nFOP line\\n|write:out.pdf=" + pdf(kConverterText));
  const std::string closed = "stdout=closed";
  const std::string padded = product + std::string(fop.size() - product.size(), ' ');
  RunCases({
      {"the last one", kConv, kArgs, Created(), 1, kRan, touch,
       kept(head + tail + kConverterText + ">>"), kept(head + tail + kProductText + ">>")},
      {"none in the file", kConv, kArgs, Created(), 1, kRan, touch, kept(no_text), kept(no_text)},
      {"configured text", kConv + "ConverterProducerText=" + fop + "\n", kArgs, Created(), 1, kRan,
       touch, kept(pdf(fop) + kConverterText), kept(pdf(padded) + kConverterText)},
      {"standard output closed", kConv, kArgs, "", 1, kRan, written, kNoFiles,
       kept(pdf(kProductText)), "posix", closed},
      {"standard output closed, debug", kConv, Args{"-debug", "in.svg", "out.pdf"}, "", 1, kRan,
       written, kNoFiles, kept(pdf(kProductText)), "posix", closed},
      // A running program cannot be opened for writing (ETXTBSY), root or not; its time can be
      // set, which makes the launcher's own image, which holds the text, this run's output.
      {"output that cannot be opened for writing", kConv, Args{"in.svg", "{DIR}/tolvarine"},
       Created("{DIR}/tolvarine"), 1, "[in.svg][{DIR}/tolvarine]\n", Does("touch:{DIR}/tolvarine"),
       kNoFiles, kNoFiles, "posix speed"},
  });
}

}  // namespace
}  // namespace behaviour
