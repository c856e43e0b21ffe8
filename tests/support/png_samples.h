#pragma once

// PNG files made in memory for tests, through libpng's own writer.
#include <png.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace quirabel::testing {

// `format` is a libpng simplified format (PNG_FORMAT_RGBA, PNG_FORMAT_GRAY, ...); `pixels` holds
// height rows of width pixels in that format, packed.
inline std::string WritePng(int width, int height, std::uint32_t format,
                            const std::vector<std::uint8_t>& pixels) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = format;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr))
    throw std::runtime_error(image.message);
  std::string bytes(size, '\0');
  if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), 0, nullptr))
    throw std::runtime_error(image.message);
  bytes.resize(size);
  return bytes;
}

// A 4 x 2 RGBA picture: top row opaque red, opaque blue, fully transparent black, half
// transparent black; bottom row opaque green.
inline std::string TransparentSamplePng() {
  std::vector<std::uint8_t> pixels = {255, 0, 0, 255, 0, 0, 255, 255, 0, 0, 0, 0, 0, 0, 0, 128};
  for (int x = 0; x < 4; ++x) pixels.insert(pixels.end(), {0, 255, 0, 255});
  return WritePng(4, 2, PNG_FORMAT_RGBA, pixels);
}

}  // namespace quirabel::testing
