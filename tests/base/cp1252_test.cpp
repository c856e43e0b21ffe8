#include "base/cp1252.h"

#include <gtest/gtest.h>

#include <string>

namespace quirabel {
namespace {

TEST(Cp1252Test, AllByteValuesSurviveRoundTrip) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  // Also mixed with ASCII runs so both the fast path and the byte loop see every value.
  for (int i = 255; i >= 0; --i) bytes += "abcdefghij" + std::string(1, static_cast<char>(i));

  const std::string utf8 = Cp1252ToUtf8(bytes);
  bool lossy = true;
  EXPECT_EQ(Utf8ToCp1252(utf8, &lossy), bytes);
  EXPECT_FALSE(lossy);
  EXPECT_TRUE(FitsCp1252(utf8));
}

TEST(Cp1252Test, ConvertsUmlautsAndHighRowBothWays) {
  const std::string utf8 = "Gr\u00f6\u00dfe \u20ac";
  const std::string bytes = "\x47\x72\xF6\xDF\x65\x20\x80";
  EXPECT_EQ(Utf8ToCp1252(utf8), bytes);
  EXPECT_EQ(Cp1252ToUtf8(bytes), utf8);

  EXPECT_EQ(Cp1252ToUtf8("\x8A\x93\x96\x99\x9F"), "\u0160\u201c\u2013\u2122\u0178");
  EXPECT_EQ(Utf8ToCp1252("\u0160\u201c\u2013\u2122\u0178"), "\x8A\x93\x96\x99\x9F");
  EXPECT_EQ(Cp1252ToUtf8("\x81\x9D"), "\u0081\u009d");
}

TEST(Cp1252Test, UnrepresentableCharactersBecomeQuestionMarks) {
  bool lossy = false;
  // CJK, a 4-byte emoji, Polish a-ogonek and a C1 control without a byte of its own.
  EXPECT_EQ(Utf8ToCp1252("\u65e5x\U0001F600\u0105\u0080", &lossy), "?x???");
  EXPECT_TRUE(lossy);
  EXPECT_FALSE(FitsCp1252("abc\u0105"));

  EXPECT_EQ(Utf8ToCp1252("what?", &lossy), "what?");
  EXPECT_FALSE(lossy);
  EXPECT_TRUE(FitsCp1252("what? \u20ac"));
}

TEST(Cp1252Test, MalformedUtf8GivesOneQuestionMarkPerMaximalSubpart) {
  const struct {
    std::string input;
    std::string expected;
  } cases[] = {
      {"\xC3", "?"},                 // truncated at end
      {"a\xE2\x82", "a?"},           // truncated 3-byte sequence
      {"\xF0\x9F\x98", "?"},         // truncated 4-byte sequence
      {"\xE2\x82x\xC3", "?x?"},      // the interrupting byte is kept
      {"\x80\xBF", "??"},            // lone continuation bytes
      {"\xC0\xAF", "??"},            // overlong '/'
      {"\xE0\x80\xAF", "???"},       // overlong 3-byte
      {"\xF0\x80\x80\xAF", "????"},  // overlong 4-byte
      {"\xED\xA0\x80", "???"},       // surrogate U+D800
      {"\xF4\x90\x80\x80", "????"},  // above U+10FFFF
      {"\xF5\x80", "??"},            // bytes above 0xF4
      {"\xFF\xFE", "??"},
      {"\xC3\xA4\xC3", "\xE4?"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.input));
    bool lossy = false;
    EXPECT_EQ(Utf8ToCp1252(c.input, &lossy), c.expected);
    EXPECT_TRUE(lossy);
    EXPECT_FALSE(FitsCp1252(c.input));
  }
}

TEST(Cp1252Test, NonAsciiAtEveryPositionAroundAsciiBlocks) {
  for (std::size_t before = 0; before < 20; ++before) {
    for (std::size_t after = 0; after < 10; ++after) {
      const std::string a(before, 'a');
      const std::string b(after, 'b');
      const std::string bytes = a + "\xE9" + b;
      const std::string utf8 = a + "\u00e9" + b;
      ASSERT_EQ(Cp1252ToUtf8(bytes), utf8) << before << "/" << after;
      ASSERT_EQ(Utf8ToCp1252(utf8), bytes) << before << "/" << after;
      ASSERT_EQ(Utf8ToCp1252(a + "\xE9" + b), a + "?" + b) << before << "/" << after;
    }
  }
}

}  // namespace
}  // namespace quirabel
