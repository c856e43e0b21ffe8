#include "ui/qt/qt_canvas.h"

#include <QGlyphRun>
#include <QPainterPath>
#include <QPolygon>
#include <QRawFont>

#include <cmath>

#include <vector>

#include "ui/qt/picture_cache.h"

namespace quirabel::ui::qt {

QColor ToQColor(TColor color) {
  const TColor c = graphics::ResolveSystemColor(color);
  return QColor(graphics::GetRValue(c), graphics::GetGValue(c), graphics::GetBValue(c));
}

void QtCanvas::UsePen() {
  if (pen.style == TPenStyle::psClear) {
    painter_.setPen(Qt::NoPen);
    return;
  }
  QPen qpen(ToQColor(pen.color));
  qpen.setWidth(std::max(pen.width, 1));
  qpen.setCosmetic(pen.width <= 1);
  switch (pen.style) {
    case TPenStyle::psDash:
      qpen.setStyle(Qt::DashLine);
      break;
    case TPenStyle::psDot:
      qpen.setStyle(Qt::DotLine);
      break;
    case TPenStyle::psDashDot:
      qpen.setStyle(Qt::DashDotLine);
      break;
    case TPenStyle::psDashDotDot:
      qpen.setStyle(Qt::DashDotDotLine);
      break;
    default:
      qpen.setStyle(Qt::SolidLine);
      break;
  }
  painter_.setPen(qpen);
}

void QtCanvas::UseBrush() {
  if (brush.style == TBrushStyle::bsClear) {
    painter_.setBrush(Qt::NoBrush);
  } else {
    painter_.setBrush(ToQColor(brush.color));
  }
}

void QtCanvas::FillRect(const TRect& rect) {
  if (brush.style == TBrushStyle::bsClear) return;
  painter_.fillRect(QRect(rect.left, rect.top, rect.Width(), rect.Height()), ToQColor(brush.color));
}

void QtCanvas::Rectangle(const TRect& rect) {
  UsePen();
  UseBrush();
  painter_.drawRect(QRect(rect.left, rect.top, rect.Width() - 1, rect.Height() - 1));
}

void QtCanvas::Polyline(std::span<const TPoint> points) {
  UsePen();
  QPolygon polygon;
  for (const TPoint& p : points) polygon << QPoint(p.x, p.y);
  painter_.drawPolyline(polygon);
}

void QtCanvas::BezierShape(TPointF start, std::span<const TBezier> segments) {
  QPainterPath path(QPointF(start.x, start.y));
  for (const TBezier& s : segments)
    path.cubicTo(s.control1.x, s.control1.y, s.control2.x, s.control2.y, s.end.x, s.end.y);
  path.closeSubpath();
  UsePen();
  UseBrush();
  painter_.save();
  painter_.setRenderHint(QPainter::Antialiasing);
  // Smoothed, a line lies on its coordinates; unsmoothed lines (the rectangle's) fill the pixel
  // right of and below them. Half a pixel over, the curve keeps to the pixels a rectangle of the
  // same bounds would, and its line is not cut at the element's top and left edge.
  painter_.translate(0.5, 0.5);
  painter_.drawPath(path);
  painter_.restore();
}

void QtCanvas::TextOut(int x, int y, std::string_view text) {
  QFont qfont(QString::fromStdString(font.name));
  // Points at 96 dots per inch: the pixel size the font has on a page of page pixels.
  qfont.setPixelSize(std::max(1, font.size * 96 / 72));
  qfont.setBold(font.bold);
  qfont.setItalic(font.italic);
  painter_.setFont(qfont);
  painter_.setPen(ToQColor(font.color));
  const QString string = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  painter_.drawText(QPoint(x, y + painter_.fontMetrics().ascent()), string);
}

void QtCanvas::PlaceText(double x, int top, double pixelSize, std::string_view text) {
  // The fonts the PDF uses: Liberation for the three standard families (the PDF's standard fonts
  // share their metrics), unhinted, at the exact size, so glyphs sit where the PDF puts them at
  // every zoom.
  QString family = QString::fromStdString(font.name);
  if (family == "Arial") family = "Liberation Sans";
  if (family == "Times New Roman") family = "Liberation Serif";
  if (family == "Courier New") family = "Liberation Mono";
  QFont qfont(family);
  qfont.setPixelSize(std::max(1, static_cast<int>(pixelSize)));
  qfont.setBold(font.bold);
  qfont.setItalic(font.italic);
  qfont.setHintingPreference(QFont::PreferNoHinting);
  qfont.setKerning(false);
  const QString string = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  QRawFont raw = QRawFont::fromFont(qfont);
  const QPointF baseline(x, top + 0.85 * pixelSize);
  painter_.setPen(ToQColor(font.color));
  if (raw.isValid()) {
    raw.setPixelSize(std::max(0.5, pixelSize));
    const QList<quint32> glyphs = raw.glyphIndexesForString(string);
    if (!glyphs.isEmpty() && !glyphs.contains(0)) {
      QGlyphRun run;
      run.setRawFont(raw);
      run.setGlyphIndexes(glyphs);
      run.setPositions(QList<QPointF>(glyphs.size(), QPointF(0, 0)));
      painter_.drawGlyphRun(baseline, run);
      return;
    }
  }
  // A character Liberation lacks: the toolkit's fallback font, at the nearest whole size.
  qfont.setPixelSize(std::max(1, static_cast<int>(std::lround(pixelSize))));
  painter_.setFont(qfont);
  painter_.drawText(baseline, string);
}

void QtCanvas::TextOutRotated(int x, int y, int degrees, std::string_view text) {
  painter_.save();
  painter_.translate(x, y);
  painter_.rotate(-degrees);  // Qt turns clockwise
  TextOut(0, 0, text);
  painter_.restore();
}

void QtCanvas::StretchDraw(const TRect& rect, const graphics::Picture& picture) {
  // The device scale (zoom) decides how many screen pixels the picture covers.
  const QRect device = painter_.transform()
                           .mapRect(QRectF(rect.left, rect.top, rect.Width(), rect.Height()))
                           .toRect();
  if (painter_.transform().type() <= QTransform::TxScale) {
    // Scaled once to the screen pixels it covers, then copied as it is on every repaint.
    const QImage& image = pictures_.Scaled(picture, device.width(), device.height());
    if (image.isNull()) return;
    painter_.save();
    painter_.resetTransform();
    painter_.drawImage(device.topLeft(), image);
    painter_.restore();
    return;
  }
  const QImage& image = pictures_.Image(picture, device.width(), device.height());
  if (image.isNull()) return;
  painter_.drawImage(QRect(rect.left, rect.top, rect.Width(), rect.Height()), image);
}

void QtCanvas::Draw(int x, int y, const graphics::Picture& picture) {
  const QImage& image = pictures_.Image(picture);
  if (image.isNull()) return;
  painter_.drawImage(QPoint(x, y), image);
}

}  // namespace quirabel::ui::qt
