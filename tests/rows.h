// What the tests share: a scratch file's path, and cases kept as data files in the data/ folder
// beside each kind of test, where "#" lines are comments. "\r", "\n", "\t" and "\xNN" stand for
// their bytes ("|" is "\x7C"); other backslashes are text.
#ifndef TOLVARINE_TESTS_ROWS_H_
#define TOLVARINE_TESTS_ROWS_H_

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tolvarine::testdata {

using Row = std::vector<std::string>;

/// A path in the temporary-files folder that only this test process uses.
inline std::string ScratchPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("tolvarine-" + name + "-" + std::to_string(platform::CurrentProcessId())))
      .string();
}

/// `text` cut at each `separator`, each piece with its escapes turned into bytes.
inline Row Fields(const std::string& text, char separator = '|') {
  Row row(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (text[i] == separator) {
      row.emplace_back();
    } else if (text[i] != '\\' || std::string("rntx").find(next) == std::string::npos) {
      row.back() += text[i];
    } else if (next == 'x') {
      row.back() += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      row.back() += next == 'r' ? '\r' : next == 'n' ? '\n' : '\t';
      ++i;
    }
  }
  return row;
}

/// The lines of data/`name` that are neither empty nor comments; none when it cannot be read.
inline std::vector<std::string> DataLines(const std::string& name) {
  std::ifstream file(std::string(DATA_DIR) + "/" + name, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  }
  return lines;
}

/// One case a line, its fields between "|".
inline std::vector<Row> ReadRows(const std::string& name) {
  std::vector<Row> rows;
  for (const std::string& line : DataLines(name)) rows.push_back(Fields(line));
  return rows;
}

}  // namespace tolvarine::testdata

#endif  // TOLVARINE_TESTS_ROWS_H_
