// What the unit tests share: a scratch file's path, and table rows kept as data files under
// data/: one case a line, fields between "|", "#" lines are comments. "\r", "\n", "\t" and
// "\xNN" stand for their bytes; other backslashes are text.
#ifndef TOLVARINE_TESTS_UNIT_ROWS_H_
#define TOLVARINE_TESTS_UNIT_ROWS_H_

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tolvarine::unit {

using Row = std::vector<std::string>;

/// A path in the temporary-files folder that only this test process uses.
inline std::string ScratchPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("tolvarine-" + name + "-" + std::to_string(platform::CurrentProcessId())))
      .string();
}

/// The rows of data/`name`; none when the file cannot be read (callers expect some).
inline std::vector<Row> ReadRows(const std::string& name) {
  std::ifstream file(std::string(UNIT_DATA_DIR) + "/" + name, std::ios::binary);
  std::vector<Row> rows;
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    Row row(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char next = i + 1 < line.size() ? line[i + 1] : '\0';
      if (line[i] == '|') {
        row.emplace_back();
      } else if (line[i] != '\\' || std::string("rntx").find(next) == std::string::npos) {
        row.back() += line[i];
      } else if (next == 'x') {
        row.back() += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
        i += 3;
      } else {
        row.back() += next == 'r' ? '\r' : next == 'n' ? '\n' : '\t';
        ++i;
      }
    }
    rows.push_back(row);
  }
  return rows;
}

/// `text` cut at each space.
inline Row Words(const std::string& text) {
  Row words(1);
  for (char c : text) {
    if (c == ' ')
      words.emplace_back();
    else
      words.back() += c;
  }
  return words;
}

}  // namespace tolvarine::unit

#endif  // TOLVARINE_TESTS_UNIT_ROWS_H_
