#include "pdf/pdf_canvas.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/rounding.h"
#include "pdf/pdf_bidi.h"
#include "pdf/pdf_doc.h"
#include "pdf/pdf_fonts.h"
#include "pdf/pdf_text.h"
#include "pdf/pdf_unicode_font.h"

namespace quirabel::pdf {

namespace {

// NaN fails every comparison, so ranges are tested the way round that rejects it.
bool InRange(double value, double low, double high) { return value >= low && value <= high; }

void AppendNumbers(std::string& out, std::initializer_list<double> values) {
  bool first = true;
  for (double v : values) {
    if (!first) out.push_back(' ');
    first = false;
    AppendReal(out, v);
  }
}

void AppendColor(std::string& out, std::int32_t color) {
  // Window-system colours: red in the low byte. System colours (top bit set) print as black.
  auto value = static_cast<std::uint32_t>(color < 0 ? 0 : color);
  AppendNumbers(
      out, {(value & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0, ((value >> 16) & 0xFF) / 255.0});
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// Words for line breaking: up to and including the next space, or the LF of a CR LF pair.
std::vector<std::string_view> SplitWords(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool ends = text[i] == ' ' || (text[i] == '\n' && i > 0 && text[i - 1] == '\r');
    if (ends) {
      words.push_back(text.substr(start, i + 1 - start));
      start = i + 1;
    }
  }
  if (start < text.size()) words.push_back(text.substr(start));
  return words;
}

// The control characters of a text, each once, in order: C0 and C1 controls and DEL, as UTF-8 or
// as Windows-1252 bytes (where the five undefined bytes stand for the C1 control of their value).
// With lineBreaks a CR LF pair is a line break of a text field, not a character.
std::vector<char32_t> ControlCharacters(std::string_view text, bool unicode, bool lineBreaks) {
  std::vector<char32_t> found;
  for (std::size_t pos = 0, length = 1; pos < text.size(); pos += length) {
    length = 1;
    const char32_t ch =
        unicode ? DecodeUtf8At(text, pos, length) : static_cast<unsigned char>(text[pos]);
    const bool control =
        ch < 0x20 || ch == 0x7F ||
        (ch >= 0x80 && ch < 0xA0 &&
         (unicode || ch == 0x81 || ch == 0x8D || ch == 0x8F || ch == 0x90 || ch == 0x9D));
    if (!control) continue;
    if (lineBreaks && ch == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') {
      length = 2;
      continue;
    }
    if (std::find(found.begin(), found.end(), ch) == found.end()) found.push_back(ch);
  }
  return found;
}

std::string CodePointList(const std::vector<char32_t>& characters) {
  std::string names;
  for (char32_t ch : characters) names += (names.empty() ? "" : ", ") + CodePointText(ch);
  return names;
}

}  // namespace

void TPdfCanvasAttribute::SetWordSpace(double value) {
  if (!InRange(value, 0, HUGE_VAL) || !std::isfinite(value)) {
    throw EPdfInvalidValue("SetWordSpace --invalid word space");
  }
  wordSpace_ = static_cast<float>(value);
}

void TPdfCanvasAttribute::SetCharSpace(double value) {
  if (!InRange(value, -30, 300)) throw EPdfInvalidValue("SetCharSpace --invalid char space");
  charSpace_ = static_cast<float>(value);
}

void TPdfCanvasAttribute::CheckFontSize(double value) {
  if (!InRange(value, 0, 300)) throw EPdfInvalidValue("SetCharSpace --invalid font size");
}

void TPdfCanvasAttribute::SetFontSize(double value) {
  CheckFontSize(value);
  fontSize_ = static_cast<float>(value);
}

void TPdfCanvasAttribute::SetLeading(double value) {
  if (!InRange(value, 0, 300)) throw EPdfInvalidValue("SetLeading --invalid font size");
  leading_ = static_cast<float>(value);
}

void TPdfCanvasAttribute::SetHorizontalScaling(int value) {
  if (!InRange(value, 10, 300)) throw EPdfInvalidValue("SetHorizontalScaling --invalid font size");
  horizontalScaling_ = static_cast<std::uint16_t>(value);
}

void TPdfCanvasAttribute::Reset() { *this = TPdfCanvasAttribute(); }

std::string* TPdfCanvas::Out() const {
  return isVirtual_ || contents_ == nullptr ? nullptr : &contents_->Data();
}

void TPdfCanvas::NumberOperator(double operand, std::string_view op) {
  if (std::string* out = Out()) {
    AppendReal(*out, operand);
    out->append(op);
  }
}

void TPdfCanvas::Operator(std::string_view op) {
  if (std::string* out = Out()) {
    out->append(op);
    out->push_back('\n');
  }
}

TPdfDictionary& TPdfCanvas::Page() const {
  if (page_ == nullptr) throw EPdfInvalidOperation("GetPage --the Page is nil");
  return *page_;
}

void TPdfCanvas::Detach() {
  page_ = nullptr;
  contents_ = nullptr;
  attr_.Reset();
  isVirtual_ = false;
}

void TPdfCanvas::SaveTextState() {
  if (page_ == nullptr) return;
  if (attr_.Font() != nullptr) {
    page_->PutInternal("_Font", std::make_unique<TPdfName>(attr_.Font()->Name()));
  }
  page_->PutInternal("_Font_Size", std::make_unique<TPdfReal>(attr_.FontSize()));
  page_->PutInternal("_Word_Space", std::make_unique<TPdfReal>(attr_.WordSpace()));
  page_->PutInternal("_Char_Space", std::make_unique<TPdfReal>(attr_.CharSpace()));
  page_->PutInternal("_HScalling", std::make_unique<TPdfNumber>(attr_.HorizontalScaling()));
  page_->PutInternal("_Leading", std::make_unique<TPdfReal>(attr_.Leading()));
}

void TPdfCanvas::LoadTextState() {
  TPdfName* font = page_->NameOf("_Font");
  if (font == nullptr) {
    // A fresh page: its stream starts with the default font, which SetFont writes because the state
    // has no font yet.
    attr_.Reset();
    SetFont("Arial", 10);
    return;
  }
  // A page drawn before: its stream already holds this state, so nothing is written.
  attr_.SetFont(&doc_->GetFont(font->Value()));
  if (TPdfReal* v = page_->RealOf("_Font_Size")) attr_.SetFontSize(v->Value());
  if (TPdfReal* v = page_->RealOf("_Word_Space")) attr_.SetWordSpace(v->Value());
  if (TPdfReal* v = page_->RealOf("_Char_Space")) attr_.SetCharSpace(v->Value());
  if (TPdfNumber* v = page_->NumberOf("_HScalling")) attr_.SetHorizontalScaling(v->Value());
  if (TPdfReal* v = page_->RealOf("_Leading")) attr_.SetLeading(v->Value());
}

void TPdfCanvas::SetPage(TPdfDictionary* page) {
  SaveTextState();
  page_ = page;
  contents_ = page != nullptr ? PdfCast<TPdfStream>(page->Lookup("Contents")) : nullptr;
  if (page_ != nullptr) {
    LoadTextState();
  } else {
    attr_.Reset();
  }
}

TPdfArray& TPdfCanvas::MediaBox() const {
  TPdfArray* box = Page().ArrayOf("MediaBox");
  if (box == nullptr || box->Count() < 4) throw EPdfInvalidOperation("SetPageSize --no MediaBox.");
  return *box;
}

void TPdfCanvas::SetPageWidth(int width) {
  auto* value = PdfCast<TPdfNumber>(MediaBox().Item(2));
  if (value == nullptr) throw EPdfInvalidOperation("SetPageWidth --invalid MediaBox.");
  value->SetValue(width);
  doc_->PutPrintBoxes(Page(), PageWidth(), PageHeight());
}

void TPdfCanvas::SetPageHeight(int height) {
  auto* value = PdfCast<TPdfNumber>(MediaBox().Item(3));
  if (value == nullptr) throw EPdfInvalidOperation("SetPageHeight --invalid MediaBox.");
  value->SetValue(height);
  doc_->PutPrintBoxes(Page(), PageWidth(), PageHeight());
}

int TPdfCanvas::PageWidth() const {
  TPdfArray* box = Page().ArrayOf("MediaBox");
  auto* value = box != nullptr ? PdfCast<TPdfNumber>(box->Item(2)) : nullptr;
  return value != nullptr ? value->Value() : doc_->DefaultPageWidth();
}

int TPdfCanvas::PageHeight() const {
  TPdfArray* box = Page().ArrayOf("MediaBox");
  auto* value = box != nullptr ? PdfCast<TPdfNumber>(box->Item(3)) : nullptr;
  return value != nullptr ? value->Value() : doc_->DefaultPageHeight();
}

void TPdfCanvas::SaveState() { Operator("q"); }
void TPdfCanvas::RestoreState() { Operator("Q"); }
void TPdfCanvas::ClosePath() { Operator("h"); }
void TPdfCanvas::NewPath() { Operator("n"); }
void TPdfCanvas::Stroke() { Operator("S"); }
void TPdfCanvas::ClosePathStroke() { Operator("s"); }
void TPdfCanvas::Fill() { Operator("f"); }
void TPdfCanvas::ClosePathFillStroke() { Operator("b"); }
void TPdfCanvas::Clip() { Operator("W"); }
void TPdfCanvas::BeginText() { Operator("BT"); }
void TPdfCanvas::EndText() { Operator("ET"); }
void TPdfCanvas::MoveToNextLine() { Operator("T*"); }

void TPdfCanvas::Concat(double a, double b, double c, double d, double e, double f) {
  if (std::string* out = Out()) {
    for (double v : {a, b, c, d, e, f}) {
      AppendReal(*out, v);
      out->push_back(' ');
    }
    *out += "cm\n";
  }
}

void TPdfCanvas::SetDash(std::span<const std::uint8_t> values, int phase) {
  if (std::string* out = Out()) {
    out->push_back('[');
    if (!values.empty() && values.front() != 0) {
      for (std::uint8_t v : values) {
        *out += std::to_string(v);
        out->push_back(' ');
      }
    }
    *out += "] ";
    *out += std::to_string(phase);
    *out += " d\n";
  }
}

void TPdfCanvas::SetLineWidth(double width) { NumberOperator(width, " w\n"); }

void TPdfCanvas::MoveTo(double x, double y) {
  if (std::string* out = Out()) {
    AppendNumbers(*out, {x, y});
    *out += " m\n";
  }
}

void TPdfCanvas::LineTo(double x, double y) {
  if (std::string* out = Out()) {
    AppendNumbers(*out, {x, y});
    *out += " l\n";
  }
}

void TPdfCanvas::CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) {
  if (std::string* out = Out()) {
    AppendNumbers(*out, {x1, y1, x2, y2, x3, y3});
    *out += " c\n";
  }
}

void TPdfCanvas::Rectangle(double x, double y, double width, double height) {
  if (std::string* out = Out()) {
    AppendNumbers(*out, {x, y, width, height});
    *out += " re\n";
  }
}

void TPdfCanvas::AppendPath(std::string_view operators) {
  if (std::string* out = Out()) out->append(operators);
}

void TPdfCanvas::SetRGBFillColor(std::int32_t color) {
  if (std::string* out = Out()) {
    AppendColor(*out, color);
    *out += " rg\n";
  }
}

void TPdfCanvas::SetRGBStrokeColor(std::int32_t color) {
  if (std::string* out = Out()) {
    AppendColor(*out, color);
    *out += " RG\n";
  }
}

void TPdfCanvas::ExecuteXObject(std::string_view name) {
  if (std::string* out = Out()) {
    out->push_back('/');
    *out += EscapeName(name);
    *out += " Do\n";
  }
}

void TPdfCanvas::SetCharSpace(double value) {
  const float previous = attr_.CharSpace();
  attr_.SetCharSpace(value);
  if (attr_.CharSpace() != previous) NumberOperator(attr_.CharSpace(), " Tc\n");
}

void TPdfCanvas::SetWordSpace(double value) {
  const float previous = attr_.WordSpace();
  attr_.SetWordSpace(value);
  if (attr_.WordSpace() != previous) NumberOperator(attr_.WordSpace(), " Tw\n");
}

void TPdfCanvas::SetLeading(double value) {
  const float previous = attr_.Leading();
  attr_.SetLeading(value);
  if (attr_.Leading() != previous) NumberOperator(attr_.Leading(), " TL\n");
}

void TPdfCanvas::SetHorizontalScaling(int value) {
  std::uint16_t previous = attr_.HorizontalScaling();
  attr_.SetHorizontalScaling(value);
  if (attr_.HorizontalScaling() == previous) return;
  // Scaling changes the measured widths, so the viewer has to be told as well.
  if (std::string* out = Out()) {
    *out += std::to_string(attr_.HorizontalScaling());
    *out += " Tz\n";
  }
}

void TPdfCanvas::SetFontAndSize(std::string_view fontName, double size) {
  if (std::string* out = Out()) {
    out->push_back('/');
    *out += EscapeName(fontName);
    out->push_back(' ');
    AppendReal(*out, size);
    *out += " Tf\n";
  }
}

void TPdfCanvas::MoveTextPoint(double x, double y) {
  if (std::string* out = Out()) {
    AppendNumbers(*out, {x, y});
    *out += " Td\n";
  }
}

void TPdfCanvas::CheckCharacters(std::string_view text) const {
  auto* font = dynamic_cast<TPdfUnicodeFont*>(attr_.Font());
  if (font == nullptr) return;
  const std::vector<char32_t> missing = font->MissingCharacters(text);
  if (missing.empty()) return;
  throw EPdfMissingCharacters("ShowText --no installed font has " + CodePointList(missing),
                              missing);
}

void TPdfCanvas::CheckPrintable(std::string_view text, bool lineBreaks) const {
  const bool unicode = dynamic_cast<TPdfUnicodeFont*>(attr_.Font()) != nullptr;
  const std::vector<char32_t> controls = ControlCharacters(text, unicode, lineBreaks);
  if (!controls.empty()) {
    throw EPdfMissingCharacters("ShowText --control characters " + CodePointList(controls),
                                controls, true);
  }
  CheckCharacters(text);
}

// Codes of the embedded faces in hexadecimal, two bytes each; a font change at every change of
// face, and the font of the text state again at the end. Word spacing does not reach two-byte
// codes in viewers, so the space after each word goes in as a displacement of a TJ array.
void TPdfCanvas::ShowUnicodeText(std::string& out, std::string_view utf8) {
  auto& font = static_cast<TPdfUnicodeFont&>(*attr_.Font());
  const std::vector<TPdfUnicodeFont::Run> runs = font.Encode(utf8);
  const double wordSpace = attr_.WordSpace();
  TPdfEmbeddedFace* current = &font.PrimaryFace();
  const auto select = [&](TPdfEmbeddedFace& face) {
    if (&face == current) return;
    TPdfDictionary& fonts = PageResources("Font");
    if (fonts.Lookup(face.ResourceName()) == nullptr)
      fonts.Put(face.ResourceName(), face.Dictionary());
    SetFontAndSize(face.ResourceName(), attr_.FontSize());
    current = &face;
  };
  for (const auto& run : runs) {
    select(*run.face);
    const bool spaced = wordSpace > 0 && attr_.FontSize() > 0;
    if (spaced) out.push_back('[');
    out.push_back('<');
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < run.codes.size(); ++i) {
      const unsigned code = run.codes[i];
      for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(code >> shift) & 0xF]);
      if (spaced && run.spaces[i] && i + 1 < run.codes.size()) {
        // The writer's number format rounds negative halves up; the sign goes on by hand.
        out += "> -";
        AppendReal(out, wordSpace * 1000.0 / attr_.FontSize());
        out += " <";
      }
    }
    out += spaced ? ">] TJ\n" : "> Tj\n";
  }
  select(font.PrimaryFace());
}

