#include "graphics/gif.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <string>
#include <utility>
#include <vector>

#include <gif_lib.h>

namespace quirabel::graphics {
namespace {

struct Frame {
  int left = 0, top = 0, width = 1, height = 1;
  std::vector<GifPixelType> pixels = {};   // row by row
  std::vector<PaletteEntry> colours = {};  // local colour map; empty for none
  int transparent = -1;
  bool interlaced = false;
};

int Append(GifFileType* gif, const GifByteType* data, int length) {
  static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
  return length;
}

// giflib wants a power-of-two number of entries; the padding is black.
ColorMapObject* MapOf(const std::vector<PaletteEntry>& colours) {
  std::vector<GifColorType> entries;
  for (const PaletteEntry& c : colours) entries.push_back({c.r, c.g, c.b});
  entries.resize(std::max<std::size_t>(2, std::bit_ceil(entries.size())));
  return GifMakeMapObject(static_cast<int>(entries.size()), entries.data());
}

// Writes a GIF with giflib's encoder; no colours means no global colour map.
std::string BuildGif(int width, int height, const std::vector<PaletteEntry>& colours,
                     int background, const std::vector<Frame>& frames) {
  std::string out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, Append, &error);
  EGifSetGifVersion(gif, true);
  ColorMapObject* global = colours.empty() ? nullptr : MapOf(colours);
  EXPECT_EQ(EGifPutScreenDesc(gif, width, height, 8, background, global), GIF_OK);
  GifFreeMapObject(global);
  for (const Frame& frame : frames) {
    if (frame.transparent >= 0) {
      const GifByteType control[] = {1, 0, 0, static_cast<GifByteType>(frame.transparent)};
      EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
    }
    ColorMapObject* local = frame.colours.empty() ? nullptr : MapOf(frame.colours);
    EXPECT_EQ(EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height,
                               frame.interlaced, local),
              GIF_OK);
    GifFreeMapObject(local);
    // Interlaced rows go in the file pass by pass.
    const std::vector<std::pair<int, int>> passes =
        frame.interlaced ? std::vector<std::pair<int, int>>{{0, 8}, {4, 8}, {2, 4}, {1, 2}}
                         : std::vector<std::pair<int, int>>{{0, 1}};
    for (auto [first, step] : passes) {
      for (int y = first; y < frame.height; y += step) {
        std::vector<GifPixelType> row(frame.pixels.begin() + y * frame.width,
                                      frame.pixels.begin() + (y + 1) * frame.width);
        EXPECT_EQ(EGifPutLine(gif, row.data(), frame.width), GIF_OK);
      }
    }
  }
  EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
  return out;
}

const std::vector<PaletteEntry> kColours = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
constexpr TColor kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255);

TEST(GifTest, TwoByTwoWithGlobalColours) {
  const GifPicture picture = ReadGif(BuildGif(2, 2, kColours, 0, {{0, 0, 2, 2, {1, 2, 3, 0}}}));
  ASSERT_EQ(picture.bitmap.Width(), 2);
  ASSERT_EQ(picture.bitmap.Height(), 2);
  EXPECT_EQ(picture.bitmap.Format(), PixelFormat::pf24bit);
  EXPECT_EQ(picture.bitmap.Pixel(0, 0), kRed);
  EXPECT_EQ(picture.bitmap.Pixel(1, 0), kGreen);
  EXPECT_EQ(picture.bitmap.Pixel(0, 1), kBlue);
  EXPECT_EQ(picture.bitmap.Pixel(1, 1), clBlack);
  EXPECT_FALSE(picture.anyFrameTransparent);
}

