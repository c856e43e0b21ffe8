#include "designer/projectfile/records.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quirabel::designer::projectfile {
namespace {

using namespace std::string_view_literals;

// `size` zero bytes with the given pieces put at their offsets.
std::string Bytes(std::size_t size,
                  std::initializer_list<std::pair<std::size_t, std::string_view>> pieces) {
  std::string out(size, '\0');
  for (const auto& [offset, piece] : pieces) out.replace(offset, piece.size(), piece);
  return out;
}

TEST(RecordsTest, RectAndImageFields) {
  const std::string rect = Bytes(72, {{0, "\005Frame"sv},
                                      {44, "\xFF\x00\x00\x00"sv},    // fill red
                                      {48, "\x05\x00\x00\x80"sv},    // line: a system colour
                                      {52, "\x10\x27\x00\x00"sv},    // top 10000
                                      {56, "\xF6\xFF\xFF\xFF"sv},    // left -10
                                      {60, "\xE8\x03\x00\x00"sv},    // height 1000
                                      {64, "\xD0\x07\x00\x00"sv},    // width 2000
                                      {68, "\x00\x00\xC0\x3F"sv}});  // line width 1.5
  EXPECT_EQ(DecodeRect(rect), (RectRecord{"Frame", 0xFF, static_cast<std::int32_t>(0x80000005u),
                                          10000, -10, 1000, 2000, 1.5f}));
  EXPECT_EQ(Encode(DecodeRect(rect)), rect);

  const std::string image = Bytes(76, {{0, "\003Bil"sv},
                                       {52, "\x80\x80\x80\x00"sv},
                                       {56, "\x0A\x00\x00\x00"sv},
                                       {60, "\x14\x00\x00\x00"sv},
                                       {64, "\x1E\x00\x00\x00"sv},
                                       {68, "\x28\x00\x00\x00"sv}});
  EXPECT_EQ(DecodeImage(image), (ImageRecord{"Bil", 0x808080, 10, 20, 30, 40}));
  EXPECT_EQ(Encode(DecodeImage(image)), image);
  std::string junk = image;
  EXPECT_EQ(Encode(DecodeImage(junk.replace(4, 1, "d").replace(41, 11, "reserved..."))), image);
}

TEST(RecordsTest, LabelFields) {
  const std::string bytes = Bytes(368, {{0, "\x04Name"sv},
                                        {41, "\005Firma"sv},
                                        {82, "\x02\x02"sv},           // Times, centred
                                        {84, "\x00\x00\x40\x41"sv},   // size 12
                                        {88, "\x00\x00\xFF\x00"sv},   // blue
                                        {92, "\x01\x00"sv},           // bold, not italic
                                        {96, "\x00\x00\x00\xBF"sv},   // char space -0.5
                                        {100, "\x01\x00\x00\x00"sv},  // top, left, height, width
                                        {104, "\x02\x00\x00\x00"sv},
                                        {108, "\x03\x00\x00\x00"sv},
                                        {112, "\x04\x00\x00\x00"sv},
                                        {116, "\x06M\xFCller"sv}});
  const LabelRecord expected{"Name",   "Firma", kFontTimes, kAlignCentre, 12.0f,
                             0xFF0000, true,    false,      -0.5f,        1,
                             2,        3,       4,          "M\xFCller"};
  EXPECT_EQ(DecodeLabel(bytes), expected);
  EXPECT_EQ(Encode(expected), bytes);

  // Any non-zero byte is true; reserved bytes and bytes after a text are ignored and written as
  // zero.
  std::string lenient = bytes;
  lenient.replace(93, 3, "\xFF??").replace(123, 12, "</kxelement>");
  EXPECT_TRUE(DecodeLabel(lenient).fontItalic);
  EXPECT_EQ(Encode(DecodeLabel(lenient)), std::string(bytes).replace(93, 1, "\x01"));
}

TEST(RecordsTest, TextsAreCutAndClamped) {
  LabelRecord label;
  label.name = std::string(45, 'N');
  label.text = std::string(250, 'a') + std::string(50, 'b');
  const std::string bytes = Encode(label);
  ASSERT_EQ(bytes.size(), 368u);
  EXPECT_EQ(bytes.substr(0, 41), "\x28" + std::string(40, 'N'));
  EXPECT_EQ(bytes.substr(116), "\xFA" + std::string(250, 'a') + '\0');
  EXPECT_EQ(DecodeLabel(bytes).text, std::string(250, 'a'));

  // A length byte past the room reads the whole room.
  std::string rect = Bytes(72, {{0, "\xFF"sv}});
  rect.replace(1, 41, std::string(41, 'n'));
  EXPECT_EQ(DecodeRect(rect).name, std::string(40, 'n'));
}

// Float fields go through as bits: NaN payloads, signalling NaNs and negative zero survive.
TEST(RecordsTest, TextKeepsFloatBits) {
  const std::string bytes = Bytes(120, {{0, "\x01t"sv},
                                        {82, "\x01"sv},
                                        {84, "\x00\x00\x00\x80"sv},     // size -0
                                        {93, "\x01"sv},                 // italic
                                        {96, "\x01\x00\x80\x7F"sv},     // signalling NaN
                                        {100, "\xFF\xFF\xFF\x7F"sv},    // top INT32_MAX
                                        {116, "\x01\x00\xC0\x7F"sv}});  // quiet NaN, payload 1
  const TextRecord r = DecodeText(bytes);
  EXPECT_EQ(r.fontName, kFontArial);
  EXPECT_EQ(r.top, 2147483647);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(r.fontSize), 0x80000000u);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(r.charSpace), 0x7F800001u);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(r.leading), 0x7FC00001u);
  EXPECT_EQ(Encode(r), bytes);
}

TEST(RecordsTest, ShortInputIsAnError) {
  const std::string bytes(400, '\0');
  EXPECT_THROW(DecodeRect(std::string_view(bytes).substr(0, 71)), ProjectFileError);
  EXPECT_THROW(DecodeLabel(std::string_view(bytes).substr(0, 367)), ProjectFileError);
  EXPECT_THROW(DecodeText(std::string_view(bytes).substr(0, 119)), ProjectFileError);
  EXPECT_THROW(DecodeImage(std::string_view(bytes).substr(0, 75)), ProjectFileError);
}

TEST(RecordsTest, TextLines) {
  EXPECT_EQ(EncodeTextLines("a\nb"), "a\r\nb\r\n");
  EXPECT_EQ(EncodeTextLines(" \t\r\n "), "");
  EXPECT_EQ(EncodeTextLines("  Zeile  \n\n \n"), "Zeile\r\n");  // trailing blanks go
  EXPECT_EQ(EncodeTextLines("a\rb\r\nc\n\nd"), "a\r\nb\r\nc\r\n\r\nd\r\n");
  EXPECT_EQ(EncodeTextLines("\x01\xE4 \xA0\x1F"), "\xE4 \xA0\r\n");  // bytes over 127 are text

  using Lines = std::vector<std::string>;
  EXPECT_EQ(DecodeTextLines(""), Lines());
  EXPECT_EQ(DecodeTextLines("a\rb\nc\r\n"), Lines({"a", "b", "c"}));
  EXPECT_EQ(DecodeTextLines("a\r\n\r\n"), Lines({"a", ""}));
  EXPECT_EQ(DecodeTextLines("\n\r"), Lines({"", ""}));
}

}  // namespace
}  // namespace quirabel::designer::projectfile
