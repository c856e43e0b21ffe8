#include <gtest/gtest.h>

#include <filesystem>

#include "base/atomic_file.h"
#include "graphics/bmp.h"
#include "graphics/ink.h"
#include "graphics/picture.h"
#include "support/test_folder.h"

namespace quirabel::graphics {
namespace {

Bitmap Filled(int w, int h, TColor color) {
  Bitmap b(w, h, PixelFormat::pf24bit);
  b.FillRect(0, 0, w, h, color);
  return b;
}

TEST(Picture, KeepsTheBytesItWasLoadedFrom) {
  // A BMP with two stray bytes after its pixels: read fine, written back exactly as it came.
  std::string bmp = WriteBmp(Filled(3, 2, clRed)) + "xy";
  const Picture fromBmp = Picture::FromBytes(bmp);
  EXPECT_EQ(fromBmp.Kind(), GraphicKind::Bitmap);
  EXPECT_EQ(fromBmp.Width(), 3);
  EXPECT_EQ(fromBmp.SaveToBytes(), bmp);

  const std::string jpeg = EncodeJpeg(Filled(8, 4, clBlue), 90) + std::string("\0\0", 2);
  const Picture fromJpeg = Picture::FromBytes(jpeg);
  EXPECT_EQ(fromJpeg.Kind(), GraphicKind::Jpeg);
  EXPECT_EQ(fromJpeg.Height(), 4);
  EXPECT_EQ(fromJpeg.SaveToBytes(), jpeg);
  EXPECT_EQ(fromJpeg.AsJpeg()->Bytes().View(), jpeg);

  // Made in memory: the file form is written anew.
  const Picture made = Picture::FromBitmap(Filled(3, 2, clRed));
  EXPECT_EQ(made.SourceBytes(), "");
  EXPECT_EQ(made.SaveToBytes(), WriteBmp(Filled(3, 2, clRed)));
  EXPECT_EQ(Picture().SaveToBytes(), "");
  EXPECT_TRUE(Picture().Empty());
  EXPECT_EQ(Picture().Kind(), GraphicKind::None);
}

TEST(Picture, RefusesWhatIsNoPicture) {
  EXPECT_THROW(Picture::FromBytes(""), ImageError);
  EXPECT_THROW(Picture::FromBytes("GIF89a"), ImageError);
  EXPECT_THROW(Picture::FromBytes("BM\x01"), ImageError);
  EXPECT_THROW(Picture::FromBytes("\xFF\xD8\xFF"), ImageError);
  EXPECT_THROW(Picture::LoadFromFile("/nonexistent/bild.jpg"), FileError);
}

TEST(Picture, SavesAtomicallyAndDecodesJpegOnce) {
  const auto dir = testing::FreshTestFolder("picture_test_");
  std::filesystem::create_directories(dir);
  const Picture jpeg = Picture::FromJpeg(JpegImage::FromBitmap(Filled(16, 16, RGB(0, 128, 0))));
  jpeg.SaveToFile(dir / "bild.jpg");
  const Picture back = Picture::LoadFromFile(dir / "bild.jpg");
  EXPECT_EQ(back.SaveToBytes(), jpeg.SaveToBytes());
  const Bitmap& pixels = back.Pixels();
  EXPECT_EQ(&pixels, &back.Pixels());
  EXPECT_NEAR(GetGValue(pixels.Pixel(8, 8)), 128, 4);
  std::filesystem::remove_all(dir);
}

TEST(Ink, SingleColours) {
  auto count = [](TColor color) {
    InkFlags flags;
    flags.TestColor(color);
    return flags.Count();
  };
  EXPECT_EQ(count(clWhite), 0);
  EXPECT_EQ(count(clBlack), 1);
  EXPECT_EQ(count(clRed), 2);  // magenta and yellow
  EXPECT_EQ(count(RGB(128, 128, 128)), 1);
  EXPECT_EQ(count(RGB(254, 254, 253)), 0);  // shares of 1 or less need no ink
  EXPECT_EQ(count(RGB(253, 255, 255)), 1);
  const Cmyk ink = ToCmyk(RGB(100, 150, 200));
  EXPECT_EQ(ink.k, 55);
  EXPECT_EQ(ink.c, 100);
  EXPECT_EQ(ink.m, 50);
  EXPECT_EQ(ink.y, 0);

  InkFlags page;
  page.TestColor(clBlack);
  page.TestColor(clRed);
  EXPECT_EQ(page.Count(), 3);  // flags accumulate over the page
}

TEST(Ink, PicturesUseHigherThresholds) {
  Bitmap b = Filled(4, 4, clWhite);
  b.SetPixel(3, 3, RGB(245, 255, 255));  // cyan share 10: not enough in a picture
  InkFlags flags;
  flags.TestPicture(Picture::FromBitmap(b));
  EXPECT_EQ(flags.Count(), 0);
  b.SetPixel(2, 3, RGB(244, 255, 255));
  flags.TestPicture(Picture::FromBitmap(b));
  EXPECT_TRUE(flags.cyan);
  EXPECT_EQ(flags.Count(), 1);
  b.SetPixel(0, 0, RGB(0, 0, 0));
  b.SetPixel(1, 0, RGB(255, 0, 0));
  flags.TestPicture(Picture::FromBitmap(b));
  EXPECT_TRUE(flags.All());
  flags.TestPicture(Picture());  // an empty picture adds nothing and does not fail
  EXPECT_EQ(flags.Count(), 4);
}

}  // namespace
}  // namespace quirabel::graphics
