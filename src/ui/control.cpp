#include "ui/control.h"

#include <algorithm>
#include <iterator>

namespace quirabel::ui {

Control::Control(Component* owner) : Component(owner) {}

Control::~Control() {
  ExpireReferences();
  if (observer_ != nullptr) observer_->ControlFreed(*this);
  while (!children_.empty()) {
    Control* child = children_.back();
    children_.pop_back();
    child->parent_ = nullptr;  // a parent that goes lays nothing out any more
    delete child;
  }
  if (parent_ != nullptr) {
    LeaveParentList();
    // Its siblings take up the room it leaves, as when it is taken off its parent.
    if (InLayout()) parent_->Realign();
  }
}

void Control::LeaveParentList() {
  auto& siblings = parent_->children_;
  // Searched from the top: controls mostly leave in the order opposite to their arrival, and the
  // newest one then goes in constant time even among many thousand siblings.
  const auto it = std::find(siblings.rbegin(), siblings.rend(), this);
  if (it != siblings.rend()) siblings.erase(std::next(it).base());
  if (align_ != TAlign::alNone) --parent_->alignedChildren_;
}

void Control::SetParent(Control* parent) {
  Control* target = ValidateParent(parent);
  if (target == parent_) return;
  for (Control* p = target; p != nullptr; p = p->parent_) {
    if (p == this) return;  // a control cannot sit inside itself
  }
  if (parent_ != nullptr) {
    LeaveParentList();
    if (InLayout()) parent_->Realign();
  }
  parent_ = target;
  if (parent_ != nullptr) {
    parent_->children_.push_back(this);
    if (align_ != TAlign::alNone) ++parent_->alignedChildren_;
    if (InLayout()) parent_->Realign();
    Invalidate();
  }
}

void Control::BringToFront() {
  if (parent_ == nullptr) return;
  auto& siblings = parent_->children_;
  if (siblings.back() != this) {
    const auto it = std::find(siblings.rbegin(), siblings.rend(), this);
    std::rotate(std::next(it).base(), it.base(), siblings.end());
    if (InLayout()) parent_->Realign();
  }
  Invalidate();
}

void Control::SendToBack() {
  if (parent_ == nullptr) return;
  auto& siblings = parent_->children_;
  if (siblings.front() != this) {
    const auto it = std::find(siblings.begin(), siblings.end(), this);
    std::rotate(siblings.begin(), it, std::next(it));
    if (InLayout()) parent_->Realign();
  }
  Invalidate();
}

void Control::SetBounds(int left, int top, int width, int height) {
  const TRect bounds = Bounds(left, top, std::max(width, 0), std::max(height, 0));
  if (bounds == bounds_) return;
  const bool resized = bounds.Width() != bounds_.Width() || bounds.Height() != bounds_.Height();
  bounds_ = bounds;
  BoundsChanged();
  if (resized) Realign();
  if (parent_ != nullptr && align_ != TAlign::alNone) parent_->Realign();
  Changed();
}

TPoint Control::OriginIn(const Control* ancestor) const {
  TPoint origin{0, 0};
  for (const Control* c = this; c != nullptr && c != ancestor; c = c->parent_) {
    if (c->parent_ == nullptr && ancestor == nullptr) break;  // the topmost control is the origin
    origin.x += c->Left();
    origin.y += c->Top();
  }
  return origin;
}

void Control::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (observer_ != nullptr) observer_->ControlChanged(*this);
  if (parent_ != nullptr) {
    if (align_ != TAlign::alNone) parent_->Realign();
    parent_->Invalidate();
  }
}

void Control::SetAlign(TAlign align) {
  if (align == align_) return;
  const bool wasAligned = align_ != TAlign::alNone;
  align_ = align;
  if (parent_ == nullptr) return;
  if (wasAligned) --parent_->alignedChildren_;
  if (align_ != TAlign::alNone) ++parent_->alignedChildren_;
  if (visible_) parent_->Realign();
}

void Control::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Changed();
}

void Control::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void Control::SetCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  Changed();
}

void Control::SetHint(std::string hint) {
  if (hint == hint_) return;
  hint_ = std::move(hint);
  if (observer_ != nullptr) observer_->ControlChanged(*this);
}

void Control::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(*this, button, shift, x, y);
}

void Control::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(*this, shift, x, y);
}

void Control::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(*this, button, shift, x, y);
}

void Control::Click() {
  if (OnClick) OnClick(*this);
}

void Control::DblClick() {
  if (OnDblClick) OnDblClick(*this);
}

Control* Control::ControlAt(TPoint point) {
  if (!visible_ || !ClientRect().Contains(point)) return nullptr;
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    Control* child = *it;
    if (Control* hit = child->ControlAt({point.x - child->Left(), point.y - child->Top()})) {
      return hit;
    }
  }
  return this;
}

void Control::Paint(Canvas& /*canvas*/) {}

void Control::Invalidate() {
  if (Platform* platform = GetPlatform()) platform->Invalidate(*this);
}

void Control::Changed() {
  if (observer_ != nullptr) observer_->ControlChanged(*this);
  Invalidate();
}

void Control::Realign() { AlignControls(AlignArea()); }

void Control::AlignControls(const TRect& area) {
  if (alignedChildren_ == 0) return;
  TRect rest = area;
  auto place = [](Control* c, const TRect& r) {
    const TRect bounds = Bounds(r.left, r.top, std::max(r.Width(), 0), std::max(r.Height(), 0));
    if (bounds == c->bounds_) return;
    c->bounds_ = bounds;
    c->BoundsChanged();
    c->Realign();
    c->Changed();
  };
  // Top and bottom first, then left and right in what remains, then the client filler.
  for (TAlign pass :
       {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) {
    for (Control* c : children_) {
      if (!c->visible_ || c->align_ != pass) continue;
      switch (pass) {
        case TAlign::alTop:
          place(c, {rest.left, rest.top, rest.right, rest.top + c->Height()});
          rest.top += c->Height();
          break;
        case TAlign::alBottom:
          place(c, {rest.left, rest.bottom - c->Height(), rest.right, rest.bottom});
          rest.bottom -= c->Height();
          break;
        case TAlign::alLeft:
          place(c, {rest.left, rest.top, rest.left + c->Width(), rest.bottom});
          rest.left += c->Width();
          break;
        case TAlign::alRight:
          place(c, {rest.right - c->Width(), rest.top, rest.right, rest.bottom});
          rest.right -= c->Width();
          break;
        case TAlign::alClient:
          place(c, rest);
          break;
        case TAlign::alNone:
          break;
      }
    }
  }
}

}  // namespace quirabel::ui
