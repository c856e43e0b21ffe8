#pragma once

namespace quirabel::ui {

struct TPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

// Left and top inside, right and bottom just outside.
struct TRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Contains(TPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  TRect Offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

inline TRect Bounds(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}

}  // namespace quirabel::ui
