#pragma once

#include <QWidget>

#include <functional>

#include "ui/control.h"
#include "ui/qt/picture_cache.h"

namespace quirabel::ui::qt {

// One widget that shows a tree of our controls (the document page and its frame): it paints them
// back to front through Canvas and hands every mouse event to the topmost visible control under
// the pointer, like graphic controls without windows of their own. Zoom scales painting and
// pointer coordinates only; the controls stay in page pixels.
class PageView : public QWidget {
 public:
  explicit PageView(QWidget* parent = nullptr);

  void SetRoot(Control* root);
  Control* Root() const { return root_.Get(); }
  double Zoom() const { return zoom_; }
  void SetZoom(double zoom);
  QSize sizeHint() const override;

  // Runs the controls' mouse handlers; the main window puts its command boundary here, so a
  // failure inside a handler becomes a message instead of leaving through the event loop.
  std::function<void(const std::function<void()>& handler)> RunHandler;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void PaintTree(QPainter& painter, Control& control);
  // The control under a widget position and the position in its own pixels.
  Control* Hit(const QPointF& position, TPoint& local) const;
  Control* HitIn(Control& control, const QPointF& point) const;
  // Where a control shows in its parent's page coordinates, by its sizing at the present zoom.
  QRectF ShownRect(const Control& control) const;
  TPoint LocalIn(const Control& control, const QPointF& position) const;
  bool InTree(const Control* control) const;
  void Dispatch(const std::function<void()>& handler);

  // The document window that owns the tree may be freed by a command before the view is told.
  ComponentRef<Control> root_;
  // The control a pressed button belongs to until release. A popup's command may free it while
  // the button is held (the menu takes the release), so it is held as a reference that knows.
  ComponentRef<Control> captured_;
  double zoom_ = 1.0;
  PictureCache pictures_;
};

}  // namespace quirabel::ui::qt
