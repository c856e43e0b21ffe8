#include "graphics/bitmap.h"

#include <gtest/gtest.h>

#include <climits>

namespace quirabel::graphics {
namespace {

TEST(Bitmap, SizesAreCheckedBeforeAllocating) {
  EXPECT_THROW(Bitmap(-1, 5, PixelFormat::pf24bit), ImageError);
  EXPECT_THROW(Bitmap(10001, 10000, PixelFormat::pf8bit), ImageError);  // over 100 million pixels
  EXPECT_THROW(Bitmap(INT_MAX, INT_MAX, PixelFormat::pf32bit), ImageError);
  // 100 million 32-bit pixels would need 400 MB: allowed; 24-bit at 9999 x 10000 too.
  EXPECT_TRUE(Bitmap::SizeAllowed(10000, 10000, PixelFormat::pf32bit));
  const char* reason = nullptr;
  EXPECT_FALSE(Bitmap::SizeAllowed(1, -3, PixelFormat::pf1bit, &reason));
  EXPECT_STREQ(reason, "negative bitmap size");
  Bitmap empty(0, 7, PixelFormat::pf24bit);
  EXPECT_TRUE(empty.Empty());
  EXPECT_TRUE(Bitmap().Empty());
}

TEST(Bitmap, RowsArePackedToWholeBytes) {
  EXPECT_EQ(Bitmap(9, 2, PixelFormat::pf1bit).Stride(), 2u);
  EXPECT_EQ(Bitmap(3, 2, PixelFormat::pf4bit).Stride(), 2u);
  EXPECT_EQ(Bitmap(3, 2, PixelFormat::pf15bit).Stride(), 6u);
  EXPECT_EQ(Bitmap(3, 2, PixelFormat::pf24bit).Stride(), 9u);
  EXPECT_EQ(Bitmap(3, 2, PixelFormat::pf32bit).Stride(), 12u);
}

TEST(Bitmap, PixelsRoundTripInEveryFormat) {
  const TColor colors[] = {clRed, clBlue, RGB(0, 255, 0), clWhite, clBlack, RGB(200, 100, 50)};
  for (PixelFormat format : {PixelFormat::pf24bit, PixelFormat::pf32bit}) {
    Bitmap b(6, 1, format);
    for (int x = 0; x < 6; ++x) b.SetPixel(x, 0, colors[x]);
    for (int x = 0; x < 6; ++x) EXPECT_EQ(b.Pixel(x, 0), colors[x]) << static_cast<int>(format);
  }
  // 15 and 16 bits keep the top five or six bits of each channel and spread them back.
  Bitmap b15(1, 1, PixelFormat::pf15bit);
  b15.SetPixel(0, 0, RGB(200, 100, 50));
  EXPECT_EQ(b15.Pixel(0, 0), RGB(206, 99, 49));
  Bitmap b16(1, 1, PixelFormat::pf16bit);
  b16.SetPixel(0, 0, RGB(200, 100, 50));
  EXPECT_EQ(b16.Pixel(0, 0), RGB(206, 101, 49));
  b16.SetPixel(0, 0, clWhite);
  EXPECT_EQ(b16.Pixel(0, 0), clWhite);

  // Indexed formats: the nearest palette entry.
  Bitmap mono(10, 1, PixelFormat::pf1bit);
  mono.SetPixel(9, 0, RGB(250, 240, 255));
  mono.SetPixel(8, 0, RGB(20, 0, 10));
  EXPECT_EQ(mono.Index(9, 0), 1);
  EXPECT_EQ(mono.Index(8, 0), 0);
  EXPECT_EQ(mono.Row(0)[1], 0x40);  // pixel 9 is the second bit of the second byte
  Bitmap nibbles(3, 1, PixelFormat::pf4bit);
  nibbles.SetIndex(0, 0, 0xA);
  nibbles.SetIndex(1, 0, 0x5);
  nibbles.SetIndex(2, 0, 0xF);
  EXPECT_EQ(nibbles.Row(0)[0], 0xA5);
  EXPECT_EQ(nibbles.Row(0)[1], 0xF0);
  EXPECT_EQ(nibbles.Index(1, 0), 5);
}

TEST(Bitmap, PaletteRules) {
  Bitmap b(2, 1, PixelFormat::pf8bit);
  EXPECT_EQ(b.Palette().size(), 256u);
  b.SetPalette({{255, 0, 0}, {0, 0, 255}});
  b.SetIndex(1, 0, 1);
  b.SetIndex(0, 0, 7);  // past the palette: black
  EXPECT_EQ(b.Pixel(1, 0), clBlue);
  EXPECT_EQ(b.Pixel(0, 0), clBlack);
  Bitmap mono(1, 1, PixelFormat::pf1bit);
  EXPECT_THROW(mono.SetPalette(std::vector<PaletteEntry>(3)), ImageError);
  Bitmap rgb(1, 1, PixelFormat::pf24bit);
  EXPECT_THROW(rgb.SetPalette({{1, 2, 3}}), ImageError);
  EXPECT_THROW(rgb.Index(0, 0), ImageError);
}

TEST(Bitmap, Conversions) {
  Bitmap four(3, 2, PixelFormat::pf4bit);
  std::vector<PaletteEntry> palette(16);
  palette[3] = {10, 20, 30};
  four.SetPalette(palette);
  four.SetIndex(2, 1, 3);
  const Bitmap eight = four.Converted(PixelFormat::pf8bit);
  EXPECT_EQ(eight.Format(), PixelFormat::pf8bit);
  EXPECT_EQ(eight.Index(2, 1), 3);
  EXPECT_EQ(eight.Palette().size(), 16u);
  const Bitmap rgb = four.Converted(PixelFormat::pf24bit);
  EXPECT_EQ(rgb.Pixel(2, 1), RGB(10, 20, 30));
  EXPECT_EQ(rgb.Converted(PixelFormat::pf32bit).Converted(PixelFormat::pf24bit), rgb);
  EXPECT_THROW(rgb.Converted(PixelFormat::pf8bit), ImageError);
  // Down to fewer bits only when every index fits.
  EXPECT_THROW(eight.Converted(PixelFormat::pf1bit), ImageError);
  Bitmap low(2, 1, PixelFormat::pf8bit);
  low.SetIndex(1, 0, 1);
  EXPECT_EQ(low.Converted(PixelFormat::pf1bit).Index(1, 0), 1);
}

TEST(Bitmap, DrawingIsClippedToTheBitmap) {
  Bitmap b(4, 3, PixelFormat::pf24bit);
  b.FillRect(-5, -5, 100, 100, clWhite);
  b.FillRect(1, 1, 3, 2, clRed);
  EXPECT_EQ(b.Pixel(0, 1), clWhite);
  EXPECT_EQ(b.Pixel(1, 1), clRed);
  EXPECT_EQ(b.Pixel(2, 1), clRed);
  EXPECT_EQ(b.Pixel(3, 1), clWhite);
  EXPECT_EQ(b.Pixel(1, 2), clWhite);
  b.HLine(3, -10, 0, clBlue);  // reversed ends, clipped
  for (int x = 0; x < 4; ++x) EXPECT_EQ(b.Pixel(x, 0), clBlue);
  b.VLine(3, 0, INT_MAX, clBlack);
  for (int y = 0; y < 3; ++y) EXPECT_EQ(b.Pixel(3, y), clBlack);
  b.HLine(0, 3, INT_MAX, clRed);  // outside: nothing
  b.VLine(-1, 0, 2, clRed);
  b.FillRect(INT_MIN, INT_MIN, INT_MIN, INT_MAX, clRed);
  EXPECT_EQ(b.Pixel(0, 2), clWhite);
}

}  // namespace
}  // namespace quirabel::graphics
