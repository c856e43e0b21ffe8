#include "pdf/pdf_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quirabel::pdf {
namespace {

TEST(FormatReal, WorkedExamples) {
  EXPECT_EQ(FormatReal(12), "12");
  EXPECT_EQ(FormatReal(0.85 * 12), "10.2");
  EXPECT_EQ(FormatReal(595.276), "595.28");
  EXPECT_EQ(FormatReal(0.001), "0");
  EXPECT_EQ(FormatReal(-1.234), "-1.22");  // negative values round up
  EXPECT_EQ(FormatReal(-0.004), "0");
  EXPECT_EQ(FormatReal(1.999), "2");
  EXPECT_EQ(FormatReal(128 / 255.0), "0.5");
  EXPECT_EQ(FormatReal(1 / 255.0), "0");
  EXPECT_EQ(FormatReal(822 - 12 * 0.85 - 10.2), "801.6");
  EXPECT_EQ(FormatReal(0.07), "0.07");
  EXPECT_EQ(FormatReal(-0.5), "-0.49");
  EXPECT_EQ(FormatReal(-3), "-2.99");
  EXPECT_EQ(FormatReal(21474836.47), "21474836.47");
}

TEST(FormatReal, OutOfRangeIsClampedNotUndefined) {
  EXPECT_EQ(FormatReal(std::numeric_limits<double>::quiet_NaN()), "0");
  EXPECT_EQ(FormatReal(std::numeric_limits<double>::infinity()), "21474836.47");
  EXPECT_EQ(FormatReal(-std::numeric_limits<double>::infinity()), "-21474836.48");
  EXPECT_EQ(FormatReal(1e300), "21474836.47");
  EXPECT_EQ(FormatReal(-1e12), "-21474836.48");
}

TEST(FormatDouble, FixedNotationFifteenDigits) {
  EXPECT_EQ(FormatDouble(0), "0");
  EXPECT_EQ(FormatDouble(1.5), "1.5");
  EXPECT_EQ(FormatDouble(-250), "-250");
  EXPECT_EQ(FormatDouble(0.1 + 0.2), "0.3");
  EXPECT_EQ(FormatDouble(1e20), "100000000000000000000");
  EXPECT_EQ(FormatDouble(1.25e-7), "0.000000125");
  EXPECT_EQ(FormatDouble(std::nan("")), "0");
}

TEST(EscapeText, EscapesTheEightSpecialBytes) {
  EXPECT_EQ(EscapeText("(a\\b)\r\n"), "\\(a\\\\b\\)\\r\\n");
  EXPECT_EQ(EscapeText("\t\b\f"), "\\t\\b\\f");
  EXPECT_EQ(EscapeText("Gr\xF6\xDF"
                       "e \x80"),
            "Gr\xF6\xDF"
            "e \x80");
  EXPECT_EQ(EscapeText(std::string_view("a\0b", 3)), std::string("a\0b", 3));
}

TEST(EscapeName, HexForDelimitersAndOutsidePrintable) {
  EXPECT_EQ(EscapeName("A B#1"), "A#20B#231");
  EXPECT_EQ(EscapeName("Font"), "Font");
  EXPECT_EQ(EscapeName("%()/<>[]{}"), "#25#28#29#2F#3C#3E#5B#5D#7B#7D");
  EXPECT_EQ(EscapeName("\x7F\xFF!~"), "#7F#FF!~");
  EXPECT_EQ(EscapeName(""), "");
  // No name holds a NUL byte, not even as #00: it is left out.
  EXPECT_EQ(EscapeName(std::string_view("Bild\0\0 1\0", 9)), "Bild#201");
}

TEST(PdfTextHelpers, HexCountAndDate) {
  EXPECT_EQ(ToHex("en"), "656E");
  EXPECT_EQ(ToHex(std::string_view("\x00\xAB\xFF", 3)), "00ABFF");
  EXPECT_FALSE(HasMultiByte("\x81\x82\xFE"));
  EXPECT_EQ(CharCount("Gr\xF6\xDF"
                      "e"),
            5);
  EXPECT_EQ(DateText({2003, 6, 4, 13, 32, 56, 666}), "D:20030604133256");
  EXPECT_EQ(DateText({987, 1, 2, 3, 4, 5, 0}), "D:09870102030405");
}

}  // namespace
}  // namespace quirabel::pdf
