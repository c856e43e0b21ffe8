// The Unicode module: file names folded and right-to-left text ordered and joined through ICU,
// behind the table in base/unicode_module.h.
#include "base/unicode_module.h"

#include <unicode/normalizer2.h>
#include <unicode/ubidi.h>
#include <unicode/unistr.h>
#include <unicode/ushape.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace quirabel {

namespace {

icu::UnicodeString FromUtf8(std::string_view utf8) {
  return icu::UnicodeString::fromUTF8(
      icu::StringPiece(utf8.data(), static_cast<std::int32_t>(utf8.size())));
}

bool FoldFileName(std::string_view utf8, std::string& folded) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  if (U_FAILURE(status)) return false;
  icu::UnicodeString text = FromUtf8(utf8);
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

bool JoinArabic(std::string_view utf8, std::string& joined) {
  const icu::UnicodeString text = FromUtf8(utf8);
  constexpr std::uint32_t kOptions =
      U_SHAPE_LETTERS_SHAPE | U_SHAPE_TEXT_DIRECTION_LOGICAL | U_SHAPE_LENGTH_GROW_SHRINK;
  // Joining only ever shortens a text (two letters into one ligature).
  std::vector<UChar> out(static_cast<std::size_t>(text.length()) + 1);
  UErrorCode status = U_ZERO_ERROR;
  const std::int32_t length =
      u_shapeArabic(text.getBuffer(), text.length(), out.data(),
                    static_cast<std::int32_t>(out.size()), kOptions, &status);
  if (U_FAILURE(status)) return false;
  joined.clear();
  icu::UnicodeString(out.data(), length).toUTF8String(joined);
  return true;
}

int ParagraphLevel(std::string_view utf8) {
  const icu::UnicodeString text = FromUtf8(utf8);
  return ubidi_getBaseDirection(text.getBuffer(), text.length()) == UBIDI_RTL ? 1 : 0;
}

bool VisualOrder(std::string_view utf8, int level, std::string& visual) {
  const icu::UnicodeString text = FromUtf8(utf8);
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<UBiDi, void (*)(UBiDi*)> bidi(ubidi_openSized(text.length(), 0, &status),
                                                      &ubidi_close);
  if (U_FAILURE(status)) return false;
  ubidi_setPara(bidi.get(), text.getBuffer(), text.length(), level == 1 ? 1 : 0, nullptr, &status);
  // Taking the marks out and mirroring never lengthen the text.
  std::vector<UChar> out(static_cast<std::size_t>(text.length()) + 1);
  const std::int32_t length =
      ubidi_writeReordered(bidi.get(), out.data(), static_cast<std::int32_t>(out.size()),
                           UBIDI_DO_MIRRORING | UBIDI_REMOVE_BIDI_CONTROLS, &status);
  if (U_FAILURE(status)) return false;
  visual.clear();
  icu::UnicodeString(out.data(), length).toUTF8String(visual);
  return true;
}

bool CompatibilityText(char32_t ch, std::string& utf8) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfkc = icu::Normalizer2::getNFKCInstance(status);
  if (U_FAILURE(status)) return false;
  const icu::UnicodeString text =
      nfkc->normalize(icu::UnicodeString(static_cast<UChar32>(ch)), status);
  if (U_FAILURE(status)) return false;
  utf8.clear();
  text.toUTF8String(utf8);
  return true;
}

constexpr UnicodeModule kModule{kUnicodeModuleAbi, &FoldFileName, &JoinArabic,
                                &ParagraphLevel,   &VisualOrder,  &CompatibilityText};

}  // namespace

}  // namespace quirabel

extern "C" __attribute__((visibility("default"))) const quirabel::UnicodeModule*
quirabel_unicode_module() {
  return &quirabel::kModule;
}
