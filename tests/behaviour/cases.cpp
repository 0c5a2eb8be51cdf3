// The launcher as a user runs it, in temp installations: each group "[NAME]" of each case file
// in data/ is a test of its own, named after both, and after them come the runs that no case
// file can describe: a gate opened while the launcher runs, launchers started together, a
// system without /proc, and the shared temporary folder in others' hands.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "process/command_line.h"
#include "rows.h"
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace behaviour {
namespace {

namespace fs = std::filesystem;
namespace platform = tolvarine::platform;
using Args = std::vector<std::string>;
using Files = std::map<std::string, std::string>;
// Variables to set (a value) or remove (nothing) for a run.
using Environment = std::map<std::string, std::optional<std::string>>;

const bool kWindows = platform::kPathSeparator == '\\';  // run under Wine
const std::string kExe = kWindows ? ".exe" : "";
const std::string kSep = kWindows ? "\\" : "/";
const std::string kFailed = "[Error] Failed to create \"out.pdf\" file.\n";
const Args kArgs = {"in.svg", "out.pdf"};

struct RunOptions {
  std::string folder;  // the current one; empty: the tests' own
  Environment environment;
};
struct ProgramResult {
  int exit_code = -1;  // a signal on POSIX gives 128 + its number
  std::string out;     // standard output and standard error, as they came
};

// Sets a variable, or removes it (on Windows: empties it).
void SetVariable(const std::string& name, const std::optional<std::string>& value) {
#ifndef _WIN32
  if (!value) {
    unsetenv(name.c_str());
    return;
  }
#endif
  platform::WriteEnvironmentVariable(name, value.value_or(""));
}

// The runs' environment and current folder, put back as they were afterwards.
class Settings {
 public:
  explicit Settings(const RunOptions& options) : folder_(fs::current_path()) {
    for (const auto& [name, value] : options.environment) {
      before_[name] = platform::ReadEnvironmentVariable(name);
      SetVariable(name, value);
    }
    if (!options.folder.empty()) fs::current_path(fs::u8path(options.folder));
  }
  ~Settings() {
    for (const auto& [name, value] : before_) SetVariable(name, value);
    fs::current_path(folder_);
  }

 private:
  fs::path folder_;
  Environment before_;
};

// A path of the build tree as this platform names it (Wine shows "/" as drive Z:).
std::string HostPath(std::string path) {
  if (!kWindows || path.empty() || path[0] != '/') return path;
  std::replace(path.begin(), path.end(), '/', '\\');
  return "Z:" + path;
}

// True when `text` matches `pattern`, where '*' stands for any run of characters. Each piece
// between stars is found once, leftmost first: a flooded output of megabytes stays quick.
bool Matches(const std::string& text, const std::string& pattern) {
  const std::size_t first = pattern.find('*');
  if (first == std::string::npos) return text == pattern;
  const std::size_t last = pattern.rfind('*'), tail = pattern.size() - last - 1;
  if (text.size() < first + tail || text.compare(0, first, pattern, 0, first) != 0 ||
      text.compare(text.size() - tail, tail, pattern, last + 1, tail) != 0)
    return false;
  std::size_t at = first;  // where the next piece may start in `text`
  for (std::size_t star = first; star != last;) {
    const std::size_t next = pattern.find('*', star + 1);
    const std::string piece = pattern.substr(star + 1, next - star - 1);
    at = text.find(piece, at);
    if (at == std::string::npos || at + piece.size() > text.size() - tail) return false;
    at += piece.size();
    star = next;
  }
  return true;
}

// A table row's cells: the text between " | ", each without the blanks around it.
std::vector<std::string> Cells(const std::string& text) {
  std::vector<std::string> cells;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(" | ", start);
    const std::string cell = text.substr(start, end - start);
    const std::size_t first = cell.find_first_not_of(' '), last = cell.find_last_not_of(' ');
    cells.push_back(first == std::string::npos ? "" : cell.substr(first, last - first + 1));
    if (end == std::string::npos) return cells;
    start = end + 3;
  }
}

// The names sorted, between spaces.
std::string Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : " ") + name;
  return text;
}

