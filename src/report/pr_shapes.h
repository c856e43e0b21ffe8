#pragma once

#include <array>

#include "report/pr_item.h"

namespace quirabel::report {

using ui::TPenStyle;

// Line and fill settings.
class TPRShape : public TPRItem {
 public:
  explicit TPRShape(ui::Component* owner = nullptr);
  std::string ClassName() const override { return "TPRShape"; }

  float LineWidth() const { return lineWidth_; }
  // Only values of 0 or more are taken.
  void SetLineWidth(float value);
  graphics::TColor LineColor() const { return lineColor_; }
  void SetLineColor(graphics::TColor value);
  TPenStyle LineStyle() const { return lineStyle_; }
  void SetLineStyle(TPenStyle value);
  graphics::TColor FillColor() const { return fillColor_; }
  void SetFillColor(graphics::TColor value);

 private:
  float lineWidth_ = 0;
  graphics::TColor lineColor_ = 0;
  TPenStyle lineStyle_ = TPenStyle::psSolid;
  graphics::TColor fillColor_ = graphics::clNone;
};

// A rectangle, or a straight line when its width or height is at most one pixel.
class TPRRect : public TPRShape {
 public:
  explicit TPRRect(ui::Component* owner = nullptr);
  std::string ClassName() const override { return "TPRRect"; }
  ElementKind Kind() const override { return ElementKind::Rect; }

  void Print(TPRCanvas& canvas, const ui::TRect& rect) override;
  void Paint(ui::Canvas& canvas) override;
};

// An ellipse filling its bounds: four Bézier curves, on paper and on the screen alike.
class TPREllipse : public TPRShape {
 public:
  explicit TPREllipse(ui::Component* owner = nullptr);
  std::string ClassName() const override { return "TPREllipse"; }
  ElementKind Kind() const override { return ElementKind::Ellipse; }

  void Print(TPRCanvas& canvas, const ui::TRect& rect) override;
  void Paint(ui::Canvas& canvas) override;
};

// The ellipse inside a box (y down), as a start point and four quarter curves clockwise from the
// right end. Print and Paint both draw these.
struct EllipseCurves {
  ui::TPointF start;
  std::array<ui::TBezier, 4> quarters;
};
EllipseCurves EllipseIn(double left, double top, double right, double bottom);

}  // namespace quirabel::report
