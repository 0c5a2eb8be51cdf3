// The Java runtime kept, and when needed fetched and unpacked, in the temporary-files folder.
#ifndef TOLVARINE_JAVA_JAVA_DOWNLOAD_H_
#define TOLVARINE_JAVA_JAVA_DOWNLOAD_H_

#include <optional>
#include <string>

namespace tolvarine {

inline constexpr char kJavaDownloadName[] = "TolvarineJava";

/// The downloaded runtime's executable (named `java_name`), fetched and unpacked first when
/// it is not there yet; nothing when it does not exist afterwards.
std::optional<std::string> ObtainDownloadedJava(const std::string& java_name);

}  // namespace tolvarine

#endif  // TOLVARINE_JAVA_JAVA_DOWNLOAD_H_
