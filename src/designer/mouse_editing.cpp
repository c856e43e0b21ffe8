#include "designer/mouse_editing.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "base/rounding.h"
#include "designer/page_model.h"
#include "designer/selection.h"
#include "report/pr_images.h"
#include "report/pr_shapes.h"
#include "ui/platform.h"

namespace quirabel::designer {

using report::TPRItem;

namespace {

bool IsImage(const TPRItem* element) {
  return element != nullptr && TypeOf(*element).menu == ElementMenu::Image;
}

}  // namespace

void MouseEditing::AttachElement(TPRItem& item) {
  const Kind kind = TypeOf(item).menu;
  // The handlers live in the element, so the element outlives them.
  TPRItem* element = &item;
  item.OnMouseDown = [this, element, kind](ui::Control&, ui::TMouseButton button, ui::TShiftState,
                                           int x, int y) { Press(*element, kind, button, x, y); };
  item.OnMouseMove = [this, element, kind](ui::Control&, ui::TShiftState, int x, int y) {
    Move(*element, kind, x, y);
  };
  item.OnMouseUp = [this, element](ui::Control&, ui::TMouseButton, ui::TShiftState, int, int) {
    Release(*element);
  };
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
    image.OnMouseUp = [this, corner](ui::Control&, ui::TMouseButton, ui::TShiftState, int x,
                                     int y) { HandleRelease(corner, x, y); };
    // A handle covers a corner of its element: a double-click there is one on the element.
    image.OnDblClick = [this](ui::Control&) {
      if (TPRItem* element = window_.Selected().Pressed()) element->DblClick();
    };
  }
}

ui::TCursor MouseEditing::Cursor() const {
  const ui::Platform* platform = window_.EditingPlatform();
  return platform != nullptr ? platform->ScreenCursor() : ui::crDefault;
}

void MouseEditing::SetCursor(ui::TCursor cursor) {
  if (ui::Platform* platform = window_.EditingPlatform()) platform->SetScreenCursor(cursor);
}

void MouseEditing::ProcessMessages() {
  if (ui::Platform* platform = window_.EditingPlatform()) platform->ProcessMessages();
}

void MouseEditing::ShowHandles() {
  for (ui::TImage* handle : window_.Handles()) handle->SetVisible(true);
}

void MouseEditing::Press(TPRItem& item, Kind kind, ui::TMouseButton button, int x, int y) {
  const bool left = button == ui::TMouseButton::mbLeft;
  drag_.pressedBounds = item.BoundsRect();
  const bool right = button == ui::TMouseButton::mbRight;
  const ui::TPoint origin = item.OriginIn(&window_.Page().LayoutPanel());
  const int pageX = origin.x + x, pageY = origin.y + y;
  // An armed tool places its element wherever the page is clicked, over elements too.
  if (left && CreationArmed()) {
    CreateAt(pageX, pageY);
    return;
  }

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
      window_.ShowPopup(ElementMenu::Image, pageX, pageY);
    }
    return;
  }

  ClassOf(item).ShowPressed(item);
  SetCursor(ui::crHand);
  window_.Selected().Press(item, left);
  drag_.grabX = x;
  drag_.grabY = y;
  if (left) {
    drag_.grabbed = true;
    ShowHandles();
    window_.PlaceHandlesAround(&item);
    if (TypeOf(item).hasProperties && OnPressed) OnPressed(item);
  } else if (right) {
    // The element may be gone once pending messages ran: nothing below touches it.
    ProcessMessages();
    window_.ShowPopup(kind, pageX, pageY);
  }
}

void MouseEditing::Move(TPRItem& item, Kind kind, int x, int y) {
  // While creation is armed the next click belongs to the page background and the cursor stays;
  // text lines, rectangles and images still show their position, images their markers too.
  if (kind == Kind::Text && CreationArmed()) return;
  window_.ShowPosition(std::to_string(item.Top()) + " x " + std::to_string(item.Left()));
  if (kind != Kind::Image && CreationArmed()) return;
  if (kind != Kind::Image || !CreationArmed()) SetCursor(ui::crDefault);
  LeavePressedElement(item, kind);

  if (!drag_.grabbed) {
    ShowMarkers(item);
    if (kind != Kind::Image || !CreationArmed()) SetCursor(ui::crHandPoint);
    return;
  }
  SetCursor(ui::crHand);
  // The point caught stays under the mouse: the element moves by what the mouse moved.
  const int cy = item.Top() + y - drag_.grabY;
  const int cx = item.Left() + x - drag_.grabX;
  // The grid aid holds text and rectangles to multiples of 5, each direction on its own; images
  // place freely.
  const bool grid = kind != Kind::Image && window_.GridAid();
  const bool takeTop = !grid || cy % 5 == 0;
  const bool takeLeft = !grid || cx % 5 == 0;
  // A drag may always bring the element back to where it was pressed.
  const ui::TRect& from = drag_.pressedBounds;
  const int top =
      takeTop ? ClampToPage(cy, window_.Page().PagePanel().Height(), item.Height(), from.top)
              : item.Top();
  const int left =
      takeLeft ? ClampToPage(cx, window_.Page().PagePanel().Width(), item.Width(), from.left)
               : item.Left();
  if (top != item.Top() || left != item.Left())
    item.SetBounds(left, top, item.Width(), item.Height());
  // Handles and markers go where the element is.
  window_.PlaceHandlesAround(&item);
  ShowMarkers(item);
}

void MouseEditing::LeavePressedElement(TPRItem& item, Kind kind) {
  TPRItem* other = window_.Selected().Pressed();
  // Only a pressed element of the same family as the one the mouse is now over.
  if (other == nullptr || other == &item || TypeOf(*other).menu != kind) return;
  if (ClassOf(*other).LeftWhilePressed(*other)) drag_.grabbed = false;
}

