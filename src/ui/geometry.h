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

// A point between pixels, for curves.
struct TPointF {
  double x = 0;
  double y = 0;
  friend bool operator==(const TPointF&, const TPointF&) = default;
};

// One cubic Bézier segment of a path: its two control points and its end; it starts where the
// segment before it ended.
struct TBezier {
  TPointF control1;
  TPointF control2;
  TPointF end;
  friend bool operator==(const TBezier&, const TBezier&) = default;
};

inline TRect Bounds(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}

}  // namespace quirabel::ui
