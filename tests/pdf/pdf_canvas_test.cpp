#include "pdf/pdf_canvas.h"

#include <gtest/gtest.h>

#include <cmath>

#include "pdf/pdf_doc.h"
#include "pdf/pdf_fonts.h"
#include "support/pdf_check.h"

namespace quirabel::pdf {
namespace {

// A document with one page whose content stream starts empty (the default font line removed), so
// tests see exactly what they wrote.
class CanvasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.NewDoc();
    doc.AddPage();
    ASSERT_EQ(Stream(), "/F0 10 Tf\n");
    canvas().Contents()->Data().clear();
  }
  TPdfCanvas& canvas() { return doc.Canvas(); }
  std::string& Stream() { return doc.Canvas().Contents()->Data(); }
  std::string Take() { return std::exchange(Stream(), std::string()); }

  FixedClock clock{LocalDateTime{2026, 12, 7, 10, 0, 0, 0}};
  TPdfDoc doc{clock};
};

TEST_F(CanvasTest, PathAndColourOperators) {
  canvas().SaveState();
  canvas().Concat(100, 0, 0, 50.5, 10, -2.5);  // negative values round up
  canvas().SetLineWidth(0.5);
  canvas().MoveTo(10, 822);
  canvas().LineTo(109, 773.125);
  canvas().Rectangle(1, 2, 3, 4);
  canvas().ClosePath();
  canvas().NewPath();
  canvas().Stroke();
  canvas().ClosePathStroke();
  canvas().Fill();
  canvas().ClosePathFillStroke();
  canvas().Clip();
  canvas().SetRGBFillColor(0x0000FF);
  canvas().SetRGBStrokeColor(0x804020);
  canvas().SetRGBFillColor(static_cast<std::int32_t>(0x80000005));  // system colour: black
  canvas().SetRGBStrokeColor(0x1FFFFFFF);                           // "no colour" has white bytes
  canvas().ExecuteXObject("Im 1");
  canvas().RestoreState();
  EXPECT_EQ(
      Take(),
      "q\n100 0 0 50.5 10 -2.49 cm\n0.5 w\n10 822 m\n109 773.13 l\n1 2 3 4 re\nh\nn\nS\ns\nf\n"
      "b\nW\n1 0 0 rg\n0.13 0.25 0.5 RG\n0 0 0 rg\n1 1 1 RG\n/Im#201 Do\nQ\n");
}

TEST_F(CanvasTest, DashForms) {
  const std::uint8_t solid[] = {0};
  const std::uint8_t dash[] = {16, 8};
  const std::uint8_t zeroFirst[] = {0, 5};
  canvas().SetDash(solid, 0);
  canvas().SetDash(dash, 0);
  canvas().SetDash({}, 3);
  canvas().SetDash(zeroFirst, 0);
  EXPECT_EQ(Take(), "[] 0 d\n[16 8 ] 0 d\n[] 3 d\n[] 0 d\n");
}

TEST_F(CanvasTest, TextStateWritesOnlyChanges) {
  canvas().SetCharSpace(0);
  canvas().SetWordSpace(0);
  canvas().SetLeading(0);
  EXPECT_EQ(Take(), "");
  canvas().SetCharSpace(2.5);
  canvas().SetCharSpace(2.5);
  canvas().SetWordSpace(1.25);
  canvas().SetLeading(14);
  canvas().SetHorizontalScaling(100);
  canvas().SetHorizontalScaling(80);
  EXPECT_EQ(Take(), "2.5 Tc\n1.25 Tw\n14 TL\n80 Tz\n");

  canvas().SetFont("Arial", 10);  // the page's default: nothing
  EXPECT_EQ(Take(), "");
  canvas().SetFont("Arial", 12);
  canvas().SetFont("Times-Bold", 12);
  EXPECT_EQ(Take(), "/F0 12 Tf\n/F1 12 Tf\n");
}

