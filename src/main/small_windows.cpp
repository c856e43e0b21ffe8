#include "main/small_windows.h"

#include <QCursor>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QUrl>
#include <QVBoxLayout>

#include "base/version.h"
#include "main/icons.h"
#include "ui/qt/qt_platform.h"

namespace quirabel::main {

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("Form5"));
  setWindowTitle(QString::fromUtf8("Programm-Infos"));
  setFixedSize(380, 276);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  setAutoFillBackground(true);

  auto* picture = new QLabel();
  picture->setPixmap(ToolIcon(QStringLiteral("app")).pixmap(64, 64));
  auto* heading = new QLabel(QString::fromUtf8("Autoreninfo zu Quirabel: "));
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  auto* top = new QHBoxLayout();
  top->addWidget(picture);
  top->addWidget(heading, 1);

  auto* memo = new QPlainTextEdit();
  memo->setReadOnly(true);
  memo->setPlainText(QString::fromUtf8(
      "Quirabel " QUIRABEL_VERSION
      " — Visitenkarten, Flyer und Faltkarten gestalten und als PDF ausgeben.\n"
      "\n"
      "Entwickelt vom Quirabel-Team.\n"
      "\n"
      "Mit Dank an die Entwickler von Qt, libjpeg-turbo und giflib sowie an die Gestalter der "
      "Liberation-Schriften."));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(memo, 1);
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("Form17"));
  setWindowTitle(QString::fromUtf8("Hilfe und Hinweise"));
  resize(300, 480);
  browser_ = new QTextBrowser(this);
  browser_->setOpenExternalLinks(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
  ui::qt::CloseOnEscape(*this);
}

bool HelpWindow::Load(const QString& file) {
  if (!QFile::exists(file)) return false;
  browser_->setSource(QUrl::fromLocalFile(file));
  return true;
}

HelpBubble::HelpBubble(HelpWindow& help, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), help_(help) {
  setObjectName(QStringLiteral("Form16"));
  setFixedSize(52, 52);
  setMouseTracking(true);
  setToolTip(QString::fromUtf8("Hilfe und Hinweise"));
  setCursor(Qt::PointingHandCursor);
  // Round, like a bubble: the window is clipped to the circle it shows.
  setMask(QRegion(1, 1, 50, 50, QRegion::Ellipse));
}

void HelpBubble::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  help_.move(x() + at.x() - 280, y() + at.y() - 490);
  if (!help_.isVisible()) help_.show();
}

void HelpBubble::mousePressEvent(QMouseEvent* /*event*/) {
  help_.hide();
  hide();
}

void HelpBubble::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(palette().color(QPalette::ToolTipBase));
  painter.setPen(QPen(palette().color(QPalette::ToolTipText), 1));
  painter.drawEllipse(QRectF(1.5, 1.5, 49, 49));
  ToolIcon(QStringLiteral("help")).paint(&painter, QRect(10, 10, 32, 32));
}

LogoArea::LogoArea(QWidget* parent) : QMdiArea(parent) { setBackground(QColor(128, 128, 128)); }

void LogoArea::SetLogoVisible(bool visible) {
  if (visible == logoVisible_) return;
  logoVisible_ = visible;
  viewport()->update();
}

void LogoArea::paintEvent(QPaintEvent* event) {
  QMdiArea::paintEvent(event);
  if (!logoVisible_) return;
  // The logo panel: in the middle of the frame, whatever its size.
  QPainter painter(viewport());
  painter.setRenderHint(QPainter::Antialiasing);
  const QSize panel(360, 220);
  const QPoint corner((viewport()->width() - panel.width()) / 2,
                      (viewport()->height() - panel.height()) / 2);
  const QRect box(corner, panel);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(112, 112, 112));
  painter.drawRoundedRect(box, 12, 12);
  ToolIcon(QStringLiteral("app"))
      .paint(&painter, QRect(box.center().x() - 48, box.top() + 24, 96, 96));
  painter.setPen(Qt::white);
  QFont title = font();
  title.setPointSizeF(title.pointSizeF() * 1.8);
  title.setBold(true);
  painter.setFont(title);
  painter.drawText(QRect(box.left(), box.top() + 124, box.width(), 40), Qt::AlignCenter,
                   QStringLiteral("Quirabel"));
  painter.setFont(font());
  painter.setPen(QColor(235, 235, 235));
  painter.drawText(QRect(box.left(), box.top() + 164, box.width(), 40), Qt::AlignCenter,
                   QString::fromUtf8("Neues Projekt: Strg+N    Öffnen: Strg+F"));
}

}  // namespace quirabel::main
