#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "designer/memo_geometry.h"
#include "designer/projectfile/page_text.h"
#include "graphics/ink.h"
#include "graphics/picture.h"
#include "report/element_kind.h"
#include "report/pr_item.h"

namespace quirabel::designer {

// What the designer knows of each kind of page element: one class per kind (designer/kinds/)
// says the prefix of its component names, how it is made, how it goes into its block of a page
// text and comes back, which popup menu and property window it has, how it is described in
// lists, how a data field fills it and which inks it needs.

using report::ElementKind;

// The popup menus of the elements, which are also their families of mouse handling: text lines,
// text fields, rectangles and pictures (bitmap or JPEG).
enum class ElementMenu { Label, Text, Rect, Image };

// Where the ruler markers of a chosen element stand: the gap to its edges (above, below, left),
// the gap of the right marker, and how far the markers above and below reach past its width.
struct MarkerLayout {
  int gap;
  int rightGap;
  int extra;
};

struct ElementType {
  ElementKind kind;
  // The start of its component names: "PRRect", "PRLabel", "PRText", "PRJpegImage", "PRImage",
  // "PRCode".
  std::string_view prefix;
  // The word lists use for it ("rect", "label", "text", "jpeg", "bitmap", "code").
  std::string_view key;
  ElementMenu menu;
  // Text lines, text fields and rectangles have a property window; pictures do not. The
  // application opens the window it registered for the kind's menu (see PropertyWindowOf).
  bool hasProperties;
  MarkerLayout markers;
  // The word the status bar names it by ("Textzeile", "Textfeld", "Rechteck", "Bild").
  std::string_view word = {};
  // The creation mode that places it with a click on the page ("label", "memo", "Rect"); empty
  // for kinds placed otherwise (pictures come from files).
  std::string_view clickMode = {};
  // What a component name contains when it is one of this kind's, where that is less than the
  // prefix ("PRJpeg"); empty: the prefix.
  std::string_view nameMark = {};
};

// The text an element shows and the data field it is filled from; both empty for rectangles and
// pictures.
struct ElementText {
  std::string text;
  std::string dataField;
};

// The behaviour of one kind of element. The items themselves (report/) know how they print and
// paint; this is what the designer does with them.
class ElementClass {
 public:
  explicit ElementClass(const ElementType& type) : type_(type) {}
  virtual ~ElementClass() = default;
  ElementClass(const ElementClass&) = delete;
  ElementClass& operator=(const ElementClass&) = delete;

  const ElementType& Type() const { return type_; }
  // A new element, owned by `owner`, with the defaults of its class.
  virtual report::TPRItem* Make(ui::Component* owner) const = 0;
  // The element as its block of a page text.
  virtual projectfile::ElementBlock Store(const report::TPRItem& item) const = 0;
  // A new element from its block; a picture comes read already.
  virtual report::TPRItem* Restore(const projectfile::ElementBlock& block,
                                   const graphics::Picture& picture,
                                   ui::Component* owner) const = 0;
  virtual ElementText Text(const report::TPRItem&) const { return {}; }
  // A row's cell into the element's data field; kinds without one stay as they are.
  virtual void FillDataField(report::TPRItem&, std::string_view) const {}
  // The data fields a row fills in the element: its one data field, or the markers of a code's
  // content.
  virtual std::vector<std::string> DataFields(const report::TPRItem& item) const {
    std::string field = Text(item).dataField;
    if (field.empty()) return {};
    return {std::move(field)};
  }
  // The same, read from the element's block without building it.
  virtual std::vector<std::string> DataFields(const projectfile::ElementBlock&) const {
    return {};
  }
  // A row's cell into one of the element's data fields.
  virtual void FillField(report::TPRItem& item, const std::string& /*field*/,
                         std::string_view cell) const {
    FillDataField(item, cell);
  }
  // The mouse moved onto another element of the family while this one was pressed: it shows as
  // not pressed again. True when that ends the drag.
  virtual bool LeftWhilePressed(report::TPRItem&) const { return false; }
  // The mouse let go of the element after a press. True when the resize handles follow it.
  virtual bool Released(report::TPRItem&) const { return true; }
  // Tests the element's colours for the ink check; `counted` after each colour but the last.
  virtual void CheckInks(const report::TPRItem& item, int number, graphics::InkFlags& inks,
                         const std::function<void()>& counted) const = 0;
  // What its property window sets, as one text: when it differs after a change in the window,
  // the change is an edit of the page. Empty for kinds without settings of their own.
  virtual std::string Settings(const report::TPRItem&) const { return {}; }
  // Binds the element to a data field: it keeps the field's name and shows its marker "<name>".
  // False for kinds without a data field, which stay as they are.
  virtual bool BindDataField(report::TPRItem&, std::string_view) const { return false; }
  // An element just placed by a click at a point of the page takes its first size and content.
  virtual void SetUpClicked(report::TPRItem&, int, int) const {}
  // The editing area its property window fits to the element after a resize; none for kinds
  // whose window has no such area.
  virtual std::optional<MemoGeometry> EditorFit(const report::TPRItem&) const {
    return std::nullopt;
  }
  // The picture an element shows, for a copy of it; none for kinds without one.
  virtual const graphics::Picture* PictureOf(const report::TPRItem&) const { return nullptr; }
  // The element was pressed with the mouse: it shows as pressed.
  virtual void ShowPressed(report::TPRItem&) const {}

