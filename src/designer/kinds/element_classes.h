#pragma once

// The classes of the element kinds, for the registry in element_kinds.cpp, and what they share.
// A new kind is a file of its own beside these and one line here and in the registry.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "designer/element_kinds.h"
#include "designer/projectfile/file_text.h"

namespace quirabel::designer::kinds {

const ElementClass& RectClass();
const ElementClass& LabelClass();
const ElementClass& TextClass();
const ElementClass& JpegClass();
const ElementClass& BitmapClass();
const ElementClass& CodeClass();
const ElementClass& EllipseClass();

// A text of a page text (Windows-1252) as UTF-8.
inline std::string FromFile(std::string_view bytes) { return projectfile::FromFileText(bytes); }

// The font colour as stored: values past the colour range keep the element's default.
template <class Element>
void SetStoredFontColor(Element& element, std::uint32_t color) {
  if (color <= 0x0FFFFFFF) element.SetFontColor(color);
}

// A number of an element's settings (ElementClass::Settings).
inline void AppendSetting(std::string& settings, double value) {
  settings += std::to_string(value);
  settings += ',';
}

// The font settings text lines and text fields share.
template <class TextElement>
void AppendFontSettings(std::string& settings, const TextElement& text) {
  AppendSetting(settings, static_cast<int>(text.FontName()));
  AppendSetting(settings, text.FontSize());
  AppendSetting(settings, text.FontBold());
  AppendSetting(settings, text.FontItalic());
  AppendSetting(settings, text.FontColor());
  AppendSetting(settings, text.CharSpace());
}

// The one data field a record names; none when it names none.
inline std::vector<std::string> StoredDataField(std::string_view dataField) {
  if (dataField.empty()) return {};
  return {FromFile(dataField)};
}

// An element's place and size from its record.
template <class Record>
void PlaceAsStored(report::TPRItem& item, const Record& r) {
  item.SetBounds(r.left, r.top, r.width, r.height);
}

// A height change makes an element lay itself out anew.
inline void LayOutAnew(report::TPRItem& item) {
  const int height = item.Height();
  item.SetHeight(height + 1);
  item.SetHeight(height);
}

}  // namespace quirabel::designer::kinds
