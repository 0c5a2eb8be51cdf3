// The debug log as the launcher's routines see it, from the config_probe helper: the switch is
// process-wide and cannot be turned off, so every case runs in a process of its own.
#include "launcher/help.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace tolvarine {
namespace {

using testing_support::Installation;
using Answers = std::vector<std::string>;

TEST(LogDebugTest, PrintsOnlyAfterDebugModeIsOn) {
  Installation install;
  EXPECT_EQ(install.Probe({"log", "before"}), Answers{});
  EXPECT_EQ(install.Probe({"log", "before", "debug-on", "log", "after", "log", "again"}),
            (Answers{"after", "again"}));
}

TEST(LogDebugTest, LinesOfAnyLengthArePrintedWhole) {
  Installation install;
  std::string long_text;
  while (long_text.size() < 6000) long_text += "%s %n 100% \"quoted\" ";
  EXPECT_EQ(install.Probe({"debug-on", "log", long_text, "log", ""}), (Answers{long_text, ""}));
}

}  // namespace
}  // namespace tolvarine
