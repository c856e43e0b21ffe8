#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "pdf/pdf_objects.h"

namespace quirabel::pdf {

class TPdfDoc;
class TPdfFont;

// Horizontal alignment of a text line; the ordinals are stored in project files.
enum class TAlignment { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

// A rectangle in PDF coordinates: top above bottom.
struct TPdfRect {
  float left = 0;
  float top = 0;
  float right = 0;
  float bottom = 0;
};

// The text state of a page. Setters check the ranges viewers accept and raise EPdfInvalidValue.
class TPdfCanvasAttribute {
 public:
  float WordSpace() const { return wordSpace_; }
  float CharSpace() const { return charSpace_; }
  float FontSize() const { return fontSize_; }
  float Leading() const { return leading_; }
  std::uint16_t HorizontalScaling() const { return horizontalScaling_; }
  TPdfFont* Font() const { return font_; }

  void SetWordSpace(double value);
  void SetCharSpace(double value);
  void SetFontSize(double value);
  void SetLeading(double value);
  void SetHorizontalScaling(int value);
  void SetFont(TPdfFont* font) { font_ = font; }
  void Reset();

  static void CheckFontSize(double value);

 private:
  float wordSpace_ = 0;
  float charSpace_ = 0;
  float fontSize_ = 10;
  float leading_ = 0;
  std::uint16_t horizontalScaling_ = 100;
  TPdfFont* font_ = nullptr;
};

// Writes the drawing operators of the current page into its content stream and measures text with
// the current font. While virtual, or without a content stream, operators write nothing; resources,
// text state and measuring work as usual.
class TPdfCanvas {
 public:
  explicit TPdfCanvas(TPdfDoc& doc) : doc_(&doc) {}

  // Switches to a page, keeping the text state of the page it leaves inside that page.
  void SetPage(TPdfDictionary* page);
  // Forgets the page without touching it (the document is being freed).
  void Detach();
  TPdfDictionary& Page() const;
  TPdfStream* Contents() const { return contents_; }
  TPdfDoc& Doc() const { return *doc_; }
  bool IsVirtual() const { return isVirtual_; }
  void SetIsVirtual(bool value) { isVirtual_ = value; }
  const TPdfCanvasAttribute& Attribute() const { return attr_; }

  // Page size: the third and fourth numbers of the page's "MediaBox".
  void SetPageWidth(int width);
  void SetPageHeight(int height);
  int PageWidth() const;
  int PageHeight() const;

  // Graphics operators.
  void SaveState();
  void RestoreState();
  void Concat(double a, double b, double c, double d, double e, double f);
  void SetDash(std::span<const std::uint8_t> values, int phase);
  void SetLineWidth(double width);
  void MoveTo(double x, double y);
  void LineTo(double x, double y);
  // A cubic Bézier curve from the current point through the control points to (x3, y3).
  void CurveTo(double x1, double y1, double x2, double y2, double x3, double y3);
  void Rectangle(double x, double y, double width, double height);
  // Path operators formatted by the caller as this canvas formats them (e.g. many rectangles
  // whose numbers repeat), appended as they are.
  void AppendPath(std::string_view operators);
  void ClosePath();
  void NewPath();
  void Stroke();
  void ClosePathStroke();
  void Fill();
  void ClosePathFillStroke();
  void Clip();
  void SetRGBFillColor(std::int32_t color);
  void SetRGBStrokeColor(std::int32_t color);
  void ExecuteXObject(std::string_view name);
  // Draws a Form XObject (TPdfDoc::PageToForm) through the matrix a b c d e f, naming it in the
  // page's resources.
  void PlaceForm(TPdfStream& form, std::string_view name, const std::array<double, 6>& matrix);

  // Text operators. Texts are Windows-1252 bytes, or UTF-8 while the font is a TPdfUnicodeFont
  // (a standard name with "+Unicode").
  void BeginText();
  void EndText();
  void SetCharSpace(double value);
  void SetWordSpace(double value);
  void SetLeading(double value);
  void SetHorizontalScaling(int value);
  void SetFontAndSize(std::string_view fontName, double size);
  void MoveTextPoint(double x, double y);
  void MoveToNextLine();
  void ShowText(std::string_view text);

  void SetFont(std::string_view name, double size);
  // Raises EPdfMissingCharacters when the current font is a TPdfUnicodeFont and no installed font
  // has some character of the text; the text operators check this before they write anything.
  void CheckCharacters(std::string_view text) const;
  // CheckCharacters, and raises EPdfMissingCharacters (Control()) for control characters in the
  // text; with lineBreaks a CR LF pair is a line break. TextRect and MultilineTextRect check so.
  void CheckPrintable(std::string_view text, bool lineBreaks) const;
  // Width in points with the current text state.
  double TextWidth(std::string_view text) const;
  // How many leading characters fit into width.
  std::size_t MeasureText(std::string_view text, double width) const;
  void TextRect(const TPdfRect& rect, std::string_view text, TAlignment alignment, bool clipping);
  void MultilineTextRect(const TPdfRect& rect, std::string_view text, bool wordWrap);
  // The line breaking of MultilineTextRect, for other surfaces (the screen): showLine gets each
  // line that is not empty (not yet cut to the width); nextLine is called at every break and
  // stops the layout by returning false.
  void LayOutLines(std::string_view text, double left, double right, bool wordWrap,
                   const std::function<void(std::string_view line)>& showLine,
                   const std::function<bool()>& nextLine) const;

  // A line of a text in the order its characters are drawn, left to right: right-to-left and
  // mixed text (in a TPdfUnicodeFont) by the bidirectional algorithm, in a paragraph whose
  // direction its first strong character gives; other text as it is (a final line break is no part
  // of a reordered line). The PDF's text and the screen's draw through it.
  std::string VisualLine(std::string_view line, std::string_view paragraph) const;

  void DrawXObject(double x, double y, double width, double height, std::string_view name);
  void DrawXObjectEx(double x, double y, double width, double height, double clipX, double clipY,
                     double clipWidth, double clipHeight, std::string_view name);

 private:
  // The content stream's bytes, or none while nothing may be written.
  std::string* Out() const;
  void Operator(std::string_view op);
  void NumberOperator(double operand, std::string_view op);
  // The advance of the character at index i, as TextWidth sums it.
  double Advance(std::string_view text, std::size_t i) const;
  void SaveTextState();
  void LoadTextState();
  TPdfDictionary& PageResources(std::string_view kind) const;
  TPdfImage& ResourceXObject(std::string_view name, const char* operation);
  TPdfArray& MediaBox() const;
  std::string ShortenToFit(std::string_view line, double width) const;
  void ShowUnicodeText(std::string& out, std::string_view utf8);

  TPdfDoc* doc_;
  TPdfDictionary* page_ = nullptr;
  TPdfStream* contents_ = nullptr;
  TPdfCanvasAttribute attr_;
  bool isVirtual_ = false;
};

}  // namespace quirabel::pdf
