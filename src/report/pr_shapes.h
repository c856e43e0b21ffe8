#pragma once

#include <array>

#include "model/records.h"
#include "report/pr_item.h"

namespace quirabel::report {

using ui::TPenStyle;

// How a shape looks: what a rectangle's record holds, and the line style.
struct ShapeLook {
  graphics::TColor fillColor = graphics::clNone;
  graphics::TColor lineColor = 0;
  float lineWidth = 0;
  TPenStyle lineStyle = TPenStyle::psSolid;
  friend bool operator==(const ShapeLook&, const ShapeLook&) = default;
};
// The look a rectangle's or an ellipse's record gives.
ShapeLook LookOf(const model::RectRecord& record);

// The one drawing routine of each shape kind (rectangle, ellipse), into the PDF page at `rect`
// (page pixels) and onto the screen at `rect` (the canvas's pixels). The elements draw through
// them.
void PrintShape(TPRCanvas& canvas, ElementKind kind, const ShapeLook& look, const ui::TRect& rect);
void PaintShape(ui::Canvas& canvas, ElementKind kind, const ShapeLook& look, const ui::TRect& rect);

// Line and fill settings; rectangles and ellipses print and paint through their kind's routine.
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
  ShapeLook Look() const { return {fillColor_, lineColor_, lineWidth_, lineStyle_}; }

  void Print(TPRCanvas& canvas, const ui::TRect& rect) override {
    PrintShape(canvas, Kind(), Look(), rect);
  }
  void Paint(ui::Canvas& canvas) override { PaintShape(canvas, Kind(), Look(), ClientRect()); }

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
};

// An ellipse filling its bounds: four Bézier curves, on paper and on the screen alike.
class TPREllipse : public TPRShape {
 public:
  explicit TPREllipse(ui::Component* owner = nullptr);
  std::string ClassName() const override { return "TPREllipse"; }
  ElementKind Kind() const override { return ElementKind::Ellipse; }
};

// The ellipse inside a box (y down), as a start point and four quarter curves clockwise from the
// right end. PrintShape and PaintShape both draw these.
struct EllipseCurves {
  ui::TPointF start;
  std::array<ui::TBezier, 4> quarters;
};
EllipseCurves EllipseIn(double left, double top, double right, double bottom);

}  // namespace quirabel::report
