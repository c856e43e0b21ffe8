#include "designer/memo_geometry.h"

namespace quirabel::designer {

MemoGeometry CreateMemo(int width, int height, report::TPRFontName fontName, bool bold, bool italic,
                        int frameTop) {
  MemoGeometry g;
  g.editorWidth = width;
  g.editorHeight = height;
  g.frameWidth = width + 5;
  g.frameHeight = height + 5;
  if (g.frameWidth > 364) g.windowWidth = g.frameWidth + 40;
  const int bottom = frameTop + g.frameHeight;
  if (bottom >= 360) g.windowHeight = bottom >= 610 ? 650 : bottom + 40;
  g.fontName = fontName == report::TPRFontName::fnFixedWidth   ? "Fixedsys"
               : fontName == report::TPRFontName::fnTimesRoman ? "Times New Roman"
                                                               : "Arial";
  g.bold = bold;
  g.italic = italic;
  return g;
}

}  // namespace quirabel::designer
