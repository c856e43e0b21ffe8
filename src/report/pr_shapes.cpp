#include "report/pr_shapes.h"

#include <array>
#include <span>

#include "base/rounding.h"

namespace quirabel::report {

TPRShape::TPRShape(ui::Component* owner) : TPRItem(owner) {}

void TPRShape::SetLineWidth(float value) {
  if (!(value >= 0) || value == lineWidth_) return;
  lineWidth_ = value;
  Invalidate();
}

void TPRShape::SetLineColor(graphics::TColor value) {
  if (value == lineColor_) return;
  lineColor_ = value;
  Invalidate();
}

void TPRShape::SetLineStyle(TPenStyle value) {
  if (value == lineStyle_) return;
  lineStyle_ = value;
  Invalidate();
}

void TPRShape::SetFillColor(graphics::TColor value) {
  if (value == fillColor_) return;
  fillColor_ = value;
  Invalidate();
}

namespace {

// The dash pattern of a pen style; none for a clear pen.
std::span<const std::uint8_t> DashOf(TPenStyle style) {
  static constexpr std::uint8_t kSolid[] = {0};
  static constexpr std::uint8_t kDash[] = {16, 8};
  static constexpr std::uint8_t kDot[] = {3};
  static constexpr std::uint8_t kDashDot[] = {8, 7, 2, 7};
  static constexpr std::uint8_t kDashDotDot[] = {8, 4, 2, 4, 2, 4};
  switch (style) {
    case TPenStyle::psDash:
      return kDash;
    case TPenStyle::psDot:
      return kDot;
    case TPenStyle::psDashDot:
      return kDashDot;
    case TPenStyle::psDashDotDot:
      return kDashDotDot;
    case TPenStyle::psClear:
      return {};
    case TPenStyle::psSolid:
    case TPenStyle::psInsideFrame:
      break;
  }
  return kSolid;
}

// Fills and strokes the path just drawn as a shape's colours and area ask.
void FinishPath(pdf::TPdfCanvas& pdf, const ShapeLook& look, bool fill, bool outline, bool area) {
  if (fill) pdf.SetRGBFillColor(look.fillColor);
  if (look.lineColor != graphics::clNone) {
    pdf.SetRGBStrokeColor(look.lineColor);
    pdf.SetLineWidth(look.lineWidth);
  }
  if (fill) {
    if (outline) {
      pdf.ClosePathFillStroke();
    } else {
      pdf.ClosePath();
      pdf.Fill();
    }
  } else if (area) {
    pdf.ClosePathStroke();
  } else {
    pdf.Stroke();
    pdf.NewPath();
  }
}

void PrintRect(TPRCanvas& canvas, const ShapeLook& look, const ui::TRect& rect) {
  pdf::TPdfCanvas& pdf = canvas.Pdf();
  const int H = canvas.PageHeight();
  const int w = rect.Width();
  const int h = rect.Height();
  const bool outline = look.lineColor != graphics::clNone && look.lineStyle != TPenStyle::psClear;
  const bool area = w > 1 && h > 1;
  const bool fill = look.fillColor != graphics::clNone && area;
  if (w <= 1 && h <= 1) return;
  // Without an outline or a filled inside nothing shows (a line has no inside).
  if (!outline && !fill) return;

  if (look.lineStyle != TPenStyle::psClear) pdf.SetDash(DashOf(look.lineStyle), 0);
  const double x1 = rect.left;
  const double x2 = w > 1 ? rect.right - 1 : rect.right;
  const double y1 = H - rect.top;
  const double y2 = h > 1 ? H - rect.bottom + 1 : H - rect.bottom;
  pdf.MoveTo(x1, y1);
  if (w > 1) {
    pdf.LineTo(x2, y1);
    if (h > 1) pdf.LineTo(x2, y2);
  }
  if (h > 1) pdf.LineTo(x1, y2);

  FinishPath(pdf, look, fill, outline, area);
}

void PaintRect(ui::Canvas& canvas, const ShapeLook& look, ui::TRect r) {
  if (r.Width() > 1) r.right -= 1;
  if (r.Height() > 1) r.bottom -= 1;
  if (look.fillColor != graphics::clNone) {
    canvas.brush = {graphics::ResolveSystemColor(look.fillColor), ui::TBrushStyle::bsSolid};
    canvas.FillRect(r);
  }
  if (look.lineColor != graphics::clNone) {
    canvas.pen = {graphics::ResolveSystemColor(look.lineColor), RoundHalfEven(look.lineWidth),
                  look.lineStyle};
    const std::array<ui::TPoint, 5> corners = {{{r.left, r.top},
                                                {r.right, r.top},
                                                {r.right, r.bottom},
                                                {r.left, r.bottom},
                                                {r.left, r.top}}};
    canvas.Polyline(corners);
  }
}

// The box an ellipse (or a rectangle) of these bounds draws in: its last pixel row and column
// are inside.
EllipseCurves CurvesFor(const ui::TRect& r) {
  return EllipseIn(r.left, r.top, r.Width() > 1 ? r.right - 1 : r.right,
                   r.Height() > 1 ? r.bottom - 1 : r.bottom);
}

void PrintEllipse(TPRCanvas& canvas, const ShapeLook& look, const ui::TRect& rect) {
  pdf::TPdfCanvas& pdf = canvas.Pdf();
  const double H = canvas.PageHeight();
  const bool outline = look.lineColor != graphics::clNone && look.lineStyle != TPenStyle::psClear;
  const bool area = rect.Width() > 1 && rect.Height() > 1;
  const bool fill = look.fillColor != graphics::clNone && area;
  if (rect.Width() <= 1 && rect.Height() <= 1) return;
  if (!outline && !fill) return;

  if (look.lineStyle != TPenStyle::psClear) pdf.SetDash(DashOf(look.lineStyle), 0);
  const EllipseCurves curves = CurvesFor(rect);
  pdf.MoveTo(curves.start.x, H - curves.start.y);
  for (const ui::TBezier& q : curves.quarters)
    pdf.CurveTo(q.control1.x, H - q.control1.y, q.control2.x, H - q.control2.y, q.end.x,
                H - q.end.y);
  // A flat ellipse is a line there and back, which has no inside but is closed all the same.
  FinishPath(pdf, look, fill, outline, true);
}

void PaintEllipse(ui::Canvas& canvas, const ShapeLook& look, const ui::TRect& rect) {
  const EllipseCurves curves = CurvesFor(rect);
  canvas.brush =
      look.fillColor != graphics::clNone
          ? ui::TBrush{graphics::ResolveSystemColor(look.fillColor), ui::TBrushStyle::bsSolid}
          : ui::TBrush{graphics::clWhite, ui::TBrushStyle::bsClear};
  canvas.pen = {graphics::ResolveSystemColor(look.lineColor), RoundHalfEven(look.lineWidth),
                look.lineColor != graphics::clNone ? look.lineStyle : TPenStyle::psClear};
  canvas.BezierShape(curves.start, curves.quarters);
}

}  // namespace

EllipseCurves EllipseIn(double left, double top, double right, double bottom) {
  // The distance of a quarter circle's control points from its ends, as a part of the radius.
  constexpr double kKappa = 0.5522847498307936;
  const double cx = (left + right) / 2, cy = (top + bottom) / 2;
  const double rx = (right - left) / 2, ry = (bottom - top) / 2;
  const double kx = kKappa * rx, ky = kKappa * ry;
  return {{right, cy},
          {{{{right, cy + ky}, {cx + kx, bottom}, {cx, bottom}},
            {{cx - kx, bottom}, {left, cy + ky}, {left, cy}},
            {{left, cy - ky}, {cx - kx, top}, {cx, top}},
            {{cx + kx, top}, {right, cy - ky}, {right, cy}}}}};
}

ShapeLook LookOf(const model::RectRecord& record) {
  // As TPRShape::SetLineWidth: a width below 0 (or none at all) is not taken.
  const float width = record.lineWidth >= 0 ? record.lineWidth : 0;
  return {record.fillColor, record.lineColor, width, TPenStyle::psSolid};
}

void PrintShape(TPRCanvas& canvas, ElementKind kind, const ShapeLook& look, const ui::TRect& rect) {
  if (kind == ElementKind::Ellipse) {
    PrintEllipse(canvas, look, rect);
  } else {
    PrintRect(canvas, look, rect);
  }
}

void PaintShape(ui::Canvas& canvas, ElementKind kind, const ShapeLook& look,
                const ui::TRect& rect) {
  if (kind == ElementKind::Ellipse) {
    PaintEllipse(canvas, look, rect);
  } else {
    PaintRect(canvas, look, rect);
  }
}

TPRRect::TPRRect(ui::Component* owner) : TPRShape(owner) {}
TPREllipse::TPREllipse(ui::Component* owner) : TPRShape(owner) {}

}  // namespace quirabel::report
