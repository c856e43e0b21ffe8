#include "pdf/pdf_bidi.h"

#include "base/module.h"
#include "base/unicode_module.h"
#include "pdf/font_faces.h"
#include "pdf/pdf_unicode_font.h"

namespace quirabel::pdf {

namespace {

const UnicodeModule* Unicode() {
  static const ModuleTable<UnicodeModule> unicode =
      OpenModuleTable<UnicodeModule>(kUnicodeModuleFile, kUnicodeModuleEntry, kUnicodeModuleAbi);
  return unicode.table;
}

bool IsRightToLeftLetter(char32_t ch) {
  return (ch >= 0x0590 && ch <= 0x08FF) || (ch >= 0xFB1D && ch <= 0xFDFF) ||
         (ch >= 0xFE70 && ch <= 0xFEFF) || (ch >= 0x10800 && ch <= 0x10FFF) ||
         (ch >= 0x1E800 && ch <= 0x1EFFF);
}

bool IsPresentationForm(char32_t ch) {
  return (ch >= 0xFB1D && ch <= 0xFDFF) || (ch >= 0xFE70 && ch <= 0xFEFF);
}

bool IsArabic(char32_t ch) {
  return (ch >= 0x0600 && ch <= 0x06FF) || (ch >= 0x0750 && ch <= 0x077F) ||
         (ch >= 0x08A0 && ch <= 0x08FF);
}

template <typename Predicate>
bool AnyCharacter(std::string_view utf8, Predicate predicate) {
  for (std::size_t pos = 0, length = 1; pos < utf8.size(); pos += length) {
    // Every character in question is above U+058F, so has a lead byte of 0xD6 or more.
    if (static_cast<unsigned char>(utf8[pos]) < 0xD6) {
      length = 1;
      continue;
    }
    if (predicate(DecodeUtf8At(utf8, pos, length))) return true;
  }
  return false;
}

}  // namespace

bool IsBidiControl(char32_t ch) {
  return ch == 0x061C || ch == 0x200E || ch == 0x200F || (ch >= 0x202A && ch <= 0x202E) ||
         (ch >= 0x2066 && ch <= 0x2069);
}

bool NeedsBidi(std::string_view utf8) {
  return AnyCharacter(utf8,
                      [](char32_t ch) { return IsRightToLeftLetter(ch) || IsBidiControl(ch); });
}

std::string JoinedArabic(std::string_view utf8, const FontChain& chain) {
  std::string joined;
  const UnicodeModule* unicode = AnyCharacter(utf8, IsArabic) ? Unicode() : nullptr;
  if (unicode == nullptr || !unicode->joinArabic(utf8, joined)) return std::string(utf8);
  const bool printable = !AnyCharacter(
      joined, [&](char32_t ch) { return IsPresentationForm(ch) && chain.FaceFor(ch) == nullptr; });
  return printable ? joined : std::string(utf8);
}

int ParagraphLevel(std::string_view utf8) {
  const UnicodeModule* unicode = NeedsBidi(utf8) ? Unicode() : nullptr;
  return unicode != nullptr ? unicode->paragraphLevel(utf8) : 0;
}

std::string VisualOrder(std::string_view line, int level) {
  std::string visual;
  const UnicodeModule* unicode = level == 1 || NeedsBidi(line) ? Unicode() : nullptr;
  if (unicode == nullptr || !unicode->visualOrder(line, level, visual)) return std::string(line);
  return visual;
}

std::u32string LogicalCharacters(char32_t ch) {
  std::string utf8;
  const UnicodeModule* unicode = IsPresentationForm(ch) ? Unicode() : nullptr;
  if (unicode == nullptr || !unicode->compatibilityText(ch, utf8) || utf8.empty())
    return std::u32string(1, ch);
  std::u32string characters;
  for (std::size_t pos = 0, length = 1; pos < utf8.size(); pos += length)
    characters.push_back(DecodeUtf8At(utf8, pos, length));
  return characters;
}

}  // namespace quirabel::pdf
