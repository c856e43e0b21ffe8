#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/color.h"
#include "graphics/image_error.h"

namespace quirabel::graphics {

enum class PixelFormat : std::uint8_t {
  pf1bit = 1,
  pf4bit = 4,
  pf8bit = 8,
  pf15bit = 15,  // 5-5-5, little endian, blue in the low bits
  pf16bit = 16,  // 5-6-5, little endian, blue in the low bits
  pf24bit = 24,  // bytes blue, green, red
  pf32bit = 32,  // bytes blue, green, red, unused
};

int BitsPerPixel(PixelFormat format);
bool IsIndexed(PixelFormat format);

// A bitmap in memory, rows top-down, each row packed to whole bytes (no padding beyond that);
// 1- and 4-bit pixels fill a byte from its high bits. Indexed formats carry a palette of at most
// 2^bits entries.
class Bitmap {
 public:
  // Pictures larger than this are refused before anything is allocated.
  static constexpr std::uint64_t kMaxPixels = 100'000'000;
  static constexpr std::uint64_t kMaxBytes = 512ull * 1024 * 1024;

  Bitmap() = default;
  // Pixels start as zero bytes; an indexed bitmap gets a palette of 2^bits black entries (1-bit:
  // black and white). Raises ImageError for negative or too large sizes.
  Bitmap(int width, int height, PixelFormat format);

  // Whether a bitmap of that size and format may be created; says why not in *reason.
  static bool SizeAllowed(std::int64_t width, std::int64_t height, PixelFormat format,
                          const char** reason = nullptr);

  int Width() const { return width_; }
  int Height() const { return height_; }
  PixelFormat Format() const { return format_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  std::size_t Stride() const { return stride_; }

  std::uint8_t* Row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * stride_; }
  const std::uint8_t* Row(int y) const {
    return pixels_.data() + static_cast<std::size_t>(y) * stride_;
  }
  const std::vector<std::uint8_t>& Pixels() const { return pixels_; }

  const std::vector<PaletteEntry>& Palette() const { return palette_; }
  // At most 2^bits entries; raises ImageError for a true-colour bitmap or too many entries.
  void SetPalette(std::vector<PaletteEntry> palette);

  // Palette index of a pixel of an indexed bitmap.
  std::uint8_t Index(int x, int y) const;
  void SetIndex(int x, int y, std::uint8_t index);

  // The colour of a pixel (an index past the palette reads as black). Coordinates must be inside.
  TColor Pixel(int x, int y) const;
  // Sets a pixel: true-colour formats store the colour (15/16 bit lose low bits), indexed formats
  // take the nearest palette entry.
  void SetPixel(int x, int y, TColor color);

  // A copy in another format: any format to 15, 16, 24 or 32 bits; 1 and 4 bits to 8 bits with
  // the same palette; indexed to indexed of fewer bits only when every index fits. Raises
  // ImageError for true colour to indexed.
  Bitmap Converted(PixelFormat format) const;

  // Drawing: a rectangle filled with a colour (left/top inclusive, right/bottom exclusive,
  // clipped to the bitmap), and horizontal and vertical lines of a pen colour.
  void FillRect(int left, int top, int right, int bottom, TColor color);
  void HLine(int x1, int x2, int y, TColor color);  // x1..x2 inclusive
  void VLine(int x, int y1, int y2, TColor color);  // y1..y2 inclusive

  friend bool operator==(const Bitmap&, const Bitmap&) = default;

 private:
  int width_ = 0;
  int height_ = 0;
  PixelFormat format_ = PixelFormat::pf24bit;
  std::size_t stride_ = 0;
  std::vector<std::uint8_t> pixels_;
  std::vector<PaletteEntry> palette_;
};

}  // namespace quirabel::graphics
