// Whole-file reading for texts the launcher prints.
#ifndef TOLVARINE_OUTPUT_FILE_READ_H_
#define TOLVARINE_OUTPUT_FILE_READ_H_

#include <string>

namespace tolvarine {

/// The file's bytes up to its first zero byte (all of them when it holds none); empty when
/// it cannot be opened or read.
std::string ReadTextFile(const std::string& path);

}  // namespace tolvarine

#endif  // TOLVARINE_OUTPUT_FILE_READ_H_
