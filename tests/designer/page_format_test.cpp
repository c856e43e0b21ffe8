#include "designer/page_format.h"

#include <gtest/gtest.h>

namespace quirabel::designer {
namespace {

TEST(PageFormat, DinTableAndPixels) {
  const PageFormat a4 = DinFormat(DinSize::A4, true);
  EXPECT_EQ(a4.docType, "A4");
  EXPECT_EQ(a4.widthMm, "297");
  EXPECT_EQ(a4.heightMm, "210");
  EXPECT_EQ(WidthPixels(a4.widthMm), 842);    // 842.886
  EXPECT_EQ(HeightPixels(a4.heightMm), 595);  // 595.77
  EXPECT_EQ(DinFormat(DinSize::A6, false).widthMm, "105");
  EXPECT_EQ(DinFormat(DinSize::A5, false).heightMm, "210");
  EXPECT_EQ(WidthPixels("150"), 425);   // 425.7
  EXPECT_EQ(HeightPixels("150"), 425);  // 425.55
  EXPECT_EQ(WidthPixels("91"), 258);
  EXPECT_EQ(HeightPixels("55"), 156);
  // Exact arithmetic: 1000 mm is 2838 and 2837 pixels, no floating error either way.
  EXPECT_EQ(WidthPixels("1000"), 2838);
  EXPECT_EQ(HeightPixels("1000"), 2837);
  EXPECT_EQ(WidthPixels("85.5"), 242);  // 242.649
}

TEST(PageFormat, SizesThatGiveNoPageAreRefused) {
  EXPECT_EQ(WidthPixels("0"), std::nullopt);
  EXPECT_EQ(WidthPixels(""), std::nullopt);
  EXPECT_EQ(WidthPixels("-5"), std::nullopt);
  EXPECT_EQ(WidthPixels("1e3"), std::nullopt);
  EXPECT_EQ(WidthPixels("5074"), 14400);  // 14400.01: the largest page a PDF may have
  EXPECT_EQ(WidthPixels("5075"), std::nullopt);
  EXPECT_EQ(HeightPixels("99999999999999999999"), std::nullopt);
  EXPECT_TRUE(IsWholeMillimetres("0150"));
  EXPECT_FALSE(IsWholeMillimetres("15.0"));
  EXPECT_FALSE(IsWholeMillimetres(" 150"));
  EXPECT_FALSE(IsWholeMillimetres(""));
  EXPECT_EQ(PlainDecimal("0150"), "150");
  EXPECT_EQ(PlainDecimal("000"), "0");
}

TEST(PageFormat, CopiesPerA3Sheet) {
  EXPECT_EQ(CopiesPerA3Sheet("85", "49"), 30);
  EXPECT_EQ(CopiesPerA3Sheet("91", "55"), 24);
  EXPECT_EQ(CopiesPerA3Sheet("297", "210"), 2);
  EXPECT_EQ(CopiesPerA3Sheet("430", "100"), 0);  // trimmed side above 420 mm
  EXPECT_EQ(CopiesPerA3Sheet("6", "100"),
            0);  // nothing left after the bleed: no copies, no failure
  EXPECT_EQ(CopiesPerA3Sheet("x", "100"), 0);
}

TEST(PageFormat, IdentifiersFromTheClock) {
  const LocalDateTime t{2026, 12, 7, 14, 5, 7, 42};
  EXPECT_EQ(TimeDigits(t), "145742");
  EXPECT_EQ(MakeDocumentId(t), "BImage0145742");
}

}  // namespace
}  // namespace quirabel::designer

#include "designer/memo_geometry.h"

namespace quirabel::designer {
namespace {

TEST(MemoGeometry, TheWindowGrowsWithTheField) {
  const MemoGeometry small = CreateMemo(200, 100, report::TPRFontName::fnFixedWidth, true, false);
  EXPECT_EQ(small.frameWidth, 205);
  EXPECT_EQ(small.frameHeight, 105);
  EXPECT_EQ(small.windowWidth, 370);
  EXPECT_EQ(small.windowHeight, 297);  // bottom 185
  EXPECT_EQ(small.fontName, "Fixedsys");
  const MemoGeometry wide = CreateMemo(360, 275, report::TPRFontName::fnTimesRoman, false, true);
  EXPECT_EQ(wide.windowWidth, 405);   // frame 365 + 40
  EXPECT_EQ(wide.windowHeight, 400);  // bottom 80 + 280 = 360
  EXPECT_EQ(CreateMemo(100, 524, report::TPRFontName::fnArial, false, false).windowHeight, 649);
  EXPECT_EQ(CreateMemo(100, 525, report::TPRFontName::fnArial, false, false).windowHeight, 650);
}

}  // namespace
}  // namespace quirabel::designer
