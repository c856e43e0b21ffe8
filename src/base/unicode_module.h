#pragma once

#include <string>
#include <string_view>

namespace quirabel {

// The Unicode module (unicode.so, over ICU), opened on first use: by FoldedFileName for the first
// name that is not plain ASCII, and by the text layout for the first text in a right-to-left
// script. Texts are UTF-8; each function returns false when ICU fails on its text.
struct UnicodeModule {
  int abi;
  // Case folding and NFC normalisation of a name.
  bool (*foldFileName)(std::string_view utf8, std::string& folded);
  // Arabic letters of a text in logical order replaced by the presentation forms they take where
  // they join their neighbours (lam and alef as one ligature).
  bool (*joinArabic)(std::string_view utf8, std::string& joined);
  // 1 when the first strong character of a text is right-to-left, else 0.
  int (*paragraphLevel)(std::string_view utf8);
  // One line in the order it is drawn, left to right, by the bidirectional algorithm in a
  // paragraph of the given level (0 left-to-right, 1 right-to-left): runs reversed as their
  // levels ask, mirrored brackets, the explicit marks and overrides taken out.
  bool (*visualOrder)(std::string_view utf8, int level, std::string& visual);
  // The compatibility decomposition (NFKC) of one character: the letters a presentation form
  // stands for.
  bool (*compatibilityText)(char32_t ch, std::string& utf8);
};

inline constexpr int kUnicodeModuleAbi = 2;
inline constexpr char kUnicodeModuleFile[] = "unicode.so";
inline constexpr char kUnicodeModuleEntry[] = "quirabel_unicode_module";

}  // namespace quirabel
