#include "pdf/pdf_fonts.h"

#include <algorithm>

namespace quirabel::pdf {

TPdfFont::TPdfFont(TPdfObjectMgr& objectMgr, std::string name) : name_(std::move(name)) {
  SetData(objectMgr.Register(std::make_unique<TPdfDictionary>(&objectMgr)));
}

void TPdfFont::SetResourceName(std::string resourceName) {
  resourceName_ = std::move(resourceName);
  data_->Put("Name", std::make_unique<TPdfName>(resourceName_));
}

int TPdfFont::GetCharWidth(std::string_view /*text*/, int /*position*/) const { return 0; }

TPdfType1Font::TPdfType1Font(TPdfObjectMgr& objectMgr, std::string name, std::string_view baseFont,
                             const WidthTable& widths)
    : TPdfFont(objectMgr, std::move(name)) {
  TPdfDictionary& dict = *Data();
  dict.Put("Type", std::make_unique<TPdfName>("Font"));
  dict.Put("Subtype", std::make_unique<TPdfName>("Type1"));
  dict.Put("Encoding", std::make_unique<TPdfName>("WinAnsiEncoding"));
  dict.Put("FirstChar", std::make_unique<TPdfNumber>(kFirstWidthCode));
  dict.Put("LastChar", std::make_unique<TPdfNumber>(kFirstWidthCode + kWidthCount - 1));
  dict.Put("BaseFont", std::make_unique<TPdfName>(std::string(baseFont)));
  // The widths are never written, only measured with: they come straight from the process-wide
  // table instead of a number object each, which every document would build and free again.
  firstChar_ = kFirstWidthCode;
  lastChar_ = kFirstWidthCode + kWidthCount - 1;
  std::copy(widths.begin(), widths.end(), widths_.begin() + kFirstWidthCode);
}

void TPdfType1Font::SetData(TPdfDictionary* data) {
  TPdfFont::SetData(data);
  if (data == nullptr) return;
  TPdfNumber* missing = data->NumberOf("MissingWidth");
  widths_.fill(missing != nullptr ? static_cast<std::uint16_t>(missing->Value()) : 0);
  TPdfNumber* first = data->NumberOf("FirstChar");
  TPdfNumber* last = data->NumberOf("LastChar");
  TPdfArray* widths = data->ArrayOf("Widths");
  if (first == nullptr || last == nullptr || widths == nullptr) return;
  firstChar_ = static_cast<std::uint8_t>(first->Value());
  lastChar_ = static_cast<std::uint8_t>(last->Value());
  for (std::size_t i = 0; i < widths->Count() && firstChar_ + i < widths_.size(); ++i) {
    if (auto* w = PdfCast<TPdfNumber>(widths->Item(i))) {
      widths_[firstChar_ + i] = static_cast<std::uint16_t>(w->Value());
    }
  }
}

int TPdfType1Font::GetCharWidth(std::string_view text, int position) const {
  if (position < 1 || static_cast<std::size_t>(position) > text.size()) return 0;
  return widths_[static_cast<unsigned char>(text[static_cast<std::size_t>(position - 1)])];
}

#define QUIRABEL_STANDARD_FONT(ClassName, BaseFont, Widths)        \
  ClassName::ClassName(TPdfObjectMgr& objectMgr, std::string name) \
      : TPdfType1Font(objectMgr, std::move(name), BaseFont, Widths) {}
QUIRABEL_STANDARD_FONT(TPdfFixedWidth, "Courier", kCourierWidths)
QUIRABEL_STANDARD_FONT(TPdfFixedWidthBold, "Courier-Bold", kCourierWidths)
QUIRABEL_STANDARD_FONT(TPdfFixedWidthItalic, "Courier-Oblique", kCourierWidths)
QUIRABEL_STANDARD_FONT(TPdfFixedWidthBoldItalic, "Courier-BoldOblique", kCourierWidths)
QUIRABEL_STANDARD_FONT(TPdfArial, "Helvetica", kHelveticaWidths)
QUIRABEL_STANDARD_FONT(TPdfArialBold, "Helvetica-Bold", kHelveticaBoldWidths)
QUIRABEL_STANDARD_FONT(TPdfArialItalic, "Helvetica-Oblique", kHelveticaObliqueWidths)
QUIRABEL_STANDARD_FONT(TPdfArialBoldItalic, "Helvetica-BoldOblique", kHelveticaBoldObliqueWidths)
QUIRABEL_STANDARD_FONT(TPdfTimesRoman, "Times-Roman", kTimesRomanWidths)
QUIRABEL_STANDARD_FONT(TPdfTimesBold, "Times-Bold", kTimesBoldWidths)
QUIRABEL_STANDARD_FONT(TPdfTimesItalic, "Times-Italic", kTimesItalicWidths)
QUIRABEL_STANDARD_FONT(TPdfTimesBoldItalic, "Times-BoldItalic", kTimesBoldItalicWidths)
#undef QUIRABEL_STANDARD_FONT

namespace {

template <class T>
std::unique_ptr<TPdfFont> Create(TPdfObjectMgr& objectMgr, std::string name) {
  return std::make_unique<T>(objectMgr, std::move(name));
}

const std::array<StandardFontClass, 12> kRegistry = {{
    {"FixedWidth", "Courier", &Create<TPdfFixedWidth>},
    {"FixedWidth-Bold", "Courier-Bold", &Create<TPdfFixedWidthBold>},
    {"FixedWidth-Italic", "Courier-Oblique", &Create<TPdfFixedWidthItalic>},
    {"FixedWidth-BoldItalic", "Courier-BoldOblique", &Create<TPdfFixedWidthBoldItalic>},
    {"Arial", "Helvetica", &Create<TPdfArial>},
    {"Arial-Bold", "Helvetica-Bold", &Create<TPdfArialBold>},
    {"Arial-Italic", "Helvetica-Oblique", &Create<TPdfArialItalic>},
    {"Arial-BoldItalic", "Helvetica-BoldOblique", &Create<TPdfArialBoldItalic>},
    {"Times-Roman", "Times-Roman", &Create<TPdfTimesRoman>},
    {"Times-Bold", "Times-Bold", &Create<TPdfTimesBold>},
    {"Times-Italic", "Times-Italic", &Create<TPdfTimesItalic>},
    {"Times-BoldItalic", "Times-BoldItalic", &Create<TPdfTimesBoldItalic>},
}};

}  // namespace

const std::array<StandardFontClass, 12>& StandardFonts() { return kRegistry; }

const StandardFontClass& FindStandardFont(std::string_view name) {
  for (const auto& entry : kRegistry) {
    if (entry.name == name) return entry;
  }
  throw EPdfInvalidValue("GetFont --font not found: " + std::string(name));
}

std::string StandardFontName(int family, bool bold, bool italic) {
  std::string base = family == 0 ? "FixedWidth" : family == 2 ? "Times" : "Arial";
  if (bold && italic) return base + "-BoldItalic";
  if (bold) return base + "-Bold";
  if (italic) return base + "-Italic";
  return family == 2 ? "Times-Roman" : base;
}

}  // namespace quirabel::pdf
