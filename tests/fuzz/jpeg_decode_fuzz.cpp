// The first byte picks the scale (1/1, 1/2, 1/4, 1/8), the rest is the JPEG file. Pictures over
// 4 million pixels are only read to the header so that each run stays fast.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "graphics/image_error.h"
#include "graphics/jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace g = quirabel::graphics;
  if (size < 1) return 0;
  const int scaleDenom = 1 << (data[0] & 3);
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    const g::JpegInfo info = g::ReadJpegInfo(bytes);
    if (static_cast<long long>(info.width) * info.height <= 4'000'000) {
      g::DecodeJpeg(bytes, scaleDenom);
    }
  } catch (const g::ImageError&) {
  }
  return 0;
}
