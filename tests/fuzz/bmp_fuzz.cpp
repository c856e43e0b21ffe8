#include <cstddef>
#include <cstdint>
#include <string_view>

#include "graphics/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto bmp = quirabel::graphics::ReadBmp(bytes);
    (void)quirabel::graphics::WriteBmp(bmp);  // a bitmap we read must also be writable
    // A small picture of it keeps every third column and every second row of the same pixels.
    const auto kept = quirabel::graphics::ReadBmp(bytes, {3, 2});
    for (int y = 0; y < kept.Height(); ++y) {
      for (int x = 0; x < kept.Width(); ++x) {
        if (kept.Pixel(x, y) != bmp.Pixel(3 * x, 2 * y)) __builtin_trap();
      }
    }
  } catch (const quirabel::graphics::ImageError&) {
  }
  return 0;
}
