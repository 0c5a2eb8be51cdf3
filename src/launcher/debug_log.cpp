#include "launcher/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace tolvarine {

namespace {
bool debug_mode = false;
}  // namespace

void EnableDebugMode() { debug_mode = true; }

void LogDebug(const char* format, ...) {
  if (!debug_mode) return;
  std::va_list arguments;
  va_start(arguments, format);
  std::va_list arguments_again;
  va_copy(arguments_again, arguments);
  int length = std::vsnprintf(nullptr, 0, format, arguments);
  va_end(arguments);
  // Sized to the line, so that a long argument list is printed whole.
  std::string text(length > 0 ? static_cast<std::size_t>(length) + 1 : 1, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size(), format, arguments_again);
  va_end(arguments_again);
  platform::PrintText(text.c_str());
  // Children that write to the same console come later: the line must be out before them.
  std::fflush(stdout);
}

}  // namespace tolvarine
