#include "report/pr_labels.h"

#include <algorithm>
#include <cmath>

#include "base/cp1252.h"
#include "base/rounding.h"
#include "pdf/pdf_bidi.h"
#include "pdf/pdf_fonts.h"
#include "pdf/pdf_text.h"
#include "pdf/pdf_unicode_font.h"

namespace quirabel::report {

namespace {

// The ranges the PDF text state accepts.
constexpr double kMaxFontSize = 300;
constexpr double kMinCharSpace = -30;
constexpr double kMaxCharSpace = 300;
constexpr double kMaxLeading = 300;
constexpr double kMaxWordSpace = 32767;

// A project file may carry any value; it is printed (and measured) as far as a PDF text state
// allows: brought to the nearest edge of the writer's range, and a value that is no number at
// all counts as 0. The element keeps the value as stored, so the file reads back unchanged.
double InPdfRange(double value, double low, double high) {
  return std::clamp(std::isnan(value) ? 0.0 : value, low, high);
}
double PdfFontSize(float size) { return InPdfRange(size, 0, kMaxFontSize); }
double PdfCharSpace(float space) { return InPdfRange(space, kMinCharSpace, kMaxCharSpace); }
double PdfWordSpace(float space) { return InPdfRange(space, 0, kMaxWordSpace); }
double PdfLeading(float leading) { return InPdfRange(leading, 0, kMaxLeading); }

}  // namespace

std::string ScreenFontName(TPRFontName name) {
  switch (name) {
    case TPRFontName::fnFixedWidth:
      return "Courier New";
    case TPRFontName::fnTimesRoman:
      return "Times New Roman";
    case TPRFontName::fnArial:
      break;
  }
  return "Arial";
}

TPRCustomLabel::TPRCustomLabel(ui::Component* owner) : TPRItem(owner) {}

void TPRCustomLabel::SetFontName(TPRFontName value) {
  if (value == fontName_) return;
  fontName_ = value;
  Invalidate();
}

void TPRCustomLabel::SetFontSize(float value) {
  if (!(value > 0) || value == fontSize_) return;
  fontSize_ = value;
  Invalidate();
}

void TPRCustomLabel::SetFontBold(bool value) {
  if (value == fontBold_) return;
  fontBold_ = value;
  Invalidate();
}

void TPRCustomLabel::SetFontItalic(bool value) {
  if (value == fontItalic_) return;
  fontItalic_ = value;
  Invalidate();
}

void TPRCustomLabel::SetFontColor(graphics::TColor value) {
  if (value > 0x0FFFFFFF) throw pdf::EPdfInvalidValue("the color you selected is not allowed.");
  if (value == fontColor_) return;
  fontColor_ = value;
  Invalidate();
}

void TPRCustomLabel::SetCharSpace(float value) {
  if (value == charSpace_) return;
  charSpace_ = value;
  Invalidate();
}

void TPRCustomLabel::SetWordSpace(float value) {
  if (!(value >= 0) || value == wordSpace_) return;
  wordSpace_ = value;
  Invalidate();
}

std::string TPRCustomLabel::PdfFontName() const {
  return pdf::StandardFontName(static_cast<int>(fontName_), fontBold_, fontItalic_);
}

TPRCustomLabel::PdfText TPRCustomLabel::ToPdfText(std::string_view utf8) const {
  if (FitsCp1252(utf8)) return {PdfFontName(), Utf8ToCp1252(utf8), false};
  // Arabic letters are joined before anything measures them.
  return {PdfFontName() + std::string(pdf::TPdfUnicodeFont::kUnicodeSuffix),
          pdf::JoinedArabic(
              utf8, pdf::FontChain::For(static_cast<int>(fontName_), fontBold_, fontItalic_)),
          true};
}

std::vector<char32_t> TPRCustomLabel::UnprintableCharacters(std::string_view utf8) const {
  if (FitsCp1252(utf8)) return {};
  const pdf::FontChain& chain =
      pdf::FontChain::For(static_cast<int>(fontName_), fontBold_, fontItalic_);
  std::vector<char32_t> missing;
  for (std::size_t pos = 0, length = 1; pos < utf8.size(); pos += length) {
    const char32_t ch = pdf::DecodeUtf8At(utf8, pos, length);
    if (ch < 0x20 || (ch >= 0x7F && ch < 0xA0) || chain.FaceFor(ch) != nullptr) continue;
    if (std::find(missing.begin(), missing.end(), ch) == missing.end()) missing.push_back(ch);
  }
  return missing;
}

void TPRCustomLabel::PrintChecked(const std::function<void()>& print) const {
  try {
    print();
  } catch (const pdf::EPdfMissingCharacters& e) {
    std::string names;
    for (char32_t ch : e.Characters())
      names += (names.empty() ? "" : ", ") + pdf::CodePointText(ch);
    const bool one = e.Characters().size() == 1;
    throw pdf::EPdfMissingCharacters(
        e.Control() ? "Element „" + Name() + "“ enthält " +
                          (one ? "das Steuerzeichen " : "die Steuerzeichen ") + names
                    : "Element „" + Name() + "“: keine installierte Schrift hat " +
                          (one ? "das Zeichen " : "die Zeichen ") + names,
        e.Characters(), e.Control());
  }
}

ui::TFont TPRCustomLabel::ScreenFont() const {
  return {ScreenFontName(fontName_), RoundHalfEven(fontSize_ * 0.75), fontBold_, fontItalic_,
          graphics::ResolveSystemColor(fontColor_)};
}

void TPRCustomLabel::DrawCharwise(ui::Canvas& canvas, pdf::TPdfCanvas& measure,
                                  std::string_view line, std::string_view paragraph, bool unicode,
                                  double x, int y) const {
  // In the order the PDF draws the characters: right-to-left text reordered.
  const std::string visual = measure.VisualLine(line, paragraph);
  std::string_view text = visual;
  if (text.size() >= 2 && text.substr(text.size() - 2) == "\r\n") text.remove_suffix(2);
  const double charSpace = measure.Attribute().CharSpace();
  for (std::size_t i = 0, length = 1; i < text.size(); i += length) {
    length = 1;
    if (unicode) pdf::DecodeUtf8At(text, i, length);
    const std::string_view ch = text.substr(i, length);
    canvas.PlaceText(x, y, PdfFontSize(FontSize()), unicode ? std::string(ch) : Cp1252ToUtf8(ch));
    x += measure.TextWidth(ch) + charSpace;
    if (ch[0] == ' ') x += wordSpace_;
  }
}

TPRLabel::TPRLabel(ui::Component* owner) : TPRCustomLabel(owner) {}

void TPRLabel::SetAlignment(pdf::TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

void TPRLabel::SetAlignJustified(bool value) {
  if (value == alignJustified_) return;
  alignJustified_ = value;
  Invalidate();
}

void TPRLabel::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Invalidate();
}

void TPRLabel::ApplySettings(pdf::TPdfCanvas& canvas, const PdfText& caption) const {
  canvas.SetFont(caption.fontName, PdfFontSize(FontSize()));
  canvas.SetRGBFillColor(FontColor());
  canvas.SetWordSpace(PdfWordSpace(WordSpace()));
  if (alignJustified_) {
    canvas.SetCharSpace(0);
    const double w = canvas.TextWidth(caption.bytes);
    int n = 0;
    for (std::size_t i = 0, length = 1; i < caption.bytes.size(); i += length, ++n) {
      length = 1;
      if (caption.unicode) pdf::DecodeUtf8At(caption.bytes, i, length);
    }
    const double spacing = n >= 2 ? (Width() - w) / (n - 1) : 0;
    // A short caption in a wide element would ask for more spacing than a PDF text state holds;
    // it is spread as far as that allows instead of failing the whole export.
    if (spacing > 0) canvas.SetCharSpace(std::min(spacing, kMaxCharSpace));
  } else {
    canvas.SetCharSpace(PdfCharSpace(CharSpace()));
  }
}

double TPRLabel::GetTextWidth() const {
  pdf::TPdfCanvas* measure = MeasuringCanvas();
  if (measure == nullptr) return 0;
  const PdfText caption = ToPdfText(Caption());
  measure->SetFont(caption.fontName, PdfFontSize(FontSize()));
  measure->SetWordSpace(PdfWordSpace(WordSpace()));
  measure->SetCharSpace(PdfCharSpace(CharSpace()));
  return measure->TextWidth(caption.bytes);
}

int TPRLabel::ScreenTextWidth() const {
  pdf::TPdfCanvas* measure = MeasuringCanvas();
  if (measure == nullptr) return 0;
  // The screen fonts share the metrics of the PDF standard fonts; a screen point is 4/3 pixel.
  const PdfText caption = ToPdfText(Caption());
  measure->SetFont(caption.fontName, ScreenFont().size * 4.0 / 3.0);
  measure->SetWordSpace(0);
  measure->SetCharSpace(0);
  return RoundHalfEven(measure->TextWidth(caption.bytes));
}

void TPRLabel::Print(TPRCanvas& canvas, const ui::TRect& rect) {
  const PdfText caption = ToPdfText(Caption());
  if (caption.bytes.empty()) return;
  PrintChecked([&] {
    ApplySettings(canvas.Pdf(), caption);
    canvas.TextRect(rect, caption.bytes, alignment_, clipping_);
  });
}

void TPRLabel::Paint(ui::Canvas& canvas) {
  const PdfText caption = ToPdfText(Caption());
  pdf::TPdfCanvas* measure = MeasuringCanvas();
  if (caption.bytes.empty() || measure == nullptr) return;
  try {
    ApplySettings(*measure, caption);
  } catch (const pdf::EPdfException&) {
    return;  // settings no PDF could print (a char space out of range) show nothing either
  }
  const double w = measure->TextWidth(caption.bytes);
  double x = 0;
  if (alignment_ == pdf::TAlignment::taRightJustify) {
    x = RoundHalfEven(Width() - w);
  } else if (alignment_ == pdf::TAlignment::taCenter) {
    x = RoundHalfEven((Width() - w) * 0.5);
  }
  canvas.font = ScreenFont();
  canvas.brush.style = ui::TBrushStyle::bsClear;
  DrawCharwise(canvas, *measure, caption.bytes, caption.bytes, caption.unicode, x, 0);
}

TPRText::TPRText(ui::Component* owner) : TPRCustomLabel(owner) {}

void TPRText::SetLines(std::vector<std::string> lines) {
  lines_ = std::move(lines);
  Invalidate();
}

void TPRText::SetText(std::string_view text) { SetLines(SplitLines(text)); }

std::string TPRText::Text() const {
  std::string text;
  for (const auto& line : lines_) {
    text += line;
    text += "\r\n";
  }
  return text;
}

void TPRText::SetLeading(float value) {
  if (!(value >= 0) || value == leading_) return;
  leading_ = value;
  Invalidate();
}

void TPRText::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  Invalidate();
}