TEST_F(CanvasTest, RangeChecksRaiseAndWriteNothing) {
  auto message = [](auto&& action) -> std::string {
    try {
      action();
    } catch (const EPdfInvalidValue& e) {
      return e.what();
    }
    return "no exception";
  };
  EXPECT_EQ(message([&] { canvas().SetWordSpace(-0.1); }), "SetWordSpace --invalid word space");
  EXPECT_EQ(message([&] { canvas().SetCharSpace(-30.5); }), "SetCharSpace --invalid char space");
  EXPECT_EQ(message([&] { canvas().SetCharSpace(301); }), "SetCharSpace --invalid char space");
  EXPECT_EQ(message([&] { canvas().SetFont("Arial", 300.5); }), "SetCharSpace --invalid font size");
  EXPECT_EQ(message([&] { canvas().SetFont("Arial", -1); }), "SetCharSpace --invalid font size");
  EXPECT_EQ(message([&] { canvas().SetLeading(-1); }), "SetLeading --invalid font size");
  EXPECT_EQ(message([&] { canvas().SetHorizontalScaling(9); }),
            "SetHorizontalScaling --invalid font size");
  EXPECT_EQ(message([&] { canvas().SetCharSpace(std::nan("")); }),
            "SetCharSpace --invalid char space");
  EXPECT_EQ(message([&] { canvas().SetWordSpace(HUGE_VAL); }), "SetWordSpace --invalid word space");
  EXPECT_EQ(Take(), "");
  EXPECT_EQ(canvas().Attribute().FontSize(), 10.0f);
  // The limits themselves are allowed.
  canvas().SetCharSpace(-30);
  canvas().SetFont("Arial", 300);
  canvas().SetFont("Arial", 0);
  canvas().SetLeading(300);
  canvas().SetHorizontalScaling(10);
  EXPECT_EQ(Take(), "-29.99 Tc\n/F0 300 Tf\n/F0 0 Tf\n300 TL\n10 Tz\n");
}

TEST_F(CanvasTest, ShowTextEscapes) {
  canvas().BeginText();
  canvas().MoveTextPoint(10, 811.8);
  canvas().ShowText("(a\\b)\xE4");
  canvas().MoveToNextLine();
  canvas().EndText();
  EXPECT_EQ(Take(), "BT\n10 811.8 Td\n(\\(a\\\\b\\)\xE4) Tj\nT*\nET\n");
}

TEST_F(CanvasTest, TextWidthAddsCharAndWordSpace) {
  canvas().SetFont("Arial", 12);
  EXPECT_DOUBLE_EQ(canvas().TextWidth("A"), 667 * 12 * 0.001);
  EXPECT_DOUBLE_EQ(canvas().TextWidth(""), 0);
  canvas().SetFont("FixedWidth", 10);
  EXPECT_DOUBLE_EQ(canvas().TextWidth("a b"), 18);
  canvas().SetWordSpace(3);
  EXPECT_DOUBLE_EQ(canvas().TextWidth("a b"), 21);  // word space once, after the inner space
  EXPECT_DOUBLE_EQ(canvas().TextWidth("a "), 12);   // a trailing space gets none
  canvas().SetCharSpace(2);
  EXPECT_DOUBLE_EQ(canvas().TextWidth("a b"), 18 + 3 + 2 * 2);
  EXPECT_DOUBLE_EQ(canvas().TextWidth(""), -2);
  // Characters of width 0 (controls, no-break space in Helvetica) get no char space either.
  canvas().SetFont("Arial", 10);
  EXPECT_NEAR(canvas().TextWidth("\xA0"), -2, 1e-9);
  EXPECT_NEAR(canvas().TextWidth("a\r\nb"), 5.56 + 2 + 5.56, 1e-9);
  canvas().SetCharSpace(0);
  canvas().SetWordSpace(0);
  canvas().SetHorizontalScaling(50);
  EXPECT_NEAR(canvas().TextWidth("a"), 2.78, 1e-9);
}

TEST_F(CanvasTest, MeasureTextCountsWhatFits) {
  canvas().SetFont("FixedWidth", 10);
  EXPECT_EQ(canvas().MeasureText("abcdef", 18), 3u);
  EXPECT_EQ(canvas().MeasureText("abcdef", 17.99), 2u);
  EXPECT_EQ(canvas().MeasureText("abcdef", 100), 6u);
  EXPECT_EQ(canvas().MeasureText("abc", -1), 0u);
  EXPECT_EQ(canvas().MeasureText("", 10), 0u);
}

