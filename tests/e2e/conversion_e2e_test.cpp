// Real conversions: the launcher installed by `cmake --install`, Debian's Batik and FOP as the
// converter, the machine's Java, and for the download path a real wget and 7-Zip against a
// server on 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/http_server.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ProgramResult;
using testing_support::ReadFile;
using testing_support::RunOptions;
using testing_support::RunProgram;
using testing_support::TempDir;
using testing_support::WriteFile;

const char kFrame[] = "============================\n";

std::string Installed(const std::string& name) {
  return std::string(E2E_INSTALLATION) + "/" + name;
}

// The text between the framing lines, or "<no frame>".
std::string Framed(const std::string& out) {
  std::string header = std::string("[Message]\n") + kFrame;
  if (out.rfind(header, 0) != 0) return "<no frame>";
  std::size_t end = out.find(kFrame, header.size());
  if (end == std::string::npos) return "<no frame>";
  return out.substr(header.size(), end - header.size());
}

std::string Report(const std::string& out) {
  std::size_t end = out.rfind(kFrame);
  return end == std::string::npos ? out : out.substr(end + sizeof kFrame - 1);
}

ProgramResult Pdfinfo(const std::string& path) { return RunProgram({"/usr/bin/pdfinfo", path}); }

class RealConversionTest : public ::testing::Test {
 protected:
  ProgramResult Convert(const std::string& svg, const std::string& pdf) {
    fs::copy_file(std::string(E2E_DATA) + "/" + svg, work_ / svg);
    RunOptions options;
    options.working_directory = work_.path().string();
    return RunProgram({Installed("tolvarine"), svg, "-o", pdf}, options);
  }
  TempDir work_;
};

ProgramResult Tool(const std::string& tool, const std::string& pdf) {
  return RunProgram({"/usr/bin/" + tool, pdf});
}

