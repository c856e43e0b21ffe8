#include "graphics/bmp.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace quirabel::graphics {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;

// Compression values of the info header.
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitfields = 3;
constexpr std::uint32_t kAlphaBitfields = 6;  // 4 and 5 are embedded JPEG and PNG

[[noreturn]] void Fail(const char* message) { throw ImageError(message); }

std::uint32_t U16(const std::uint8_t* p) { return static_cast<std::uint32_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::int32_t I32(const std::uint8_t* p) { return static_cast<std::int32_t>(U32(p)); }

void PutU16(std::string& out, std::uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void PutU32(std::string& out, std::uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

// What the headers say, in one shape whichever header the file has.
struct Header {
  std::uint32_t header_size = 0;
  bool core = false;  // 12-byte header: 16-bit sizes, 3-byte palette entries
  bool os2 = false;   // OS/2 2.x header: compression values past RLE4 mean other things
  std::int64_t width = 0;
  std::int64_t height = 0;  // always positive; top_down tells the row order
  bool top_down = false;
  int bit_count = 0;
  std::uint32_t compression = kRgb;
  std::uint32_t size_image = 0;
  std::uint32_t colors_used = 0;
  std::array<std::uint32_t, 3> masks{};  // red, green, blue; only with bit fields
  std::size_t mask_bytes = 0;            // masks stored after a 40-byte header
};

bool KnownHeaderSize(std::uint32_t size) {
  switch (size) {
    case 12:   // core
    case 16:   // OS/2 2.x, short form
    case 40:   // info
    case 52:   // info with RGB masks
    case 56:   // info with RGBA masks
    case 64:   // OS/2 2.x
    case 108:  // V4
    case 124:  // V5
      return true;
    default:
      return false;
  }
}

Header ParseHeader(const std::uint8_t* data, std::size_t size) {
  Header h;
  h.header_size = U32(data + kFileHeaderSize);
  if (!KnownHeaderSize(h.header_size)) Fail("unsupported BMP header size");
  if (size < kFileHeaderSize + h.header_size) Fail("truncated BMP file");
  const std::uint8_t* p = data + kFileHeaderSize;
  if (h.header_size == 12) {
    h.core = true;
    h.width = U16(p + 4);
    h.height = U16(p + 6);
    h.bit_count = static_cast<int>(U16(p + 10));
  } else {
    h.os2 = h.header_size == 16 || h.header_size == 64;
    h.width = I32(p + 4);
    h.height = I32(p + 8);  // 64 bits, so that negating INT_MIN is fine
    h.bit_count = static_cast<int>(U16(p + 14));
    if (h.header_size >= kInfoHeaderSize) {
      h.compression = U32(p + 16);
      h.size_image = U32(p + 20);
      h.colors_used = U32(p + 32);
    }
  }
  if (h.height < 0) {
    h.height = -h.height;
    h.top_down = true;
  }

  // Compression first: embedded JPEG and PNG carry a bit count of 0, which is not their fault.
  // OS/2 headers use 3 and 4 for Huffman and RLE24, which nobody writes any more.
  const std::uint32_t c = h.compression;
  const bool bitfields = !h.os2 && (c == kBitfields || c == kAlphaBitfields);
  if (c != kRgb && c != kRle8 && c != kRle4 && !bitfields) Fail("unsupported BMP compression");

  const int b = h.bit_count;
  const bool known_bits = h.core ? (b == 1 || b == 4 || b == 8 || b == 24)
                                 : (b == 1 || b == 4 || b == 8 || b == 16 || b == 24 || b == 32);
  if (!known_bits) Fail("unsupported BMP bit count");
  if ((c == kRle8 && b != 8) || (c == kRle4 && b != 4) || (bitfields && b != 16 && b != 32)) {
    Fail("BMP compression does not match the bit count");
  }
  if ((c == kRle8 || c == kRle4) && h.top_down) Fail("RLE BMP cannot be top-down");

  if (h.width < 0) Fail("negative BMP width");
  if (h.width == 0 || h.height == 0) Fail("empty bitmap");

  if (bitfields) {
    const std::uint8_t* m = p + kInfoHeaderSize;
    if (h.header_size == kInfoHeaderSize) {
      // The masks follow the 40-byte header; newer headers hold them inside.
      h.mask_bytes = c == kAlphaBitfields ? 16 : 12;
      if (size < kFileHeaderSize + kInfoHeaderSize + h.mask_bytes) Fail("truncated BMP file");
    }
    h.masks = {U32(m), U32(m + 4), U32(m + 8)};
    // Some writers set the bit-field flag and leave the masks zero; they meant the usual layout.
    if (h.masks == std::array<std::uint32_t, 3>{}) {
      h.masks = b == 16 ? std::array<std::uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                        : std::array<std::uint32_t, 3>{0xFF0000, 0x00FF00, 0x0000FF};
    }
  }
  return h;
}

bool IsMasks(const Header& h, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return h.masks[0] == r && h.masks[1] == g && h.masks[2] == b;
}

// The Bitmap format the file's pixels land in.
PixelFormat TargetFormat(const Header& h) {
  const bool bitfields = h.compression == kBitfields || h.compression == kAlphaBitfields;
  switch (h.bit_count) {
    case 1:
      return PixelFormat::pf1bit;
    case 4:
      return PixelFormat::pf4bit;
    case 8:
      return PixelFormat::pf8bit;
    case 16:
      if (!bitfields || IsMasks(h, 0x7C00, 0x03E0, 0x001F)) return PixelFormat::pf15bit;
      if (IsMasks(h, 0xF800, 0x07E0, 0x001F)) return PixelFormat::pf16bit;
      return PixelFormat::pf24bit;
    case 32:
      if (!bitfields || IsMasks(h, 0xFF0000, 0x00FF00, 0x0000FF)) return PixelFormat::pf32bit;
      return PixelFormat::pf24bit;
    default:
      return PixelFormat::pf24bit;
  }
}

// One colour channel of a bit-field pixel, widened or narrowed to 8 bits.
class Channel {
 public:
  explicit Channel(std::uint32_t mask) : mask_(mask) {
    if (mask == 0) return;
    shift_ = std::countr_zero(mask);
    // Counted from the lowest to the highest set bit, so that gaps in a mask do no harm.
    bits_ = 32 - std::countl_zero(mask >> shift_);
    if (bits_ < 8) {
      const std::uint32_t max = (1u << bits_) - 1;
      for (std::uint32_t v = 0; v <= max; ++v) {
        small_[v] = static_cast<std::uint8_t>((v * 255 + max / 2) / max);
      }
    }
  }
  std::uint8_t operator()(std::uint32_t pixel) const {
    const std::uint32_t v = (pixel & mask_) >> shift_;
    return bits_ >= 8 ? static_cast<std::uint8_t>(v >> (bits_ - 8)) : small_[v & 0x7F];
  }

 private:
  std::uint32_t mask_;
  int shift_ = 0;
  int bits_ = 0;
  std::array<std::uint8_t, 128> small_{};
};

// Runs of RLE4 and RLE8 data. Rows go bottom-up. Pixels never set stay index 0; runs past the
// right edge are clipped; pixel data past the last row means the stream is corrupt. With out null
// the stream is only checked, so that a bad file is refused before the bitmap is allocated.
// Only the pixels the sampling keeps are written, into their place in the smaller bitmap.
void DecodeRle(const std::uint8_t* data, std::size_t size, int width, int height, bool four_bit,
               BmpSampling sampling, Bitmap* out) {
  const int column_step = sampling.columnStep;
  const int row_step = sampling.rowStep;
  std::size_t pos = 0;
  int x = 0;
  int y = 0;  // counted from the bottom row
  auto put_pixels = [&](std::size_t count, auto index_of) {
    if (y >= height) Fail("BMP RLE data runs off the bitmap");
    const int n =
        static_cast<int>(std::min<std::size_t>(count, static_cast<std::size_t>(width - x)));
    const int top_down_row = height - 1 - y;
    if (out != nullptr && top_down_row % row_step == 0) {
      std::uint8_t* row = out->Row(top_down_row / row_step);
      // From the first kept column at or after x.
      for (int i = (column_step - x % column_step) % column_step; i < n; i += column_step) {
        const auto v = static_cast<std::uint8_t>(index_of(i));
        const int px = (x + i) / column_step;
        if (four_bit) {
          std::uint8_t& byte = row[px >> 1];
          byte = (px & 1) != 0 ? static_cast<std::uint8_t>((byte & 0xF0) | v)
                               : static_cast<std::uint8_t>((byte & 0x0F) | (v << 4));
        } else {
          row[px] = v;
        }
      }
    }
    x += n;
  };

  while (true) {
    if (pos == size) {
      // Many writers leave out the end-of-bitmap marker; a stream that stops short of the last
      // row, though, was cut off.
      if (y < height - 1) Fail("truncated BMP file");
      return;
    }
    if (size - pos < 2) Fail("truncated BMP file");
    const std::uint32_t count = data[pos];
    const std::uint32_t value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      if (four_bit) {
        put_pixels(count, [value](int i) { return (i & 1) != 0 ? value & 0x0F : value >> 4; });
      } else {
        put_pixels(count, [value](int) { return value; });
      }
    } else if (value == 0) {  // end of line
      x = 0;
      y = std::min(y + 1, height);
    } else if (value == 1) {  // end of bitmap
      return;
    } else if (value == 2) {  // delta
      if (size - pos < 2) Fail("truncated BMP file");
      x = std::min(x + static_cast<int>(data[pos]), width);
      y = std::min(y + static_cast<int>(data[pos + 1]), height);
      pos += 2;
    } else {  // absolute run, padded to a 16-bit boundary
      const std::size_t bytes = four_bit ? (value + 1) / 2 : value;
      if (size - pos < bytes) Fail("truncated BMP file");
      const std::uint8_t* run = data + pos;
      if (four_bit) {
        put_pixels(value,
                   [run](int i) { return (i & 1) != 0 ? run[i >> 1] & 0x0F : run[i >> 1] >> 4; });
      } else {
        put_pixels(value, [run](int i) { return run[i]; });
      }
      pos += std::min(bytes + (bytes & 1), size - pos);
    }
  }
}

// Keeps every step-th pixel of a full-width row as row y of the sampled bitmap.
void KeepEveryNth(const Bitmap& line, int step, Bitmap& out, int y) {
  const int bits = BitsPerPixel(out.Format());
  if (bits < 8) {
    for (int x = 0; x < out.Width(); ++x) out.SetIndex(x, y, line.Index(x * step, 0));
    return;
  }
  const auto bytes = static_cast<std::size_t>(bits / 8);
  const std::uint8_t* src = line.Row(0);
  std::uint8_t* dst = out.Row(y);
  for (int x = 0; x < out.Width(); ++x) {
    std::memcpy(dst + x * bytes, src + static_cast<std::size_t>(x) * step * bytes, bytes);
  }
}

// Copies the file's rows the sampling keeps into the bitmap; `convert` turns one file row into
// one full-width bitmap row.
template <typename Convert>
void CopyRows(const std::uint8_t* pixels, std::size_t file_stride, const Header& h,
              BmpSampling sampling, Bitmap& out, Convert convert) {
  const int height = static_cast<int>(h.height);
  const bool sampled = sampling.columnStep > 1;
  Bitmap line = sampled ? Bitmap(static_cast<int>(h.width), 1, out.Format()) : Bitmap();
  for (int r = 0; r < out.Height(); ++r) {
    const int file_row = r * sampling.rowStep;
    const int y = h.top_down ? file_row : height - 1 - file_row;
    const std::uint8_t* src = pixels + static_cast<std::size_t>(y) * file_stride;
    if (!sampled) {
      convert(src, out.Row(r));
      continue;
    }
    convert(src, line.Row(0));
    KeepEveryNth(line, sampling.columnStep, out, r);
  }
}

void ReadUncompressed(const std::uint8_t* pixels, std::size_t file_stride, const Header& h,
                      BmpSampling sampling, Bitmap& out) {
  const std::size_t stride = out.Stride();
  const int width = static_cast<int>(h.width);
  if (out.Format() == PixelFormat::pf24bit && h.bit_count != 24) {
    const Channel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]);
    const bool wide = h.bit_count == 32;
    CopyRows(pixels, file_stride, h, sampling, out,
             [&](const std::uint8_t* src, std::uint8_t* dst) {
               for (int x = 0; x < width; ++x, dst += 3) {
                 const std::uint32_t v = wide ? U32(src + 4 * x) : U16(src + 2 * x);
                 dst[0] = blue(v);
                 dst[1] = green(v);
                 dst[2] = red(v);
               }
             });
    return;
  }
  const std::size_t row_bytes =
      (static_cast<std::size_t>(width) * BitsPerPixel(out.Format()) + 7) / 8;
  CopyRows(pixels, file_stride, h, sampling, out,
           [row_bytes](const std::uint8_t* src, std::uint8_t* dst) {
             std::memcpy(dst, src, row_bytes);
           });
  // Keep the bits a Bitmap does not use at zero: the spare bit of 5-5-5 pixels and the padding
  // after the last pixel of a 1- or 4-bit row.
  if (out.Format() == PixelFormat::pf15bit) {
    for (int y = 0; y < out.Height(); ++y) {
      std::uint8_t* row = out.Row(y);
      for (std::size_t i = 1; i < stride; i += 2) row[i] &= 0x7F;
    }
  }
  const std::size_t used_bits =
      static_cast<std::size_t>(out.Width()) * BitsPerPixel(out.Format()) % 8;
  if (used_bits != 0) {
    const auto keep = static_cast<std::uint8_t>(0xFF << (8 - used_bits));
    for (int y = 0; y < out.Height(); ++y) out.Row(y)[stride - 1] &= keep;
  }
}

}  // namespace

