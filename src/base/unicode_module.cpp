// The Unicode module: file names folded through ICU, behind the table in base/unicode_module.h.
#include "base/unicode_module.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <cstdint>

namespace quirabel {

namespace {

bool FoldFileName(std::string_view utf8, std::string& folded) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  if (U_FAILURE(status)) return false;
  icu::UnicodeString text = icu::UnicodeString::fromUTF8(
      icu::StringPiece(utf8.data(), static_cast<std::int32_t>(utf8.size())));
  // Composed first, so that folding sees whole characters; composed again afterwards, since
  // folding may leave a sequence that composes.
  text = nfc->normalize(text, status);
  text.foldCase();
  text = nfc->normalize(text, status);
  if (U_FAILURE(status)) return false;
  folded.clear();
  text.toUTF8String(folded);
  return true;
}

constexpr UnicodeModule kModule{kUnicodeModuleAbi, &FoldFileName};

}  // namespace

}  // namespace quirabel

extern "C" __attribute__((visibility("default"))) const quirabel::UnicodeModule*
quirabel_unicode_module() {
  return &quirabel::kModule;
}
