#include "graphics/bmp.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace quirabel::graphics {
namespace {

// Bytes from hex digits; spaces only help the reader.
std::string Hex(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i < hex.size(); i += hex[i] == ' ' ? 1 : 2) {
    if (hex[i] != ' ')
      out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return out;
}

// Rows of hex pixel bytes, each padded to 4 bytes as in a file.
std::string Rows(std::initializer_list<std::string_view> rows) {
  std::string out;
  for (std::string_view row : rows) {
    out += Hex(row);
    out.resize((out.size() + 3) / 4 * 4, '\0');
  }
  return out;
}

void Put(std::string& s, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
}

struct BmpLayout {
  std::int32_t width = 2;
  std::int32_t height = 2;
  int bits = 24;
  std::uint32_t compression = 0;
  std::uint32_t header_size = 40;
  std::uint32_t colors_used = 0;
  std::vector<std::uint32_t> masks = {};  // after a 40-byte header, inside larger ones
  std::vector<PaletteEntry> palette = {};
  std::string pixels = {};
  std::int64_t offset = -1;  // bfOffBits; -1: right after the palette
};

std::string Build(const BmpLayout& s) {
  std::string h;
  Put(h, s.header_size, 4);
  const int size_bytes = s.header_size == 12 ? 2 : 4;
  Put(h, s.width, size_bytes);
  Put(h, s.height, size_bytes);
  Put(h, 1, 2);
  Put(h, s.bits, 2);
  if (s.header_size != 12) {
    for (std::uint32_t v : {s.compression, 0u, 0u, 0u, s.colors_used, 0u}) Put(h, v, 4);
    for (std::uint32_t m : s.masks) Put(h, m, 4);
    if (h.size() < s.header_size) h.resize(s.header_size, '\0');
  }
  for (const PaletteEntry& e : s.palette)
    Put(h, e.b | e.g << 8 | e.r << 16, s.header_size == 12 ? 3 : 4);
  std::string file = "BM";
  Put(file, static_cast<std::uint32_t>(14 + h.size() + s.pixels.size()), 4);
  Put(file, 0, 4);
  Put(file, static_cast<std::uint32_t>(s.offset >= 0 ? s.offset : std::int64_t(14 + h.size())), 4);
  return file + h + s.pixels;
}

std::string ErrorOf(const std::string& bytes) {
  try {
    ReadBmp(bytes);
  } catch (const ImageError& e) {
    return e.what();
  }
  return "(no error)";
}

std::string PixelBytes(const Bitmap& b) { return {b.Pixels().begin(), b.Pixels().end()}; }

const PaletteEntry kTeal{0, 128, 128};
const PaletteEntry kOrange{255, 128, 0};

TEST(BmpRead, RowOrderAndPadding) {
  BmpLayout s{.pixels = Rows({"0000ff 00ff00", "ff0000 ffffff"})};  // the bottom row comes first
  const Bitmap up = ReadBmp(Build(s));
  EXPECT_EQ(PixelBytes(up), Hex("ff0000 ffffff 0000ff 00ff00"));
  s.height = -2;
  s.pixels = Rows({"ff0000 ffffff", "0000ff 00ff00"});
  EXPECT_EQ(ReadBmp(Build(s)), up);

  for (int width : {1, 3, 5}) {
    BmpLayout w{.width = width};
    for (char row : {'\1', '\2'}) {
      for (int x = 0; x < width; ++x) w.pixels += {static_cast<char>(x), row, '\x40'};
      w.pixels.resize((w.pixels.size() + 3) / 4 * 4, '\0');
    }
    EXPECT_EQ(ReadBmp(Build(w)).Pixel(width - 1, 0), RGB(0x40, 2, width - 1)) << width;
    w.pixels.resize(w.pixels.size() - (4 - width * 3 % 4) % 4);  // writers may drop the last pad
    EXPECT_EQ(ReadBmp(Build(w)).Pixel(width - 1, 0), RGB(0x40, 2, width - 1)) << width;
  }
}

TEST(BmpRead, IndexedFormatsKeepTheFilePalette) {
  auto check = [](BmpLayout s, std::string_view pixels, std::size_t palette_size) {
    s.height = 1;
    const Bitmap b = ReadBmp(Build(s));
    EXPECT_EQ(BitsPerPixel(b.Format()), s.bits);
    EXPECT_EQ(PixelBytes(b), Hex(pixels));  // padding bits cleared
    s.palette.resize(palette_size);
    EXPECT_EQ(b.Palette(), s.palette);
  };
  const std::vector<PaletteEntry> two = {kTeal, kOrange};
  check({.width = 10, .bits = 1, .palette = two, .pixels = Rows({"b3 bf"})}, "b3 80", 2);
  // Only three colours in the file: the palette is not padded to sixteen.
  const std::vector<PaletteEntry> three = {kTeal, kOrange, kTeal};
  check({.width = 3, .bits = 4, .colors_used = 3, .palette = three, .pixels = Rows({"12 07"})},
        "12 00", 3);
  // biClrUsed 0 promises 256 entries; bfOffBits shows that only two are there.
  check({.width = 3, .bits = 8, .palette = two, .pixels = Rows({"01 00 05"})}, "01 00 05", 2);
  // The core header has 3-byte entries.
  check({.bits = 8, .header_size = 12, .palette = two, .pixels = Rows({"01 00"})}, "01 00", 2);
  // bfOffBits of 0 is implausible: the pixels follow the palette. Or it leaves a gap.
  BmpLayout offset{
      .bits = 8, .colors_used = 2, .palette = two, .pixels = Rows({"01 00"}), .offset = 0};
  check(offset, "01 00", 2);
  offset.pixels = Rows({"ffff", "01 00"});
  offset.offset = 14 + 40 + 8 + 4;
  check(offset, "01 00", 2);
}

TEST(BmpRead, TrueColourAndBitFields) {
  struct Case {
    int bits;
    std::uint32_t compression;
    std::vector<std::uint32_t> masks;
    std::string pixel;
    PixelFormat format;
    std::string stored;
  };
  const Case cases[] = {
      {16, 0, {}, "00 fc", PixelFormat::pf15bit, "00 7c"},  // the spare top bit is dropped
      {16, 3, {0x7c00, 0x03e0, 0x001f}, "1f 00", PixelFormat::pf15bit, "1f 00"},
      {16, 3, {0xf800, 0x07e0, 0x001f}, "e0 07", PixelFormat::pf16bit, "e0 07"},
      {16, 3, {0x0f00, 0x00f0, 0x000f}, "80 0f", PixelFormat::pf24bit, "00 88 ff"},
      {24, 0, {}, "01 02 03", PixelFormat::pf24bit, "01 02 03"},
      {32, 0, {}, "01 02 03 ff", PixelFormat::pf32bit, "01 02 03 ff"},
      {32, 3, {0xff0000, 0xff00, 0xff}, "01 02 03 00", PixelFormat::pf32bit, "01 02 03 00"},
      {32, 3, {0xff, 0xff00, 0xff0000}, "01 02 03 00", PixelFormat::pf24bit, "03 02 01"},
      {32, 3, {0, 0, 0}, "01 02 03 00", PixelFormat::pf32bit, "01 02 03 00"},
      {32, 6, {0x3ff00000, 0xffc00, 0x3ff, 0}, "00 fc 0f c0", PixelFormat::pf24bit, "00 ff 00"},
  };
  for (const Case& c : cases) {
    for (std::uint32_t header_size : {12u, 40u, 56u, 124u}) {  // core, info, V3, V5
      if (header_size == 12 && c.bits != 24) continue;
      BmpLayout s{.width = 1, .height = header_size == 12 ? 1 : -1, .bits = c.bits};  // V5 top-down
      s.compression = c.compression;
      s.header_size = header_size;
      s.masks = c.masks;
      s.pixels = Rows({c.pixel});
      const Bitmap b = ReadBmp(Build(s));
      EXPECT_EQ(b.Format(), c.format) << c.pixel << " " << header_size;
      EXPECT_EQ(PixelBytes(b), Hex(c.stored)) << c.pixel << " " << header_size;
    }
  }
}

TEST(BmpRead, RleWithEveryEscape) {
  BmpLayout rle8{.width = 6, .height = 3, .bits = 8, .compression = 1, .palette = {kTeal}};
  rle8.pixels =
      Hex("03 05  00 03 07 08 09 00  00 00"  // run, padded absolute run, end of line
          "02 04  00 02 02 01"               // delta two right and one up
          "01 06  04 01  00 01  05 05");     // a run clipped at the edge, end of bitmap, ignored
  const Bitmap b8 = ReadBmp(Build(rle8));
  EXPECT_EQ(b8.Format(), PixelFormat::pf8bit);
  EXPECT_EQ(PixelBytes(b8), Hex("000000000601 040400000000 050505070809"));

  BmpLayout rle4{.width = 6, .height = 2, .bits = 4, .compression = 2, .palette = {kTeal}};
  rle4.pixels =
      Hex("02 12  00 02 02 00  02 34  00 00"  // run, delta, run, end of line
          "00 05 ab cd e0 00  01 f0");        // padded absolute run, run; no end-of-bitmap marker
  const Bitmap b4 = ReadBmp(Build(rle4));
  EXPECT_EQ(b4.Format(), PixelFormat::pf4bit);
  EXPECT_EQ(PixelBytes(b4), Hex("abcdef 120034"));
}

// A sampled read keeps exactly the pixels a full read has at every step-th column and row, in
// every pixel layout, and the picture of a claimed 100 megapixels costs what is kept.
TEST(BmpRead, SampledKeepsEveryNthPixelOfTheFullRead) {
  const int width = 7, height = 5;
  auto noise = [](std::size_t n, unsigned seed) {
    std::string bytes;
    for (std::size_t i = 0; i < n; ++i) bytes.push_back(static_cast<char>((seed += 97) * 31 >> 3));
    return bytes;
  };
  auto uncompressed = [&](BmpLayout s) {
    const std::size_t row = (static_cast<std::size_t>(width) * s.bits + 31) / 32 * 4;
    s.pixels = noise(row * height, static_cast<unsigned>(s.bits));
    return s;
  };
  auto rle = [&](BmpLayout s) {
    for (int y = 0; y < height; ++y) {  // one absolute run a row
      const std::size_t bytes = s.bits == 8 ? width : (width + 1) / 2;
      s.pixels += std::string{'\0', static_cast<char>(width)} + noise(bytes, y) +
                  std::string(bytes % 2, '\0') + std::string(2, '\0');
    }
    return s;
  };
  const std::vector<PaletteEntry> palette(16, kOrange);
  const BmpLayout layouts[] = {
      uncompressed({.width = width, .height = height, .bits = 1, .palette = {kTeal, kOrange}}),
      uncompressed({.width = width, .height = height, .bits = 4, .palette = palette}),
      uncompressed({.width = width, .height = -height, .bits = 8, .palette = palette}),
      uncompressed({.width = width, .height = height, .bits = 16}),
      uncompressed({.width = width, .height = height, .bits = 24}),
      uncompressed({.width = width, .height = -height, .bits = 32, .compression = 3,
                    .masks = {0xff, 0xff00, 0xff0000}}),
      rle({.width = width, .height = height, .bits = 8, .compression = 1, .palette = palette}),
      rle({.width = width, .height = height, .bits = 4, .compression = 2, .palette = palette}),
  };
  for (const BmpLayout& layout : layouts) {
    const std::string file = Build(layout);
    const Bitmap full = ReadBmp(file);
    for (const BmpSampling sampling : {BmpSampling{2, 2}, BmpSampling{3, 1}, BmpSampling{1, 4},
                                       BmpSampling{100, 100}}) {
      SCOPED_TRACE(std::to_string(layout.bits) + " bits, compression " +
                   std::to_string(layout.compression) + ", steps " +
                   std::to_string(sampling.columnStep) + "/" + std::to_string(sampling.rowStep));
      const Bitmap kept = ReadBmp(file, sampling);
      ASSERT_EQ(kept.Width(), std::min(width, (width - 1) / sampling.columnStep + 1));
      ASSERT_EQ(kept.Height(), std::min(height, (height - 1) / sampling.rowStep + 1));
      EXPECT_EQ(kept.Format(), full.Format());
      EXPECT_EQ(kept.Palette(), full.Palette());
      for (int y = 0; y < kept.Height(); ++y)
        for (int x = 0; x < kept.Width(); ++x)
          EXPECT_EQ(kept.Pixel(x, y), full.Pixel(x * sampling.columnStep, y * sampling.rowStep));
    }
  }

  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const std::string bomb = Build({.width = 10000,
                                    .height = 10000,
                                    .bits = 8,
                                    .compression = 1,
                                    .palette = {kTeal},
                                    .pixels = Hex("00 01")});
    const Bitmap kept = ReadBmp(bomb, {40, 40});
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    _exit(kept.Width() == 250 && usage.ru_maxrss < 100 * 1024 ? 0 : 1);  // kilobytes
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "peak memory too high";
}

TEST(BmpWrite, RoundTrips) {
  Bitmap rgb(3, 2, PixelFormat::pf24bit);
  rgb.SetPixel(0, 0, clRed);
  rgb.SetPixel(2, 1, RGB(1, 2, 3));
  EXPECT_EQ(ReadBmp(WriteBmp(rgb)), rgb);

  // 1 and 4 bits come back as 8 bits with the same palette and indices.
  for (PixelFormat format : {PixelFormat::pf1bit, PixelFormat::pf4bit, PixelFormat::pf8bit}) {
    Bitmap indexed(5, 3, format);
    indexed.SetPalette({kTeal, kOrange});
    indexed.SetIndex(4, 0, 1);
    indexed.SetIndex(0, 2, 1);
    EXPECT_EQ(ReadBmp(WriteBmp(indexed)), indexed.Converted(PixelFormat::pf8bit));
  }
  for (PixelFormat format : {PixelFormat::pf15bit, PixelFormat::pf16bit, PixelFormat::pf32bit}) {
    Bitmap b(2, 2, format);
    b.SetPixel(1, 0, clRed);
    b.SetPixel(0, 1, RGB(40, 130, 200));
    EXPECT_EQ(ReadBmp(WriteBmp(b)), b.Converted(PixelFormat::pf24bit));
  }
}

TEST(BmpWrite, OnePixelFileBytes) {
  Bitmap b(1, 1, PixelFormat::pf24bit);
  b.SetPixel(0, 0, RGB(0x11, 0x22, 0x33));
  EXPECT_EQ(WriteBmp(b), Hex("424d 3a000000 00000000 36000000"
                             "28000000 01000000 01000000 0100 1800 00000000 04000000"
                             "00000000 00000000 00000000 00000000"
                             "332211 00"));
  EXPECT_THROW(WriteBmp(Bitmap()), ImageError);
}

TEST(BmpRead, BadInput) {
  const std::string good = Build({.pixels = Rows({"000000 000000", "000000 000000"})});
  auto rle = [](std::string stream, std::int32_t height = 2) {
    return Build({.height = height, .bits = 8, .compression = 1, .pixels = Hex(stream)});
  };
  std::string far_offset = good;
  far_offset[11] = '\x27';
  const std::pair<std::string, std::string> cases[] = {
      {"", "not a BMP file"},
      {"GIF89a", "not a BMP file"},
      {"BM", "truncated BMP file"},
      {good.substr(0, 30), "truncated BMP file"},
      {good.substr(0, good.size() - 4), "truncated BMP file"},
      {Build({.header_size = 20}), "unsupported BMP header size"},
      {Build({.width = 60000, .height = 60000, .pixels = std::string(46, '\0')}),
       "bitmap has more than 100 million pixels"},
      {Build({.width = 1, .height = INT_MIN}), "bitmap size out of range"},
      {Build({.width = 0}), "empty bitmap"},
      {Build({.width = -2}), "negative BMP width"},
      {far_offset, "BMP pixel data offset past the end of the file"},
      {Build({.bits = 8, .palette = {kTeal, kOrange}, .pixels = "....", .offset = 0}),
       "BMP palette runs past the end of the file"},
      {Build({.bits = 7}), "unsupported BMP bit count"},
      {Build({.bits = 0, .compression = 4}), "unsupported BMP compression"},
      {Build({.bits = 24, .compression = 1}), "BMP compression does not match the bit count"},
      {rle("02 01 00 00 02 01 00 00 02 01"), "BMP RLE data runs off the bitmap"},
      {rle("00 02 00 02 01 01"), "BMP RLE data runs off the bitmap"},
      {rle("02 01 00 01", -2), "RLE BMP cannot be top-down"},
      {rle("02 01 00 00", 3), "truncated BMP file"},
      {rle("02 01 00 00 00 04 01"), "truncated BMP file"},
      {rle("02 01 00 00 00 02 01"), "truncated BMP file"},
  };
  for (const auto& [bytes, message] : cases) {
    EXPECT_EQ(ErrorOf(bytes), message) << testing::PrintToString(bytes);
  }
}

// A 100-byte file claiming 243 MB must be refused before anything that size is allocated.
// Measured in a child process, whose peak memory no earlier test has raised.
TEST(BmpRead, HugeClaimInATinyFileAllocatesNothingLarge) {
  const std::string file = Build({.width = 9000, .height = 9000, .pixels = std::string(46, 0)});
  EXPECT_EQ(ErrorOf(file), "truncated BMP file");
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ErrorOf(file);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    _exit(usage.ru_maxrss < 100 * 1024 ? 0 : 1);  // kilobytes
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "peak memory too high";
}

}  // namespace
}  // namespace quirabel::graphics
