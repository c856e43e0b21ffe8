#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "pdf/pdf_objects.h"
#include "pdf/pdf_wrappers.h"
#include "pdf/standard_font_widths.h"

namespace quirabel::pdf {

// A font of the document: its registered font dictionary and the name it was created under.
class TPdfFont : public TPdfDictionaryWrapper {
 public:
  TPdfFont(TPdfObjectMgr& objectMgr, std::string name);
  // The name documents ask for ("Arial-Bold").
  const std::string& Name() const { return name_; }
  // The resource name content streams use ("F0"), given by the document.
  const std::string& ResourceName() const { return resourceName_; }
  void SetResourceName(std::string resourceName);
  // Width of the character at a 1-based position, in thousandths of the font size.
  virtual int GetCharWidth(std::string_view text, int position) const;

 protected:
  // A font whose dictionary is made elsewhere (SetDataOnly gives it).
  explicit TPdfFont(std::string name) : name_(std::move(name)) {}
  void SetDataOnly(TPdfDictionary* data, std::string resourceName) {
    TPdfDictionaryWrapper::SetData(data);
    resourceName_ = std::move(resourceName);
  }

 private:
  std::string name_;
  std::string resourceName_;
};

// A standard Type 1 font: nothing embedded, widths kept for measuring.
class TPdfType1Font : public TPdfFont {
 public:
  void SetData(TPdfDictionary* data) override;
  int GetCharWidth(std::string_view text, int position) const override;
  std::uint8_t FirstChar() const { return firstChar_; }
  std::uint8_t LastChar() const { return lastChar_; }

 protected:
  TPdfType1Font(TPdfObjectMgr& objectMgr, std::string name, std::string_view baseFont,
                const WidthTable& widths);

 private:
  std::uint8_t firstChar_ = 0;
  std::uint8_t lastChar_ = 0;
  std::array<std::uint16_t, 256> widths_{};
};

#define QUIRABEL_STANDARD_FONT(ClassName)                  \
  class ClassName final : public TPdfType1Font {           \
   public:                                                 \
    ClassName(TPdfObjectMgr& objectMgr, std::string name); \
  };
QUIRABEL_STANDARD_FONT(TPdfFixedWidth)
QUIRABEL_STANDARD_FONT(TPdfFixedWidthBold)
QUIRABEL_STANDARD_FONT(TPdfFixedWidthItalic)
QUIRABEL_STANDARD_FONT(TPdfFixedWidthBoldItalic)
QUIRABEL_STANDARD_FONT(TPdfArial)
QUIRABEL_STANDARD_FONT(TPdfArialBold)
QUIRABEL_STANDARD_FONT(TPdfArialItalic)
QUIRABEL_STANDARD_FONT(TPdfArialBoldItalic)
QUIRABEL_STANDARD_FONT(TPdfTimesRoman)
QUIRABEL_STANDARD_FONT(TPdfTimesBold)
QUIRABEL_STANDARD_FONT(TPdfTimesItalic)
QUIRABEL_STANDARD_FONT(TPdfTimesBoldItalic)
#undef QUIRABEL_STANDARD_FONT

// The process-wide registry of font names; immutable.
struct StandardFontClass {
  std::string_view name;      // "Arial-Bold"
  std::string_view baseFont;  // "Helvetica-Bold"
  std::unique_ptr<TPdfFont> (*create)(TPdfObjectMgr& objectMgr, std::string name);
};
// Raises EPdfInvalidValue for a name that is not registered.
const StandardFontClass& FindStandardFont(std::string_view name);
const std::array<StandardFontClass, 12>& StandardFonts();

// The registered font name of a text element's family and style: "Arial", "Times-Bold",
// "FixedWidth-BoldItalic", ... Family 0 is fixed width, 1 Arial, 2 Times Roman.
std::string StandardFontName(int family, bool bold, bool italic);

}  // namespace quirabel::pdf
