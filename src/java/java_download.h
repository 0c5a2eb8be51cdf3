// The Java runtime kept, and when needed fetched and unpacked, in the temporary-files folder.
#ifndef TOLVARINE_JAVA_JAVA_DOWNLOAD_H_
#define TOLVARINE_JAVA_JAVA_DOWNLOAD_H_

#include <string>

namespace tolvarine {

inline constexpr char kJavaDownloadName[] = "TolvarineJava";

/// Puts the downloaded runtime's executable path (named `java_name`) into `result`, fetching
/// and unpacking the runtime when it is not there yet; true when that executable exists.
bool ObtainDownloadedJava(const std::string& java_name, std::string& result);

/// Unpacks `archive` into `destination` with the installation's unpacker; true when the
/// destination exists afterwards.
bool UnpackArchive(const std::string& archive, const std::string& destination);

}  // namespace tolvarine

#endif  // TOLVARINE_JAVA_JAVA_DOWNLOAD_H_
