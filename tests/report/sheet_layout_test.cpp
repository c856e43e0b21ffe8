#include "report/sheet_layout.h"
#include "report/sheet_output.h"

#include <gtest/gtest.h>

#include <set>

namespace quirabel::report {
namespace {

TEST(SheetLayoutTest, AsManyCardsAsFitUprightOrTurned) {
  const struct {
    const char* sheet;
    double width, height, gap;
    int copies;
    bool turned;
  } cases[] = {
      {"A4", 85, 55, 2, 10, false},      // 2 x 5 business cards
      {"A3", 85, 55, 2, 21, false},      // 3 x 7 upright beat 5 x 4 turned
      {"A4", 148, 105, 2, 2, false},     // two A6 cards, one above the other
      {"SRA3", 85, 55, 0, 25, true},     // no gap: 5 x 5 turned beat 3 x 8 upright
      {"A4", 300, 100, 2, 0, false},     // does not fit at all
      {"200x100", 90, 190, 2, 1, true},  // fits only turned
  };
  for (const auto& c : cases) {
    const auto sheet = SheetSizeOfName(c.sheet);
    ASSERT_TRUE(sheet) << c.sheet;
    const SheetLayout layout = LayoutCards(*sheet, c.width, c.height, c.gap);
    ASSERT_EQ(static_cast<int>(layout.cards.size()), c.copies) << c.sheet << " " << c.width;
    if (c.copies == 0) continue;
    EXPECT_EQ(layout.turned, c.turned) << c.sheet << " " << c.width;
    // Every card lies inside the margin and none overlaps another (gap kept).
    for (std::size_t i = 0; i < layout.cards.size(); ++i) {
      const CardPosition& a = layout.cards[i];
      EXPECT_GE(a.left, kSheetMargin - 1e-9);
      EXPECT_GE(a.top, kSheetMargin - 1e-9);
      EXPECT_LE(a.left + layout.cardWidth, sheet->width - kSheetMargin + 1e-9);
      EXPECT_LE(a.top + layout.cardHeight, sheet->height - kSheetMargin + 1e-9);
      for (std::size_t j = i + 1; j < layout.cards.size(); ++j) {
        const CardPosition& b = layout.cards[j];
        const bool apart = a.left + layout.cardWidth + c.gap <= b.left + 1e-9 ||
                           b.left + layout.cardWidth + c.gap <= a.left + 1e-9 ||
                           a.top + layout.cardHeight + c.gap <= b.top + 1e-9 ||
                           b.top + layout.cardHeight + c.gap <= a.top + 1e-9;
        EXPECT_TRUE(apart) << c.sheet << " cards " << i << " and " << j;
      }
    }
  }
}

TEST(SheetLayoutTest, SheetNames) {
  EXPECT_EQ(SheetSizeOfName("A3")->height, 420);
  EXPECT_EQ(SheetSizeOfName("320x450")->width, 320);
  EXPECT_EQ(SheetSizeOfName("320.5x450")->width, 320.5);
  for (const char* wrong : {"", "A5x", "x450", "9x450", "320x2001", "320X450", "-1x5", "A2"}) {
    EXPECT_FALSE(SheetSizeOfName(wrong)) << wrong;
  }
}

TEST(SheetLayoutTest, PreCutGridAndMirroredBack) {
  const SheetSize a4{210, 297};
  // 2 x 6 cells asked, the sixth row would leave the sheet.
  const SheetLayout grid = LayoutCardsInGrid(a4, 85, 55, {2, 6, 15, 13.5, 95, 55});
  ASSERT_EQ(grid.cards.size(), 10u);
  EXPECT_DOUBLE_EQ(grid.cards[3].left, 110);
  EXPECT_DOUBLE_EQ(grid.cards[3].top, 68.5);

  const SheetLayout back = MirroredForBack(grid);
  ASSERT_EQ(back.cards.size(), grid.cards.size());
  EXPECT_DOUBLE_EQ(back.cards[0].left, 210 - 15 - 85);  // the first front card's back
  EXPECT_DOUBLE_EQ(back.cards[1].left, 15);
  EXPECT_DOUBLE_EQ(back.cards[0].top, grid.cards[0].top);
}

TEST(SheetLayoutTest, CropMarksMarkEveryCutAndNeverTouchACard) {
  const SheetLayout layout = LayoutCards({210, 297}, 85, 55, 2);
  const std::vector<CropMark> marks = CropMarks(layout);
  std::set<double> markedAcross, markedDown;
  for (const CropMark& m : marks) {
    if (m.x1 == m.x2) markedAcross.insert(m.x1);
    if (m.y1 == m.y2) markedDown.insert(m.y1);
    for (const CardPosition& card : layout.cards) {
      const bool clear =
          std::max(m.x1, m.x2) < card.left || std::min(m.x1, m.x2) > card.left + layout.cardWidth ||
          std::max(m.y1, m.y2) < card.top || std::min(m.y1, m.y2) > card.top + layout.cardHeight;
      EXPECT_TRUE(clear) << m.x1 << "," << m.y1 << " " << m.x2 << "," << m.y2;
    }
  }
  // Two columns give four cut lines across, five rows ten down.
  EXPECT_EQ(markedAcross.size(), 4u);
  EXPECT_EQ(markedDown.size(), 10u);
  EXPECT_EQ(marks.size(), 4u * 2 + 10u * 2);
}

}  // namespace
}  // namespace quirabel::report

TEST(SheetCountLinesTest, LongSeriesAreOneLinePerRepeatedRound) {
  const struct {
    std::vector<int> cards;
    std::size_t pages;
    const char* lines;
  } cases[] = {
      {{10, 10}, 2, "Bogen 1: 10 Karten\nBogen 2: 10 Karten (Rückseite)\n"},
      {{7}, 1, "Bogen 1: 7 Karten\n"},
      {{10, 10, 10, 3}, 1, "Bogen 1–3: je 10 Karten\nBogen 4: 3 Karten\n"},
      {{10, 10, 10, 10, 1, 1}, 2,
       "Bogen 1–4: je 10 Karten, Vorder- und Rückseiten im Wechsel\nBogen 5: 1 Karte\n"
       "Bogen 6: 1 Karte (Rückseite)\n"},
      // Three pages a card: rounds of three are listed sheet by sheet.
      {{4, 4, 4, 4, 4, 4}, 3,
       "Bogen 1: 4 Karten\nBogen 2: 4 Karten (Rückseite)\nBogen 3: 4 Karten\nBogen 4: 4 Karten\n"
       "Bogen 5: 4 Karten (Rückseite)\nBogen 6: 4 Karten\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(quirabel::report::SheetCountLines(c.cards, c.pages), c.lines);
}
