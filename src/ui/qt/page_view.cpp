#include "ui/qt/page_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "ui/qt/qt_canvas.h"

namespace quirabel::ui::qt {

namespace {

TMouseButton ButtonOf(Qt::MouseButton button) {
  if (button == Qt::RightButton) return TMouseButton::mbRight;
  if (button == Qt::MiddleButton) return TMouseButton::mbMiddle;
  return TMouseButton::mbLeft;
}

TShiftState ShiftOf(const QMouseEvent& event) {
  TShiftState shift = 0;
  if (event.modifiers() & Qt::ShiftModifier) shift |= ssShift;
  if (event.modifiers() & Qt::ControlModifier) shift |= ssCtrl;
  if (event.modifiers() & Qt::AltModifier) shift |= ssAlt;
  if (event.buttons() & Qt::LeftButton) shift |= ssLeft;
  if (event.buttons() & Qt::RightButton) shift |= ssRight;
  if (event.buttons() & Qt::MiddleButton) shift |= ssMiddle;
  return shift;
}

}  // namespace

PageView::PageView(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PageView::SetRoot(Control* root) {
  if (root == root_.Get()) {
    updateGeometry();  // the page may have changed its size
    if (size() != sizeHint()) resize(sizeHint());
    return;
  }
  root_ = root;
  captured_.Reset();
  updateGeometry();
  resize(sizeHint());
  update();
}

void PageView::SetZoom(double zoom) {
  zoom_ = std::clamp(zoom, 0.1, 8.0);
  updateGeometry();
  resize(sizeHint());
  update();
}

QSize PageView::sizeHint() const {
  const Control* root = Root();
  if (root == nullptr) return {200, 200};
  return {static_cast<int>(std::ceil(root->Width() * zoom_)),
          static_cast<int>(std::ceil(root->Height() * zoom_))};
}

void PageView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  Control* root = Root();
  if (root == nullptr) return;
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.scale(zoom_, zoom_);
  painter.translate(-root->Left(), -root->Top());
  PaintTree(painter, *root);
}

QRectF PageView::ShownRect(const Control& control) const {
  const QRectF page(control.Left(), control.Top(), control.Width(), control.Height());
  switch (control.Sizing()) {
    case ScreenSizing::WithPage:
      return page;
    case ScreenSizing::FixedSquare: {
      const double side = kFixedScreenPixels / zoom_;
      return {page.center().x() - side / 2, page.center().y() - side / 2, side, side};
    }
    case ScreenSizing::ThinLine: {
      const double thin = kThinLineScreenPixels / zoom_;
      QRectF line = page;
      if (page.width() >= page.height() && page.height() > thin) {
        line.setHeight(thin);
        line.moveCenter(page.center());
      } else if (page.height() > page.width() && page.width() > thin) {
        line.setWidth(thin);
        line.moveCenter(page.center());
      }
      return line;
    }
  }
  return page;
}

void PageView::PaintTree(QPainter& painter, Control& control) {
  if (!control.Visible()) return;
  painter.save();
  if (control.Sizing() == ScreenSizing::WithPage || control.Width() <= 0 || control.Height() <= 0) {
    painter.translate(control.Left(), control.Top());
  } else {
    // Painted in its own pixels, scaled to the size it has on screen.
    const QRectF shown = ShownRect(control);
    painter.translate(shown.topLeft());
    painter.scale(shown.width() / control.Width(), shown.height() / control.Height());
  }
  painter.setClipRect(QRect(0, 0, control.Width(), control.Height()), Qt::IntersectClip);
  QtCanvas canvas(painter, pictures_);
  control.Paint(canvas);
  for (Control* child : control.Controls()) PaintTree(painter, *child);
  painter.restore();
}

Control* PageView::HitIn(Control& control, const QPointF& point) const {
  // `point` is in the coordinates of the control's parent, in page pixels.
  if (!control.Visible() || !ShownRect(control).contains(point)) return nullptr;
  const QPointF inside = point - QPointF(control.Left(), control.Top());
  const auto& children = control.Controls();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (Control* hit = HitIn(**it, inside)) return hit;
  }
  return &control;
}

Control* PageView::Hit(const QPointF& position, TPoint& local) const {
  Control* root = Root();
  if (root == nullptr) return nullptr;
  // The root's own position does not count: it is the view's origin.
  const QPointF page = position / zoom_ + QPointF(root->Left(), root->Top());
  Control* hit = HitIn(*root, page);
  // What a control hears stays in page pixels from its own corner, whatever size it is shown at,
  // so that a handle dragged on screen moves by what the page moved.
  if (hit != nullptr) local = LocalIn(*hit, position);
  return hit;
}

TPoint PageView::LocalIn(const Control& control, const QPointF& position) const {
  const TPoint origin = control.OriginIn(Root());
  return {static_cast<int>(std::floor(position.x() / zoom_)) - origin.x,
          static_cast<int>(std::floor(position.y() / zoom_)) - origin.y};
}

void PageView::mousePressEvent(QMouseEvent* event) {
  TPoint local;
  Control* hit = Hit(event->position(), local);
  captured_ = hit;
  if (hit == nullptr) return;
  const TMouseButton button = ButtonOf(event->button());
  const TShiftState shift = ShiftOf(*event);
  Dispatch([hit, button, shift, local] { hit->MouseDown(button, shift, local.x, local.y); });
}

bool PageView::InTree(const Control* control) const {
  // A control taken off the page while the button was held is no longer in the tree.
  for (const Control* c = control; c != nullptr; c = c->Parent()) {
    if (c == Root()) return true;
  }
  return false;
}

void PageView::mouseMoveEvent(QMouseEvent* event) {
  TPoint local;
  Control* target = captured_.Get();
  if (target != nullptr && !InTree(target)) {
    captured_.Reset();
    target = nullptr;
  }
  if (target != nullptr) {
    local = LocalIn(*target, event->position());
  } else {
    target = Hit(event->position(), local);
  }
  if (target == nullptr) return;
  const TShiftState shift = ShiftOf(*event);
  Dispatch([target, shift, local] { target->MouseMove(shift, local.x, local.y); });
}

void PageView::mouseReleaseEvent(QMouseEvent* event) {
  Control* target = captured_.Get();
  captured_.Reset();
  if (target == nullptr || !InTree(target)) return;
  const TPoint local = LocalIn(*target, event->position());
  const TMouseButton button = ButtonOf(event->button());
  const TShiftState shift = ShiftOf(*event);
  const ComponentRef<Control> released(target);
  Dispatch([target, button, shift, local] { target->MouseUp(button, shift, local.x, local.y); });
  // A click is a release over the control that was pressed, if the release left it there.
  TPoint unused;
  if (event->button() == Qt::LeftButton && released.Get() != nullptr &&
      Hit(event->position(), unused) == target)
    Dispatch([target] { target->Click(); });
}

void PageView::mouseDoubleClickEvent(QMouseEvent* event) {
  TPoint local;
  if (Control* hit = Hit(event->position(), local)) Dispatch([hit] { hit->DblClick(); });
}

void PageView::Dispatch(const std::function<void()>& handler) {
  if (RunHandler) {
    RunHandler(handler);
  } else {
    handler();
  }
}

void PageView::wheelEvent(QWheelEvent* event) {
  if (event->modifiers() & Qt::ControlModifier) {
    SetZoom(zoom_ * (event->angleDelta().y() > 0 ? 1.25 : 0.8));
    event->accept();
    return;
  }
  QWidget::wheelEvent(event);
}

}  // namespace quirabel::ui::qt