void TPdfCanvas::ShowText(std::string_view text) {
  if (std::string* out = Out()) {
    if (dynamic_cast<TPdfUnicodeFont*>(attr_.Font()) != nullptr) {
      CheckCharacters(text);
      ShowUnicodeText(*out, text);
    } else if (HasMultiByte(text)) {
      out->push_back('<');
      *out += ToHex(text);
      *out += "> Tj\n";
    } else {
      out->push_back('(');
      AppendEscapedText(*out, text);
      *out += ") Tj\n";
    }
  }
}

void TPdfCanvas::SetFont(std::string_view name, double size) {
  TPdfFont& font = doc_->GetFont(name);
  if (&font == attr_.Font() && static_cast<float>(size) == attr_.FontSize()) return;
  // The size is checked before anything is written, so a refused size leaves no operator behind.
  TPdfCanvasAttribute::CheckFontSize(size);
  const std::string& resourceName = font.ResourceName();
  TPdfDictionary& fonts = PageResources("Font");
  if (fonts.Lookup(resourceName) == nullptr) fonts.Put(resourceName, *font.Data());
  SetFontAndSize(resourceName, static_cast<float>(size));
  attr_.SetFont(&font);
  attr_.SetFontSize(size);
}

TPdfDictionary& TPdfCanvas::PageResources(std::string_view kind) const {
  TPdfDictionary* resources = Page().DictionaryOf("Resources");
  TPdfDictionary* dict = resources != nullptr ? resources->DictionaryOf(kind) : nullptr;
  if (dict == nullptr) throw EPdfInvalidOperation("GetPage --the page has no resources.");
  return *dict;
}