// Each drawing becomes a valid PDF with the product's producer; text in Latin, Cyrillic and
// Greek is set in installed fonts, embedded, and comes back as text; a drawing with only a
// viewBox gets the viewBox's size in CSS pixels (800 x 400 px is 600 x 300 pt).
TEST_F(RealConversionTest, DrawingsBecomeValidPdfFiles) {
  struct Row {
    const char* name;
    const char* page_size;
    std::vector<std::string> text;
  };
  // Pixels are 96 per inch: 300 x 200 px is 225 x 150 pt.
  const std::vector<Row> rows = {
      {"shapes", "225 x 150 pts", {}},
      {"text",
       "300 x 150 pts",
       {"Quarterly report", "Caf\u00e9 \u20ac 100 \u2014 done",
        "\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440",
        "\u039a\u03b1\u03bb\u03b7\u03bc\u03ad\u03c1\u03b1 \u03ba\u03cc\u03c3\u03bc\u03b5"}},
      {"gradients", "", {}},
      {"viewbox", "600 x 300 pts", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string svg = std::string(row.name) + ".svg";
    std::string pdf = std::string(row.name) + ".pdf";
    ProgramResult result = Convert(svg, pdf);
    EXPECT_EQ(result.exit_code, 1) << result.out;
    EXPECT_EQ(Framed(result.out), "Converting " + svg + " to " + pdf + "\nDone.\n");
    EXPECT_EQ(Report(result.out), "[OK] Create \"" + pdf + "\" file successful.\n");
    EXPECT_EQ(result.err, "");
    ProgramResult info = Pdfinfo(work_ / pdf);
    EXPECT_EQ(info.exit_code, 0) << info.err;
    EXPECT_NE(info.out.find("Pages:           1\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Producer:        Tolvarine SVG to PDF Converter\n"), std::string::npos)
        << info.out;
    if (*row.page_size != '\0') {
      EXPECT_NE(info.out.find(std::string("Page size:       ") + row.page_size), std::string::npos)
          << info.out;
    }
    ProgramResult check = RunProgram({"/usr/bin/qpdf", "--check", work_ / pdf});
    EXPECT_EQ(check.exit_code, 0) << check.out;
    if (!row.text.empty()) {
      ProgramResult fonts = Tool("pdffonts", work_ / pdf);
      // Every font is embedded (the "emb" column), none is a PDF base font.
      EXPECT_EQ(fonts.out.find(" no  "), std::string::npos) << fonts.out;
      EXPECT_NE(fonts.out.find("DejaVu"), std::string::npos) << fonts.out;
      std::string text = RunProgram({"/usr/bin/pdftotext", work_ / pdf, "-"}).out;
      for (const std::string& line : row.text) {
        EXPECT_NE(text.find(line), std::string::npos) << line << " in:\n" << text;
      }
    }
    // Nothing of the tools that the output filter renames may reach the user.
    for (const char* tool : {"cpdf", "coherentpdf", "tabula", "Gnumeric"}) {
      EXPECT_EQ(result.out.find(tool), std::string::npos) << tool;
    }
  }
}

// The user's files are never destroyed: a failed conversion keeps the existing PDF byte for
// byte and says where the drawing is broken; names in the wrong order or the same name twice
// are refused before any file is touched.
TEST_F(RealConversionTest, UsersFilesSurviveEveryMistake) {
  ASSERT_EQ(Convert("shapes.svg", "good.pdf").exit_code, 1);
  const std::string good = ReadFile(work_ / "good.pdf");
  ProgramResult broken = Convert("broken.svg", "good.pdf");
  EXPECT_EQ(broken.exit_code, 0);
  EXPECT_EQ(Framed(broken.out),
            "Converting broken.svg to good.pdf\n"
            "broken.svg:4:1: XML document structures must start and end within the same "
            "entity.\n")
      << broken.out;
  EXPECT_EQ(Report(broken.out), "[Error] Failed to create \"good.pdf\" file.\n");
  EXPECT_TRUE(ReadFile(work_ / "good.pdf") == good) << "the good PDF was changed";

  const std::string drawing = ReadFile(work_ / "shapes.svg");
  RunOptions options;
  options.working_directory = work_.path().string();
  for (std::vector<std::string> args : {std::vector<std::string>{"good.pdf", "shapes.svg"},
                                        std::vector<std::string>{"shapes.svg", "shapes.svg"}}) {
    ProgramResult result = RunProgram({Installed("tolvarine"), args[0], args[1]}, options);
    EXPECT_EQ(result.exit_code, 0) << args[0];
    EXPECT_EQ(Report(result.out), "[Error] Failed to create \"shapes.svg\" file.\n") << args[0];
    EXPECT_TRUE(ReadFile(work_ / "shapes.svg") == drawing) << args[0] << ": the drawing changed";
    EXPECT_TRUE(ReadFile(work_ / "good.pdf") == good) << args[0] << ": the PDF changed";
  }
  for (const auto& entry : fs::directory_iterator(work_.path())) {
    EXPECT_EQ(entry.path().extension() == ".tmp", false) << entry.path();
  }
}

// An installation without a private runtime, whose Java comes from a zip that a real wget
// fetches from a local server and a real 7-Zip unpacks. The machine's Java names itself
// "OpenJDK Runtime Environment", so it fails the version test and the download is taken.
TEST_F(RealConversionTest, DownloadedRuntimeRunsTheConversion) {
  TempDir staging;
  fs::create_directories(staging.path() / "bin");
  WriteFile(staging / "bin/java",
            "#!/bin/sh\nexec \"" + std::string(JAVA_HOME_FOR_TESTS) + "/bin/java\" \"$@\"\n");
  fs::permissions(staging / "bin/java", fs::perms::owner_all | fs::perms::group_read |
                                            fs::perms::group_exec | fs::perms::others_read |
                                            fs::perms::others_exec);
  RunOptions in_staging;
  in_staging.working_directory = staging.path().string();
  ASSERT_EQ(RunProgram({"/usr/bin/7zz", "a", "-tzip", "runtime.zip", "bin"}, in_staging).exit_code,
            0);
  testing_support::LocalHttpServer server(ReadFile(staging / "runtime.zip"));

  testing_support::Installation install;
  fs::create_directories(install.File("lib"));
  fs::copy_file(Installed("lib/tolvarine-convert.jar"), install.File("lib/tolvarine-convert.jar"));
  // A class-data archive that does not fit this runtime only costs speed, silently.
  install.Write("lib/tolvarine-convert.jsa", "stale");
  std::string config = ReadFile(Installed("config.dat"));
  config.replace(config.find("JavaDownloadURL="), std::string("JavaDownloadURL=").size(),
                 "JavaDownloadURL=" + server.Url("/runtime.zip"));
  install.Write("config.dat", config);
  fs::create_symlink("/usr/bin/wget", install.File("wget"));
  fs::create_symlink("/usr/bin/7zz", install.File("7z"));
  fs::copy_file(std::string(E2E_DATA) + "/shapes.svg", install.work() + "/shapes.svg");
  std::string temp = install.File("tmp");
  fs::create_directories(temp);
  RunOptions options;
  options.environment["TMPDIR"] = temp;
  options.environment["no_proxy"] = "127.0.0.1";
  options.environment["http_proxy"] = std::nullopt;

  ProgramResult result = install.Run({"shapes.svg", "-o", "shapes.pdf"}, options);
  EXPECT_EQ(server.requests(), 1);
  EXPECT_EQ(result.exit_code, 1) << result.out << result.err;
  EXPECT_NE(result.out.find("[Message]\n" + std::string(kFrame) +
                            "Converting shapes.svg to shapes.pdf\nDone.\n" + kFrame),
            std::string::npos)
      << result.out;
  EXPECT_TRUE(fs::exists(temp + "/TolvarineJava/bin/java"));
  EXPECT_EQ(Pdfinfo(install.work() + "/shapes.pdf").exit_code, 0);

  // The kept runtime serves the next run without another download.
  fs::remove(install.work() + "/shapes.pdf");
  EXPECT_EQ(install.Run({"shapes.svg", "-o", "shapes.pdf"}, options).exit_code, 1);
  EXPECT_EQ(server.requests(), 1);
}

}  // namespace

// A conversion never searches or writes the current folder: not for fonts (links that lead
// back up would make that walk endless), not for the font cache when the user's home folder
// cannot hold it.
TEST_F(RealConversionTest, CurrentFolderIsLeftAlone) {
  fs::create_directory_symlink(".", work_ / "here");
  fs::create_directory_symlink(".", work_ / "again");
  fs::copy_file(std::string(E2E_DATA) + "/text.svg", work_ / "text.svg");
  RunOptions options;
  options.working_directory = work_.path().string();
  options.environment["JAVA_TOOL_OPTIONS"] = "-Duser.home=" + (work_ / "no-home");
  ProgramResult result = RunProgram({Installed("tolvarine"), "text.svg", "text.pdf"}, options);
  EXPECT_EQ(result.exit_code, 1) << result.out;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(work_.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"again", "here", "text.pdf", "text.svg"}));
}
