// The launcher as a user runs it: the help, the "[Cmd]" line, the report and status (1 only
// when this run wrote the output file), the converter's command line, PATH and Java, and the
// producer text in the output file.
#include "behaviour/cases.h"

namespace behaviour {
namespace {

const std::string kConv = "[Info]\nRunEXE={CONV}\n";
const std::string kHelp = "Usage: tolvarine input.svg -o output.pdf\r\n  100% done, %s %n\r\nend";
const std::string kPhrase = "Java(TM) SE Runtime Environment";
const std::vector<std::string> kArgs = {"in.svg", "out.pdf"};

TEST(LauncherTest, HelpAndDebugLine) {
  std::vector<Case> rows;
  for (const Args& args :
       {Args{}, Args{"-h"}, Args{"-H"}, Args{"-help"}, Args{"--HELP"}, Args{"-?"},
        Args{"in.svg", "out.pdf", "--Help"}, Args{"-debug", "in.svg", "--help"}}) {
    // Printed unchanged, CR LF and all, with one line end of the launcher's; nothing runs.
    rows.push_back({"help", kConv, args, kHelp + "\n", 0, "<none>",
                    Files{{"options.dat", kHelp}, {"work/out.pdf", "old"}}, Environment(),
                    Files{{"work/out.pdf", "old"}}});
  }
  std::string long_arg;
  while (long_arg.size() < 3000) long_arg += "100% %s %n ";
  const std::map<std::string, std::string> lib_help = {{"lib/options.dat", "from lib"}};
  rows.insert(rows.end(),
              {
                  {"help in lib", "", {}, "from lib\n", 0, "<none>", lib_help},
                  {"help beside the launcher first", "", Args{"-h"}, "beside\r\n\n", 0, "<none>",
                   Files{{"lib/options.dat", "from lib"}, {"options.dat", "beside\r\n"}}},
                  {"a folder named like the help", "", Args{"-h"}, "from lib\n", 0, "<none>",
                   Files{{"lib/options.dat", "from lib"}, {"options.dat", "<dir>"}}},
                  {"a file named bin hides lib", "", Args{"-h"}, "", 0, "<none>",
                   Files{{"lib/options.dat", "from lib"}, {"bin", "plain"}}},
                  {"help ends at a zero byte", "", Args{"-?"}, "shown\n", 0, "<none>",
                   Files{{"options.dat", std::string("shown\0hidden\n", 13)}}},
                  {"no help", "", {"--help"}, ""},
                  {"empty help", "", {"--help"}, "", 0, "<none>", {{"options.dat", ""}}},
                  {"zero byte first", "", Args{"--help"}, "", 0, "<none>",
                   Files{{"options.dat", std::string(1, '\0')}}},
                  {"help a named pipe", "", Args{"--help"}, "", 0, "<none>",
                   Files{{"options.dat", "<fifo>"}}, Environment(), Files(), Args(), 1, "posix"},
                  {"debug line", "", Args{"-debug", "in.svg", "-o", "out.pdf", "a\"b"},
                   "[Cmd] \"in.svg\" \"-o\" \"out.pdf\" \"a\\\"b\"\n" + Failed()},
                  {"debug anywhere", "", Args{"in.svg", "-debug", "out.pdf"},
                   "[Cmd] \"in.svg\" \"out.pdf\"\n" + Failed()},
                  {"only the exact switch", "", {"-DEBUG", "in.svg", "out.pdf"}, Failed()},
                  {"a second switch is an argument", "", Args{"-debug", "-DEBUG", "out.pdf"},
                   "[Cmd] \"-DEBUG\" \"out.pdf\"\n" + Failed()},
                  {"long debug line whole", "", Args{"-debug", long_arg, "out.pdf"},
                   "[Cmd] \"" + long_arg + "\" \"out.pdf\"\n" + Failed()},
                  {"debug alone runs nothing", kConv, Args{"-debug"}, "[Cmd] \n" + Failed("-debug"),
                   0, "<none>", Files{{"work/-debug", "not this run's"}}},
              });
  RunCases(rows);
}

// Success means that this run wrote the file: it exists, is not empty, and differs from
// before in its size, its modification time or its identity.
TEST(LauncherTest, ReportAndStatus) {
  const std::string out = "out dir/x.pdf";
  const std::string ran = "[in.svg][" + out + "]\n";
  const std::map<std::string, std::string> old = {{"work/" + out, "%PDF old"}};
  auto does = [](const std::string& actions) { return Environment{{"FAKE_CONV_DO", actions}}; };
  std::string long_name = "100% %s %n done";
  for (int i = 0; i < 6; ++i) long_name = std::string(60, 'd') + "/" + long_name;
  RunCases({
      {"new file", kConv, Args{"in.svg", "-o", out}, Created(out), 1, "[in.svg][-o][" + out + "]\n",
       Files{{"work/out dir", "<dir>"}}, does("write:" + out + "=%PDF new"),
       Files{{"work/" + out, "%PDF new"}}},
      {"stale file untouched", kConv, {"in.svg", out}, Failed(out), 0, ran, old, {}, old},
      {"rewritten, same size", kConv, Args{"in.svg", out}, Created(out), 1, ran, old,
       does("write:" + out + "=%PDF new"), Files{{"work/" + out, "%PDF new"}}},
      {"replaced, same size and time", kConv, Args{"in.svg", out}, Created(out), 1, ran,
       Files{{"work/" + out, "%PDF old"}, {"work/new.pdf", "%PDF new"}},
       does("replace:new.pdf>" + out), Files{{"work/" + out, "%PDF new"}}},
      {"emptied", kConv, Args{"in.svg", out}, Failed(out), 0, ran, old, does("write:" + out + "="),
       Files{{"work/" + out, ""}}},
      {"new and empty", kConv, Args{"in.svg", out}, Failed(out), 0, ran,
       Files{{"work/out dir", "<dir>"}}, does("write:" + out + "="), Files{{"work/" + out, ""}}},
      {"not made", kConv, Args{"in.svg", out}, Failed(out), 0, ran, Files(), Environment(),
       Files{{"work/" + out, "<none>"}}},
      {"converter ended badly", kConv, kArgs, Failed(), 0, "[in.svg][out.pdf]\n", Files(),
       does("exit:3")},
      {"a folder named like the output", "", Args{"in.svg", "x.pdf"}, Failed("x.pdf"), 0, "<none>",
       Files{{"work/x.pdf", "<dir>"}}},
      {"a named pipe as the output", kConv, kArgs, Failed(), 0, "[in.svg][out.pdf]\n",
       Files{{"work/out.pdf", "<fifo>"}}, Environment(), Files(), Args(), 1, "posix"},
      {"empty output name", "", {"in.svg", ""}, "[Message] Output filename is empty.\n"},
      {"empty name, then another", "", {"in.svg", "-o", "", "x"}, Failed("x")},
      {"no arguments", kConv, {}, ""},
      {"help as the output", kConv, {"-o", "-?"}, ""},
      {"long name with format characters", kConv, Args{"in.svg", long_name}, Created(long_name), 1,
       "[in.svg][" + long_name + "]\n", Files{{"work/" + long_name.substr(0, 366), "<dir>"}},
       does("write:" + long_name + "=x")},
  });
}

TEST(LauncherTest, ConverterCommandLineAndPath) {
  const std::string ran = "[in.svg][out.pdf]\n";
  std::string long_path;
  for (int i = 0; long_path.size() < 100 * 1024; ++i)
    long_path += "/no/folder-" + std::to_string(i) + ":";
  long_path += "/usr/bin";
  RunCases({
      {"template arguments first", "[Info]\nRunEXE={CONV} --first\n",
       Args{"in.svg", "-o", "out.pdf"}, Created(), 1, "[--first][in.svg][-o][out.pdf]\n",
       Files{{"bin/java", "<helper>"}}, Environment{{"FAKE_CONV_DO", "write:out.pdf=%PDF-1.4"}},
       Files{{"JAVA.txt", "<none>"}}},
      {"every argument intact", kConv,
       Args{"a \"quoted\" word", "C:\\dir\\", "[{JAVAEXE}] {EXEDIR}", "", "\\\\\"", "%s x.pdf"},
       Failed("%s x.pdf"), 0,
       "[a \"quoted\" word][C:\\dir\\][[{JAVAEXE}] {EXEDIR}][][\\\\\"][%s x.pdf]\n"},
      {"empty template", "[Info]\nRunEXE=\n", kArgs, Failed()},
      {"no config.dat", "", kArgs, Failed()},
      {"config.dat in lib", "", kArgs, Failed(), 0, "[lib][in.svg][out.pdf]\n",
       Files{{"lib/config.dat", "[Info]\r\nRunEXE={CONV} lib\r\n"}}},
      {"beside the launcher first", kConv, kArgs, Failed(), 0, ran,
       Files{{"lib/config.dat", "[Info]\r\nRunEXE={CONV} lib\r\n"}}},
      {"a folder named config.dat does not count", "", kArgs, Failed(), 0,
       "[lib][in.svg][out.pdf]\n",
       Files{{"config.dat", "<dir>"}, {"lib/config.dat", "[Info]\r\nRunEXE={CONV} lib\r\n"}}},
      {"bin, then lib, then libs", "", kArgs, Failed(), 0, "[bin][in.svg][out.pdf]\n",
       Files{{"bin/config.dat", "[Info]\r\nRunEXE={CONV} bin\r\n"},
             {"lib/config.dat", "[Info]\r\nRunEXE={CONV} lib\r\n"}}},
      {"libs", "", kArgs, Failed(), 0, "[libs][in.svg][out.pdf]\n",
       Files{{"libs/config.dat", "[Info]\r\nRunEXE={CONV} libs\r\n"}}},
      {"empty PATH: the default behind", kConv, kArgs,
       Framed("{DIR}/:{DIR}/:/bin:/usr/bin\n") + Failed(), 0, ran, Files(),
       Environment{{"PATH", ""}, {"FAKE_CONV_DO", "path|out:\\n"}}, Files(), Args(), 1, "posix"},
      {"converter that cannot start", "[Info]\nRunEXE=[{EXEDIR}{SEP}missing{EXE}]\n", kArgs,
       Failed()},
      {"installation at the front of PATH", kConv, kArgs,
       Framed("{DIR}/:{DIR}/lib:/usr/bin:/bin\n") + Failed(), 0, ran, Files{{"lib", "<dir>"}},
       Environment{{"PATH", "/usr/bin:/bin"}, {"FAKE_CONV_DO", "path|out:\\n"}}, Files(), Args(), 1,
       "posix"},
      {"installation at the front of PATH", kConv, kArgs,
       Framed("{DIR}\\;{DIR}\\lib;C:\\windows\n") + Failed(), 0, ran, Files{{"lib", "<dir>"}},
       Environment{{"PATH", "C:\\windows"}, {"FAKE_CONV_DO", "path|out:\\n"}}, Files(), Args(), 1,
       "windows"},
      {"unset PATH: the default behind", kConv, kArgs,
       Framed("{DIR}/:{DIR}/:/bin:/usr/bin\n") + Failed(), 0, ran, Files(),
       Environment{{"PATH", std::nullopt}, {"FAKE_CONV_DO", "path|out:\\n"}}, Files(), Args(), 1,
       "posix"},
      {"very long PATH whole", kConv, kArgs, Framed("{DIR}/:{DIR}/:" + long_path + "\n") + Failed(),
       0, ran, Files(), Environment{{"PATH", long_path}, {"FAKE_CONV_DO", "path|out:\\n"}}, Files(),
       Args(), 1, "posix"},
  });
  // A folder name with the list separator would come apart into entries of PATH.
  const std::string kept_path = IsWindowsBuild() ? "C:\\windows" : "/usr/bin:/bin";
  RunCases({{"list separator in the folder",
             kConv,
             kArgs,
             Framed(kept_path + "\n") + Failed(),
             0,
             ran,
             {},
             {{"PATH", kept_path}, {"FAKE_CONV_DO", "path|out:\\n"}}}},
           IsWindowsBuild() ? "co;lon" : "co:lon");
  RunCases({{"brackets in the folder are not quotes", "[Info]\nRunEXE={CONV} [{EXEDIR}]\n", kArgs,
             Failed(), 0, "[{DIR}][in.svg][out.pdf]\n"}},
           "inst [1]");
}

TEST(LauncherTest, JavaResolution) {
  const std::string java_arg = "[Info]\nRunEXE={CONV} [{JAVAEXE}]\n";
  const std::map<std::string, std::string> java = {{"bin/java", "<helper>"}};
  auto says = [](const std::string& text) { return Environment{{"FAKE_JAVA_DO", text}}; };
  const std::string tested = "[-version]\n";
  const std::string kNoWget = Missing("{DIR}{SEP}wget{EXE}");  // then the download is tried
  RunCases({
      {"private runtime, no version test", java_arg, kArgs, Failed(), 0,
       "[{DIR}{SEP}jre{SEP}bin{SEP}{JAVA}][in.svg][out.pdf]\n",
       Files{{"bin/java", "<helper>"}, {"jre/bin/{JAVA}", ""}}, says("err:" + kPhrase),
       Files{{"JAVA.txt", "<none>"}}},
      {"system Java with the phrase, tested once", "[Info]\nRunEXE={CONV} {EXEJAVA} x {JAVAEXE}\n",
       kArgs, Failed(), 0, "[{JAVA}][x][{JAVA}][in.svg][out.pdf]\n", java,
       says("err:java version \"1.8.0\"\\n" + kPhrase + " (build 1.8.0)\\n"),
       Files{{"JAVA.txt", tested}}},
      {"phrase on standard output, configured name", java_arg + "DefaultJavaEXE = java.exe\n",
       kArgs, Failed(), 0, "[java.exe][in.svg][out.pdf]\n", java, says("out:" + kPhrase),
       Files{{"JAVA.txt", tested}}},
      {"empty configured name", java_arg + "DefaultJavaEXE=\n", kArgs, Failed(), 0,
       "[][in.svg][out.pdf]\n", java, says("out:" + kPhrase)},
      {"without the phrase", java_arg + "DefaultJavaEXE=my-java\n", kArgs, kNoWget + Failed(), 0,
       "[my-java][in.svg][out.pdf]\n", java,
       says("err:openjdk version \"17\"\\nOpenJDK Runtime Environment (build 17)\\n"),
       Files{{"JAVA.txt", tested}}},
      {"the phrase is case-sensitive", java_arg + "DefaultJavaEXE=my-java\n", kArgs,
       kNoWget + Failed(), 0, "[my-java][in.svg][out.pdf]\n", java,
       says("err:java(tm) se runtime environment")},
      {"lower-case placeholder", "[Info]\nRunEXE={CONV} {javaexe}\n", kArgs, Failed(), 0,
       "[{javaexe}][in.svg][out.pdf]\n", java, says("err:" + kPhrase),
       Files{{"JAVA.txt", "<none>"}}},
  });
}

// The converter's producer text is replaced in place by the product's, padded to its length;
// where the product's does not fit, or the text is not there, the file is left alone.
TEST(LauncherTest, ProducerText) {
  const std::string head =
      "%PDF-1.4\n1 0 obj << /Creator " + kConverterText + " >>\n" + std::string(100000, 'z');
  const std::string tail = "\n3 0 obj << /Producer ";
  const std::string fop = "(Apache FOP Version 2.8: PDF Transcoder for Batik)";
  const std::string product = "(Tolvarine SVG to PDF Converter)";
  const std::string ran = "[in.svg][out.pdf]\n";
  const Environment touch = {{"FAKE_CONV_DO", "touch:out.pdf"}};
  auto pdf = [](const std::string& text) { return "%PDF-1.4\n<< /Producer " + text + " >>\n"; };
  const std::string no_text = "%PDF-1.4 " + kConverterText.substr(0, 54) + "\r\n%%EOF";
  const Environment written = {
      {"FAKE_CONV_DO", "out:Batik line\\nFOP line\\n|write:out.pdf=" + pdf(kConverterText)}};
  RunCases({
      {"the last one", kConv, kArgs, Created(), 1, ran,
       Files{{"work/out.pdf", head + tail + kConverterText + ">>"}}, touch,
       Files{{"work/out.pdf", head + tail + kProductText + ">>"}}},
      {"none in the file", kConv, kArgs, Created(), 1, ran, Files{{"work/out.pdf", no_text}}, touch,
       Files{{"work/out.pdf", no_text}}},
      {"configured text", kConv + "ConverterProducerText=" + fop + "\n", kArgs, Created(), 1, ran,
       Files{{"work/out.pdf", pdf(fop) + kConverterText}}, touch,
       Files{{"work/out.pdf",
              pdf(product + std::string(fop.size() - product.size(), ' ')) + kConverterText}}},
      {"configured as the product's", kConv + "ConverterProducerText=" + product + "\n", kArgs,
       Created(), 1, ran, Files{{"work/out.pdf", pdf(product)}}, touch,
       Files{{"work/out.pdf", pdf(product)}}},
      {"the product's does not fit", kConv + "ConverterProducerText=(FOP 2.8)\n", kArgs, Created(),
       1, ran, Files{{"work/out.pdf", pdf("(FOP 2.8)")}}, touch,
       Files{{"work/out.pdf", pdf("(FOP 2.8)")}}},
      {"standard output closed", kConv, kArgs, "", 1, ran, Files(), written,
       Files{{"work/out.pdf", pdf(kProductText)}}, Args{"stdout=closed"}, 1, "posix"},
      {"standard output closed, debug", kConv, Args{"-debug", "in.svg", "out.pdf"}, "", 1, ran,
       Files(), written, Files{{"work/out.pdf", pdf(kProductText)}}, Args{"stdout=closed"}, 1,
       "posix"},
      // A running program cannot be opened for writing (ETXTBSY), root or not; its time can be
      // set, which makes the launcher's own image, which holds the text, this run's output.
      {"output that cannot be opened for writing", kConv, Args{"in.svg", "{DIR}/tolvarine"},
       Created("{DIR}/tolvarine"), 1, "[in.svg][{DIR}/tolvarine]\n", Files(),
       Environment{{"FAKE_CONV_DO", "touch:{DIR}/tolvarine"}}, Files(), Args(), 1, "posix speed"},
  });
}

}  // namespace
}  // namespace behaviour
