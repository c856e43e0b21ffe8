// Every input must end in a picture or ImageError, and nothing larger than the header allows is
// allocated. Pictures that would be allowed but are larger than 4 million pixels are skipped:
// filling them takes most of a second under the sanitizers.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "graphics/bitmap.h"
#include "graphics/image_error.h"
#include "graphics/png.h"

namespace {

// Mutations almost never keep a chunk's checksum right, and libpng stops at the first wrong one;
// the checksums are set right here so that the inputs reach the image data.
std::string WithChunkChecksums(std::string bytes) {
  std::size_t at = 8;
  while (at + 12 <= bytes.size()) {
    const auto byte = [&](std::size_t i) {
      return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]));
    };
    const std::uint32_t length =
        byte(at) << 24 | byte(at + 1) << 16 | byte(at + 2) << 8 | byte(at + 3);
    if (length > bytes.size() - at - 12) break;
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const unsigned char*>(bytes.data() + at + 4), length + 4));
    for (int i = 0; i < 4; ++i) bytes[at + 8 + length + i] = static_cast<char>(crc >> (24 - 8 * i));
    at += 12 + length;
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace g = quirabel::graphics;
  const std::string input =
      WithChunkChecksums(std::string(reinterpret_cast<const char*>(data), size));
  const std::string_view bytes = input;
  try {
    const g::PngInfo info = g::ReadPngInfo(bytes);
    if (static_cast<long long>(info.width) * info.height > 4'000'000) return 0;
    const g::Bitmap bitmap = g::ReadPng(bytes);
    if (bitmap.Width() != info.width || bitmap.Height() != info.height) __builtin_trap();
  } catch (const g::ImageError&) {
  }
  return 0;
}
