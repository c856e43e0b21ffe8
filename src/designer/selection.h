#pragma once

#include "report/pr_item.h"
#include "ui/component.h"

namespace quirabel::designer {

// What the mouse picked on the page: the element pressed last with the left button (the text
// windows edit it), the element pressed last with any button (the popup commands and the
// rectangle window act on it), and the picture whose menu was opened last. An element that is
// freed (deleted, or its page rebuilt) drops out by itself.
class Selection {
 public:
  report::TPRItem* Selected() const { return selected_.Get(); }
  report::TPRItem* Pressed() const { return pressed_.Get(); }
  report::TPRItem* ImageMenuTarget() const { return imageMenuTarget_.Get(); }

  // A press on an element: with the left button it is selected as well.
  void Press(report::TPRItem& element, bool left) {
    pressed_ = &element;
    if (left) selected_ = &element;
  }
  void SetPressed(report::TPRItem* element) { pressed_ = element; }
  void SetImageMenuTarget(report::TPRItem& image) { imageMenuTarget_ = &image; }
  void Clear() { *this = Selection(); }

 private:
  ui::ComponentRef<report::TPRItem> selected_;
  ui::ComponentRef<report::TPRItem> pressed_;
  ui::ComponentRef<report::TPRItem> imageMenuTarget_;
};

}  // namespace quirabel::designer