TEST_F(CanvasTest, TextRectAlignsAndClips) {
  canvas().SetFont("FixedWidth", 10);  // "abc" is 18 points wide
  const TPdfRect rect{10, 822, 110, 792};
  canvas().TextRect(rect, "abc", TAlignment::taLeftJustify, false);
  canvas().TextRect(rect, "abc", TAlignment::taRightJustify, false);
  canvas().TextRect(rect, "abc", TAlignment::taCenter, true);
  EXPECT_EQ(Take(),
            "/F1 10 Tf\n"
            "BT\n10 813.5 Td\n(abc) Tj\nET\n"
            "BT\n92 813.5 Td\n(abc) Tj\nET\n"
            "q\n10 822 m\n10 792 l\n110 792 l\n110 822 l\nh\nW\nn\n"
            "BT\n51 813.5 Td\n(abc) Tj\nET\nQ\n");
  // Halves of the centring offset go to the even neighbour: (100 - 3) / 2 = 48.5 -> 48.
  canvas().SetFont("FixedWidth", 5);
  canvas().TextRect(rect, "a", TAlignment::taCenter, false);
  EXPECT_EQ(Take(), "/F1 5 Tf\nBT\n58 817.75 Td\n(a) Tj\nET\n");
}

TEST_F(CanvasTest, MultilineBreaksAtEveryCrLfEvenWithoutWordWrap) {
  canvas().SetFont("FixedWidth", 10);
  canvas().SetLeading(12);
  Take();
  canvas().MultilineTextRect({0, 800, 500, 700}, "eins\r\nzwei\r\ndrei", false);
  EXPECT_EQ(Take(), "BT\n0 791.5 Td\n(eins) Tj\nT*\n(zwei) Tj\nT*\n(drei) Tj\nET\n");
}

TEST_F(CanvasTest, MultilineWrapsCutsAndStopsAtTheBottom) {
  canvas().SetFont("FixedWidth", 10);  // 6 points a character
  canvas().SetLeading(12);
  Take();
  // 60 points wide: ten characters a line. "abc def " fits, "ghijk" would pass the edge.
  canvas().MultilineTextRect({0, 800, 60, 700}, "abc def ghijk lmnopqrstuvwxyz", true);
  EXPECT_EQ(Take(), "BT\n0 791.5 Td\n(abc def ) Tj\nT*\n(ghijk ) Tj\nT*\n(lmnopqrstu) Tj\nET\n");

  // A box lower than the font: the first line only.
  canvas().MultilineTextRect({0, 800, 60, 795}, "eins\r\nzwei", false);
  EXPECT_EQ(Take(), "BT\n0 791.5 Td\n(eins) Tj\nT*\nET\n");

  // Without word wrap a long line is cut at the last character that fits.
  canvas().MultilineTextRect({0, 800, 30, 700}, "abcdefgh ijk", false);
  EXPECT_EQ(Take(), "BT\n0 791.5 Td\n(abcde) Tj\nET\n");

  // Empty text and a trailing line break write no text.
  canvas().MultilineTextRect({0, 800, 60, 700}, "", true);
  canvas().MultilineTextRect({0, 800, 60, 700}, "x\r\n", true);
  EXPECT_EQ(Take(), "BT\n0 791.5 Td\nET\nBT\n0 791.5 Td\n(x) Tj\nET\n");
}

TEST_F(CanvasTest, DrawingAnUnknownImageRaises) {
  try {
    canvas().DrawXObject(0, 0, 10, 10, "Bild7");
    FAIL();
  } catch (const EPdfInvalidValue& e) {
    EXPECT_STREQ(e.what(), "DrawXObject --XObject not found: Bild7");
  }
  try {
    canvas().DrawXObjectEx(0, 0, 10, 10, 0, 0, 5, 5, "Bild7");
    FAIL();
  } catch (const EPdfInvalidValue& e) {
    EXPECT_STREQ(e.what(), "DrawXObjectEx --XObject not found: Bild7");
  }
  EXPECT_EQ(Take(), "");
}

std::unique_ptr<TPdfImage> RedPixel(TPdfObjectMgr& mgr) {
  auto image = std::make_unique<TPdfImage>(&mgr);
  TPdfDictionary& a = image->Attributes();
  a.Put("Type", std::make_unique<TPdfName>("XObject"));
  a.Put("Subtype", std::make_unique<TPdfName>("Image"));
  a.Put("ColorSpace", std::make_unique<TPdfName>("DeviceRGB"));
  a.Put("Width", std::make_unique<TPdfNumber>(1));
  a.Put("Height", std::make_unique<TPdfNumber>(1));
  a.Put("BitsPerComponent", std::make_unique<TPdfNumber>(8));
  image->Data() = std::string("\xFF\x00\x00", 3);
  return image;
}