double TPdfCanvas::Advance(std::string_view text, std::size_t i) const {
  double w = attr_.Font()->GetCharWidth(text, static_cast<int>(i + 1)) * attr_.FontSize() * 0.001;
  if (attr_.HorizontalScaling() != 100) w = w * attr_.HorizontalScaling() * 0.01;
  double advance = w > 0 ? attr_.CharSpace() + w : 0;
  if (text[i] == ' ' && attr_.WordSpace() > 0 && i + 1 != text.size()) advance += attr_.WordSpace();
  return advance;
}

double TPdfCanvas::TextWidth(std::string_view text) const {
  if (attr_.Font() == nullptr) throw EPdfInvalidOperation("TextWidth --no font.");
  double result = 0;
  for (std::size_t i = 0; i < text.size(); ++i) result += Advance(text, i);
  return result - attr_.CharSpace();
}

std::size_t TPdfCanvas::MeasureText(std::string_view text, double width) const {
  if (attr_.Font() == nullptr) throw EPdfInvalidOperation("MeasureText --no font.");
  double sum = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    sum += Advance(text, i);
    if (sum > width) return i;
  }
  return text.size();
}

void TPdfCanvas::TextRect(const TPdfRect& rect, std::string_view text, TAlignment alignment,
                          bool clipping) {
  // A line break at the end of a caption is left alone, as the screen does.
  CheckPrintable(EndsWith(text, "\r\n") ? text.substr(0, text.size() - 2) : text, false);
  const double w = TextWidth(text);
  const double d = static_cast<double>(rect.right) - rect.left;
  double offset = 0;
  if (alignment == TAlignment::taRightJustify) {
    offset = d - RoundHalfEven(w);
  } else if (alignment == TAlignment::taCenter) {
    offset = RoundHalfEven((d - w) * 0.5);
  }
  if (clipping) {
    SaveState();
    MoveTo(rect.left, rect.top);
    LineTo(rect.left, rect.bottom);
    LineTo(rect.right, rect.bottom);
    LineTo(rect.right, rect.top);
    ClosePath();
    Clip();
    NewPath();
  }
  BeginText();
  MoveTextPoint(rect.left + offset, rect.top - attr_.FontSize() * 0.85);
  ShowText(VisualLine(text, text));
  EndText();
  if (clipping) RestoreState();
}

