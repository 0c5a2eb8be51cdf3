// Table rows kept as data files under data/: one case a line, fields between "|", "#" lines
// are comments. "\r", "\n", "\t" and "\xNN" stand for their bytes; other backslashes are text.
#ifndef TOLVARINE_TESTS_UNIT_ROWS_H_
#define TOLVARINE_TESTS_UNIT_ROWS_H_

#include <fstream>
#include <string>
#include <vector>

namespace tolvarine::unit {

using Row = std::vector<std::string>;

inline std::string Unescape(const std::string& field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    char next = i + 1 < field.size() ? field[i + 1] : '\0';
    if (field[i] != '\\' || (next != 'r' && next != 'n' && next != 't' && next != 'x')) {
      text += field[i];
    } else if (next == 'x') {
      text += static_cast<char>(std::stoi(field.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      text += next == 'r' ? '\r' : next == 'n' ? '\n' : '\t';
      ++i;
    }
  }
  return text;
}

/// The rows of data/`name`; none when the file cannot be read (the caller expects some).
inline std::vector<Row> ReadRows(const std::string& name) {
  std::ifstream file(std::string(UNIT_DATA_DIR) + "/" + name, std::ios::binary);
  std::vector<Row> rows;
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    Row row(1);
    for (char c : line) {
      if (c == '|') {
        row.emplace_back();
      } else {
        row.back() += c;
      }
    }
    for (std::string& field : row) field = Unescape(field);
    rows.push_back(row);
  }
  return rows;
}

}  // namespace tolvarine::unit

#endif  // TOLVARINE_TESTS_UNIT_ROWS_H_
