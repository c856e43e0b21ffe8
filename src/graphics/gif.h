#pragma once

#include <string_view>

#include "graphics/bitmap.h"

namespace quirabel::graphics {

struct GifPicture {
  Bitmap bitmap;                     // the first frame drawn on the logical screen, 24-bit
  bool anyFrameTransparent = false;  // some frame's graphic control block has a transparent index
};

// Reads a GIF (87a or 89a) from untrusted bytes. The bitmap has the logical screen size, or the
// first frame's width and height when the screen is smaller than that frame in either direction
// (a 0x0 screen included). It is filled with the colour of the first frame's transparent index
// when that frame has one, else with the background colour of the global colour map (black
// without one); then the first frame is drawn at its position, clipped to the bitmap. Transparent
// pixels keep the colour of their index (the designer replaces that colour later); indices past
// the colour map are black. Later frames are skipped without decoding, but their graphic control
// blocks count for anyFrameTransparent.
// ImageError for damaged data (the message carries giflib's text), a screen or first frame too
// large for a Bitmap, a first frame without pixels, more than 10000 frames or 100000 extension
// blocks, and a file without any frame ("GIF has no image").
GifPicture ReadGif(std::string_view bytes);

}  // namespace quirabel::graphics
