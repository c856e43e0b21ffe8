#include "graphics/png.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <zlib.h>

#include "graphics/color.h"
#include "support/png_samples.h"

namespace quirabel::graphics {
namespace {

using testing::TransparentSamplePng;
using testing::WritePng;

TEST(PngTest, TransparencyIsLaidOverWhite) {
  const Bitmap bitmap = ReadPng(TransparentSamplePng());
  ASSERT_EQ(bitmap.Width(), 4);
  ASSERT_EQ(bitmap.Height(), 2);
  EXPECT_EQ(bitmap.Format(), PixelFormat::pf24bit);
  EXPECT_EQ(bitmap.Pixel(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(bitmap.Pixel(1, 0), RGB(0, 0, 255));
  EXPECT_EQ(bitmap.Pixel(2, 0), RGB(255, 255, 255));
  // Half transparent black over white is a middle grey, whatever rounding libpng uses.
  const TColor half = bitmap.Pixel(3, 0);
  EXPECT_EQ(GetRValue(half), GetGValue(half));
  EXPECT_GT(GetRValue(half), 100);
  EXPECT_LT(GetRValue(half), 200);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(bitmap.Pixel(x, 1), RGB(0, 255, 0));
  EXPECT_EQ(ReadPngInfo(TransparentSamplePng()).width, 4);
}

TEST(PngTest, GreyAndSixteenBitPicturesBecomeTrueColour) {
  const Bitmap grey = ReadPng(WritePng(3, 1, PNG_FORMAT_GRAY, {0, 128, 255}));
  EXPECT_EQ(grey.Pixel(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(grey.Pixel(1, 0), RGB(128, 128, 128));
  EXPECT_EQ(grey.Pixel(2, 0), RGB(255, 255, 255));
  // 16-bit linear samples: full white and black survive exactly.
  std::vector<std::uint8_t> wide(2 * 3 * 2, 0);
  for (int i = 0; i < 6; ++i) wide[i] = 0xFF;
  const Bitmap linear = ReadPng(WritePng(2, 1, PNG_FORMAT_LINEAR_RGB, wide));
  EXPECT_EQ(linear.Pixel(0, 0), RGB(255, 255, 255));
  EXPECT_EQ(linear.Pixel(1, 0), RGB(0, 0, 0));
}

TEST(PngTest, DamagedAndHostileFilesAreRefused) {
  const std::string good = TransparentSamplePng();
  EXPECT_FALSE(IsPng("BM"));
  EXPECT_THROW(ReadPng("kein Bild"), ImageError);
  EXPECT_THROW(ReadPng(good.substr(0, 8)), ImageError);
  EXPECT_THROW(ReadPng(good.substr(0, good.size() / 2)), ImageError);
  std::string flipped = good;
  flipped[flipped.size() - 20] ^= 0x55;  // inside the image data or its checksum
  EXPECT_THROW(ReadPng(flipped), ImageError);

  // A header claiming 9000 x 9000 pixels in a file of a few hundred bytes is refused before
  // anything that size is allocated.
  std::string bomb = good;
  auto put32 = [&](std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bomb[at + i] = static_cast<char>(value >> (24 - 8 * i));
  };
  put32(16, 9000);
  put32(20, 9000);
  // The header's checksum must fit, or libpng stops at that.
  const std::uint32_t crc = static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const unsigned char*>(bomb.data() + 12), 17));
  put32(29, crc);
  try {
    ReadPngInfo(bomb);
    ADD_FAILURE() << "a picture bomb was read";
  } catch (const ImageError& e) {
    EXPECT_NE(std::string(e.what()).find("too short"), std::string::npos) << e.what();
  }
  EXPECT_THROW(ReadPng(bomb), ImageError);
}

}  // namespace
}  // namespace quirabel::graphics
