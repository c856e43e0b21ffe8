#pragma once

#include <cmath>
#include <span>
#include <string>
#include <string_view>

#include "graphics/color.h"
#include "ui/geometry.h"

namespace quirabel::graphics {
class Picture;
}

namespace quirabel::ui {

using graphics::TColor;

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum class TBrushStyle { bsSolid, bsClear };

// The screen font of a control: point size as the window system takes it (96 dots per inch).
struct TFont {
  std::string name = "Arial";
  int size = 8;
  bool bold = false;
  bool italic = false;
  TColor color = graphics::clBlack;
  friend bool operator==(const TFont&, const TFont&) = default;
};

struct TPen {
  TColor color = graphics::clBlack;
  int width = 1;
  TPenStyle style = TPenStyle::psSolid;
  friend bool operator==(const TPen&, const TPen&) = default;
};

struct TBrush {
  TColor color = graphics::clWhite;
  TBrushStyle style = TBrushStyle::bsSolid;
  friend bool operator==(const TBrush&, const TBrush&) = default;
};

// Where controls draw themselves on the screen, in their own pixel coordinates. The Qt backend
// paints through it; tests record what is drawn. Font, pen and brush are the current drawing
// state, read by each call as it is made.
class Canvas {
 public:
  virtual ~Canvas() = default;

  TFont font;
  TPen pen;
  TBrush brush;

  // Fills with the brush (nothing with a clear brush).
  virtual void FillRect(const TRect& rect) = 0;
  // Outlines with the pen and fills the inside with the brush.
  virtual void Rectangle(const TRect& rect) = 0;
  // Lines with the pen through the points in turn.
  virtual void Polyline(std::span<const TPoint> points) = 0;
  // The closed path from `start` through the segments: filled with the brush, outlined with the
  // pen (nothing of either when clear).
  virtual void BezierShape(TPointF start, std::span<const TBezier> segments) = 0;
  // Text in the font, its top-left corner at (x, y); UTF-8.
  virtual void TextOut(int x, int y, std::string_view text) = 0;
  // Text set as the PDF sets it: the font at `pixelSize` page pixels (fractional), its left edge
  // at x (fractional) and its baseline 0.85 × pixelSize below `top`. A canvas that can only place
  // whole pixels writes it with TextOut at the nearest one.
  virtual void PlaceText(double x, int top, double pixelSize, std::string_view text) {
    (void)pixelSize;
    const double whole = std::nearbyint(x);  // halves to even
    TextOut(static_cast<int>(whole), top, text);
  }
  // Text turned counter-clockwise by a quarter (90: reads upwards) or three (270: downwards),
  // the top-left corner of the unturned text at (x, y). A canvas that cannot turn text writes it
  // level.
  virtual void TextOutRotated(int x, int y, int degrees, std::string_view text) {
    (void)degrees;
    TextOut(x, y, text);
  }
  // A picture scaled into a rectangle, or at its own size from a corner.
  virtual void StretchDraw(const TRect& rect, const graphics::Picture& picture) = 0;
  virtual void Draw(int x, int y, const graphics::Picture& picture) = 0;
};

}  // namespace quirabel::ui
