// The producer text inside the converter's output file.
#ifndef TOLVARINE_OUTPUT_PRODUCER_PATCH_H_
#define TOLVARINE_OUTPUT_PRODUCER_PATCH_H_

#include <string>

namespace tolvarine {

/// What the converter writes into its output files as their producer, unless config.dat names
/// another text.
inline constexpr char kConverterProducerText[] =
    "(Apache FOP Version 1.0beta2: PDF Transcoder for Batik)";
/// What the launcher puts in its place: the same length, so the file keeps its size.
inline constexpr char kProductProducerText[] =
    "(Tolvarine SVG to PDF Converter)                       ";
static_assert(sizeof kConverterProducerText == 56 && sizeof kProductProducerText == 56,
              "the producer texts must be 55 bytes each");

/// The product's own producer, in parentheses.
inline constexpr char kProductProducerName[] = "(Tolvarine SVG to PDF Converter)";

/// What replaces `converter_text` in a file: the product's producer padded with spaces to the
/// same length, so that the file keeps its length; empty (nothing to replace) when it does not
/// fit or `converter_text` is empty.
std::string ProductProducerTextFor(const std::string& converter_text);

/// Overwrites one occurrence of `search` in the file at `path` with `replacement` (cut or
/// padded with spaces to the length of `search`): the last one when `from_end` is set, else
/// the first. Only those bytes are written, in place: the file keeps its length and every other
/// byte. True when an occurrence was found, also when the file could not be opened for writing
/// and was left as it was.
bool ReplaceTextInFile(const std::string& path, const std::string& search,
                       const std::string& replacement, bool from_end);

}  // namespace tolvarine

#endif  // TOLVARINE_OUTPUT_PRODUCER_PATCH_H_
