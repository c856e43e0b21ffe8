#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "graphics/bitmap.h"

namespace quirabel::graphics {

// Reads a BMP file, keeping its pixel format where a Bitmap can hold it: 1, 4 and 8 bits (also
// RLE4 and RLE8) stay indexed with the file's own palette, which is never padded with invented
// entries; 16-bit files become 15 or 16 bits, 24 and 32 bits stay as they are, and bit-field
// layouts the Bitmap has no format for become 24 bits. Raises ImageError for input that is not a
// BMP file, is damaged or truncated, uses an unsupported variant, or claims a size that
// Bitmap::SizeAllowed refuses; the size checks come before anything is allocated.
//
// With a sampling, only every columnStep-th column and every rowStep-th row is kept, starting with
// the top-left pixel: a bitmap of ceil(width / columnStep) x ceil(height / rowStep) pixels, for a
// small picture of a large one. The file is checked and refused exactly as when read in full, and
// the work follows the kept pixels and the file's bytes, not the size the file claims.
struct BmpSampling {
  int columnStep = 1;
  int rowStep = 1;
};
Bitmap ReadBmp(std::string_view bytes, BmpSampling sampling = {});

// The size a BMP file's headers claim, as ReadBmp would check and decode it.
struct BmpInfo {
  std::int64_t width = 0;
  std::int64_t height = 0;  // positive whichever way the rows go
  int bitCount = 0;
};

// Reads the headers only: ImageError for whatever ReadBmp refuses in them, but the size is given
// as claimed (not checked against Bitmap::SizeAllowed), and neither pixels nor palette are read.
BmpInfo ReadBmpInfo(std::string_view bytes);

// Writes a BMP file with a 40-byte info header and bottom-up rows: 8 bits with the palette for
// indexed bitmaps (1 and 4 bits widened to 8), 24 bits for everything else. Raises ImageError for
// an empty bitmap.
std::string WriteBmp(const Bitmap& bitmap);

}  // namespace quirabel::graphics
