#ifndef QUIRABEL_BASE_CP1252_H_
#define QUIRABEL_BASE_CP1252_H_

#include <string>
#include <string_view>
#include <vector>

namespace quirabel {

// All text inside the program is UTF-8; Windows-1252 exists only where files and the PDF text
// API need single bytes. These converters are the only crossing point.

// Converts UTF-8 to Windows-1252. Characters Windows-1252 cannot hold become '?', as does every
// malformed sequence (one '?' per maximal ill-formed subpart). U+0081, U+008D, U+008F, U+0090 and
// U+009D map to the bytes Windows-1252 leaves undefined, mirroring Cp1252ToUtf8. When `lossy` is
// given it is set to whether any replacement happened ('?' in the input is not a loss).
std::string Utf8ToCp1252(std::string_view utf8, bool* lossy = nullptr);

// Converts Windows-1252 bytes to UTF-8. Every byte value maps to a character, so
// Utf8ToCp1252(Cp1252ToUtf8(b)) == b for any byte string b.
std::string Cp1252ToUtf8(std::string_view bytes);

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. Text files from
// outside are taken as UTF-8 when this holds and as Windows-1252 otherwise.
bool IsUtf8(std::string_view bytes);

// The byte-order mark of UTF-8 text files.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// A text file from outside as UTF-8: UTF-8 with or without its byte-order mark is taken as it
// is (without the mark), anything else as Windows-1252.
std::string TextFileToUtf8(std::string_view bytes);

// The lines of a text, split at CR LF, CR or LF; a line end at the very end adds no empty line.
std::vector<std::string> SplitLines(std::string_view text);

// True when Utf8ToCp1252 would convert `utf8` without replacing anything.
bool FitsCp1252(std::string_view utf8);

}  // namespace quirabel

#endif  // QUIRABEL_BASE_CP1252_H_