// Runs the programs at once (argument 0 names each, with its folder) and waits for them all;
// `watch` sees a program's whole output so far each time more of it comes.
std::vector<ProgramResult> RunTogether(const std::vector<Args>& argvs, const RunOptions& options,
                                       const std::function<void(const std::string&)>& watch = {}) {
  Settings settings(options);
  std::vector<ProgramResult> results(argvs.size());
  std::mutex mutex;
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < argvs.size(); ++i) {
    threads.emplace_back([&, i] {
      platform::CommandLine command{"", argvs[i]};
      for (const std::string& arg : argvs[i]) command.text += tolvarine::QuoteArgument(arg) + " ";
      std::optional<std::int32_t> code =
          platform::RunCapturedProcess(command, [&](std::string_view piece) {
            std::lock_guard<std::mutex> lock(mutex);
            results[i].out += piece;
            if (watch) watch(results[i].out);
          });
      EXPECT_TRUE(code) << "cannot start " << argvs[i][0];
      results[i].exit_code = code.value_or(-1);
    });
  }
  for (std::thread& thread : threads) thread.join();
  return results;
}

ProgramResult RunProgram(const Args& argv, const RunOptions& options = {}) {
  return RunTogether({argv}, options).front();
}

// The multi-call helper program of this build, as this platform names it.
std::string Helper() { return HostPath(HELPER_PROGRAM); }

// TOLVARINE_TEST_VALGRIND set: the launcher (not its children) runs under memcheck (POSIX).
bool UnderMemcheck() {
  return !kWindows &&
         !platform::ReadEnvironmentVariable("TOLVARINE_TEST_VALGRIND").value_or("").empty();
}

// What the launcher prints for `text`: on Windows a line feed becomes CR LF.
std::string ConsoleText(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c == '\n' && kWindows && (result.empty() || result.back() != '\r')) result += '\r';
    result += c;
  }
  return result;
}

// Paths are UTF-8 texts, as the launcher keeps them on every platform.
void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream file(fs::u8path(path), std::ios::binary | std::ios::trunc);
  if (!file.write(content.data(), static_cast<std::streamsize>(content.size())))
    ADD_FAILURE() << "cannot write " << path;
}

// "<none>" when the file cannot be read.
std::string ReadFile(const std::string& path) {
  std::ifstream file(fs::u8path(path), std::ios::binary);
  return file ? std::string(std::istreambuf_iterator<char>(file), {}) : "<none>";
}

// The launcher copied into a fresh temp folder (or its sub-folder `name`), with "work" as the
// runs' current folder and "tmp" as their temporary-files folder. Removed when the test
// passed, kept (its path printed) when it failed.
class Installation {
 public:
  explicit Installation(const std::string& name = "",
                        const fs::path& base = fs::temp_directory_path()) {
    static int counter = 0;
    std::error_code error;
    do {
      root = base / ("tolvarine-test-" + std::to_string(platform::CurrentProcessId()) + "-" +
                     std::to_string(counter++));
    } while (!fs::create_directory(root, error));
    // The canonical form, so that paths the launcher reports of itself compare equal.
    root = fs::canonical(root);
    dir_ = name.empty() ? root : root / fs::u8path(name);
#ifndef _WIN32
    umask(022);  // Only what the user alone can write counts as the user's own.
#endif
    for (const char* folder : {"work", "tmp"}) fs::create_directories(dir_ / folder);
    fs::copy_file(fs::u8path(HostPath(TOLVARINE_EXE)), fs::u8path(launcher()));
  }

  ~Installation() {
    if (::testing::Test::HasFailure()) {
      std::cerr << "kept the test folder " << root.string() << "\n";
      return;
    }
    std::error_code error;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(root, error);
  }

  fs::path root;  // the temp folder
  std::string dir() const { return dir_.u8string(); }
  std::string File(const std::string& relative) const {
    return (dir_ / fs::u8path(relative)).u8string();
  }
  std::string launcher() const { return File("tolvarine" + kExe); }
  void Write(const std::string& relative, const std::string& content) const {  // makes folders
    fs::create_directories(fs::u8path(File(relative)).parent_path());
    WriteFile(File(relative), content);
  }
  // Copies the helper in as `relative` + kExe; what it does follows from that name.
  void AddHelper(const std::string& relative) const {
    fs::path target = fs::u8path(File(relative + kExe));
    fs::create_directories(target.parent_path());
    fs::copy_file(fs::u8path(Helper()), target, fs::copy_options::overwrite_existing);
  }
  // Adds the helper as "conv" and writes config.dat naming it, followed by `tail` and `more`.
  void UseConverter(const std::string& tail = "", const std::string& more = "") const;
  // "work" as the current folder, "tmp" for temporary files, and the fake programs' records
  // ("CONV.txt", "JAVA.txt", "WGET.txt", "7Z.txt") in the installation.
  RunOptions Options() const {
    RunOptions options{File("work"), {}};
    for (const char* name : {"CONV", "JAVA", "WGET", "7Z"})
      options.environment[std::string("FAKE_") + name + "_RECORD"] =
          File(name + std::string(".txt"));
    for (const char* name : {"TMPDIR", "TMP", "TEMP"}) options.environment[name] = File("tmp");
    return options;
  }
  // The launcher with `args`, under memcheck when asked.
  Args Command(const Args& args) const {
    Args argv;
    if (UnderMemcheck()) {  // the launcher only: its children run as they are
      argv = {"/usr/bin/valgrind", "-q", "--error-exitcode=99", "--leak-check=full",
              "--errors-for-leak-kinds=definite"};
      argv.push_back("--log-file=" + (root / "memcheck.log").string());
    }
    argv.push_back(launcher());
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }

