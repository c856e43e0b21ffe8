#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "designer/projectfile/page_text.h"
#include "graphics/picture.h"
#include "report/element_kind.h"
#include "report/pr_item.h"

namespace quirabel::designer {

// What the designer knows of each kind of page element, in one place: the prefix of its
// component names, how it is made, how it goes into its block of a page text and comes back,
// which popup menu and property window it has, and how it is described in lists.

using report::ElementKind;

// The popup menus of the elements, which are also their families of mouse handling: text lines,
// text fields, rectangles and pictures (bitmap or JPEG).
enum class ElementMenu { Label, Text, Rect, Image };

struct ElementType {
  ElementKind kind;
  // The start of its component names: "PRRect", "PRLabel", "PRText", "PRJpegImage", "PRImage".
  std::string_view prefix;
  // The word lists use for it ("rect", "label", "text", "jpeg", "bitmap").
  std::string_view key;
  ElementMenu menu;
  // Text lines, text fields and rectangles have a property window; pictures do not.
  bool hasProperties;
};

const ElementType& TypeOf(ElementKind kind);
inline const ElementType& TypeOf(const report::TPRItem& item) { return TypeOf(item.Kind()); }
inline std::string_view ElementPrefix(ElementKind kind) { return TypeOf(kind).prefix; }
// The kind a component name stands for, by the prefix it contains; none for other names.
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

// The text an element shows and the data field it is filled from; both empty for rectangles and
// pictures.
struct ElementText {
  std::string text;
  std::string dataField;
};
ElementText TextOf(const report::TPRItem& item);
// Puts a row's cell into an element with a data field: the caption of a text line, the lines of
// a text field; other kinds have no data field and stay as they are.
void FillDataField(report::TPRItem& item, std::string_view cell);

// A text as it may go into a page text: Windows-1252, and a tag of the format inside it has its
// '<' turned into the look-alike '‹', so it cannot end a field early when the page is read.
std::string TypedText(std::string_view utf8);

}  // namespace quirabel::designer