namespace {

Header ReadHeaders(std::string_view bytes) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const std::size_t size = bytes.size();
  if (size < 2 || data[0] != 'B' || data[1] != 'M') Fail("not a BMP file");
  if (size < kFileHeaderSize + 4) Fail("truncated BMP file");
  return ParseHeader(data, size);
}

}  // namespace

BmpInfo ReadBmpInfo(std::string_view bytes) {
  const Header h = ReadHeaders(bytes);
  return {h.width, h.height, h.bit_count};
}

Bitmap ReadBmp(std::string_view bytes, BmpSampling sampling) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const std::size_t size = bytes.size();
  const Header h = ReadHeaders(bytes);
  const PixelFormat format = TargetFormat(h);
  const char* reason = nullptr;
  if (!Bitmap::SizeAllowed(h.width, h.height, format, &reason)) Fail(reason);
  const int width = static_cast<int>(h.width);
  const int height = static_cast<int>(h.height);
  sampling.columnStep = std::clamp(sampling.columnStep, 1, width);
  sampling.rowStep = std::clamp(sampling.rowStep, 1, height);
  const int kept_width = (width - 1) / sampling.columnStep + 1;
  const int kept_height = (height - 1) / sampling.rowStep + 1;

  // The palette, and where the pixels start: at bfOffBits when it points past the headers, which
  // may also leave room for fewer palette entries than the header promised.
  const std::size_t palette_start = kFileHeaderSize + h.header_size + h.mask_bytes;
  const std::size_t entry_size = h.core ? 3 : 4;
  std::size_t entries = 0;
  std::size_t skipped = 0;  // a palette ahead of true-colour pixels, only to be stepped over
  if (h.bit_count <= 8) {
    const std::size_t capacity = std::size_t{1} << h.bit_count;
    entries =
        h.colors_used == 0 || h.core ? capacity : std::min<std::size_t>(h.colors_used, capacity);
  } else if (h.colors_used <= 256 && h.colors_used * entry_size <= size - palette_start) {
    skipped = h.colors_used;
  }
  const std::size_t offset = U32(data + 10);
  if (offset > size) Fail("BMP pixel data offset past the end of the file");
  std::size_t pixel_start;
  if (offset >= palette_start) {
    entries = std::min(entries, (offset - palette_start) / entry_size);
    pixel_start = offset;
  } else {
    if (entries * entry_size > size - palette_start) {
      Fail("BMP palette runs past the end of the file");
    }
    pixel_start = palette_start + (entries + skipped) * entry_size;
  }
  std::vector<PaletteEntry> palette(entries);
  for (std::size_t i = 0; i < entries; ++i) {
    const std::uint8_t* e = data + palette_start + i * entry_size;
    palette[i] = PaletteEntry{e[2], e[1], e[0]};
  }

  const std::uint8_t* pixels = data + pixel_start;
  const std::size_t available = size - pixel_start;
  if (h.compression == kRle8 || h.compression == kRle4) {
    const std::size_t stream =
        h.size_image != 0 && h.size_image <= available ? h.size_image : available;
    const bool four_bit = h.compression == kRle4;
    DecodeRle(pixels, stream, width, height, four_bit, sampling, nullptr);
    Bitmap out(kept_width, kept_height, format);
    out.SetPalette(std::move(palette));
    DecodeRle(pixels, stream, width, height, four_bit, sampling, &out);
    return out;
  }

  // SizeAllowed has bounded width and height, so none of this overflows. The last row may go
  // without its padding.
  const std::uint64_t row_bytes = (static_cast<std::uint64_t>(width) * h.bit_count + 7) / 8;
  const std::uint64_t file_stride = (row_bytes + 3) / 4 * 4;
  if (file_stride * static_cast<std::uint64_t>(height - 1) + row_bytes > available) {
    Fail("truncated BMP file");
  }
  Bitmap out(kept_width, kept_height, format);
  if (IsIndexed(format)) out.SetPalette(std::move(palette));
  ReadUncompressed(pixels, static_cast<std::size_t>(file_stride), h, sampling, out);
  return out;
}

