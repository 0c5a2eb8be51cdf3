// A stand-in for the system's "java": prints FAKE_JAVA_VERSION on the stream that
// FAKE_JAVA_STREAM names ("out" or "err", standard error when unset), and appends one line
// with its arguments to the file named by FAKE_JAVA_RECORD, so tests can tell it ran. With
// FAKE_JAVA_REPLACE="FROM|TO" it first renames FROM over TO: a file replaced while the
// launcher runs.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  const char* record_path = std::getenv("FAKE_JAVA_RECORD");
  if (record_path != nullptr) {
    std::FILE* record = std::fopen(record_path, "ab");
    if (record == nullptr) return 99;
    for (int i = 1; i < argc; ++i) std::fprintf(record, "%s%s", i > 1 ? " " : "", argv[i]);
    std::fputs("\n", record);
    std::fclose(record);
  }
  if (const char* replace = std::getenv("FAKE_JAVA_REPLACE")) {
    const char* bar = std::strchr(replace, '|');
    if (bar == nullptr) return 98;
    std::string from(replace, bar);
    std::remove(bar + 1);
    if (std::rename(from.c_str(), bar + 1) != 0) return 97;
  }
  const char* version = std::getenv("FAKE_JAVA_VERSION");
  const char* stream = std::getenv("FAKE_JAVA_STREAM");
  bool to_stdout = stream != nullptr && std::strcmp(stream, "out") == 0;
  if (version != nullptr) std::fputs(version, to_stdout ? stdout : stderr);
  return 0;
}
