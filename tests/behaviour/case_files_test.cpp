// Each group "[Name]" of each case file in data/ is a test of its own, named after both.
#include <algorithm>
#include <utility>

#include "behaviour/cases.h"
#include "rows.h"

namespace behaviour {
namespace {

using Group = std::pair<std::string, std::string>;  // the file, the group

std::vector<Group> Groups() {
  std::vector<Group> groups;
  for (const auto& entry : fs::directory_iterator(DATA_DIR)) {
    const std::string file = entry.path().filename().u8string();
    for (const std::string& line : tolvarine::testdata::DataLines(file)) {
      if (line[0] == '[') groups.emplace_back(file, line.substr(1, line.size() - 2));
    }
  }
  std::sort(groups.begin(), groups.end());
  return groups;
}

class CaseFile : public testing::TestWithParam<Group> {};

TEST_P(CaseFile, Group) { RunCases(ReadCases(GetParam().first, GetParam().second)); }

INSTANTIATE_TEST_SUITE_P(Behaviour, CaseFile, testing::ValuesIn(Groups()),
                         [](const testing::TestParamInfo<Group>& info) {
                           return fs::path(info.param.first).stem().string() + "_" +
                                  info.param.second;
                         });

}  // namespace
}  // namespace behaviour
