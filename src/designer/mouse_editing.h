#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "designer/element_kinds.h"
#include "designer/memo_geometry.h"
#include "designer/page_margins.h"
#include "report/pr_item.h"
#include "report/pr_labels.h"
#include "ui/control.h"
#include "ui/controls.h"
#include "ui/platform.h"

namespace quirabel::designer {

class PageModel;
class Selection;

// The corners of an element where its resize handles stand, and the sides its ruler markers run
// along.
enum class Corner { BottomRight, TopRight, TopLeft, BottomLeft };
enum class Side { Below, Above, Right, Left };

// The drag of one document window: which element is held and where it was caught, and what the
// resize handles last recorded.
struct DragState {
  bool grabbed = false;  // an element is held with the left button
  int grabX = 0;         // mouse position inside the element at the press
  int grabY = 0;
  // Where a handle was pressed, in page pixels: the corner moves by what the mouse moved since.
  int handlePressX = 0;
  int handlePressY = 0;
  double imageAspect = 1;  // width / height of an image, taken when its top-left handle is pressed
  ui::TRect pressedBounds{};  // of the element at the last press on it or on a handle
};

// What mouse editing needs of the window it edits in: the page, what is picked, the handles and
// markers it places, and the hooks the window answers. The document window is one.
class EditingSurface {
 public:
  virtual PageModel& Page() = 0;
  virtual Selection& Selected() = 0;
  virtual ui::TImage* Handle(Corner corner) const = 0;
  virtual ui::TImage* Marker(Side side) const = 0;
  virtual const std::array<ui::TImage*, 4>& Handles() const = 0;
  virtual const std::array<ui::TImage*, 4>& Markers() const = 0;
  // Puts the resize handles at the corners of an element (none: they stay).
  virtual void PlaceHandlesAround(const report::TPRItem* element) = 0;
  // The screen cursor and pending messages; none in a window without a platform.
  virtual ui::Platform* EditingPlatform() const = 0;
  // Whether moves snap to the 5-pixel grid.
  virtual bool GridAid() const = 0;
  // The position readout of the element under the mouse.
  virtual void ShowPosition(const std::string& text) = 0;
  // An action changed the page (see DocumentWindow::Changed).
  virtual void Changed(std::string_view mergeKey = {}) = 0;
  // The armed click on the page background, at a point of the background.
  virtual void CreateArmedElementAt(int x, int y) = 0;
  virtual void PopupPropertiesClick(ElementMenu popup) = 0;
  // Opens a popup menu at a position on the page.
  virtual void ShowPopup(ElementMenu popup, int x, int y) = 0;

 protected:
  ~EditingSurface() = default;
};

// Selecting, moving and resizing the elements of a document window with the mouse: the press,
// move and release handlers of every element kind and of the four resize handles, the ruler
// markers, the position readout and the cursors that tell the person what a press would do.
class MouseEditing {
 public:
  explicit MouseEditing(EditingSurface& window) : window_(window) {}
  MouseEditing(const MouseEditing&) = delete;
  MouseEditing& operator=(const MouseEditing&) = delete;

  // Gives an element the handlers of its kind; the page background is no element.
  void AttachElement(report::TPRItem& item);
  // Gives the four resize handles their handlers.
  void AttachHandles();

  const DragState& Drag() const { return drag_; }
  // Puts the ruler markers around an element again when they are shown (after it moved or was
  // resized by any means), so that no frame stays where the element is not.
  void FollowWithMarkers(const report::TPRItem& item);

  // A left press on an element with a property window: where that window is filled.
  std::function<void(report::TPRItem&)> OnPressed;
  // A text field's handle was released: the text field window fits its editor to the new size.
  std::function<void(const MemoGeometry&)> OnMemoFitted;

 private:
  // Text lines, text fields, rectangles and pictures each have handlers of their own.
  using Kind = ElementMenu;

  void Press(report::TPRItem& item, Kind kind, ui::TMouseButton button, int x, int y);
  // The armed click at a point of the page, wherever it landed.
  void CreateAt(int pageX, int pageY);
  void Move(report::TPRItem& item, Kind kind, int x, int y);
  void Release(report::TPRItem& item);
  // Ends the pressed look of another element of the same kind the mouse has left.
  void LeavePressedElement(report::TPRItem& item, Kind kind);
  void ShowMarkers(const report::TPRItem& item);
  void ShowHandles();

  // Held: pressed last, and its size cursor still shows.
  bool HandleHeld(Corner corner) const;
  void HandlePress(Corner corner, int x, int y);
  void HandleMove(Corner corner, int x, int y);
  void HandleRelease(Corner corner, int x, int y);
  // Gives the pressed element the bounds the handle's corner asks for when the mouse is at
  // (x, y) inside the handle; true when they changed.
  void FollowHandle(report::TPRItem& element, Corner corner, int x, int y);

  // The screen cursor, default without a platform.
  ui::TCursor Cursor() const;
  void SetCursor(ui::TCursor cursor);
  bool CreationArmed() const { return Cursor() == ui::crUpArrow; }
  void ProcessMessages();

  EditingSurface& window_;
  DragState drag_;
  // The handle pressed last; its drag lasts while its size cursor shows.
  const ui::Control* pressedHandle_ = nullptr;
};

}  // namespace quirabel::designer
