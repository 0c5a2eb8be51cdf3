// The output file after a successful run: the converter's producer text replaced in place by the
// product's, the report and the exit status whatever the file allows. The fake converter only
// touches a file the test wrote, which makes it this run's work.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "output/producer_patch.h"
#include "support/test_support.h"

namespace {

using testing_support::ConsoleText;
using testing_support::Installation;
using testing_support::ProgramResult;
using testing_support::ReadFile;

const std::string kConverter = tolvarine::kConverterProducerText;
const std::string kProduct = tolvarine::kProductProducerText;

std::string Reported(const std::string& name) {
  return ConsoleText("[OK] Create \"" + name + "\" file successful.\n");
}

testing_support::RunOptions Touching(const std::string& name) {
  testing_support::RunOptions options;
  options.environment["FAKE_CONVERTER_TOUCH"] = name;
  return options;
}

TEST(OutputFileTest, LastProducerTextIsReplacedInPlace) {
  Installation install;
  const std::string pdf_head = "%PDF-1.4\n1 0 obj << /Creator " + kConverter + " >>\n";
  const std::string pdf_tail = "\n3 0 obj << /Producer " + kConverter + " >>\n%%EOF\n";
  install.UseFakeConverter();
  install.Write("work/out dir/drawing.pdf", pdf_head + std::string(100000, 'z') + pdf_tail);
  ProgramResult result =
      install.Run({"drawing.svg", "-o", "out dir/drawing.pdf"}, Touching("out dir/drawing.pdf"));
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, Reported("out dir/drawing.pdf"));
  EXPECT_EQ(result.err, "");
  std::string expected_tail = pdf_tail;
  expected_tail.replace(expected_tail.find(kConverter), kProduct.size(), kProduct);
  EXPECT_EQ(ReadFile(install.work() + "/out dir/drawing.pdf"),
            pdf_head + std::string(100000, 'z') + expected_tail);
}

TEST(OutputFileTest, FileWithoutTheProducerTextIsLeftAsItIs) {
  Installation install;
  const std::string content = "%PDF-1.4 " + kConverter.substr(0, 54) + "\r\n%%EOF";
  install.UseFakeConverter();
  install.Write("work/out.pdf", content);
  ProgramResult result = install.Run({"in.svg", "out.pdf"}, Touching("out.pdf"));
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, Reported("out.pdf"));
  EXPECT_EQ(ReadFile(install.work() + "/out.pdf"), content);
}

TEST(OutputFileTest, FileThatCannotBeOpenedForWritingStillReportsSuccess) {
  // A running program's image cannot be opened for writing on Linux (ETXTBSY), whoever the
  // user is, root included, but its modification time can be set, which makes it this run's
  // output. The launcher holds the producer text as a constant, so naming its own executable
  // as the output gives a file that has the text and cannot be written.
  if (testing_support::IsWindowsBuild()) {
    GTEST_SKIP() << "a running program's time cannot be set on Windows, so no run can make it "
                    "its output";
  }
  if (testing_support::LauncherUnderMemcheck()) {
    GTEST_SKIP() << "under memcheck the launcher's file is read, not run, so it can be written";
  }
  Installation install;
  const std::string image = install.launcher();
  const std::string before = ReadFile(image);
  ASSERT_NE(before.find(kConverter), std::string::npos);
  install.UseFakeConverter();
  ProgramResult result = install.Run({"in.svg", image}, Touching(image));
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, Reported(image));
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(ReadFile(image) == before) << "the running image was changed";
}

// config.dat names the text its converter writes; the product's replaces it, padded to its
// length, or, where it does not fit, the file is left alone.
TEST(OutputFileTest, ConfiguredProducerTextIsReplacedWhereTheProductsFits) {
  struct Row {
    std::string configured;
    std::string expected_text;  // what the file holds in its place afterwards
  };
  const std::string fop = "(Apache FOP Version 2.8: PDF Transcoder for Batik)";
  const std::string product = tolvarine::kProductProducerName;
  const std::vector<Row> rows = {
      {fop, product + std::string(fop.size() - product.size(), ' ')},
      {product, product},
      {"(FOP 2.8)", "(FOP 2.8)"},
  };
  for (const Row& row : rows) {
    Installation install;
    install.UseFakeConverter("ConverterProducerText=" + row.configured + "\r\n");
    const std::string pdf = "%PDF-1.4\n<< /Producer " + row.configured + " >>\n%%EOF\n";
    install.Write("work/out.pdf", pdf + kConverter);
    ProgramResult result = install.Run({"in.svg", "out.pdf"}, Touching("out.pdf"));
    EXPECT_EQ(result.exit_code, 1) << row.configured;
    EXPECT_EQ(ReadFile(install.work() + "/out.pdf"),
              "%PDF-1.4\n<< /Producer " + row.expected_text + " >>\n%%EOF\n" + kConverter)
        << row.configured;
  }
}

}  // namespace
