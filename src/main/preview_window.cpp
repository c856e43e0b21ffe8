#include "main/preview_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/qt/qt_platform.h"

namespace quirabel::main {

PreviewWindow::PreviewWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
  setWindowTitle(QString::fromUtf8("PDF Vorschau - nicht gespeichert!"));
  resize(696, 480);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  view_ = new QPdfView(this);
  view_->setPageMode(QPdfView::PageMode::MultiPage);
  view_->setZoomMode(QPdfView::ZoomMode::FitInView);
  layout->addWidget(view_);
  ui::qt::CloseOnEscape(*this);
}

PreviewWindow::~PreviewWindow() {
  // The view lets go of the document before the document goes.
  view_->setDocument(nullptr);
}

bool PreviewWindow::ShowFile(const QString& file) {
  view_->setDocument(nullptr);
  document_.close();
  if (document_.load(file) != QPdfDocument::Error::None) return false;
  view_->setDocument(&document_);
  if (!isVisible()) {
    // In the middle of the screen, where the person looks.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    move(screen.center() - rect().center());
  }
  show();
  raise();
  return true;
}

}  // namespace quirabel::main
