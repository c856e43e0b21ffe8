// Header reading alone: every input must end in JpegInfo or ImageError.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "graphics/image_error.h"
#include "graphics/jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    quirabel::graphics::ReadJpegInfo(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const quirabel::graphics::ImageError&) {
  }
  return 0;
}
