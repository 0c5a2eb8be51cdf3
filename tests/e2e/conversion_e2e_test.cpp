// Real conversions: the launcher installed by `cmake --install`, Debian's Batik and FOP as the
// converter, the machine's Java, and for the download path a real wget and 7-Zip against a
// server on 127.0.0.1.
#include <gtest/gtest.h>

#include <filesystem>

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
const std::string kConverterProducer = "(Apache FOP Version 1.0beta2: PDF Transcoder for Batik)";

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

TEST_F(RealConversionTest, DrawingsBecomeValidPdfFiles) {
  for (const char* name : {"shapes", "text", "gradients"}) {
    std::string svg = std::string(name) + ".svg";
    std::string pdf = std::string(name) + ".pdf";
    ProgramResult result = Convert(svg, pdf);
    EXPECT_EQ(result.exit_code, 1) << result.out;
    EXPECT_EQ(Framed(result.out), "Converting " + svg + " to " + pdf + "\nDone.\n");
    EXPECT_EQ(Report(result.out), "[OK] Create \"" + pdf + "\" file successful.\n");
    EXPECT_EQ(result.err, "");
    ProgramResult info = Pdfinfo(work_ / pdf);
    EXPECT_EQ(info.exit_code, 0) << info.err;
    EXPECT_NE(info.out.find("Pages:           1\n"), std::string::npos) << info.out;
    // Nothing of the tools that the output filter renames may reach the user.
    for (const char* tool : {"cpdf", "coherentpdf", "tabula", "Gnumeric"}) {
      EXPECT_EQ(result.out.find(tool), std::string::npos) << tool;
    }
  }
}

TEST_F(RealConversionTest, BrokenDrawingShowsTheConvertersErrorAndFails) {
  ProgramResult result = Convert("broken.svg", "broken.pdf");
  EXPECT_EQ(result.exit_code, 0);
  std::string framed = Framed(result.out);
  EXPECT_EQ(framed.rfind("Converting broken.svg to broken.pdf\nError: ", 0), 0u) << result.out;
  EXPECT_EQ(Report(result.out), "[Error] Failed to create \"broken.pdf\" file.\n");
}

// A real PDF whose producer entry holds the converter's 55-byte text: the converter's output
// made editable with qpdf, its producer replaced, its cross-reference table rebuilt.
std::string MakePdfWithConverterProducer(const TempDir& dir) {
  RunOptions options;
  options.working_directory = dir.path().string();
  EXPECT_EQ(
      RunProgram({"/usr/bin/qpdf", "--qdf", "--object-streams=disable", "made.pdf", "qdf.pdf"},
                 options)
          .exit_code,
      0);
  std::string qdf = ReadFile(dir / "qdf.pdf");
  std::size_t at = qdf.find("(Apache FOP Version ");
  EXPECT_NE(at, std::string::npos);
  qdf.replace(at, qdf.find(')', at) + 1 - at, kConverterProducer);
  WriteFile(dir / "edited.pdf", qdf);
  ProgramResult fixed = RunProgram({"/usr/bin/fix-qdf", dir / "edited.pdf"});
  EXPECT_EQ(fixed.exit_code, 0) << fixed.err;
  WriteFile(dir / "fixture.pdf", fixed.out);
  return dir / "fixture.pdf";
}

TEST_F(RealConversionTest, ProducerTextOfARealPdfIsReplacedInPlace) {
  ASSERT_EQ(Convert("shapes.svg", "made.pdf").exit_code, 1);
  std::string fixture = MakePdfWithConverterProducer(work_);
  std::string before = ReadFile(fixture);
  ASSERT_NE(Pdfinfo(fixture).out.find("Apache FOP Version 1.0beta2"), std::string::npos);
  // An installation with nothing to run: the launcher only reports and patches the file.
  testing_support::Installation bare;
  RunOptions options;
  options.working_directory = work_.path().string();
  ProgramResult result = bare.Run({"fixture.pdf"}, options);
  EXPECT_EQ(result.out, "[OK] Create \"fixture.pdf\" file successful.\n");
  EXPECT_EQ(result.exit_code, 1);
  std::string after = ReadFile(fixture);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(RunProgram({"/usr/bin/qpdf", "--check", fixture}).exit_code, 0);
  ProgramResult info = Pdfinfo(fixture);
  EXPECT_NE(info.out.find("Producer:        Tolvarine SVG to PDF Converter\n"), std::string::npos)
      << info.out;
  std::size_t at = before.find(kConverterProducer);
  EXPECT_EQ(after.substr(0, at), before.substr(0, at));
  EXPECT_EQ(after.substr(at + 55), before.substr(at + 55));
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
  EXPECT_NE(result.out.find("Converting shapes.svg to shapes.pdf\nDone.\n"), std::string::npos)
      << result.out;
  EXPECT_TRUE(fs::exists(temp + "/TolvarineJava/bin/java"));
  EXPECT_EQ(Pdfinfo(install.work() + "/shapes.pdf").exit_code, 0);

  // The kept runtime serves the next run without another download.
  fs::remove(install.work() + "/shapes.pdf");
  EXPECT_EQ(install.Run({"shapes.svg", "-o", "shapes.pdf"}, options).exit_code, 1);
  EXPECT_EQ(server.requests(), 1);
}

}  // namespace
