#include "main/icons.h"

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace quirabel::main {

namespace {

// Strokes in the text colour of a toolbar, one accent colour; 24 x 24 units.
const QHash<QString, QString>& Shapes() {
  static const QHash<QString, QString> shapes = {
      {"new",
       R"(<path d="M6 3h8l4 4v14H6z" fill="#fff"/><path d="M14 3v4h4"/><path d="M12 11v6M9 14h6" stroke="#1a73c8" stroke-width="2"/>)"},
      {"open", R"(<path d="M3 7h6l2 2h10v10H3z" fill="#f6d77a"/>)"},
      {"save",
       R"(<path d="M4 4h13l3 3v13H4z" fill="#dbe8f8"/><path d="M8 4v5h8V4M7 20v-6h10v6"/>)"},
      {"saveas",
       R"(<path d="M4 4h11l3 3v5M4 4v16h8" fill="#dbe8f8"/><path d="M8 4v5h6V4"/><path d="M14 21l1-4 6-6 3 3-6 6z" stroke="#1a73c8"/>)"},
      {"pdf",
       R"(<path d="M6 3h8l4 4v14H6z" fill="#fff"/><path d="M14 3v4h4"/><text x="12" y="17" font-size="6.5" font-family="sans-serif" font-weight="bold" text-anchor="middle" fill="#c62828" stroke="none">PDF</text>)"},
      {"label",
       R"(<path d="M6 5h12M12 5v13" stroke-width="2.4"/><path d="M4 21h16" stroke="#1a73c8"/>)"},
      {"memo",
       R"(<rect x="3" y="4" width="18" height="16" fill="#fff"/><path d="M6 8h12M6 12h12M6 16h8"/>)"},
      {"rect", R"(<rect x="4" y="6" width="16" height="12" fill="#f28b82"/>)"},
      {"ellipse", R"(<ellipse cx="12" cy="12" rx="9" ry="6.5" fill="#f28b82"/>)"},
      {"code",
       R"(<rect x="3" y="3" width="7" height="7" fill="#fff"/><rect x="14" y="3" width="7" height="7" fill="#fff"/><rect x="3" y="14" width="7" height="7" fill="#fff"/><path d="M5.5 5.5h2v2h-2zM16.5 5.5h2v2h-2zM5.5 16.5h2v2h-2zM14 14h3v3h-3zM18 18h3v3h-3z" fill="#222"/>)"},
      {"image",
       R"(<rect x="3" y="5" width="18" height="14" fill="#fff"/><path d="M5 17l5-6 4 4 2-2 3 4z" fill="#81c995"/><circle cx="16" cy="9" r="1.6" fill="#f6d77a"/>)"},
      {"bgcolor", R"(<path d="M12 3c4 5 6 8 6 11a6 6 0 0 1-12 0c0-3 2-6 6-11z" fill="#8ab4f8"/>)"},
      {"bgimage",
       R"(<rect x="3" y="4" width="18" height="16" fill="#cfe3f7"/><path d="M3 18l6-7 5 5 3-3 4 5z" fill="#81c995"/>)"},
      {"preview",
       R"(<circle cx="10" cy="10" r="6" fill="#fff"/><path d="M15 15l6 6" stroke-width="2.4"/>)"},
      {"single",
       R"(<path d="M6 3h8l4 4v14H6z" fill="#fff"/><path d="M14 3v4h4"/><path d="M10 11l2-1v8" stroke="#1a73c8" stroke-width="1.8"/>)"},
      // The single-page glyph's other face, for blinking: the sheet lit up.
      {"single_lit",
       R"(<path d="M6 3h8l4 4v14H6z" fill="#ffe082" stroke="#e65100"/><path d="M14 3v4h4" stroke="#e65100"/><path d="M10 11l2-1v8" stroke="#e65100" stroke-width="1.8"/>)"},
      {"template",
       R"(<path d="M6 3h8l4 4v14H6z" fill="#fff"/><path d="M12 10l1.5 3 3.2.4-2.4 2.2.7 3.2-3-1.7-3 1.7.7-3.2-2.4-2.2 3.2-.4z" fill="#f6d77a"/>)"},
      {"prev", R"(<path d="M15 5l-7 7 7 7" stroke-width="2.4"/>)"},
      {"next", R"(<path d="M9 5l7 7-7 7" stroke-width="2.4"/>)"},
      {"goto",
       R"(<path d="M6 3h8l4 4v14H6z" fill="#fff"/><path d="M3 13h9M9 10l3 3-3 3" stroke="#1a73c8" stroke-width="1.8"/>)"},
      {"app",
       R"(<rect x="2" y="5" width="20" height="14" rx="2" fill="#1a73c8" stroke="#0d47a1"/><path d="M5 10h9M5 13h6" stroke="#fff" stroke-width="1.8"/><circle cx="17.5" cy="14.5" r="2" fill="#f6d77a" stroke="none"/>)"},
      // A project file: a sheet with the program's card on it.
      {"project",
       R"(<path d="M5 2h10l4 4v16H5z" fill="#fff"/><path d="M15 2v4h4"/><rect x="7" y="10" width="10" height="7" rx="1" fill="#1a73c8" stroke="#0d47a1"/><path d="M8.5 12.5h4.5M8.5 14.5h3" stroke="#fff" stroke-width="1"/>)"},
      {"portrait", R"(<path d="M7 2h7l4 4v16H7z" fill="#fff"/><path d="M14 2v4h4"/>)"},
      {"landscape", R"(<path d="M2 6h16l4 4v8H2z" fill="#fff"/><path d="M18 6v4h4"/>)"},
      {"help",
       R"(<circle cx="12" cy="12" r="9" fill="#fdf6c3"/><path d="M9.5 9.5a2.5 2.5 0 1 1 3.5 2.3c-.7.3-1 .8-1 1.5v.7" stroke-width="1.8"/><circle cx="12" cy="17" r=".6" fill="#3c4043"/>)"},
      {"delete", R"(<path d="M6 6l12 12M18 6L6 18" stroke="#c62828" stroke-width="2.4"/>)"},
  };
  return shapes;
}

QString SvgDocument(const QString& body) {
  return QStringLiteral(
             "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 24 24' "
             "fill='none' stroke='#3c4043' stroke-width='1.4' "
             "stroke-linejoin='round' stroke-linecap='round'>") +
         body + QStringLiteral("</svg>");
}

QPixmap Render(const QString& body, int size) {
  QSvgRenderer renderer(SvgDocument(body).toUtf8());
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  renderer.render(&painter);
  return pixmap;
}

}  // namespace

QIcon ToolIcon(const QString& name) {
  const auto it = Shapes().find(name);
  if (it == Shapes().end()) return {};
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 96, 128}) icon.addPixmap(Render(it.value(), size));
  return icon;
}

QByteArray ToolIconSvg(const QString& name) {
  const auto it = Shapes().find(name);
  if (it == Shapes().end()) return {};
  return SvgDocument(it.value()).toUtf8();
}

QByteArray ToolIconPng(const QString& name, int size) {
  const auto it = Shapes().find(name);
  if (it == Shapes().end()) return {};
  QSvgRenderer renderer(SvgDocument(it.value()).toUtf8());
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  renderer.render(&painter);
  painter.end();
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return png;
}

}  // namespace quirabel::main
