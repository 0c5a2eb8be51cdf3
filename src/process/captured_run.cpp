#include "process/captured_run.h"

#include <cstring>
#include <new>

#include "platform/platform.h"
#include "process/command_line.h"

namespace tolvarine {

namespace {

// A child's output is text that a zero byte must not cut short: each zero byte is dropped
// on its own and every other byte kept, wherever the pipe's reads happened to split it.
void AppendWithoutZeros(std::string& output, const char* data, std::size_t size) {
  const char* end = data + size;
  while (data < end) {
    const void* zero = std::memchr(data, '\0', static_cast<std::size_t>(end - data));
    const char* stop = zero != nullptr ? static_cast<const char*>(zero) : end;
    output.append(data, static_cast<std::size_t>(stop - data));
    data = stop + (zero != nullptr ? 1 : 0);
  }
}

}  // namespace

bool RunCaptured(const std::string& command_line, std::string& output) {
  bool full = false;
  return platform::RunCapturedProcess(
      MakeCommandLine(command_line), [&output, &full](const char* data, std::size_t size) {
        if (full) return;  // Read on and dropped, so that the child is never blocked.
        // A 32-bit launcher cannot hold a gigabyte of output in one piece: it keeps what came
        // first, whole, instead of ending the run without a report.
        try {
          AppendWithoutZeros(output, data, size);
        } catch (const std::bad_alloc&) {
          full = true;
        }
      });
}

}  // namespace tolvarine