TEST_F(CanvasTest, ImagesAreRegisteredOnceAndDrawn) {
  doc.AddXObject("Bild1", RedPixel(doc.ObjectMgr()));
  canvas().DrawXObject(10, 20, 30, 40, "Bild1");
  canvas().DrawXObjectEx(10, 20, 30, 40, 11, 21, 5, 6, "Bild1");
  EXPECT_EQ(Take(),
            "q\n30 0 0 40 10 20 cm\n/Bild1 Do\nQ\n"
            "q\n11 21 5 6 re\nW\nn\n30 0 0 40 10 20 cm\n/Bild1 Do\nQ\n");
  EXPECT_EQ(doc.GetXObject("Bild1")->Attributes().NameOf("Name")->Value(), "Bild1");
  EXPECT_EQ(doc.GetXObject("Bild2"), nullptr);

  try {
    doc.AddXObject("Bild1", RedPixel(doc.ObjectMgr()));
    FAIL();
  } catch (const EPdfException& e) {
    EXPECT_STREQ(e.what(), "AddImage --the image named Bild1 is already exists..");
  }
  auto notAnImage = std::make_unique<TPdfImage>(&doc.ObjectMgr());
  const std::size_t objects = doc.ObjectMgr().ItemCount();
  try {
    doc.AddXObject("Bild2", std::move(notAnImage));
    FAIL();
  } catch (const EPdfException& e) {
    EXPECT_STREQ(e.what(), "AddImage --the image is not valid TPdfImage..");
  }
  EXPECT_EQ(doc.ObjectMgr().ItemCount(), objects);
  try {
    doc.AddXObject("Bild2", nullptr);
    FAIL();
  } catch (const EPdfInvalidValue& e) {
    EXPECT_STREQ(e.what(), "RegisterXObject --AObject is null");
  }

  std::string file;
  doc.SaveToStream(file);
  EXPECT_NE(file.find("/XObject <<\r\n/Bild1 7 0 R\r\n>>"), std::string::npos) << file;
  EXPECT_TRUE(testing::IsValidPdf(file));
}

TEST(PdfCanvas, VirtualCanvasMeasuresButWritesNothing) {
  TPdfDoc doc;
  TPdfCanvas& canvas = doc.CreateVirtualCanvas();
  EXPECT_TRUE(canvas.IsVirtual());
  const std::string before = canvas.Contents()->Data();
  canvas.SetFont("Arial-Bold", 20);
  canvas.SetCharSpace(1);
  canvas.TextRect({0, 100, 50, 0}, "Hallo", TAlignment::taCenter, true);
  EXPECT_EQ(canvas.Contents()->Data(), before);
  EXPECT_DOUBLE_EQ(canvas.TextWidth("W"), 944 * 20 * 0.001);
  // The resources still list the font.
  EXPECT_NE(canvas.Page().DictionaryOf("Resources")->DictionaryOf("Font")->Lookup("F1"), nullptr);
}

TEST(PdfCanvas, EachPageStartsWithTheDefaultTextState) {
  TPdfDoc doc;
  doc.NewDoc();
  doc.AddPage();
  doc.Canvas().SetFont("Times-Italic", 14);
  doc.Canvas().SetCharSpace(1.5);
  doc.Canvas().SetLeading(20);
  TPdfDictionary& first = doc.Canvas().Page();
  doc.AddPage();
  EXPECT_EQ(doc.Canvas().Contents()->Data(), "/F0 10 Tf\n");
  EXPECT_EQ(doc.Canvas().Attribute().CharSpace(), 0.0f);
  EXPECT_EQ(doc.Canvas().Attribute().Leading(), 0.0f);
  // The page left behind keeps its state privately; it is never written.
  EXPECT_EQ(first.NameOf("_Font")->Value(), "Times-Italic");
  EXPECT_EQ(first.RealOf("_Char_Space")->Value(), 1.5);
  std::string file;
  doc.SaveToStream(file);
  EXPECT_EQ(file.find("_Font"), std::string::npos);
  EXPECT_EQ(file.find("_Leading"), std::string::npos);
  // Returning to it restores the state without writing.
  doc.Canvas().SetPage(&first);
  EXPECT_EQ(doc.Canvas().Attribute().Font()->Name(), "Times-Italic");
  EXPECT_EQ(doc.Canvas().Attribute().Leading(), 20.0f);
  EXPECT_TRUE(testing::IsValidPdf(file));
}

}  // namespace
}  // namespace quirabel::pdf