 private:
  fs::path dir_;
};

// `text` with the placeholders of a case replaced.
std::string Expand(std::string text, const Installation& install) {
  const std::pair<std::string, std::string> tokens[] = {
      {"{KEPT}", "[{TMP}{SEP}TolvarineJava{SEP}bin{SEP}{JAVA}]"},
      {"{FETCHED}", "[-O][{TMP}{SEP}TolvarineJava.zip.part-*][{DIR}/served.zip]\n"},
      {"{UNPACKED}", "[x][-y][-o{TMP}{SEP}TolvarineJava.unpacking-*][*]\n"},
      {"{NOJAVA}", "Failed to find a Java runtime (*).\n"},
      {"{CONV}", "[{EXEDIR}" + kSep + "conv" + kExe + "]"},
      {"{DIR}", install.dir()},
      {"{TMP}", install.File("tmp")},
      {"{SEP}", kSep},
      {"{EXE}", kExe},
      {"{JAVA}", kWindows ? "javaw.exe" : "java"},
      {"{PID}", std::to_string(platform::CurrentProcessId())},
      {"{RAN}", "[in.svg][out.pdf]\n"},
      {"{FAILED}", kFailed},
      {"{CREATED}", "[OK] Create \"out.pdf\" file successful.\n"},
      {"{FRAME}", "============================\n"},
      {"{CONVERTER}", "(Apache FOP Version 1.0beta2: PDF Transcoder for Batik)"},
      {"{PRODUCT}", "(Tolvarine SVG to PDF Converter)                       "}};
  for (const auto& [token, value] : tokens) {
    for (std::size_t at = 0; (at = text.find(token, at)) != std::string::npos; at += value.size())
      text.replace(at, token.size(), value);
  }
  // {*N:TEXT}, innermost first.
  for (std::size_t at; (at = text.rfind("{*")) != std::string::npos;) {
    const std::size_t colon = text.find(':', at), end = text.find('}', colon);
    const std::string piece = text.substr(colon + 1, end - colon - 1);
    std::string repeated;
    for (int n = std::stoi(text.substr(at + 2)); n > 0; --n) repeated += piece;
    text.replace(at, end + 1 - at, repeated);
  }
  return text;
}

void Installation::UseConverter(const std::string& tail, const std::string& more) const {
  AddHelper("conv");
  Write("config.dat", Expand("[Info]\r\nRunEXE={CONV}" + tail + "\r\n" + more, *this));
}

// The names in a folder, sorted, between spaces.
std::string Listing(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(fs::u8path(folder), error))
    names.push_back(entry.path().filename().u8string());
  return Sorted(names);
}

