#pragma once

#include <QPainter>

#include "ui/canvas.h"

namespace quirabel::ui::qt {

class PictureCache;

// Draws controls through a QPainter. Coordinates are the control's own pixels; the painter's
// transform places and zooms them.
class QtCanvas final : public Canvas {
 public:
  QtCanvas(QPainter& painter, PictureCache& pictures) : painter_(painter), pictures_(pictures) {}

  void FillRect(const TRect& rect) override;
  void Rectangle(const TRect& rect) override;
  void Polyline(std::span<const TPoint> points) override;
  void BezierShape(TPointF start, std::span<const TBezier> segments) override;
  void TextOut(int x, int y, std::string_view text) override;
  void PlaceText(double x, int top, double pixelSize, std::string_view text) override;
  void TextOutRotated(int x, int y, int degrees, std::string_view text) override;
  void StretchDraw(const TRect& rect, const graphics::Picture& picture) override;
  void Draw(int x, int y, const graphics::Picture& picture) override;

 private:
  void UsePen();
  void UseBrush();
  QPainter& painter_;
  PictureCache& pictures_;
};

// Qt colour of a window-system colour (system colours resolved).
QColor ToQColor(TColor color);

}  // namespace quirabel::ui::qt
