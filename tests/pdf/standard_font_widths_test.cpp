#include "pdf/standard_font_widths.h"

#include <gtest/gtest.h>

namespace quirabel::pdf {
namespace {

int Width(const WidthTable& table, int code) { return table[code - kFirstWidthCode]; }

TEST(StandardFontWidthsTest, KnownWidths) {
  struct Row {
    int code;
    int helvetica, helveticaBold, timesRoman, timesBold, timesItalic;
  };
  const Row rows[] = {
      {32, 278, 278, 250, 250, 250},  {48, 556, 556, 500, 500, 500},
      {64, 1015, 975, 921, 930, 920}, {65, 667, 722, 722, 722, 611},
      {87, 944, 944, 944, 1000, 833}, {97, 556, 556, 444, 500, 500},
      {105, 222, 278, 278, 278, 278}, {196, 667, 722, 722, 722, 611},
      {223, 611, 611, 500, 556, 500}, {228, 556, 556, 444, 500, 500},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.code);
    EXPECT_EQ(Width(kHelveticaWidths, r.code), r.helvetica);
    EXPECT_EQ(Width(kHelveticaBoldWidths, r.code), r.helveticaBold);
    EXPECT_EQ(Width(kTimesRomanWidths, r.code), r.timesRoman);
    EXPECT_EQ(Width(kTimesBoldWidths, r.code), r.timesBold);
    EXPECT_EQ(Width(kTimesItalicWidths, r.code), r.timesItalic);
  }
}

struct NamedTable {
  const char* name;
  const WidthTable* table;
  int euro;
};

const NamedTable kProportional[] = {
    {"Helvetica", &kHelveticaWidths, 556},
    {"Helvetica-Bold", &kHelveticaBoldWidths, 556},
    {"Helvetica-Oblique", &kHelveticaObliqueWidths, 556},
    {"Helvetica-BoldOblique", &kHelveticaBoldObliqueWidths, 556},
    {"Times-Roman", &kTimesRomanWidths, 500},
    {"Times-Bold", &kTimesBoldWidths, 500},
    {"Times-Italic", &kTimesItalicWidths, 500},
    {"Times-BoldItalic", &kTimesBoldItalicWidths, 500},
};

TEST(StandardFontWidthsTest, FixedCodesInProportionalFonts) {
  for (const NamedTable& t : kProportional) {
    SCOPED_TRACE(t.name);
    for (int code : {127, 129, 141, 143, 144, 157, 160, 173}) {
      EXPECT_EQ(Width(*t.table, code), 0) << "code " << code;
    }
    EXPECT_EQ(Width(*t.table, 128), t.euro);
    // Every other code is a real glyph with a plausible width.
    for (int code = kFirstWidthCode; code < kFirstWidthCode + kWidthCount; ++code) {
      if (code == 127 || code == 129 || code == 141 || code == 143 || code == 144 || code == 157 ||
          code == 160 || code == 173) {
        continue;
      }
      EXPECT_GT(Width(*t.table, code), 0) << "code " << code;
      EXPECT_LE(Width(*t.table, code), 1100) << "code " << code;
    }
  }
}

TEST(StandardFontWidthsTest, CourierIsMonospaced) {
  for (int code = kFirstWidthCode; code < kFirstWidthCode + kWidthCount; ++code) {
    EXPECT_EQ(Width(kCourierWidths, code), 600) << "code " << code;
  }
}

TEST(StandardFontWidthsTest, ObliquesMatchUprights) {
  EXPECT_EQ(kHelveticaObliqueWidths, kHelveticaWidths);
  EXPECT_EQ(kHelveticaBoldObliqueWidths, kHelveticaBoldWidths);
}

TEST(StandardFontWidthsTest, SameGlyphSameWidth) {
  // Codes that share a glyph in the Windows ANSI encoding must measure alike, or the table rows
  // are shifted against the codes.
  for (const NamedTable& t : kProportional) {
    SCOPED_TRACE(t.name);
    EXPECT_EQ(Width(*t.table, 'A'), Width(*t.table, 0xC4));   // A, Adieresis
    EXPECT_EQ(Width(*t.table, 'a'), Width(*t.table, 0xE4));   // a, adieresis
    EXPECT_EQ(Width(*t.table, 'Y'), Width(*t.table, 0x9F));   // Y, Ydieresis
    EXPECT_EQ(Width(*t.table, 'y'), Width(*t.table, 0xFF));   // y, ydieresis
    EXPECT_EQ(Width(*t.table, 'S'), Width(*t.table, 0x8A));   // S, Scaron
    EXPECT_EQ(Width(*t.table, 0x92), Width(*t.table, 0x91));  // quoteright, quoteleft
  }
}

}  // namespace
}  // namespace quirabel::pdf
