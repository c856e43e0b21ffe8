#pragma once

#include <cstdint>
#include <string_view>

#include "graphics/bitmap.h"

namespace quirabel::graphics {

// Whether the bytes start with the PNG signature.
bool IsPng(std::string_view bytes);

struct PngInfo {
  int width = 0;
  int height = 0;
};

// The size a PNG's header gives, without decoding. ImageError when the bytes are no PNG, the
// header is damaged, the size is too large for a Bitmap, or the file is far too short to hold
// that many pixels (deflate cannot shrink them that much: such a file is damaged or a bomb).
PngInfo ReadPngInfo(std::string_view bytes);

// Reads a PNG from untrusted bytes into a 24-bit bitmap. Transparent and half-transparent pixels
// are laid over white, so the picture looks as it does on a white page. ImageError for anything
// ReadPngInfo refuses and for damaged image data (the message carries libpng's text).
Bitmap ReadPng(std::string_view bytes);

}  // namespace quirabel::graphics
