#pragma once

#include <string>
#include <string_view>

namespace quirabel {

// The Unicode module (unicode.so, over ICU), which FoldedFileName opens for the first name that is
// not plain ASCII.
struct UnicodeModule {
  int abi;
  // Case folding and NFC normalisation of a UTF-8 name; false when ICU fails on it.
  bool (*foldFileName)(std::string_view utf8, std::string& folded);
};

inline constexpr int kUnicodeModuleAbi = 1;
inline constexpr char kUnicodeModuleFile[] = "unicode.so";
inline constexpr char kUnicodeModuleEntry[] = "quirabel_unicode_module";

}  // namespace quirabel
