// Where the installation is, how its files are found, and how config.dat values are read.
// Nothing is cached: every call looks at the file system again.
#ifndef TOLVARINE_CONFIG_INSTALLATION_H_
#define TOLVARINE_CONFIG_INSTALLATION_H_

#include <cstddef>
#include <string>

namespace tolvarine {

inline constexpr char kConfigFileName[] = "config.dat";
inline constexpr char kHelpFileName[] = "options.dat";
inline constexpr char kConfigSection[] = "Info";
inline constexpr char kRunExeKey[] = "RunEXE";
inline constexpr char kDefaultJavaExeKey[] = "DefaultJavaEXE";
inline constexpr char kJavaDownloadUrlKey[] = "JavaDownloadURL";
inline constexpr char kConverterProducerTextKey[] = "ConverterProducerText";
/// Buffer sizes of the values, whose cut-offs (size - 1 characters) installations rely on.
inline constexpr std::size_t kRunExeSize = 3000;
inline constexpr std::size_t kDefaultJavaExeSize = 300;
inline constexpr std::size_t kJavaDownloadUrlSize = 4096;
inline constexpr std::size_t kConverterProducerTextSize = 1024;

/// The folder of the running launcher, without a trailing separator.
std::string LauncherDirectory();

/// False when the system cannot tell where the running launcher is.
bool LauncherDirectoryKnown();

/// The launcher's folder, one separator, and `name` (joined unchanged); empty when the folder
/// is not known, so that nothing is looked for at the root.
std::string MakeLauncherPath(const std::string& name);

/// The first of "bin", "lib", "libs" that exists in the launcher's folder (any kind of
/// entry), or the empty text.
std::string FindLibraryFolder();

/// The full path of an installation file, looked for in the launcher's folder and then in its
/// library folder; empty when it is in neither.
std::string LocateInstallationFile(const std::string& file_name);

/// A value of config.dat (cut to kRunExeSize - 1 characters), or `default_value`.
std::string ReadConfigString(const std::string& section, const std::string& key,
                             const std::string& default_value);

/// A value of config.dat, or `default_value`, cut to `buffer_size` - 1 characters.
std::string ReadConfigValue(const std::string& section, const std::string& key,
                            const std::string& default_value, std::size_t buffer_size);

}  // namespace tolvarine

#endif  // TOLVARINE_CONFIG_INSTALLATION_H_
