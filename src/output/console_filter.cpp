#include "output/console_filter.h"

namespace tolvarine {

void ShowConverterOutput(std::string /*captured*/) {}

}  // namespace tolvarine
