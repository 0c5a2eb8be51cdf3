// Choosing the Java executable that the converter's template names.
#ifndef TOLVARINE_JAVA_JAVA_RUNTIME_H_
#define TOLVARINE_JAVA_JAVA_RUNTIME_H_

#include <optional>
#include <string>

namespace tolvarine {

/// The phrase by which a usable system Java names itself in its version text.
inline constexpr char kJavaRuntimePhrase[] = "Java(TM) SE Runtime Environment";

/// The Java executable's name when the configuration names none: "java", or on Windows the
/// windowless "javaw.exe".
std::string DefaultJavaName();

/// The installation's private runtime ("jre/bin/" and the default Java name, in the
/// launcher's folder), when it exists.
std::optional<std::string> FindPrivateJava();

/// Whether "java -version", found on PATH, names itself with the runtime phrase.
bool IsSystemJavaUsable();

/// The Java executable to run: the private runtime, the system's (by name), a downloaded
/// one, or the configured name (possibly empty).
std::string ResolveJavaExecutable();

}  // namespace tolvarine

#endif  // TOLVARINE_JAVA_JAVA_RUNTIME_H_
