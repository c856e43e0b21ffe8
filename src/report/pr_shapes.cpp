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

TPRRect::TPRRect(ui::Component* owner) : TPRShape(owner) {}

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

}  // namespace

void TPRRect::Print(TPRCanvas& canvas, const ui::TRect& rect) {
  pdf::TPdfCanvas& pdf = canvas.Pdf();
  const int H = canvas.PageHeight();
  const int w = rect.Width();
  const int h = rect.Height();
  const bool outline = LineColor() != graphics::clNone && LineStyle() != TPenStyle::psClear;
  const bool area = w > 1 && h > 1;
  const bool fill = FillColor() != graphics::clNone && area;
  if (w <= 1 && h <= 1) return;
  // Without an outline or a filled inside nothing shows (a line has no inside).
  if (!outline && !fill) return;

  if (LineStyle() != TPenStyle::psClear) pdf.SetDash(DashOf(LineStyle()), 0);
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

  if (fill) pdf.SetRGBFillColor(FillColor());
  if (LineColor() != graphics::clNone) {
    pdf.SetRGBStrokeColor(LineColor());
    pdf.SetLineWidth(LineWidth());
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

void TPRRect::Paint(ui::Canvas& canvas) {
  ui::TRect r = ClientRect();
  if (r.Width() > 1) r.right -= 1;
  if (r.Height() > 1) r.bottom -= 1;
  if (FillColor() != graphics::clNone) {
    canvas.brush = {graphics::ResolveSystemColor(FillColor()), ui::TBrushStyle::bsSolid};
    canvas.FillRect(r);
  }
  if (LineColor() != graphics::clNone) {
    canvas.pen = {graphics::ResolveSystemColor(LineColor()), RoundHalfEven(LineWidth()),
                  LineStyle()};
    const std::array<ui::TPoint, 5> corners = {{{r.left, r.top},
                                                {r.right, r.top},
                                                {r.right, r.bottom},
                                                {r.left, r.bottom},
                                                {r.left, r.top}}};
    canvas.Polyline(corners);
  }
}

}  // namespace quirabel::report
