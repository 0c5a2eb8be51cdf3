// A child that does what its arguments say, in order: the tests' stand-in for a program that
// the launcher runs. Every write is flushed at once, so the order of the arguments is the
// order in which the bytes reach the pipe.
//   out:TEXT, err:TEXT   write TEXT to standard output / standard error; the escapes \0, \n,
//                        \r, \t, \\ and \xHH stand for the bytes they name
//   bytes:N[:K]          write N bytes of the test pattern to standard output in one call,
//                        a zero byte at every K-th position when K is given
//   env:NAME             write NAME's value, or "<unset>"
//   check-env:NAME=VALUE end with exit code 1 at once unless NAME has exactly that value
//   cwd                  write the current folder
//   stdin                read standard input to its end and write "stdin:<bytes read>"
//   exit:N               end at once with exit code N
//   terminate            raise SIGTERM (a signal's end on POSIX)
//   abort                end abnormally (SIGABRT on POSIX)
//   warnings:N           write N lines of 1024 bytes each that hold the warning marker
//   fill:N:HH            write N bytes of the value HH (two hex digits), a block at a time
//   gate:PATH            wait until the test releases the gate (a named pipe) at PATH
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "pattern.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Unescape(const std::string& text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      bytes += text[i];
      continue;
    }
    char next = text[++i];
    if (next == '0')
      bytes += '\0';
    else if (next == 'n')
      bytes += '\n';
    else if (next == 'r')
      bytes += '\r';
    else if (next == 't')
      bytes += '\t';
    else if (next == 'x' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
             HexDigit(text[i + 2]) >= 0) {
      bytes += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      bytes += next;
    }
  }
  return bytes;
}

void Write(std::FILE* stream, const std::string& bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fflush(stream);
}

void WriteInputCount() {
  std::size_t count = 0;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) count += got;
  Write(stdout, "stdin:" + std::to_string(count));
}

void CheckEnvironment(const std::string& assignment) {
  std::size_t equals = assignment.find('=');
  const char* value = std::getenv(assignment.substr(0, equals).c_str());
  if (equals == std::string::npos || value == nullptr || assignment.substr(equals + 1) != value) {
    std::exit(1);
  }
}

void WritePattern(const std::string& pattern) {
  std::size_t colon = pattern.find(':');
  std::size_t size = std::strtoul(pattern.c_str(), nullptr, 10);
  std::size_t zero_every =
      colon == std::string::npos ? 0 : std::strtoul(&pattern[colon + 1], nullptr, 10);
  Write(stdout, helpers::Pattern(size, zero_every));
}

// A flood that the launcher must take whole but prints none of, written a block at a time.
void WriteWarnings(const std::string& count_text) {
  std::string line = "(converter:1): WARNING **: ";
  line.resize(1023, '.');
  line += '\n';
  std::string block;
  for (int i = 0; i < 64; ++i) block += line;
  unsigned long long lines = std::strtoull(count_text.c_str(), nullptr, 10);
  for (; lines >= 64; lines -= 64) {
    if (std::fwrite(block.data(), 1, block.size(), stdout) != block.size()) std::exit(5);
  }
  std::fwrite(block.data(), 1, line.size() * lines, stdout);
  std::fflush(stdout);
}

void WriteFill(const std::string& fill) {
  std::size_t colon = fill.find(':');
  if (colon == std::string::npos || colon + 2 >= fill.size() || HexDigit(fill[colon + 1]) < 0 ||
      HexDigit(fill[colon + 2]) < 0) {
    std::exit(101);
  }
  const std::string block(
      1 << 20, static_cast<char>(HexDigit(fill[colon + 1]) * 16 + HexDigit(fill[colon + 2])));
  unsigned long long left = std::strtoull(fill.c_str(), nullptr, 10);
  while (left > 0) {
    std::size_t size = left < block.size() ? static_cast<std::size_t>(left) : block.size();
    if (std::fwrite(block.data(), 1, size, stdout) != size) std::exit(5);
    left -= size;
  }
  std::fflush(stdout);
}

void WaitAtGate(const std::string& path) {
  std::FILE* gate = std::fopen(path.c_str(), "rb");
  if (gate == nullptr) std::exit(102);
  std::fgetc(gate);  // The test's release: the end of the gate, or an error.
  std::fclose(gate);
}

void Act(const std::string& action) {
  std::size_t colon = action.find(':');
  std::string name = action.substr(0, colon);
  std::string value = colon == std::string::npos ? std::string() : action.substr(colon + 1);
  if (name == "out")
    Write(stdout, Unescape(value));
  else if (name == "err")
    Write(stderr, Unescape(value));
  else if (name == "bytes")
    WritePattern(value);
  else if (name == "env")
    Write(stdout, std::getenv(value.c_str()) ? std::getenv(value.c_str()) : "<unset>");
  else if (name == "check-env")
    CheckEnvironment(value);
  else if (name == "cwd")
    Write(stdout, std::filesystem::current_path().string());
  else if (name == "stdin")
    WriteInputCount();
  else if (name == "exit")
    std::exit(static_cast<int>(std::strtol(value.c_str(), nullptr, 10)));
  else if (name == "terminate")
    std::raise(SIGTERM);
  else if (name == "abort")
    std::abort();
  else if (name == "warnings")
    WriteWarnings(value);
  else if (name == "fill")
    WriteFill(value);
  else if (name == "gate")
    WaitAtGate(value);
  else
    std::exit(100);  // An action the tests do not know: fail loudly.
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) Act(argv[i]);
  return 0;
}
