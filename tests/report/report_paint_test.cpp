// How elements draw themselves on the screen: where each character goes, how far text fields run,
// and the outlines and pictures of shapes and images.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/pr_images.h"
#include "report/pr_labels.h"
#include "report/pr_shapes.h"
#include "support/recording_canvas.h"

namespace quirabel::report {
namespace {

using Lines = std::vector<std::string>;

class PaintTest : public ::testing::Test {
 protected:
  PaintTest() {
    panel = new TPRLayoutPanel(&page);
    panel->SetBounds(0, 0, page.Width(), page.Height());
    panel->SetParent(&page);
  }

  template <class T>
  T* Add(int width, int height) {
    auto* element = new T(&page);
    element->SetBounds(10, 20, width, height);
    element->SetParent(panel);
    return element;
  }

  // FixedWidth 10: every character is 6 points wide, the screen font 8 points.
  template <class T>
  T* AddFixed(int width, int height) {
    T* element = Add<T>(width, height);
    element->SetFontName(TPRFontName::fnFixedWidth);
    element->SetFontSize(10);
    return element;
  }

  static Lines PaintOf(ui::Control& control) {
    testing::RecordingCanvas canvas;
    control.Paint(canvas);
    return canvas.calls;
  }

  // The characters drawn, as "x,y c" joined by "; ", from TextOut calls in the given font.
  static std::string Chars(const Lines& calls, const std::string& font = "Courier New 8") {
    const std::string tail = "' font " + font + " 0";
    std::string out;
    for (const std::string& call : calls) {
      if (!out.empty()) out += "; ";
      const std::size_t quote = call.find(" '");
      if (!call.starts_with("TextOut ") || !call.ends_with(tail) || quote == std::string::npos) {
        out += "unexpected: " + call;
        continue;
      }
      out += call.substr(8, quote - 8) + " " +
             call.substr(quote + 2, call.size() - tail.size() - quote - 2);
    }
    return out;
  }