std::string TPdfCanvas::VisualLine(std::string_view line, std::string_view paragraph) const {
  if (dynamic_cast<TPdfUnicodeFont*>(attr_.Font()) == nullptr || !NeedsBidi(paragraph))
    return std::string(line);
  if (EndsWith(line, "\r\n")) line.remove_suffix(2);
  return VisualOrder(line, ParagraphLevel(paragraph));
}

std::string TPdfCanvas::ShortenToFit(std::string_view line, double width) const {
  return std::string(line.substr(0, MeasureText(line, width)));
}

void TPdfCanvas::LayOutLines(std::string_view text, double left, double right, bool wordWrap,
                             const std::function<void(std::string_view line)>& showLine,
                             const std::function<bool()>& nextLine) const {
  const std::vector<std::string_view> words = SplitWords(text);
  const double wordSpace = attr_.WordSpace();
  std::string line(words.empty() ? std::string_view() : words.front());
  double x = left + TextWidth(line) + (EndsWith(line, " ") ? wordSpace : 0);
  for (std::size_t next = 1; next < words.size(); ++next) {
    bool forcedBreak = false;
    if (EndsWith(line, "\r\n")) {
      line.resize(line.size() - 2);
      forcedBreak = true;
    }
    std::string_view word = words[next];
    const double wn = TextWidth(word);
    if ((wordWrap && x + wn > right) || forcedBreak) {
      if (!line.empty()) showLine(line);
      line.clear();
      if (!nextLine()) return;  // the word in hand is dropped
      x = left;
    }
    x += wn + (EndsWith(word, " ") ? wordSpace : 0);
    line += word;
  }
  // A text that ends in a line break leaves it on the last word; it is no glyph to show.
  if (EndsWith(line, "\r\n")) line.resize(line.size() - 2);
  if (!line.empty()) showLine(line);
}

