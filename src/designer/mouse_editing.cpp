#include "designer/mouse_editing.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "base/rounding.h"
#include "designer/document_window.h"
#include "report/pr_images.h"
#include "report/pr_shapes.h"
#include "ui/platform.h"

namespace quirabel::designer {

using report::TPRItem;

namespace {

// Moving keeps an element 5 mm (at 2.837 pixels a millimetre) off the page edges.
constexpr double kMargin = 14.185;

bool IsImage(const TPRItem* element) {
  return element != nullptr && TypeOf(*element).menu == ElementMenu::Image;
}

// Where the ruler markers stand around an element: `gap` pixels off its top, bottom and left
// edge, `rightGap` off its right edge; the horizontal ones are `extra` pixels longer than it.
struct MarkerLayout {
  int gap;
  int rightGap;
  int extra;
};

}  // namespace

// A candidate inside the margins is taken; one on or beyond a margin snaps to that margin
// rounded, plus one.
int ClampToPage(int candidate, int page, int size) {
  const double farMargin = page - size - kMargin;
  if (kMargin < candidate && candidate < farMargin) return candidate;
  int result = candidate;
  if (candidate <= kMargin) result = RoundHalfEven(kMargin) + 1;
  // An element larger than the page meets both conditions; the far edge wins.
  if (candidate >= farMargin) result = RoundHalfEven(farMargin) + 1;
  return result;
}

void MouseEditing::AttachElement(TPRItem& item) {
  const Kind kind = TypeOf(item).menu;
  // The handlers live in the element, so the element outlives them.
  TPRItem* element = &item;
  item.OnMouseDown = [this, element, kind](ui::Control&, ui::TMouseButton button, ui::TShiftState,
                                           int x, int y) { Press(*element, kind, button, x, y); };
  item.OnMouseMove = [this, element, kind](ui::Control&, ui::TShiftState, int x, int y) {
    Move(*element, kind, x, y);
  };
  item.OnMouseUp = [this, element, kind](ui::Control&, ui::TMouseButton, ui::TShiftState, int,
                                         int) { Release(*element, kind); };
  // A double-click opens the element's property window; pictures have none.
  if (TypeOf(item).hasProperties) {
    item.OnDblClick = [this, element, kind](ui::Control&) {
      window_.Selected().SetPressed(element);
      window_.PopupPropertiesClick(kind);
    };
  }
}

void MouseEditing::AttachHandles() {
  for (Corner corner :
       {Corner::BottomRight, Corner::TopRight, Corner::TopLeft, Corner::BottomLeft}) {
    ui::Control& image = *window_.Handle(corner);
    image.OnMouseDown = [this, corner](ui::Control&, ui::TMouseButton, ui::TShiftState, int x,
                                       int y) { HandlePress(corner, x, y); };
    image.OnMouseMove = [this, corner](ui::Control&, ui::TShiftState, int x, int y) {
      HandleMove(corner, x, y);
    };
    image.OnMouseUp = [this, corner](ui::Control&, ui::TMouseButton, ui::TShiftState, int, int) {
      HandleRelease(corner);
    };
  }
}

ui::TCursor MouseEditing::Cursor() const {
  const ui::Platform* platform = window_.GetPlatform();
  return platform != nullptr ? platform->ScreenCursor() : ui::crDefault;
}

void MouseEditing::SetCursor(ui::TCursor cursor) {
  if (ui::Platform* platform = window_.GetPlatform()) platform->SetScreenCursor(cursor);
}

void MouseEditing::ProcessMessages() {
  if (ui::Platform* platform = window_.GetPlatform()) platform->ProcessMessages();
}

bool MouseEditing::OnPage(const TPRItem& item) const {
  const auto& children = window_.layoutPanel->Controls();
  return std::find(children.begin(), children.end(), &item) != children.end();
}

void MouseEditing::ShowHandles() {
  for (ui::TImage* handle : window_.Handles()) handle->SetVisible(true);
}

void MouseEditing::Press(TPRItem& item, Kind kind, ui::TMouseButton button, int x, int y) {
  const bool left = button == ui::TMouseButton::mbLeft;
  drag_.pressedBounds = item.BoundsRect();
  const bool right = button == ui::TMouseButton::mbRight;
  const ui::TPoint origin = item.OriginIn(window_.layoutPanel);
  const int pageX = origin.x + x, pageY = origin.y + y;

  if (kind == Kind::Image) {
    if (left) {
      drag_.grabbed = true;
      ShowHandles();
      window_.Selected().SetPressed(&item);
      window_.PlaceHandlesAround(&item);
      drag_.grabX = x;
      drag_.grabY = y;
      SetCursor(ui::crHand);
    } else if (right) {
      // The image menu acts on this image; the selection stays where it was.
      window_.Selected().SetImageMenuTarget(item);
      ProcessMessages();
      if (window_.OnPopup) window_.OnPopup(ElementMenu::Image, pageX, pageY);
    }
    return;
  }

  if (kind == Kind::Label || kind == Kind::Text)
    static_cast<report::TPRCustomLabel&>(item).SetBColor(true);
  SetCursor(ui::crHand);
  window_.Selected().Press(item, left);
  drag_.grabX = x;
  drag_.grabY = y;
  if (left) {
    drag_.grabbed = true;
    ShowHandles();
    window_.PlaceHandlesAround(&item);
    if (kind == Kind::Label && OnLabelPressed) {
      OnLabelPressed(static_cast<report::TPRLabel&>(item));
    } else if (kind == Kind::Text && OnTextPressed) {
      OnTextPressed(static_cast<report::TPRText&>(item));
    }
  } else if (right) {
    // The element may be gone once pending messages ran: nothing below touches it.
    ProcessMessages();
    if (window_.OnPopup) window_.OnPopup(kind, pageX, pageY);
  }
}

void MouseEditing::Move(TPRItem& item, Kind kind, int x, int y) {
  // While creation is armed the next click belongs to the page background and the cursor stays;
  // text lines, rectangles and images still show their position, images their markers too.
  if (kind == Kind::Text && CreationArmed()) return;
  window_.positionLabel->SetCaption(std::to_string(item.Top()) + " x " +
                                    std::to_string(item.Left()));
  if (kind != Kind::Image && CreationArmed()) return;
  if (kind != Kind::Text) {
    ProcessMessages();
    // Pending messages may have deleted the element.
    if (!OnPage(item)) return;
  }
  if (kind != Kind::Image || !CreationArmed()) SetCursor(ui::crDefault);
  ShowMarkers(item, kind);
  LeavePressedElement(item, kind);

  if (!drag_.grabbed) {
    if (kind != Kind::Image || !CreationArmed()) SetCursor(ui::crHandPoint);
    return;
  }
  SetCursor(ui::crHand);
  // The element trails the mouse by 2 pixels.
  const int cy = item.Top() + y - drag_.grabY - 2;
  const int cx = item.Left() + x - drag_.grabX - 2;
  // The grid aid holds text and rectangles to multiples of 5, each direction on its own; images
  // place freely.
  const bool grid = kind != Kind::Image && window_.State().gridAid;
  const bool takeTop = !grid || cy % 5 == 0;
  const bool takeLeft = !grid || cx % 5 == 0;
  if (!takeTop && !takeLeft) return;
  const int top =
      takeTop ? ClampToPage(cy, window_.pagePanel->Height(), item.Height()) : item.Top();
  const int left =
      takeLeft ? ClampToPage(cx, window_.pagePanel->Width(), item.Width()) : item.Left();
  item.SetBounds(left, top, item.Width(), item.Height());
  // The handles of an image catch up on release.
  if (kind != Kind::Image) window_.PlaceHandlesAround(&item);
}

void MouseEditing::LeavePressedElement(TPRItem& item, Kind kind) {
  TPRItem* other = window_.Selected().Pressed();
  // Only a pressed element of the same family as the one the mouse is now over.
  if (other == nullptr || other == &item || TypeOf(*other).menu != kind) return;
  switch (kind) {
    case Kind::Label: {
      auto& label = static_cast<report::TPRLabel&>(*other);
      label.SetTransparent(true);
      label.Invalidate();
      break;
    }
    case Kind::Text: {
      auto& text = static_cast<report::TPRText&>(*other);
      drag_.grabbed = false;
      text.SetColor(graphics::clWhite);
      text.SetBColor(false);
      text.Invalidate();
      break;
    }
    case Kind::Rect:
      other->Invalidate();
      break;
    case Kind::Image:
      break;
  }
}

void MouseEditing::ShowMarkers(const TPRItem& item, Kind kind) {
  MarkerLayout layout{0, 5, 5};  // text line and text field
  if (kind == Kind::Rect) layout = {2, 2, 2};
  if (kind == Kind::Image) layout = {2, 2, 0};
  const int l = item.Left(), t = item.Top(), w = item.Width(), h = item.Height();
  window_.Marker(Side::Below)->SetBounds(l, t + h + layout.gap, w + layout.extra, 1);
  window_.Marker(Side::Above)->SetBounds(l, t - layout.gap, w + layout.extra, 1);
  window_.Marker(Side::Right)->SetBounds(l + w + layout.rightGap, t, 1, h);
  window_.Marker(Side::Left)->SetBounds(l - layout.gap, t, 1, h);
  for (ui::TImage* marker : window_.Markers()) marker->SetVisible(true);
}

void MouseEditing::Release(TPRItem& item, Kind kind) {
  drag_.grabbed = false;
  const bool moved = item.BoundsRect() != drag_.pressedBounds;
  SetCursor(ui::crDefault);
  switch (kind) {
    case Kind::Label:
    case Kind::Rect: {
      // A height change makes the element lay itself out anew.
      const int height = item.Height();
      item.SetHeight(height + 1);
      item.SetHeight(height);
      break;
    }
    case Kind::Text:
      window_.PlaceHandlesAround(&item);
      item.SetColor(graphics::clWhite);
      static_cast<report::TPRText&>(item).SetBColor(false);
      break;
    case Kind::Image:
      window_.PlaceHandlesAround(&item);
      break;
  }
  if (moved) window_.Changed();
}

namespace {

// Shown while a handle is dragged; its presence marks the drag.
ui::TCursor SizeCursor(int corner) {
  constexpr ui::TCursor kCursors[] = {ui::crSizeNWSE, ui::crSizeWE, ui::crSizeNWSE, ui::crSizeNS};
  return kCursors[corner];
}

// Shown while the mouse is over a handle that is not held.
ui::TCursor HoverCursor(int corner) {
  constexpr ui::TCursor kCursors[] = {ui::crMySize, ui::crHSplit, ui::crKxc, ui::crVSplit};
  return kCursors[corner];
}

}  // namespace

bool MouseEditing::HandleHeld(Corner corner) const {
  if (pressedHandle_ != window_.Handle(corner)) return false;
  // Without a screen cursor the press alone marks the drag.
  return window_.GetPlatform() == nullptr || Cursor() == SizeCursor(static_cast<int>(corner));
}

void MouseEditing::HandlePress(Corner corner, int x, int y) {
  SetCursor(SizeCursor(static_cast<int>(corner)));
  const ui::Control& image = *window_.Handle(corner);
  pressedHandle_ = &image;
  const TPRItem* element = window_.Selected().Pressed();
  if (element != nullptr) drag_.pressedBounds = element->BoundsRect();
  if (corner != Corner::TopLeft || !IsImage(element)) return;
  // An image resizes live from its top-left handle, tracked in page coordinates.
  drag_.handleDeltaX = image.Left() + x;
  drag_.handleDeltaY = image.Top() + y;
  if (element->Height() > 0) {
    drag_.imageAspect = static_cast<double>(element->Width()) / element->Height();
  }
}

void MouseEditing::HandleMove(Corner corner, int x, int y) {
  if (!HandleHeld(corner)) {
    if (!CreationArmed()) SetCursor(HoverCursor(static_cast<int>(corner)));
    return;
  }
  switch (corner) {
    case Corner::BottomRight:
      drag_.handleDeltaX = x;
      drag_.handleDeltaY = y;
      break;
    case Corner::TopRight:
      drag_.handleDeltaX = x;
      break;
    case Corner::BottomLeft:
      drag_.handleDeltaY = y;
      break;
    case Corner::TopLeft:
      if (TPRItem* pressed = window_.Selected().Pressed(); IsImage(pressed)) {
        ResizeImageLive(*pressed, window_.Handle(Corner::TopLeft)->Top() + y);
      } else {
        drag_.handleDeltaX = x;
        drag_.handleDeltaY = y;
      }
      break;
  }
}

void MouseEditing::ResizeImageLive(TPRItem& image, int pageY) {
  const int t = image.Top();
  int height = image.Height();
  const int width = image.Width();
  if (pageY < drag_.handleDeltaY) {
    height += t - pageY;
  } else if (height >= 10 && width >= 20) {
    // Shrinking stops at a small size so the image stays big enough to grab.
    height -= t - pageY;
  }
  image.SetBounds(image.Left(), pageY + 5, RoundHalfEven(drag_.imageAspect * height), height);
  window_.PlaceHandlesAround(&image);
  drag_.handleDeltaY = pageY;
}

void MouseEditing::HandleRelease(Corner corner) {
  SetCursor(ui::crDefault);
  pressedHandle_ = nullptr;
  TPRItem* element = window_.Selected().Pressed();
  if (element != nullptr) {
    const int dx = drag_.handleDeltaX, dy = drag_.handleDeltaY;
    const int l = element->Left(), t = element->Top(), w = element->Width(), h = element->Height();
    const bool image = IsImage(element);
    switch (corner) {
      case Corner::BottomRight:
        element->SetBounds(l, t, w + dx, h + dy);
        break;
      case Corner::TopRight:
        element->SetWidth(w + dx - 5);
        break;
      case Corner::BottomLeft:
        element->SetHeight(h + dy);
        break;
      case Corner::TopLeft:
        // An image was resized while the handle moved.
        if (!image) {
          ui::TImage& topLeft = *window_.Handle(Corner::TopLeft);
          const int hx = l - 8 + dx, hy = t - 8 + dy;
          topLeft.SetBounds(hx, hy, topLeft.Width(), topLeft.Height());
          element->SetBounds(hx + 5, hy + 5, w + l - hx, h + t - hy);
        }
        break;
    }
    if (element->Kind() == ElementKind::Text && OnMemoFitted) {
      const auto& text = static_cast<const report::TPRText&>(*element);
      OnMemoFitted(CreateMemo(text.Width(), text.Height(), text.FontName(), text.FontBold(),
                              text.FontItalic()));
    }
    if (element->BoundsRect() != drag_.pressedBounds) window_.Changed();
  }
  window_.PlaceHandlesAround(element);
}

}  // namespace quirabel::designer
