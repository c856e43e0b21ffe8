// Every input must end in a picture or ImageError, and nothing larger than the header allows is
// allocated. Pictures that would be allowed but are larger than 4 million pixels are skipped:
// filling them takes most of a second under the sanitizers.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "graphics/bitmap.h"
#include "graphics/image_error.h"
#include "graphics/png.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace g = quirabel::graphics;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    const g::PngInfo info = g::ReadPngInfo(bytes);
    if (static_cast<long long>(info.width) * info.height > 4'000'000) return 0;
    const g::Bitmap bitmap = g::ReadPng(bytes);
    if (bitmap.Width() != info.width || bitmap.Height() != info.height) __builtin_trap();
  } catch (const g::ImageError&) {
  }
  return 0;
}