void TPRText::Print(TPRCanvas& canvas, const ui::TRect& rect) {
  pdf::TPdfCanvas& pdf = canvas.Pdf();
  const PdfText pdfText = ToPdfText(Text());
  pdf.SetFont(pdfText.fontName, PdfFontSize(FontSize()));
  pdf.SetRGBFillColor(FontColor());
  pdf.SetCharSpace(PdfCharSpace(CharSpace()));
  pdf.SetWordSpace(PdfWordSpace(WordSpace()));
  pdf.SetLeading(PdfLeading(leading_));
  std::string text = pdfText.bytes;
  // Spaces, line breaks and control characters are trimmed from both ends.
  const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  const auto first = std::find_if_not(text.begin(), text.end(), isBlank);
  const auto last = std::find_if_not(text.rbegin(), text.rend(), isBlank).base();
  text = first < last ? std::string(first, last) : std::string();
  PrintChecked([&] { pdf.MultilineTextRect(canvas.ToPdf(rect), text, wordWrap_); });
}

void TPRText::Paint(ui::Canvas& canvas) {
  pdf::TPdfCanvas* measure = MeasuringCanvas();
  if (measure == nullptr) return;
  const PdfText text = ToPdfText(Text());
  try {
    measure->SetFont(text.fontName, PdfFontSize(FontSize()));
    measure->SetLeading(PdfLeading(leading_));
    measure->SetWordSpace(PdfWordSpace(WordSpace()));
    measure->SetCharSpace(PdfCharSpace(CharSpace()));
  } catch (const pdf::EPdfException&) {
    return;
  }
  canvas.font = ScreenFont();
  canvas.brush.style = ui::TBrushStyle::bsClear;
  const ui::TRect client = ClientRect();
  const int step = RoundHalfEven(leading_);
  int y = 0;
  measure->LayOutLines(
      text.bytes, 0, client.right, wordWrap_,
      [&](std::string_view line) {
        DrawCharwise(canvas, *measure, line, text.bytes, text.unicode, 0, y);
      },
      [&] {
        y += step;
        return !(y > client.Height() - FontSize());
      });
}

}  // namespace quirabel::report