std::string WriteBmp(const Bitmap& bitmap) {
  if (bitmap.Empty()) Fail("empty bitmap");
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  const PixelFormat format = bitmap.Format();
  const bool indexed = IsIndexed(format);

  std::vector<PaletteEntry> palette;
  if (indexed) {
    palette = bitmap.Palette();
    // Indices past the palette read as black, and a count of zero would mean a full palette.
    if (palette.empty()) palette.push_back(PaletteEntry{});
  }
  const int bits = indexed ? 8 : 24;
  const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bits / 8 + 3) / 4 * 4;
  const std::uint64_t image_size = stride * static_cast<std::uint64_t>(height);
  const std::uint64_t offset = kFileHeaderSize + kInfoHeaderSize + palette.size() * 4;
  if (offset + image_size > 0xFFFFFFFFu) Fail("bitmap too large for a BMP file");

  std::string out;
  out.reserve(static_cast<std::size_t>(offset + image_size));
  out += "BM";
  PutU32(out, static_cast<std::uint32_t>(offset + image_size));
  PutU32(out, 0);
  PutU32(out, static_cast<std::uint32_t>(offset));
  PutU32(out, kInfoHeaderSize);
  PutU32(out, static_cast<std::uint32_t>(width));
  PutU32(out, static_cast<std::uint32_t>(height));  // positive: bottom-up
  PutU16(out, 1);
  PutU16(out, static_cast<std::uint32_t>(bits));
  PutU32(out, kRgb);
  PutU32(out, static_cast<std::uint32_t>(image_size));
  PutU32(out, 0);  // no resolution: the document decides how large the picture is printed
  PutU32(out, 0);
  PutU32(out, indexed ? static_cast<std::uint32_t>(palette.size()) : 0);
  PutU32(out, 0);
  for (const PaletteEntry& e : palette) {
    out.push_back(static_cast<char>(e.b));
    out.push_back(static_cast<char>(e.g));
    out.push_back(static_cast<char>(e.r));
    out.push_back(0);
  }

  const std::size_t header_end = out.size();
  out.resize(static_cast<std::size_t>(offset + image_size), '\0');
  auto* dst_base = reinterpret_cast<std::uint8_t*>(out.data() + header_end);
  auto c5 = [](unsigned c) { return static_cast<std::uint8_t>((c << 3) | (c >> 2)); };
  auto c6 = [](unsigned c) { return static_cast<std::uint8_t>((c << 2) | (c >> 4)); };
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = bitmap.Row(y);
    std::uint8_t* dst = dst_base + static_cast<std::size_t>(height - 1 - y) * stride;
    switch (format) {
      case PixelFormat::pf1bit:
        for (int x = 0; x < width; ++x) dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
        break;
      case PixelFormat::pf4bit:
        for (int x = 0; x < width; ++x) {
          dst[x] = (x & 1) != 0 ? src[x >> 1] & 0x0F : src[x >> 1] >> 4;
        }
        break;
      case PixelFormat::pf8bit:
      case PixelFormat::pf24bit:
        std::memcpy(dst, src, bitmap.Stride());
        break;
      case PixelFormat::pf32bit:
        for (int x = 0; x < width; ++x, dst += 3, src += 4) std::memcpy(dst, src, 3);
        break;
      case PixelFormat::pf15bit:
        for (int x = 0; x < width; ++x, dst += 3) {
          const unsigned v = U16(src + 2 * x);
          dst[0] = c5(v & 31);
          dst[1] = c5((v >> 5) & 31);
          dst[2] = c5((v >> 10) & 31);
        }
        break;
      case PixelFormat::pf16bit:
        for (int x = 0; x < width; ++x, dst += 3) {
          const unsigned v = U16(src + 2 * x);
          dst[0] = c5(v & 31);
          dst[1] = c6((v >> 5) & 63);
          dst[2] = c5((v >> 11) & 31);
        }
        break;
    }
  }
  return out;
}

}  // namespace quirabel::graphics
