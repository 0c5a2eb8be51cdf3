// Reads one value of an INI-form file by the rules of Windows' private profile reader, in
// portable C++. The POSIX build reads config.dat with it; both builds compile it, so that the
// Windows build can hold it against the system's own reader.
#ifndef TOLVARINE_PLATFORM_PROFILE_READER_H_
#define TOLVARINE_PLATFORM_PROFILE_READER_H_

#include <cstddef>
#include <optional>
#include <string>

namespace tolvarine::platform {

/// The text held by an INI-form file's bytes: a UTF-8 byte-order mark is dropped, UTF-16 text
/// behind a byte-order mark (either byte order) becomes UTF-8, any other bytes stay as they are.
std::string DecodeProfileText(const std::string& bytes);

/// The value that `text` gives `key` in `section`. Lines end at CR or LF; blanks around
/// lines, names and values do not count; names match without regard to ASCII letter case.
/// Only the first section of that name counts (keys above the first header form the section
/// named ""), and in it only the first line of that key. Nothing when there is no such line
/// or the line has no "=". The value ends at its first zero byte.
std::optional<std::string> FindProfileValue(const std::string& text, const std::string& section,
                                            const std::string& key);

/// What Windows' reader places in a buffer of `size` bytes for `value`, or when there is none
/// `default_value` less its trailing spaces (its first character always stays): text after a
/// zero byte does not count, one pair of enclosing quotes (" or ') is dropped, and the result
/// is cut to size - 1 characters. Empty for size 0.
std::string PlaceProfileString(const std::optional<std::string>& value,
                               const std::string& default_value, std::size_t size);

/// The whole read: looks `key` up in `section` of the INI-form file at `path` and gives the
/// result as PlaceProfileString does for a buffer of `size` bytes. An empty path, a missing file
/// and one that cannot be read all give the default. The file is read in pieces and no more of a
/// value is kept than placing it needs, so memory stays the same whatever the file's size.
std::string ReadProfileFile(const std::string& section, const std::string& key,
                            const std::string& default_value, std::size_t size,
                            const std::string& path);

}  // namespace tolvarine::platform

#endif  // TOLVARINE_PLATFORM_PROFILE_READER_H_
