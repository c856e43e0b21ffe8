// What a picture will cost in pixels, told by its header before anything is decoded.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "graphics/bmp.h"
#include "graphics/jpeg.h"
#include "graphics/picture.h"
#include "support/bmp_samples.h"

// Counts what this thread asks operator new for, so that a test can tell whether a call allocated
// pixels. Every other use of new in this test program goes through it unchanged.
namespace {
thread_local std::size_t bytesRequested = 0;
}  // namespace

void* operator new(std::size_t size) {
  bytesRequested += size;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace quirabel::graphics {
namespace {

std::string RleBomb() { return testing::RleBomb(10000, 10000); }

TEST(DecodedPixels, TheHeaderTellsWithoutDecoding) {
  const std::string bomb = RleBomb();
  ASSERT_EQ(bomb.size(), 1080u);
  bytesRequested = 0;
  EXPECT_EQ(DecodedPixels(bomb), 100'000'000u);
  EXPECT_EQ(ReadBmpInfo(bomb).width, 10000);
  EXPECT_EQ(bytesRequested, 0u);
  // What the count spares: making the picture decodes it at once, a byte per pixel.
  bytesRequested = 0;
  EXPECT_EQ(Picture::FromBytes(bomb).Width(), 10000);
  EXPECT_GE(bytesRequested, 100'000'000u);

  // A JPEG's frame header: 65000 x 65000 claimed by a 16 x 16 file.
  std::string jpeg = EncodeJpeg(Bitmap(16, 16, PixelFormat::pf24bit));
  EXPECT_EQ(DecodedPixels(jpeg), 256u);
  jpeg.replace(jpeg.find("\xFF\xC0") + 5, 4, "\xFD\xE8\xFD\xE8");
  bytesRequested = 0;
  EXPECT_EQ(DecodedPixels(jpeg), 65000ull * 65000ull);
  EXPECT_EQ(bytesRequested, 0u);

  EXPECT_EQ(DecodedPixels(Picture::FromBytes(WriteBmp(Bitmap(7, 3, PixelFormat::pf8bit)))), 21u);
  EXPECT_EQ(DecodedPixels(Picture()), 0u);
  EXPECT_THROW(DecodedPixels("GIF89a"), ImageError);
  EXPECT_THROW(DecodedPixels(bomb.substr(0, 20)), ImageError);
  EXPECT_THROW(DecodedPixels(jpeg.substr(0, jpeg.size() - 1)), ImageError);
}

}  // namespace
}  // namespace quirabel::graphics