 private:
  ElementType type_;
};

// The class of a kind, and of an element.
const ElementClass& ClassOf(ElementKind kind);
// Every registered class, in the order of ElementKind.
std::span<const ElementClass* const> ElementClasses();
// Whether the elements of a popup menu have a property window.
bool MenuHasProperties(ElementMenu menu);
inline const ElementClass& ClassOf(const report::TPRItem& item) { return ClassOf(item.Kind()); }

inline const ElementType& TypeOf(ElementKind kind) { return ClassOf(kind).Type(); }
inline const ElementType& TypeOf(const report::TPRItem& item) { return TypeOf(item.Kind()); }
inline std::string_view ElementPrefix(ElementKind kind) { return TypeOf(kind).prefix; }
// The kind a component name stands for, by the name mark it contains (the first such kind in
// the registry); none for other names.
std::optional<ElementKind> ElementKindOfName(std::string_view name);

// A new element of a kind, owned by `owner`, with the defaults of its class.
report::TPRItem* MakeElement(ElementKind kind, ui::Component* owner);

// The element as a block of its page text. Texts go into the file as Windows-1252, with the tags
// of the format in typed texts defused.
projectfile::ElementBlock StoreElement(const report::TPRItem& item);
// A new element, owned by `owner`, made from a block of a page text; pictures come read already.
// A text line with a data field shows the field's marker "<name>".
report::TPRItem* RestoreElement(const projectfile::ElementBlock& block,
                                const graphics::Picture& picture, ui::Component* owner);

inline ElementText TextOf(const report::TPRItem& item) { return ClassOf(item).Text(item); }
// Puts a row's cell into an element with a data field: the caption of a text line, the lines of
// a text field; other kinds have no data field and stay as they are.
inline void FillDataField(report::TPRItem& item, std::string_view cell) {
  ClassOf(item).FillDataField(item, cell);
}
inline std::vector<std::string> DataFieldsOf(const report::TPRItem& item) {
  return ClassOf(item).DataFields(item);
}
inline std::vector<std::string> DataFieldsOf(const projectfile::ElementBlock& block) {
  return ClassOf(block.kind).DataFields(block);
}
// The data fields of every element of a page as stored, in the order of the elements.
std::vector<std::string> DataFieldsOf(const projectfile::PageText& page);
inline void FillField(report::TPRItem& item, const std::string& field, std::string_view cell) {
  ClassOf(item).FillField(item, field, cell);
}

// The text a data field shows in the element bound to it: its name between angle brackets.
inline std::string DataFieldMarker(std::string_view name) { return "<" + std::string(name) + ">"; }

// A text as it may go into a page text: Windows-1252, and a tag of the format inside it has its
// '<' turned into the look-alike '‹', so it cannot end a field early when the page is read.
std::string TypedText(std::string_view utf8);

// Whether a text line's text fits its place in the project file (250 bytes of Windows-1252, where
// a character beyond it takes up to ten as a numeric reference). A longer one would be cut when
// the page is stored, so it is not taken in the first place.
bool CaptionFitsFile(std::string_view utf8);

}  // namespace quirabel::designer
