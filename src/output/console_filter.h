// The converter's console output as the user sees it: rebranded, filtered and framed.
#ifndef TOLVARINE_OUTPUT_CONSOLE_FILTER_H_
#define TOLVARINE_OUTPUT_CONSOLE_FILTER_H_

#include <string>

namespace tolvarine {

/// Prints the converter's captured output between framing lines on standard output.
void ShowConverterOutput(std::string captured);

}  // namespace tolvarine

#endif  // TOLVARINE_OUTPUT_CONSOLE_FILTER_H_
