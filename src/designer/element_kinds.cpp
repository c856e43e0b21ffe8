#include "designer/element_kinds.h"

#include <array>

#include "designer/kinds/element_classes.h"
#include "designer/projectfile/file_text.h"
#include "designer/projectfile/records.h"

namespace quirabel::designer {

namespace pf = projectfile;

std::span<const ElementClass* const> ElementClasses() {
  // The registry, in the order of ElementKind: one line per kind.
  static const std::array classes = {
      &kinds::RectClass(),   &kinds::LabelClass(), &kinds::TextClass(),    &kinds::JpegClass(),
      &kinds::BitmapClass(), &kinds::CodeClass(),  &kinds::EllipseClass(),
  };
  return classes;
}

const ElementClass& ClassOf(ElementKind kind) {
  return *ElementClasses()[static_cast<std::size_t>(kind)];
}

bool MenuHasProperties(ElementMenu menu) {
  for (const ElementClass* c : ElementClasses())
    if (c->Type().menu == menu && c->Type().hasProperties) return true;
  return false;
}

std::optional<ElementKind> ElementKindOfName(std::string_view name) {
  for (const ElementClass* c : ElementClasses()) {
    const ElementType& type = c->Type();
    const std::string_view mark = type.nameMark.empty() ? type.prefix : type.nameMark;
    if (name.find(mark) != std::string_view::npos) return type.kind;
  }
  return std::nullopt;
}

std::string TypedText(std::string_view utf8) {
  std::string bytes = pf::ToFileText(utf8);
  for (std::size_t pos = bytes.find('<'); pos != std::string::npos;
       pos = bytes.find('<', pos + 1)) {
    const std::string_view rest = std::string_view(bytes).substr(pos);
    if (rest.starts_with("</kx") || rest.starts_with("<kx") || rest.starts_with("<vs>") ||
        rest.starts_with("</endoffile>") || rest.starts_with("</VBL>") ||
        rest.starts_with("</HBL>") || rest.starts_with("</SVBL>") || rest.starts_with("</SHBL>")) {
      bytes[pos] = '\x8B';
    }
  }
  return bytes;
}

bool CaptionFitsFile(std::string_view utf8) {
  return TypedText(utf8).size() <= pf::kMaxCaptionLength;
}

report::TPRItem* MakeElement(ElementKind kind, ui::Component* owner) {
  return ClassOf(kind).Make(owner);
}

std::vector<std::string> DataFieldsOf(const pf::PageText& page) {
  std::vector<std::string> fields;
  for (const pf::ElementBlock& block : page.elements) {
    for (std::string& field : DataFieldsOf(block)) fields.push_back(std::move(field));
  }
  return fields;
}

pf::ElementBlock StoreElement(const report::TPRItem& item) { return ClassOf(item).Store(item); }

report::TPRItem* RestoreElement(const pf::ElementBlock& block, const graphics::Picture& picture,
                                ui::Component* owner) {
  return ClassOf(block.kind).Restore(block, picture, owner);
}

}  // namespace quirabel::designer
