// The Java runtime kept, and when needed fetched and unpacked, in the temporary-files folder.
#ifndef TOLVARINE_JAVA_JAVA_DOWNLOAD_H_
#define TOLVARINE_JAVA_JAVA_DOWNLOAD_H_

#include <optional>
#include <string>

namespace tolvarine {

inline constexpr char kJavaDownloadName[] = "TolvarineJava";

/// The downloaded runtime's executable (named `java_name`), fetched and unpacked first when
/// it is not there yet; nothing when there is none afterwards, and then a line has named the
/// places looked in (`places`, then the temporary-files folder's runtime) and others why.
/// A kept runtime or archive is used only when it is the user's own and nobody else can write
/// it; an archive that the unpacker fails on is removed.
std::optional<std::string> ObtainDownloadedJava(const std::string& java_name,
                                                const std::string& places);

}  // namespace tolvarine

#endif  // TOLVARINE_JAVA_JAVA_DOWNLOAD_H_
