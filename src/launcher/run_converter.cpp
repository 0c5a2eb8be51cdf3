#include "launcher/run_converter.h"

namespace tolvarine {

std::string RunConverter(const std::string& /*argument_string*/) { return std::string(); }

}  // namespace tolvarine
