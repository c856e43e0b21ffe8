#pragma once

#include "graphics/color.h"

namespace quirabel::graphics {

class Picture;

// Which of the four process inks (cyan, magenta, yellow, black) a page needs. Flags accumulate
// over every colour and picture tested.
class InkFlags {
 public:
  bool cyan = false;
  bool magenta = false;
  bool yellow = false;
  bool black = false;

  int Count() const { return cyan + magenta + yellow + black; }
  bool All() const { return cyan && magenta && yellow && black; }
  void Clear() { *this = InkFlags(); }

  // A single colour (font, fill or line colour): an ink counts when its share is above 1.
  void TestColor(TColor color);
  // Every pixel of a picture, with the thresholds C, M, Y above 10 and K above 1. The scan stops
  // once all four inks are found and does not start when they already are.
  void TestPicture(const Picture& picture);
};

// The four ink shares of a colour: C = 255 - red, M = 255 - green, Y = 255 - blue, K the smallest
// of them, taken out of the other three.
struct Cmyk {
  int c = 0;
  int m = 0;
  int y = 0;
  int k = 0;
};
Cmyk ToCmyk(TColor color);

}  // namespace quirabel::graphics
