#include <cstddef>
#include <cstdint>
#include <string_view>

#include "graphics/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    auto bmp = quirabel::graphics::ReadBmp({reinterpret_cast<const char*>(data), size});
    (void)quirabel::graphics::WriteBmp(bmp);  // a bitmap we read must also be writable
  } catch (const quirabel::graphics::ImageError&) {
  }
  return 0;
}
