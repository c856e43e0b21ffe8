#pragma once

#include <string>

#include "report/pr_labels.h"

namespace quirabel::designer {

// How the text field window fits its editing area to a text field: the editor takes the field's
// size, its frame is 5 pixels larger, and the window grows to show them (within limits).
struct MemoGeometry {
  int editorWidth = 0;
  int editorHeight = 0;
  int frameWidth = 0;
  int frameHeight = 0;
  int windowWidth = 370;
  int windowHeight = 297;
  bool autoScroll = true;
  std::string fontName;  // the editor's screen font
  bool bold = false;
  bool italic = false;
};

// frameTop is where the frame stands in the window (80 by design).
MemoGeometry CreateMemo(int width, int height, report::TPRFontName fontName, bool bold, bool italic,
                        int frameTop = 80);

}  // namespace quirabel::designer
