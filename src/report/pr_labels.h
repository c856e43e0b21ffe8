#pragma once

#include <functional>
#include <string>
#include <vector>

#include "report/pr_item.h"

namespace quirabel::report {

enum class TPRFontName { fnFixedWidth = 0, fnArial = 1, fnTimesRoman = 2 };

// The screen font family of a PDF font family.
std::string ScreenFontName(TPRFontName name);

// Text settings shared by the text line and the text field. Setters that change a value repaint.
class TPRCustomLabel : public TPRItem {
 public:
  explicit TPRCustomLabel(ui::Component* owner = nullptr);
  std::string ClassName() const override { return "TPRCustomLabel"; }

  TPRFontName FontName() const { return fontName_; }
  void SetFontName(TPRFontName value);
  float FontSize() const { return fontSize_; }
  // Only sizes above 0 are taken.
  void SetFontSize(float value);
  bool FontBold() const { return fontBold_; }
  void SetFontBold(bool value);
  bool FontItalic() const { return fontItalic_; }
  void SetFontItalic(bool value);
  graphics::TColor FontColor() const { return fontColor_; }
  // Values above 0x0FFFFFFF (such as clNone) raise EPdfInvalidValue; system colours print black.
  void SetFontColor(graphics::TColor value);
  float CharSpace() const { return charSpace_; }
  void SetCharSpace(float value);
  float WordSpace() const { return wordSpace_; }
  // Only values of 0 or more are taken.
  void SetWordSpace(float value);
  bool BColor() const { return bColor_; }
  void SetBColor(bool value) { bColor_ = value; }

  // The registered PDF font name ("Times-BoldItalic").
  std::string PdfFontName() const;
  // A text as the PDF writer takes it: Windows-1252 bytes in the standard font when every
  // character fits Windows-1252 (so such text is written as it always was), otherwise UTF-8 in
  // the embedded font of the same family and style.
  struct PdfText {
    std::string fontName;
    std::string bytes;
    bool unicode = false;
  };
  PdfText ToPdfText(std::string_view utf8) const;
  // The characters of a text that no installed font has in this family and style, each once:
  // the PDF would refuse the element, so the designer warns of them ("U+E000").
  std::vector<char32_t> UnprintableCharacters(std::string_view utf8) const;
  // The screen font: its family, point size Round(FontSize * 0.75), style and colour.
  ui::TFont ScreenFont() const;

 protected:
  // Draws a line of a paragraph in the writer's form (Windows-1252, or UTF-8 when unicode) a
  // character at a time where the PDF metrics put each character, in the PDF's order.
  void DrawCharwise(ui::Canvas& canvas, pdf::TPdfCanvas& measure, std::string_view line,
                    std::string_view paragraph, bool unicode, double x, int y) const;
  // Prints through the PDF canvas; characters no installed font has fail with the element named.
  void PrintChecked(const std::function<void()>& print) const;

 private:
  TPRFontName fontName_ = TPRFontName::fnArial;
  float fontSize_ = 12;
  bool fontBold_ = false;
  bool fontItalic_ = false;
  graphics::TColor fontColor_ = 0;
  float charSpace_ = 0;
  float wordSpace_ = 0;
  bool bColor_ = false;
};

// A single line of text (Caption), aligned left, right, centred or spread over the width.
class TPRLabel : public TPRCustomLabel {
 public:
  explicit TPRLabel(ui::Component* owner = nullptr);
  std::string ClassName() const override { return "TPRLabel"; }
  ElementKind Kind() const override { return ElementKind::Label; }

  pdf::TAlignment Alignment() const { return alignment_; }
  void SetAlignment(pdf::TAlignment value);
  bool AlignJustified() const { return alignJustified_; }
  void SetAlignJustified(bool value);
  bool Clipping() const { return clipping_; }
  void SetClipping(bool value) { clipping_ = value; }
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value) { parentColor_ = value; }
  const std::string& dbfieldname() const { return dbFieldName_; }
  void Setdbfieldname(std::string value) { dbFieldName_ = std::move(value); }

  // The caption's PDF width in points with the label's settings, on the page's measuring canvas.
  double GetTextWidth() const;
  // The caption's width in screen pixels with the label's screen font (ScreenFont), as the
  // window system measures it: no character or word spacing. 0 off a page.
  int ScreenTextWidth() const;

  void Print(TPRCanvas& canvas, const ui::TRect& rect) override;
  void Paint(ui::Canvas& canvas) override;

 private:
  // Gives a canvas the label's font and spacing; the caption is Windows-1252.
  void ApplySettings(pdf::TPdfCanvas& canvas, const PdfText& caption) const;

  pdf::TAlignment alignment_ = pdf::TAlignment::taLeftJustify;
  bool alignJustified_ = false;
  bool clipping_ = false;
  bool transparent_ = false;
  bool parentColor_ = true;
  std::string dbFieldName_;
};

// A text field: lines broken at line breaks and, with WordWrap, at spaces.
class TPRText : public TPRCustomLabel {
 public:
  explicit TPRText(ui::Component* owner = nullptr);
  std::string ClassName() const override { return "TPRText"; }
  ElementKind Kind() const override { return ElementKind::Text; }

  const std::vector<std::string>& Lines() const { return lines_; }
  void SetLines(std::vector<std::string> lines);
  // The whole text from one string; CR LF, LF and CR each end a line.
  void SetText(std::string_view text);
  // The lines joined, each followed by CR LF (UTF-8).
  std::string Text() const;
  float Leading() const { return leading_; }
  // Only values of 0 or more are taken.
  void SetLeading(float value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  const std::string& dbfieldname() const { return dbFieldName_; }
  void Setdbfieldname(std::string value) { dbFieldName_ = std::move(value); }

  void Print(TPRCanvas& canvas, const ui::TRect& rect) override;
  void Paint(ui::Canvas& canvas) override;

 private:
  std::vector<std::string> lines_;
  float leading_ = 14;
  bool wordWrap_ = false;
  std::string dbFieldName_;
};

}  // namespace quirabel::report
