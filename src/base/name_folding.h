#pragma once

#include <string>
#include <string_view>

namespace quirabel {

// A file name as a case-insensitive disk (FAT, exFAT, a Mac's or Windows' disk) compares it:
// Unicode case folding and NFC normalisation, so "ANNA", "anna" and "Anna", or "Ä" written as one
// character and as A with a combining mark, give one key. Bytes that are no UTF-8 are kept as
// they are.
std::string FoldedFileName(std::string_view utf8);

}  // namespace quirabel