void MakeFile(const Installation& install, const std::string& path, const std::string& content) {
  if (content.rfind("<mode ", 0) == 0) {  // "<mode OCTAL>" before what to make (POSIX)
    MakeFile(install, path, content.substr(content.find('>') + 1));
    fs::permissions(fs::u8path(install.File(path)), fs::perms(std::stoi(content.substr(6), 0, 8)));
  } else if (content == "<none>")
    return;
  else if (content == "<dir>")
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

/// One launcher run in an installation of its own. In a case file's group "[NAME]", "== WHAT"
/// starts one, "KEY VALUE" lines give its fields (before the first case: every case's), and a
/// "row" line gives, between " | ", the values of the last "table" line's columns ("KEY" or
/// "KEY NAME"), "~" for none. Texts may hold {CONV} (the converter as config.dat names it),
/// {DIR} (the installation), {TMP} (its temporary-files folder), {SEP}, {EXE}, {JAVA} (the Java
/// program's default name), {PID} (the tests' process id), {RAN} (the converter's record of a
/// run with in.svg and out.pdf), {FAILED} and {CREATED} (the report on out.pdf), {FRAME},
/// {CONVERTER} and {PRODUCT} (the producer texts), and {*N:TEXT} for N times TEXT. Expected
/// texts may hold '*' for any characters.
struct Case {
  std::string what;
  std::string config;          // config.dat, line feeds written as CR LF; none when empty
  Args args = kArgs;           // "args" in a case file: the arguments between '|'
  std::string out;             // what the launcher shows
  int status = 0;              // its exit status
  std::string ran = "<none>";  // "ran": what the converter recorded, one line a run
  /// "env NAME=VALUE", or "env NAME" to remove it; "does ACTIONS" for the converter's
  /// FAKE_CONV_DO (see the helper program).
  Environment env;
  /// "file PATH=CONTENT" to make first; "<dir>", "<helper>", "<fifo>" (POSIX) or
  /// "<link>TARGET" make one of these kinds, "<none>" nothing; "<mode OCTAL>" before one gives
  /// what is made that mode (POSIX).
  Files before;
  /// "after PATH=CONTENT": "<none>" for a missing file; a path ending in "/" gives the
  /// folder's names, sorted, between spaces.
  Files after;
  std::string only;    // any of "posix", "windows", "plain" (not under memcheck or sanitizer)
  std::string limit;   // one of the helper's limits to run under (POSIX), not under memcheck
  int runs = 1;        // the same run again; the last one is checked
  std::string folder;  // the installation's folder within its temp folder
};

std::vector<Case> ReadCases(const std::string& file, const std::string& group) {
  static const std::map<std::string, std::string Case::*> texts = {
      {"==", &Case::what},      {"config", &Case::config}, {"out", &Case::out},
      {"ran", &Case::ran},      {"only", &Case::only},     {"limit", &Case::limit},
      {"folder", &Case::folder}};
  static const std::map<std::string, Files Case::*> files = {{"file", &Case::before},
                                                             {"after", &Case::after}};
  Case defaults;  // the group's lines before its first case
  std::vector<Case> cases;
  std::vector<std::string> columns;  // the last "table" line's
  std::function<void(const std::string&)> read = [&](const std::string& line) {
    const std::string key = line.substr(0, line.find(' '));
    const std::string raw =
        line.substr(std::min(line.find_first_not_of(' ', key.size()), line.size()));
    const std::string value = tolvarine::testdata::Fields(raw, '\0').front();
    const std::string name = value.substr(0, value.find('='));
    const std::optional<std::string> rest =
        name.size() < value.size() ? std::optional(value.substr(name.size() + 1)) : std::nullopt;
    if (key == "==") cases.push_back(defaults);
    Case& row = cases.empty() ? defaults : cases.back();
    if (texts.count(key))
      row.*texts.at(key) = value;
    else if (files.count(key))
      (row.*files.at(key))[name] = rest.value_or("");
    else if (key == "args")
      row.args = raw.empty() ? Args() : tolvarine::testdata::Fields(raw);
    else if (key == "status" || key == "runs")
      (key == "status" ? row.status : row.runs) = std::stoi(value);
    else if (key == "does")
      row.env["FAKE_CONV_DO"] = value;
    else if (key == "env")
      row.env[name] = rest;
    else if (key == "tmpdir")  // each variable a platform may take it from
      for (const char* variable : {"TMPDIR", "TMP", "TEMP"}) row.env[variable] = value;
    else if (key == "table")
      columns = Cells(raw);
    else if (key == "row" && Cells(raw).size() == columns.size())
      for (std::size_t i = 0; i < columns.size(); ++i) {
        const std::string cell = Cells(raw)[i];
        const bool named = columns[i].find(' ') != std::string::npos;
        if (cell != "~") read(columns[i] + (named ? "=" : " ") + cell);
      }
    else
      ADD_FAILURE() << file << ": " << line;
  };
  bool in_group = false;
  for (const std::string& line : tolvarine::testdata::DataLines(file)) {
    if (line[0] == '[') in_group = line == "[" + group + "]";
    if (line[0] != '[' && in_group) read(line);
  }
  EXPECT_FALSE(cases.empty()) << "no cases in [" << group << "] of " << file;
  return cases;
}

void RunCases(const std::vector<Case>& rows) {
  static const bool sanitized = SANITIZED_BUILD;
  for (const Case& row : rows) {
    auto has = [&](const char* word) { return row.only.find(word) != std::string::npos; };
    if ((has("posix") && kWindows) || (has("windows") && !kWindows) ||
        (has("plain") && (sanitized || UnderMemcheck())) || (!row.limit.empty() && UnderMemcheck()))
      continue;
    SCOPED_TRACE(row.what);
    Installation install(row.folder);
    auto x = [&](const std::string& text) { return Expand(text, install); };
    RunOptions options = install.Options();
    for (const auto& [variable, value] : row.env)
      options.environment[variable] = value ? x(*value) : value;
    install.AddHelper("conv");
    std::string config = x(row.config);
    for (std::size_t at = 0; (at = config.find('\n', at)) != std::string::npos; at += 2)
      config.insert(at, 1, '\r');
    if (!config.empty()) install.Write("config.dat", config);
    for (const auto& [path, content] : row.before) MakeFile(install, x(path), x(content));
    Args args;
    for (const std::string& arg : row.args) args.push_back(x(arg));
    Args command = install.Command(args);
    if (!row.limit.empty()) command.insert(command.begin(), {Helper(), "restricted", x(row.limit)});
    ProgramResult result;
    for (int run = 0; run < row.runs; ++run) {
      result = RunProgram(command, options);
      EXPECT_NE(result.exit_code, 99) << ReadFile((install.root / "memcheck.log").string());
    }
    WriteFile(install.File("gate"), "");
    EXPECT_TRUE(Matches(result.out, ConsoleText(x(row.out))))
        << "output (" << result.out.size() << " bytes):\n"
        << result.out.substr(0, 2000);
    EXPECT_EQ(result.exit_code, row.status);
    EXPECT_PRED2(Matches, ReadFile(install.File("CONV.txt")), x(row.ran));
    for (const auto& [path, content] : row.after) {
      const std::string file = install.File(x(path));
      if (file.back() == '/')  // the names in any order
        EXPECT_PRED2(Matches, Listing(file), Sorted(tolvarine::testdata::Fields(x(content), ' ')))
            << path;
      else
        EXPECT_PRED2(Matches, ReadFile(file), x(content)) << path;
    }
  }
}

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

// Each group of each case file is a test of its own, named after both.
class CaseFile : public testing::TestWithParam<Group> {};

TEST_P(CaseFile, Group) { RunCases(ReadCases(GetParam().first, GetParam().second)); }

INSTANTIATE_TEST_SUITE_P(Behaviour, CaseFile, testing::ValuesIn(Groups()),
                         [](const testing::TestParamInfo<Group>& info) {
                           return fs::path(info.param.first).stem().string() + "_" +
                                  info.param.second;
                         });

// The converter stops at a gate that opens only once its first line is shown: a launcher that
// shows nothing before the converter's end makes the gate time out.
TEST(ConverterFaultTest, EachLineShownWhileTheConverterStillRuns) {
  Installation install;
  install.UseConverter();
  const std::string gate = install.File("gate");
  const std::string first = ConsoleText(Expand("[Message]\n{FRAME}first\n", install));
  RunOptions options{install.File("work"),
                     {{"FAKE_CONV_DO", "out:first\nsecond|gate:" + gate + "|out: half\n"}}};
  ProgramResult result =
      RunTogether({install.Command(kArgs)}, options, [&](const std::string& out) {
        if (out == first) WriteFile(gate, "");
      }).front();
  EXPECT_EQ(result.out,
            ConsoleText(Expand("[Message]\n{FRAME}first\nsecond half\n{FRAME}{FAILED}", install)));
  EXPECT_EQ(ReadFile(gate + ".timeout"), "<none>");
}

// Launchers started together: each ends with the whole runtime, none leaves a part behind.
TEST(JavaDownloadTest, LaunchersRacing) {
  Installation install;
  install.UseConverter(" [{JAVAEXE}]", "JavaDownloadURL={DIR}/served.zip\r\n");
  for (const char* tool : {"wget", "7z", "bin/java"}) install.AddHelper(tool);
  install.Write("served.zip", Expand("bin/{JAVA}\n", install));
  std::string expected;
  for (const ProgramResult& result :
       RunTogether(std::vector(8, install.Command(kArgs)), install.Options())) {
    EXPECT_EQ(result.out, ConsoleText(kFailed));
    EXPECT_EQ(result.exit_code, 0);
    expected += Expand("{KEPT}{RAN}", install);
  }
  EXPECT_EQ(ReadFile(install.File("CONV.txt")), expected);
  EXPECT_EQ(Listing(install.File("tmp")), "TolvarineJava TolvarineJava.zip");
}

#ifndef _WIN32
TEST(FileFaultTest, WithoutProcTheLauncherFindsItselfByNameOrSaysItCannot) {
  if (UnderMemcheck() || SANITIZED_BUILD) GTEST_SKIP() << "valgrind and the sanitizer need /proc";
  Installation install;
  install.UseConverter(" --ran");
  const RunOptions options = install.Options();
  auto without_proc = [&](const std::string& command) {
    return RunProgram({"/usr/bin/unshare", "-m", "sh", "-c",
                       "mount -t tmpfs none /proc && test ! -e /proc/self && " + command,
                       install.launcher(), install.dir()},
                      options);
  };
  if (without_proc("true").exit_code != 0) GTEST_SKIP() << "cannot hide /proc here";
  const std::string cannot =
      "[Error] Failed to locate the launcher's own folder: its installation cannot be used.\n";
  for (const auto& [command, ran] : std::vector<std::pair<std::string, bool>>{
           {"exec \"$0\" in.svg out.pdf", true},
           {"PATH=\"$1:/usr/bin:/bin\" exec tolvarine in.svg out.pdf", true},
           {"exec bash -c 'exec -a tolvarine \"$0\" in.svg out.pdf' \"$0\"", false}}) {
    fs::remove(install.File("CONV.txt"));
    EXPECT_EQ(without_proc(command).out, (ran ? "" : cannot) + kFailed) << command;
    EXPECT_EQ(ReadFile(install.File("CONV.txt")), ran ? "[--ran][in.svg][out.pdf]\n" : "<none>");
  }
}

// Without TMPDIR the runtime goes to /tmp/tolvarine-UID, which must be the user's alone.
TEST(FileFaultTest, SharedTemporaryFolderThatOthersControlIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
  const std::string path = "/tmp/tolvarine-65534";
  auto shell = [&](const std::string& command) {
    return RunProgram({"/bin/sh", "-c", "P=" + path + "; rm -rf $P $P-x; " + command});
  };
  Installation install("", "/tmp");  // open to others, wherever the temp folder is
  for (const std::string& folder : {install.dir(), install.File("work")})
    fs::permissions(folder, fs::perms::all);
  install.UseConverter(" [{JAVAEXE}]", "JavaDownloadURL={DIR}/served.zip\r\n");
  install.Write("served.zip", "bin/java\n");
  for (const char* tool : {"wget", "7z", "bin/java"}) install.AddHelper(tool);
  RunOptions options = install.Options();
  options.environment["TMPDIR"] = std::nullopt;
  const std::string mine = " && chown -h 65534:65534 ", quoted = "\"" + path + "\"";
  // Root's, open to its group, a link to a folder of the user's, a file, and none.
  for (const auto& [made, why] : std::vector<std::pair<std::string, std::string>>{
           {"mkdir -m 700 $P", quoted + " belongs to another user"},
           {"mkdir -m 770 $P" + mine + "$P", "others can write " + quoted},
           {"mkdir -m 700 $P-x" + mine + "$P-x && ln -s $P-x $P" + mine + "$P",
            quoted + " is a link"},
           {": >$P" + mine + "$P", quoted + " is not a folder"},
           {"", ""}}) {
    shell(made);
    fs::remove(install.File("CONV.txt"));
    const ProgramResult result = RunProgram(
        {Helper(), "restricted", "uid=65534", install.launcher(), "in.svg", "out.pdf"}, options);
    const std::string looked = "Failed to find a Java runtime (looked for \"" +
                               install.File("jre/bin/java") + "\", \"java\" on PATH).\n";
    EXPECT_EQ(result.out, made.empty() ? kFailed
                                       : looked + "Failed to locate the temporary-files folder: " +
                                             why + ".\n" + kFailed)
        << made;
    EXPECT_EQ(
        ReadFile(install.File("CONV.txt")),
        (made.empty() ? "[" + path + "/TolvarineJava/bin/java]" : "[java]") + "[in.svg][out.pdf]\n")
        << made;
  }
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_all);  // made the user's own
  shell("");
}
#endif

}  // namespace
}  // namespace behaviour
