#include "graphics/ink.h"

#include <algorithm>

#include "graphics/picture.h"

namespace quirabel::graphics {

Cmyk ToCmyk(TColor color) {
  Cmyk ink{255 - GetRValue(color), 255 - GetGValue(color), 255 - GetBValue(color), 0};
  ink.k = std::min({ink.c, ink.m, ink.y});
  if (ink.k > 0) {
    ink.c -= ink.k;
    ink.m -= ink.k;
    ink.y -= ink.k;
  }
  return ink;
}

void InkFlags::TestColor(TColor color) {
  const Cmyk ink = ToCmyk(color);
  cyan = cyan || ink.c > 1;
  magenta = magenta || ink.m > 1;
  yellow = yellow || ink.y > 1;
  black = black || ink.k > 1;
}

void InkFlags::TestPicture(const Picture& picture) {
  if (All() || picture.Empty()) return;
  const Bitmap& pixels = picture.Pixels();
  // Positions just outside the picture read as white, which needs no ink, so only the pixels
  // inside are tested. Flags only accumulate, so the order of visiting changes nothing but when the
  // scan may stop: rows are walked in memory order.
  for (int y = 0; y < pixels.Height(); ++y) {
    for (int x = 0; x < pixels.Width(); ++x) {
      const Cmyk ink = ToCmyk(pixels.Pixel(x, y));
      cyan = cyan || ink.c > 10;
      magenta = magenta || ink.m > 10;
      yellow = yellow || ink.y > 10;
      black = black || ink.k > 1;
      if (All()) return;
    }
  }
}

}  // namespace quirabel::graphics
