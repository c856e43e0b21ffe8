#include "graphics/bitmap.h"

#include <algorithm>
#include <limits>

namespace quirabel::graphics {

int BitsPerPixel(PixelFormat format) {
  return static_cast<int>(format) == 15 ? 16 : static_cast<int>(format);
}

bool IsIndexed(PixelFormat format) {
  return format == PixelFormat::pf1bit || format == PixelFormat::pf4bit ||
         format == PixelFormat::pf8bit;
}

namespace {

std::uint64_t StrideOf(std::uint64_t width, PixelFormat format) {
  return (width * static_cast<std::uint64_t>(BitsPerPixel(format)) + 7) / 8;
}

}  // namespace

bool Bitmap::SizeAllowed(std::int64_t width, std::int64_t height, PixelFormat format,
                         const char** reason) {
  const char* why = nullptr;
  if (width < 0 || height < 0) {
    why = "negative bitmap size";
  } else if (width > std::numeric_limits<int>::max() || height > std::numeric_limits<int>::max()) {
    why = "bitmap size out of range";
  } else if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxPixels) {
    why = "bitmap has more than 100 million pixels";
  } else if (StrideOf(static_cast<std::uint64_t>(width), format) *
                 static_cast<std::uint64_t>(height) >
             kMaxBytes) {
    why = "bitmap needs more than 512 MiB";
  }
  if (reason != nullptr) *reason = why;
  return why == nullptr;
}

Bitmap::Bitmap(int width, int height, PixelFormat format) : format_(format) {
  const char* reason = nullptr;
  if (!SizeAllowed(width, height, format, &reason)) throw ImageError(reason);
  width_ = width;
  height_ = height;
  stride_ = static_cast<std::size_t>(StrideOf(static_cast<std::uint64_t>(width), format));
  pixels_.assign(stride_ * static_cast<std::size_t>(height), 0);
  if (IsIndexed(format)) {
    palette_.assign(std::size_t{1} << BitsPerPixel(format), PaletteEntry{});
    if (format == PixelFormat::pf1bit) palette_[1] = PaletteEntry{255, 255, 255};
  }
}

void Bitmap::SetPalette(std::vector<PaletteEntry> palette) {
  if (!IsIndexed(format_)) throw ImageError("palette for a true-colour bitmap");
  if (palette.size() > (std::size_t{1} << BitsPerPixel(format_))) {
    throw ImageError("palette has more entries than the pixel format can index");
  }
  palette_ = std::move(palette);
}

std::uint8_t Bitmap::Index(int x, int y) const {
  const std::uint8_t* row = Row(y);
  switch (format_) {
    case PixelFormat::pf1bit:
      return static_cast<std::uint8_t>((row[x >> 3] >> (7 - (x & 7))) & 1);
    case PixelFormat::pf4bit:
      return static_cast<std::uint8_t>((x & 1) != 0 ? row[x >> 1] & 0x0F : row[x >> 1] >> 4);
    case PixelFormat::pf8bit:
      return row[x];
    default:
      throw ImageError("palette index of a true-colour bitmap");
  }
}

void Bitmap::SetIndex(int x, int y, std::uint8_t index) {
  std::uint8_t* row = Row(y);
  switch (format_) {
    case PixelFormat::pf1bit: {
      const auto bit = static_cast<std::uint8_t>(0x80 >> (x & 7));
      row[x >> 3] =
          static_cast<std::uint8_t>((index & 1) != 0 ? row[x >> 3] | bit : row[x >> 3] & ~bit);
      break;
    }
    case PixelFormat::pf4bit: {
      std::uint8_t& b = row[x >> 1];
      b = (x & 1) != 0 ? static_cast<std::uint8_t>((b & 0xF0) | (index & 0x0F))
                       : static_cast<std::uint8_t>((b & 0x0F) | ((index & 0x0F) << 4));
      break;
    }
    case PixelFormat::pf8bit:
      row[x] = index;
      break;
    default:
      throw ImageError("palette index of a true-colour bitmap");
  }
}

