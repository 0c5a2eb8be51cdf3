// Choosing the Java executable that the converter's template names.
#ifndef TOLVARINE_JAVA_JAVA_RUNTIME_H_
#define TOLVARINE_JAVA_JAVA_RUNTIME_H_

#include <string>

namespace tolvarine {

/// The phrase by which a usable system Java names itself in its version text.
inline constexpr char kJavaRuntimePhrase[] = "Java(TM) SE Runtime Environment";

/// Puts the installation's private runtime path into `result`; true when it exists.
bool FindPrivateJava(std::string& result);

/// Whether "java -version", found on PATH, names itself with the runtime phrase.
bool IsSystemJavaUsable();

/// The Java executable to run: the private runtime, the system's (by name), a downloaded
/// one, or the configured name. Always leaves a text (possibly empty) in `result`.
bool ResolveJavaExecutable(std::string& result);

}  // namespace tolvarine

#endif  // TOLVARINE_JAVA_JAVA_RUNTIME_H_
