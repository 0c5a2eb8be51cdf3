// Small text routines shared by the template expansion, the output filter and the lookups.
// Texts are byte strings: comparisons are byte for byte, without case folding or locale.
#ifndef TOLVARINE_OUTPUT_TEXT_H_
#define TOLVARINE_OUTPUT_TEXT_H_

#include <string>
#include <vector>

namespace tolvarine {

/// Replaces every occurrence of `search` in `text` by `replacement`, left to right without
/// overlaps; inserted text is not searched again. An empty `search` changes nothing.
void ReplaceAll(std::string& text, const std::string& search, const std::string& replacement);

/// Appends to `pieces` the parts of `text` between occurrences of `separator`. A separator at
/// the very end adds no empty last piece; an empty text gives one empty piece. An empty
/// `separator` gives the whole text as one piece.
void SplitString(const std::string& text, const std::string& separator,
                 std::vector<std::string>& pieces);

/// True when `path` names a file (not a folder) that can be opened for reading now.
bool FileExists(const std::string& path);

}  // namespace tolvarine

#endif  // TOLVARINE_OUTPUT_TEXT_H_