void TPdfCanvas::MultilineTextRect(const TPdfRect& rect, std::string_view text, bool wordWrap) {
  CheckPrintable(text, true);
  const double width = static_cast<double>(rect.right) - rect.left;
  double y = rect.top;
  BeginText();
  MoveTextPoint(rect.left, rect.top - attr_.FontSize() * 0.85);
  LayOutLines(
      text, rect.left, rect.right, wordWrap,
      [&](std::string_view line) { ShowText(VisualLine(ShortenToFit(line, width), text)); },
      [&] {
        MoveToNextLine();
        y -= attr_.Leading();
        return !(rect.bottom + attr_.FontSize() > y);
      });
  EndText();
}

TPdfImage& TPdfCanvas::ResourceXObject(std::string_view name, const char* operation) {
  TPdfImage* image = doc_->GetXObject(name);
  if (image == nullptr) {
    throw EPdfInvalidValue(std::string(operation) + " --XObject not found: " + std::string(name));
  }
  TPdfDictionary& xobjects = PageResources("XObject");
  if (xobjects.Lookup(name) == nullptr) xobjects.Put(name, *image);
  return *image;
}

void TPdfCanvas::DrawXObject(double x, double y, double width, double height,
                             std::string_view name) {
  ResourceXObject(name, "DrawXObject");
  SaveState();
  Concat(width, 0, 0, height, x, y);
  ExecuteXObject(name);
  RestoreState();
}

void TPdfCanvas::DrawXObjectEx(double x, double y, double width, double height, double clipX,
                               double clipY, double clipWidth, double clipHeight,
                               std::string_view name) {
  ResourceXObject(name, "DrawXObjectEx");
  SaveState();
  Rectangle(clipX, clipY, clipWidth, clipHeight);
  Clip();
  NewPath();
  Concat(width, 0, 0, height, x, y);
  ExecuteXObject(name);
  RestoreState();
}

void TPdfCanvas::PlaceForm(TPdfStream& form, std::string_view name,
                           const std::array<double, 6>& matrix) {
  TPdfDictionary& xobjects = PageResources("XObject");
  if (xobjects.Lookup(name) == nullptr) xobjects.Put(name, form);
  SaveState();
  Concat(matrix[0], matrix[1], matrix[2], matrix[3], matrix[4], matrix[5]);
  ExecuteXObject(name);
  RestoreState();
}

}  // namespace quirabel::pdf