TColor Bitmap::Pixel(int x, int y) const {
  const std::uint8_t* row = Row(y);
  switch (format_) {
    case PixelFormat::pf1bit:
    case PixelFormat::pf4bit:
    case PixelFormat::pf8bit: {
      const std::uint8_t index = Index(x, y);
      return index < palette_.size() ? ToColor(palette_[index]) : clBlack;
    }
    case PixelFormat::pf15bit: {
      const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
      // Spread five bits over eight the usual way: repeat the high bits in the low ones.
      auto c5 = [](unsigned c) { return static_cast<std::uint8_t>((c << 3) | (c >> 2)); };
      return RGB(c5((v >> 10) & 31), c5((v >> 5) & 31), c5(v & 31));
    }
    case PixelFormat::pf16bit: {
      const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
      auto c5 = [](unsigned c) { return static_cast<std::uint8_t>((c << 3) | (c >> 2)); };
      auto c6 = [](unsigned c) { return static_cast<std::uint8_t>((c << 2) | (c >> 4)); };
      return RGB(c5((v >> 11) & 31), c6((v >> 5) & 63), c5(v & 31));
    }
    case PixelFormat::pf24bit:
      return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    case PixelFormat::pf32bit:
      return RGB(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
  }
  return clBlack;
}

void Bitmap::SetPixel(int x, int y, TColor color) {
  std::uint8_t* row = Row(y);
  const unsigned r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
  switch (format_) {
    case PixelFormat::pf1bit:
    case PixelFormat::pf4bit:
    case PixelFormat::pf8bit: {
      std::size_t best = 0;
      long bestDistance = std::numeric_limits<long>::max();
      for (std::size_t i = 0; i < palette_.size(); ++i) {
        const long dr = static_cast<long>(palette_[i].r) - r;
        const long dg = static_cast<long>(palette_[i].g) - g;
        const long db = static_cast<long>(palette_[i].b) - b;
        const long distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
          bestDistance = distance;
          best = i;
        }
      }
      SetIndex(x, y, static_cast<std::uint8_t>(best));
      break;
    }
    case PixelFormat::pf15bit: {
      const unsigned v = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
      row[2 * x] = static_cast<std::uint8_t>(v);
      row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
      break;
    }
    case PixelFormat::pf16bit: {
      const unsigned v = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
      row[2 * x] = static_cast<std::uint8_t>(v);
      row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
      break;
    }
    case PixelFormat::pf24bit:
      row[3 * x] = static_cast<std::uint8_t>(b);
      row[3 * x + 1] = static_cast<std::uint8_t>(g);
      row[3 * x + 2] = static_cast<std::uint8_t>(r);
      break;
    case PixelFormat::pf32bit:
      row[4 * x] = static_cast<std::uint8_t>(b);
      row[4 * x + 1] = static_cast<std::uint8_t>(g);
      row[4 * x + 2] = static_cast<std::uint8_t>(r);
      row[4 * x + 3] = 0;
      break;
  }
}

Bitmap Bitmap::Converted(PixelFormat format) const {
  if (format == format_) return *this;
  Bitmap out(width_, height_, format);
  if (IsIndexed(format)) {
    if (!IsIndexed(format_)) throw ImageError("cannot convert a true-colour bitmap to a palette");
    const std::size_t capacity = std::size_t{1} << BitsPerPixel(format);
    std::vector<PaletteEntry> palette = palette_;
    if (palette.size() > capacity) {
      for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
          if (Index(x, y) >= capacity) throw ImageError("palette index does not fit the format");
        }
      }
      palette.resize(capacity);
    }
    out.SetPalette(std::move(palette));
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) out.SetIndex(x, y, Index(x, y));
    }
    return out;
  }
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) out.SetPixel(x, y, Pixel(x, y));
  }
  return out;
}

void Bitmap::FillRect(int left, int top, int right, int bottom, TColor color) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, width_);
  bottom = std::min(bottom, height_);
  if (left >= right || top >= bottom) return;
  // Set one pixel, then copy its bytes along the row where the format allows.
  for (int y = top; y < bottom; ++y) {
    if (format_ == PixelFormat::pf24bit || format_ == PixelFormat::pf32bit) {
      SetPixel(left, y, color);
      const std::size_t bpp = BitsPerPixel(format_) / 8;
      std::uint8_t* row = Row(y);
      for (int x = left + 1; x < right; ++x) {
        std::copy_n(row + left * bpp, bpp, row + x * bpp);
      }
    } else {
      for (int x = left; x < right; ++x) SetPixel(x, y, color);
    }
  }
}

void Bitmap::HLine(int x1, int x2, int y, TColor color) {
  if (y < 0 || y >= height_) return;
  if (x1 > x2) std::swap(x1, x2);
  FillRect(x1, y, std::min(x2, width_ - 1) + 1, y + 1, color);
}

void Bitmap::VLine(int x, int y1, int y2, TColor color) {
  if (x < 0 || x >= width_) return;
  if (y1 > y2) std::swap(y1, y2);
  FillRect(x, y1, x + 1, std::min(y2, height_ - 1) + 1, color);
}

}  // namespace quirabel::graphics