  TPRPage page;
  TPRLayoutPanel* panel;
};

TEST_F(PaintTest, LabelDrawsEachCharacterWhereThePdfPutsIt) {
  struct Case {
    const char* caption;
    pdf::TAlignment alignment;
    float charSpace, wordSpace;
    const char* expected;
  };
  using enum pdf::TAlignment;
  const Case cases[] = {
      {"abc", taLeftJustify, 0, 0, "0,0 a; 6,0 b; 12,0 c"},
      {"abc", taRightJustify, 0, 0, "82,0 a; 88,0 b; 94,0 c"},  // 100 - 18
      {"abc", taCenter, 0, 0, "41,0 a; 47,0 b; 53,0 c"},        // (100 - 18) / 2
      {"abc", taLeftJustify, 2, 0, "0,0 a; 8,0 b; 16,0 c"},
      {"abc", taRightJustify, 2, 0, "78,0 a; 86,0 b; 94,0 c"},  // 100 - 22
      {"a b", taLeftJustify, 0, 3, "0,0 a; 6,0  ; 15,0 b"},     // word space after the space
      {"a\xC3\xA9"
       "b",
       taLeftJustify, 0, 0, "0,0 a; 6,0 \xC3\xA9; 12,0 b"},  // "aéb"
  };
  for (const Case& c : cases) {
    auto* label = AddFixed<TPRLabel>(100, 30);
    label->SetCaption(c.caption);
    label->SetAlignment(c.alignment);
    label->SetCharSpace(c.charSpace);
    label->SetWordSpace(c.wordSpace);
    EXPECT_EQ(Chars(PaintOf(*label)), c.expected);
    delete label;
  }
}

TEST_F(PaintTest, LabelPositionsAndFont) {
  auto* label = Add<TPRLabel>(100, 30);
  EXPECT_EQ(PaintOf(*label), Lines{});  // no caption
  // Arial "a" is 5.56 points at size 10: positions add up before they are rounded.
  label->SetFontSize(10);
  label->SetCaption("aaa");
  EXPECT_EQ(Chars(PaintOf(*label), "Arial 8"), "0,0 a; 6,0 a; 11,0 a");
  // Justified: FixedWidth "abc" is 20 points wide here, spread over 40 with 10 between.
  label->SetFontName(TPRFontName::fnFixedWidth);
  label->SetFontSize(20.0f / 18 * 10);
  label->SetWidth(40);
  label->SetAlignJustified(true);
  label->SetCaption("abc");
  EXPECT_EQ(Chars(PaintOf(*label)), "0,0 a; 17,0 b; 33,0 c");
  label->SetCaption("x");
  label->SetFontBold(true);
  label->SetFontItalic(true);
  EXPECT_EQ(PaintOf(*label), Lines{"TextOut 0,0 'x' font Courier New 8 bold italic 0"});
}

TEST_F(PaintTest, TextFieldDrawsLinesUntilTheFieldIsFull) {
  struct Case {
    Lines lines;
    int width, height;
    float leading;
    bool wordWrap;
    const char* expected;
  };
  const Case cases[] = {
      // Lines at 0, 14, 28: a line starting below height - 10 is left out, the first never.
      {{"ab", "cd", "ef"}, 100, 30, 14, false, "0,0 a; 6,0 b; 0,14 c; 6,14 d"},
      {{"ab", "cd", "ef"}, 100, 38, 14, false, "0,0 a; 6,0 b; 0,14 c; 6,14 d; 0,28 e; 6,28 f"},
      {{"ab", "cd"}, 100, 5, 14, false, "0,0 a; 6,0 b"},
      {{"a", "b"}, 100, 40, 14.6f, false, "0,0 a; 0,15 b"},  // rounded leading
      {{"a", "", "b"}, 100, 40, 14, false, "0,0 a; 0,28 b"},
      {{" a"}, 100, 30, 14, false, "0,0  ; 6,0 a"},  // not trimmed
      {{"abcdef"}, 20, 30, 14, false, "0,0 a; 6,0 b; 12,0 c; 18,0 d; 24,0 e; 30,0 f"},  // not cut
      // "aaa " is 24 wide and "bbb" 18: 42 fits into 42 but not into 41.
      {{"aaa bbb"}, 41, 30, 14, true, "0,0 a; 6,0 a; 12,0 a; 18,0  ; 0,14 b; 6,14 b; 12,14 b"},
      {{"aaa bbb"}, 42, 30, 14, true, "0,0 a; 6,0 a; 12,0 a; 18,0  ; 24,0 b; 30,0 b; 36,0 b"},
  };
  for (const Case& c : cases) {
    auto* text = AddFixed<TPRText>(c.width, c.height);
    text->SetLines(c.lines);
    text->SetLeading(c.leading);
    text->SetWordWrap(c.wordWrap);
    EXPECT_EQ(Chars(PaintOf(*text)), c.expected) << c.width << "x" << c.height;
    delete text;
  }
}

TEST_F(PaintTest, RectangleFillsAndOutlinesItsClientRect) {
  auto* rect = Add<TPRRect>(100, 30);
  EXPECT_EQ(PaintOf(*rect), Lines{"Polyline 0,0 99,0 99,29 0,29 0,0 pen 0 0 style 0"});
  rect->SetFillColor(graphics::clRed);
  rect->SetLineColor(graphics::clBlue);
  rect->SetLineWidth(3.4f);
  rect->SetLineStyle(TPenStyle::psDash);
  EXPECT_EQ(PaintOf(*rect), (Lines{"FillRect 0,0,99,29 brush ff",
                                   "Polyline 0,0 99,0 99,29 0,29 0,0 pen ff0000 3 style 1"}));
  rect->SetLineColor(graphics::clNone);
  EXPECT_EQ(PaintOf(*rect), Lines{"FillRect 0,0,99,29 brush ff"});
  rect->SetFillColor(graphics::clNone);
  EXPECT_EQ(PaintOf(*rect), Lines{});
  rect->SetLineColor(graphics::clBlack);
  rect->SetLineWidth(2.6f);
  rect->SetWidth(1);  // a line keeps its one pixel
  EXPECT_EQ(PaintOf(*rect), Lines{"Polyline 0,0 1,0 1,29 0,29 0,0 pen 0 3 style 1"});
}

TEST_F(PaintTest, ImagesDrawTheirPictureOrTheirName) {
  auto* image = Add<TPRImage>(100, 30);
  auto* jpeg = Add<TPRJpegImage>(50, 40);
  image->SetName("PRImage1");
  jpeg->SetName("PRJpegImage2");
  for (auto [element, name] : {std::pair<TPRImage*, std::string>{image, "PRImage1"},
                               std::pair<TPRImage*, std::string>{jpeg, "PRJpegImage2"}}) {
    const Lines calls = PaintOf(*element);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_TRUE(calls[0].starts_with("TextOut 4,4 '" + name + "' ")) << calls[0];
    EXPECT_TRUE(calls[1].starts_with("Polyline ")) << calls[1];
    EXPECT_TRUE(calls[1].ends_with(" pen ff0000 1 style 2")) << calls[1];  // blue, dotted
  }
  image->SetPicture(
      graphics::Picture::FromBitmap(graphics::Bitmap(20, 10, graphics::PixelFormat::pf24bit)));
  EXPECT_EQ(PaintOf(*image), Lines{"StretchDraw 0,0,100,30 20x10"});
  image->SetStretch(false);
  EXPECT_EQ(PaintOf(*image), Lines{"Draw 0,0 20x10"});
}

}  // namespace
}  // namespace quirabel::report
