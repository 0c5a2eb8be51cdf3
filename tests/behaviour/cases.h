// One launcher run as a row of a table: config.dat, the arguments, then what the user sees
// (both streams) and the status, what the fake converter recorded, the environment, the files
// before and after, and where the row runs. Texts may hold {CONV} (the converter, as config.dat
// names it), {DIR} (the installation), {TMP} (its temporary-files folder), {SEP}, {EXE} and
// {JAVA} (the Java program's default name); config.dat's line feeds are written as CR LF.
#ifndef TOLVARINE_TESTS_BEHAVIOUR_CASES_H_
#define TOLVARINE_TESTS_BEHAVIOUR_CASES_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace behaviour {

using namespace testing_support;  // NOLINT: the tests' own vocabulary

inline std::string Failed(const std::string& name = "out.pdf") {
  return "[Error] Failed to create \"" + name + "\" file.\n";
}
inline std::string Created(const std::string& name = "out.pdf") {
  return "[OK] Create \"" + name + "\" file successful.\n";
}
inline std::string Missing(const std::string& file) {
  return "Failed to locate \"" + file + "\" file.\n";
}
inline const std::string kFrame = "============================\n";
/// The converter's output as the launcher frames it.
inline std::string Framed(const std::string& text) {
  return "[Message]\n" + kFrame + text + kFrame;
}
inline const std::string kConv = "[Info]\nRunEXE={CONV}\n";
inline const std::string kConverterText = "(Apache FOP Version 1.0beta2: PDF Transcoder for Batik)";
inline const std::string kProductText = "(Tolvarine SVG to PDF Converter)                       ";
inline const std::vector<std::string> kArgs = {"in.svg", "out.pdf"};
inline const std::string kRan = "[in.svg][out.pdf]\n";

using Files = std::map<std::string, std::string>;
using Args = std::vector<std::string>;
/// What the fake converter does: actions separated by '|' (see the helper program).
inline Environment Does(const std::string& actions) { return {{"FAKE_CONV_DO", actions}}; }
/// Typed empty fields: a bare "{}" would make the formatter give each field a line of its own.
inline const Environment kSameEnv;
inline const Files kNoFiles;

struct Case {
  const char* what;
  std::string config;  // none when empty
  Args args;
  std::string out;
  int status = 0;
  std::string ran = "<none>";  // what the converter recorded, one line a run
  Environment env = {};
  /// Files to make first: path -> content, "<dir>" for a folder, "<helper>" for the helper,
  /// "<fifo>" for a named pipe without a writer (POSIX), "<link>TARGET" for a link.
  Files before = {};
  /// Files after: path -> content ("<none>": missing, '*': any characters within a line); a
  /// path ending in "/" gives the names in that folder, sorted, each followed by a space.
  Files after = {};
  std::string only = "";  // any of "posix", "windows", "speed" (not under memcheck), "root"
  Args through = {};      // run under the helper's limits (POSIX), not memcheck
  int runs = 1;           // the same run again; the last one is checked
};

inline std::string Expand(std::string text, const Installation& install) {
  const std::pair<std::string, std::string> tokens[] = {
      {"{CONV}", "[{EXEDIR}" + Sep() + "conv" + Exe() + "]"},
      {"{DIR}", install.dir()},
      {"{TMP}", install.File("tmp")},
      {"{SEP}", Sep()},
      {"{EXE}", Exe()},
      {"{JAVA}", IsWindowsBuild() ? "javaw.exe" : "java"}};
  for (const auto& [token, value] : tokens) {
    for (std::size_t at = 0; (at = text.find(token, at)) != std::string::npos; at += value.size())
      text.replace(at, token.size(), value);
  }
  return text;
}

inline std::string Listing(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(fs::u8path(folder), error))
    names.push_back(entry.path().filename().u8string());
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& name : names) text += name + " ";
  return text;
}

/// True when `text` matches `pattern`, where '*' stands for any run of characters but '\n'.
inline bool Matches(const std::string& text, const std::string& pattern) {
  std::size_t star = pattern.find('*');
  if (star == std::string::npos) return text == pattern;
  if (text.compare(0, star, pattern, 0, star) != 0) return false;
  for (std::size_t at = star; at <= text.size(); ++at) {
    if (Matches(text.substr(at), pattern.substr(star + 1))) return true;
    if (at < text.size() && text[at] == '\n') break;
  }
  return false;
}

inline bool Skipped(const Case& row) {
  auto has = [&](const char* word) { return row.only.find(word) != std::string::npos; };
  return (has("posix") && IsWindowsBuild()) || (has("windows") && !IsWindowsBuild()) ||
         ((has("speed") || !row.through.empty()) && UnderMemcheck()) ||
         (has("root") && !RunsAsSuperuser());
}

inline void MakeFile(const Installation& install, const std::string& path,
                     const std::string& content) {
  if (content == "<dir>")
    fs::create_directories(fs::u8path(install.File(path)));
  else if (content == "<helper>")
    install.AddHelper(path);
  else if (content == "<fifo>")
    RunProgram({"/usr/bin/mkfifo", install.File(path)});
  else if (content.rfind("<link>", 0) == 0)
    fs::create_symlink(content.substr(6), install.File(path));
  else
    install.Write(path, content);
}

/// Runs every row in an installation of its own (named `folder`) and checks it.
inline void RunCases(const std::vector<Case>& rows, const std::string& folder = "") {
  for (const Case& row : rows) {
    if (Skipped(row)) continue;
    SCOPED_TRACE(row.what);
    Installation install(folder);
    fs::create_directories(fs::u8path(install.File("tmp")));
    auto x = [&](const std::string& text) { return Expand(text, install); };
    RunOptions options{install.work(), {}};
    for (const char* name : {"CONV", "JAVA", "WGET", "7Z"})
      options.environment[std::string("FAKE_") + name + "_RECORD"] =
          install.File(name + std::string(".txt"));
    for (const char* name : {"TMPDIR", "TMP", "TEMP"})
      options.environment[name] = install.File("tmp");
    for (const auto& [name, value] : row.env) options.environment[name] = value ? x(*value) : value;
    install.AddHelper("conv");
    std::string config;
    for (char c : x(row.config)) config += c == '\n' ? std::string("\r\n") : std::string(1, c);
    if (!config.empty()) install.Write("config.dat", config);
    for (const auto& [path, content] : row.before) MakeFile(install, x(path), x(content));
    std::vector<std::string> args;
    for (const std::string& arg : row.args) args.push_back(x(arg));
    std::vector<std::string> command = {Helper(), "restricted"};
    for (const std::string& setting : row.through) command.push_back(x(setting));
    command.push_back(install.launcher());
    command.insert(command.end(), args.begin(), args.end());
    ProgramResult result;
    for (int run = 0; run < row.runs; ++run)
      result = row.through.empty() ? install.Run(args, options) : RunProgram(command, options);
    EXPECT_TRUE(result.out == ConsoleText(x(row.out)))
        << "output (" << result.out.size() << " bytes):\n"
        << result.out.substr(0, 2000);
    EXPECT_EQ(result.exit_code, row.status);
    EXPECT_EQ(ReadFile(install.File("CONV.txt")), x(row.ran));
    for (const auto& [path, content] : row.after) {
      std::string name = x(path);
      std::string found =
          name.back() == '/' ? Listing(install.File(name)) : ReadFile(install.File(name));
      EXPECT_PRED2(Matches, found, x(content)) << path;
    }
  }
}

}  // namespace behaviour

#endif  // TOLVARINE_TESTS_BEHAVIOUR_CASES_H_
