#include "base/name_folding.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <algorithm>

namespace quirabel {

std::string FoldedFileName(std::string_view utf8) {
  // Plain ASCII, by far the most common name, needs no library.
  if (std::all_of(utf8.begin(), utf8.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    std::string folded(utf8);
    for (char& c : folded)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
  }
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  if (U_FAILURE(status)) return std::string(utf8);
  icu::UnicodeString text = icu::UnicodeString::fromUTF8(
      icu::StringPiece(utf8.data(), static_cast<std::int32_t>(utf8.size())));
  // Composed first, so that folding sees whole characters; composed again afterwards, since
  // folding may leave a sequence that composes.
  text = nfc->normalize(text, status);
  text.foldCase();
  text = nfc->normalize(text, status);
  if (U_FAILURE(status)) return std::string(utf8);
  std::string folded;
  text.toUTF8String(folded);
  return folded;
}

}  // namespace quirabel
