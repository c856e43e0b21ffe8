#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quirabel::dialogs {

// The largest text file "Text-Import" takes: far more than a text field on a card shows.
inline constexpr std::uintmax_t kMaxImportBytes = 1024 * 1024;

// Reads a plain text file as lines of UTF-8. A well-formed UTF-8 file (with or without byte-order
// mark) is taken as UTF-8, anything else as Windows-1252. Lines end at CR LF, LF or CR; a break at
// the very end opens no further line. None, and `error` gives the message, when the file cannot be
// read or is larger than kMaxImportBytes.
// The lines of a text file's bytes, decoded as ReadTextLines does.
std::vector<std::string> DecodeTextLines(std::string_view bytes);

std::optional<std::vector<std::string>> ReadTextLines(const std::filesystem::path& file,
                                                      std::string& error);

}  // namespace quirabel::dialogs