TEST(GifTest, FramePlacementFillAndClipping) {
  // An offset frame inside a larger screen; the rest is the global background colour.
  GifPicture picture = ReadGif(BuildGif(6, 5, kColours, 3, {{3, 2, 2, 2, {1, 1, 2, 2}}}));
  EXPECT_EQ(picture.bitmap.Width(), 6);
  EXPECT_EQ(picture.bitmap.Pixel(0, 0), kBlue);
  EXPECT_EQ(picture.bitmap.Pixel(5, 4), kBlue);
  EXPECT_EQ(picture.bitmap.Pixel(3, 2), kRed);
  EXPECT_EQ(picture.bitmap.Pixel(4, 3), kGreen);

  // A frame reaching past the screen is cut; a local map wins, indices past it are black.
  const std::vector<PaletteEntry> local = {{10, 20, 30}, {40, 50, 60}};
  picture = ReadGif(BuildGif(3, 3, kColours, 2, {{1, 2, 3, 2, {1, 3, 0, 0, 0, 0}, local}}));
  EXPECT_EQ(picture.bitmap.Height(), 3);
  EXPECT_EQ(picture.bitmap.Pixel(1, 2), RGB(40, 50, 60));
  EXPECT_EQ(picture.bitmap.Pixel(2, 2), clBlack);
  EXPECT_EQ(picture.bitmap.Pixel(0, 2), kGreen);

  // A screen smaller than the frame gives way to the frame's size; no global map means black.
  picture = ReadGif(BuildGif(0, 0, {}, 0, {{0, 0, 3, 2, {1, 1, 1, 1, 1, 1}, kColours}}));
  EXPECT_EQ(picture.bitmap.Width(), 3);
  EXPECT_EQ(picture.bitmap.Height(), 2);
  EXPECT_EQ(picture.bitmap.Pixel(2, 1), kRed);
  picture = ReadGif(BuildGif(4, 4, {}, 0, {{1, 1, 1, 1, {1}, kColours}}));
  EXPECT_EQ(picture.bitmap.Pixel(0, 0), clBlack);
}

TEST(GifTest, Transparency) {
  // A transparent first frame fills the screen with its transparent index's colour, which its
  // transparent pixels keep too.
  GifPicture picture = ReadGif(BuildGif(3, 1, kColours, 1, {{0, 0, 2, 1, {2, 3}, {}, 3}}));
  EXPECT_TRUE(picture.anyFrameTransparent);
  EXPECT_EQ(picture.bitmap.Pixel(0, 0), kGreen);
  EXPECT_EQ(picture.bitmap.Pixel(1, 0), kBlue);
  EXPECT_EQ(picture.bitmap.Pixel(2, 0), kBlue);

  // Only the second frame is transparent: it is not drawn, but it counts.
  picture = ReadGif(BuildGif(2, 1, kColours, 1, {{0, 0, 1, 1, {2}}, {0, 0, 2, 1, {3, 3}, {}, 3}}));
  EXPECT_TRUE(picture.anyFrameTransparent);
  EXPECT_EQ(picture.bitmap.Pixel(0, 0), kGreen);
  EXPECT_EQ(picture.bitmap.Pixel(1, 0), kRed);
}

TEST(GifTest, InterlacedRowsComeBackInOrder) {
  std::vector<GifPixelType> column;
  for (int y = 0; y < 11; ++y) column.push_back(static_cast<GifPixelType>(y % 4));
  const GifPicture picture =
      ReadGif(BuildGif(1, 11, kColours, 0, {{0, 0, 1, 11, column, {}, -1, true}}));
  for (int y = 0; y < 11; ++y) {
    EXPECT_EQ(picture.bitmap.Pixel(0, y), ToColor(kColours[y % 4])) << y;
  }
}

TEST(GifTest, BadInputIsImageError) {
  const std::string good =
      BuildGif(8, 8, kColours, 0, {{0, 0, 8, 8, std::vector<GifPixelType>(64, 1)}});
  std::string hugeScreen = good;
  hugeScreen.replace(6, 4, "\xFF\xFF\xFF\xFF");
  EXPECT_THROW(ReadGif("GIF89a"), ImageError);
  EXPECT_THROW(ReadGif("not a picture at all"), ImageError);
  EXPECT_THROW(ReadGif(hugeScreen), ImageError);
  // giflib's own words are the message.
  for (auto [bad, code] : {std::pair{std::string(), D_GIF_ERR_READ_FAILED},
                           {good.substr(0, 20), D_GIF_ERR_NO_SCRN_DSCR},
                           {good.substr(0, good.size() - 6), D_GIF_ERR_READ_FAILED}}) {
    try {
      ReadGif(bad);
      ADD_FAILURE() << bad.size();
    } catch (const ImageError& e) {
      EXPECT_EQ(e.what(), std::string("GIF: ") + GifErrorString(code)) << bad.size();
    }
  }
  try {
    ReadGif(BuildGif(2, 2, kColours, 0, {}));
    ADD_FAILURE();
  } catch (const ImageError& e) {
    EXPECT_STREQ(e.what(), "GIF has no image");
  }
}

}  // namespace
}  // namespace quirabel::graphics
