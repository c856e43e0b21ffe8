#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "graphics/color.h"
#include "ui/canvas.h"
#include "ui/component.h"
#include "ui/geometry.h"
#include "ui/platform.h"

namespace quirabel::ui {

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Shift keys and buttons held during a mouse event.
using TShiftState = unsigned;
inline constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16,
                             ssMiddle = 32, ssDouble = 64;

// How a zooming view sizes a control. WithPage: it grows and shrinks with the page. FixedSquare:
// a square of kFixedScreenPixels around its centre, whatever the zoom (the resize handles).
// ThinLine: as long as the page makes it, but never thicker than kThinLineScreenPixels (the ruler
// markers). Only what the person sees and hits changes; the control keeps its page coordinates.
enum class ScreenSizing { WithPage, FixedSquare, ThinLine };
inline constexpr int kFixedScreenPixels = 8;
inline constexpr int kThinLineScreenPixels = 2;

class Control;
class ControlVisitor;

// Told of every change to a control's state, so that a view of the control (its widget on the
// screen) follows without asking every control again and again.
class ControlObserver {
 public:
  // Some state of the control changed; the observer reads whatever it shows anew.
  virtual void ControlChanged(Control& control) = 0;
  // The control is being freed: only its address may still be used.
  virtual void ControlFreed(Control& control) = 0;

 protected:
  ~ControlObserver() = default;
};

using TNotifyEvent = std::function<void(Control& sender)>;
using TMouseEvent =
    std::function<void(Control& sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(Control& sender, TShiftState shift, int x, int y)>;
// A key by its virtual-key number: letters and digits as their upper-case ASCII codes, and the
// vk* numbers below.
using TKeyEvent = std::function<void(Control& sender, int key, TShiftState shift)>;
inline constexpr int vkBack = 8, vkTab = 9, vkReturn = 13, vkShift = 16, vkControl = 17,
                     vkEscape = 27, vkSpace = 32, vkLeft = 37, vkUp = 38, vkRight = 39, vkDown = 40,
                     vkDelete = 46;

// A visible part of a window: a parent, children in z-order (back to front), bounds relative to
// the parent, and mouse events. Setting state from code never fires the person's events; the
// backend (or a test) fires them through MouseDown, Click and the rest.
class Control : public Component {
 public:
  explicit Control(Component* owner = nullptr);
  // Frees the child controls and leaves the parent.
  ~Control() override;

  Control* Parent() const { return parent_; }
  // Puts the control on top of the new parent's children. Subclasses check the parent first
  // (ValidateParent), which may refuse it with an exception or name another control instead.
  void SetParent(Control* parent);
  const std::vector<Control*>& Controls() const { return children_; }
  // Moving an aligned child in the z-order moves it in its parent's layout too: children of one
  // alignment are laid out back to front.
  void BringToFront();
  void SendToBack();

  int Left() const { return bounds_.left; }
  int Top() const { return bounds_.top; }
  int Width() const { return bounds_.Width(); }
  int Height() const { return bounds_.Height(); }
  void SetLeft(int left) { SetBounds(left, Top(), Width(), Height()); }
  void SetTop(int top) { SetBounds(Left(), top, Width(), Height()); }
  void SetWidth(int width) { SetBounds(Left(), Top(), width, Height()); }
  void SetHeight(int height) { SetBounds(Left(), Top(), Width(), height); }
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return bounds_; }
  virtual TRect ClientRect() const { return {0, 0, Width(), Height()}; }
  // This control's top-left corner in the coordinates of an ancestor (or of the topmost parent).
  TPoint OriginIn(const Control* ancestor = nullptr) const;

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // How a zooming view shows the control: with the page, or at a size of its own on screen.
  ScreenSizing Sizing() const { return sizing_; }
  void SetSizing(ScreenSizing sizing) { sizing_ = sizing; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  const std::string& Hint() const { return hint_; }
  void SetHint(std::string hint);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor) { cursor_ = cursor; }

  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;

  // The person's actions, in this control's coordinates.
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  void MouseMove(TShiftState shift, int x, int y);
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  void Click();
  void DblClick();

  // The topmost visible descendant under a point in this control's coordinates (this control
  // itself when no child is there), or none outside it.
  Control* ControlAt(TPoint point);

  // Draws this control (not its children) in its own coordinates.
  virtual void Paint(Canvas& canvas);
  // Asks for a repaint of this control.
  void Invalidate();

  // The one observer of this control's state (the widget showing it), or none.
  ControlObserver* Observer() const { return observer_; }
  void SetObserver(ControlObserver* observer) { observer_ = observer; }

  // Lays out the aligned children inside an area of this control. The layout is kept up to date
  // by every change that can alter it (an aligned child added, removed, shown, hidden, resized,
  // realigned or moved in the z-order; this control resized), and only by those: loose (alNone)
  // and hidden children cost nothing, so a panel holding many elements stays cheap to fill.
  void AlignControls(const TRect& area);
  // The area aligned children fill; the client rectangle unless a subclass keeps margins.
  virtual TRect AlignArea() const { return ClientRect(); }

  std::string ClassName() const override { return "TControl"; }
  // Calls the visitor's Visit for this control's kind.
  virtual void Accept(ControlVisitor& visitor);

 protected:
  // Checks a new parent; returns the control that becomes the parent.
  virtual Control* ValidateParent(Control* parent) { return parent; }
  virtual void BoundsChanged() {}
  // State that shows changed: tells the observer and asks for a repaint. Every setter of a
  // subclass calls it after an accepted change.
  void Changed();

 private:
  void Realign();
  // Whether this control takes part in its parent's layout.
  bool InLayout() const { return visible_ && align_ != TAlign::alNone; }
  // Takes this control off its parent's list (the parent pointer stays).
  void LeaveParentList();

  Control* parent_ = nullptr;
  ControlObserver* observer_ = nullptr;
  std::vector<Control*> children_;
  std::size_t alignedChildren_ = 0;  // children whose alignment is not alNone, shown or not
  TRect bounds_;
  bool visible_ = true;
  ScreenSizing sizing_ = ScreenSizing::WithPage;
  bool enabled_ = true;
  TAlign align_ = TAlign::alNone;
  TColor color_ = graphics::clWhite;
  std::string caption_;
  std::string hint_;
  TCursor cursor_ = crDefault;
};

}  // namespace quirabel::ui