void MouseEditing::ShowMarkers(const TPRItem& item) {
  const MarkerLayout layout = TypeOf(item).markers;
  const int l = item.Left(), t = item.Top(), w = item.Width(), h = item.Height();
  window_.Marker(Side::Below)->SetBounds(l, t + h + layout.gap, w + layout.extra, 1);
  window_.Marker(Side::Above)->SetBounds(l, t - layout.gap, w + layout.extra, 1);
  window_.Marker(Side::Right)->SetBounds(l + w + layout.rightGap, t, 1, h);
  window_.Marker(Side::Left)->SetBounds(l - layout.gap, t, 1, h);
  for (ui::TImage* marker : window_.Markers()) marker->SetVisible(true);
}

void MouseEditing::FollowWithMarkers(const TPRItem& item) {
  if (!window_.Marker(Side::Below)->Visible()) return;
  ShowMarkers(item);
}

void MouseEditing::Release(TPRItem& item) {
  drag_.grabbed = false;
  const bool moved = item.BoundsRect() != drag_.pressedBounds;
  SetCursor(ui::crDefault);
  if (ClassOf(item).Released(item)) window_.PlaceHandlesAround(&item);
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
  return window_.EditingPlatform() == nullptr || Cursor() == SizeCursor(static_cast<int>(corner));
}

void MouseEditing::CreateAt(int pageX, int pageY) {
  // The armed click is told in the coordinates of the page background.
  const ui::TPoint background =
      window_.Page().Background() != nullptr
          ? ui::TPoint{window_.Page().Background()->Left(), window_.Page().Background()->Top()}
          : ui::TPoint{0, 0};
  window_.CreateArmedElementAt(pageX - background.x, pageY - background.y);
}

void MouseEditing::HandlePress(Corner corner, int x, int y) {
  const ui::Control& image = *window_.Handle(corner);
  if (CreationArmed()) {
    CreateAt(image.Left() + x, image.Top() + y);
    return;
  }
  SetCursor(SizeCursor(static_cast<int>(corner)));
  pressedHandle_ = &image;
  drag_.handlePressX = image.Left() + x;
  drag_.handlePressY = image.Top() + y;
  const TPRItem* element = window_.Selected().Pressed();
  if (element == nullptr) return;
  drag_.pressedBounds = element->BoundsRect();
  if (element->Height() > 0)
    drag_.imageAspect = static_cast<double>(element->Width()) / element->Height();
}

void MouseEditing::HandleMove(Corner corner, int x, int y) {
  if (!HandleHeld(corner)) {
    if (!CreationArmed()) SetCursor(HoverCursor(static_cast<int>(corner)));
    return;
  }
  if (TPRItem* element = window_.Selected().Pressed()) FollowHandle(*element, corner, x, y);
}

void MouseEditing::FollowHandle(TPRItem& element, Corner corner, int x, int y) {
  const ui::Control& handle = *window_.Handle(corner);
  // The mouse's way since the press, in page pixels; the handle itself may have moved since.
  const int dx = handle.Left() + x - drag_.handlePressX;
  const int dy = handle.Top() + y - drag_.handlePressY;
  const ui::TRect& from = drag_.pressedBounds;
  const int pageWidth = window_.Page().PagePanel().Width(),
            pageHeight = window_.Page().PagePanel().Height();
  int left = from.left, top = from.top, right = from.right, bottom = from.bottom;
  // Each corner owns its edges; an edge stops at the margin and one pixel short of the opposite
  // edge.
  const bool ownsRight = corner == Corner::BottomRight || corner == Corner::TopRight;
  const bool ownsBottom = corner == Corner::BottomRight || corner == Corner::BottomLeft;
  if (ownsRight) right = std::clamp(from.right + dx, left + 1, FarEdgeLimit(pageWidth, from.right));
  if (ownsBottom)
    bottom = std::clamp(from.bottom + dy, top + 1, FarEdgeLimit(pageHeight, from.bottom));
  if (corner == Corner::TopLeft) {
    top = std::clamp(from.top + dy, NearEdgeLimit(from.top), bottom - 1);
    if (IsImage(&element)) {
      // A picture keeps its aspect: the height follows the mouse, the width the height, and the
      // bottom-right corner stays.
      int height = bottom - top;
      int width = std::max(1, RoundHalfEven(drag_.imageAspect * height));
      const int widest = right - NearEdgeLimit(from.left);
      if (width > widest && drag_.imageAspect > 0) {
        width = widest;
        height = std::max(1, RoundHalfEven(width / drag_.imageAspect));
        top = bottom - height;
      }
      left = right - width;
    } else {
      left = std::clamp(from.left + dx, NearEdgeLimit(from.left), right - 1);
    }
  }
  const ui::TRect bounds{left, top, right, bottom};
  if (bounds != element.BoundsRect()) element.SetBounds(left, top, right - left, bottom - top);
  window_.PlaceHandlesAround(&element);
  FollowWithMarkers(element);
}

void MouseEditing::HandleRelease(Corner corner, int x, int y) {
  const bool held = HandleHeld(corner);
  SetCursor(ui::crDefault);
  pressedHandle_ = nullptr;
  TPRItem* element = window_.Selected().Pressed();
  if (element == nullptr) return;
  if (held) FollowHandle(*element, corner, x, y);
  if (element->BoundsRect() == drag_.pressedBounds) return;
  if (OnMemoFitted) {
    if (const std::optional<MemoGeometry> fit = ClassOf(*element).EditorFit(*element))
      OnMemoFitted(*fit);
  }
  window_.Changed();
}

}  // namespace quirabel::designer
