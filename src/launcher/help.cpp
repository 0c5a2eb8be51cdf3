#include "launcher/help.h"

namespace tolvarine {

namespace {
bool debug_mode = false;
}  // namespace

void ShowHelp() {}

void EnableDebugMode() { debug_mode = true; }

bool DebugMode() { return debug_mode; }

void LogDebug(const char* /*format*/, ...) {}

}  // namespace tolvarine
