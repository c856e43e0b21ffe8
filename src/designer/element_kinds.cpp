#include "designer/element_kinds.h"

#include <array>

#include "designer/projectfile/file_text.h"
#include "report/pr_images.h"
#include "report/pr_labels.h"
#include "report/pr_shapes.h"

namespace quirabel::designer {

namespace pf = projectfile;

namespace {

// In the order of ElementKind.
constexpr std::array<ElementType, 5> kTypes = {{
    {ElementKind::Rect, "PRRect", "rect", ElementMenu::Rect, true},
    {ElementKind::Label, "PRLabel", "label", ElementMenu::Label, true},
    {ElementKind::Text, "PRText", "text", ElementMenu::Text, true},
    {ElementKind::Jpeg, "PRJpegImage", "jpeg", ElementMenu::Image, false},
    {ElementKind::Bitmap, "PRImage", "bitmap", ElementMenu::Image, false},
}};

std::string Text(std::string_view bytes) { return pf::FromFileText(bytes); }

// The font colour as stored: values past the colour range keep the element's default.
template <class Element>
void SetStoredFontColor(Element& element, std::uint32_t color) {
  if (color <= 0x0FFFFFFF) element.SetFontColor(color);
}

template <class Record>
void Place(report::TPRItem& item, const Record& r) {
  item.SetBounds(r.left, r.top, r.width, r.height);
}

}  // namespace

const ElementType& TypeOf(ElementKind kind) { return kTypes[static_cast<std::size_t>(kind)]; }

std::optional<ElementKind> ElementKindOfName(std::string_view name) {
  // "PRJpeg" before "PRImage": the names are told apart by what they contain.
  if (name.find("PRJpeg") != std::string_view::npos) return ElementKind::Jpeg;
  if (name.find("PRImage") != std::string_view::npos) return ElementKind::Bitmap;
  if (name.find("PRLabel") != std::string_view::npos) return ElementKind::Label;
  if (name.find("PRText") != std::string_view::npos) return ElementKind::Text;
  if (name.find("PRRect") != std::string_view::npos) return ElementKind::Rect;
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

report::TPRItem* MakeElement(ElementKind kind, ui::Component* owner) {
  switch (kind) {
    case ElementKind::Rect:
      return new report::TPRRect(owner);
    case ElementKind::Label:
      return new report::TPRLabel(owner);
    case ElementKind::Text:
      return new report::TPRText(owner);
    case ElementKind::Jpeg:
      return new report::TPRJpegImage(owner);
    case ElementKind::Bitmap:
      return new report::TPRImage(owner);
  }
  return nullptr;
}

pf::ElementBlock StoreElement(const report::TPRItem& item) {
  pf::ElementBlock block;
  block.kind = item.Kind();
  const std::string name = pf::ToFileText(item.Name());
  switch (item.Kind()) {
    case ElementKind::Rect: {
      const auto& r = static_cast<const report::TPRRect&>(item);
      block.record = pf::RectRecord{name,     r.FillColor(), r.LineColor(), r.Top(),
                                    r.Left(), r.Height(),    r.Width(),     r.LineWidth()};
      break;
    }
    case ElementKind::Label: {
      const auto& l = static_cast<const report::TPRLabel&>(item);
      block.record = pf::LabelRecord{name,
                                     pf::ToFileText(l.dbfieldname()),
                                     static_cast<std::uint8_t>(l.FontName()),
                                     static_cast<std::uint8_t>(l.Alignment()),
                                     l.FontSize(),
                                     l.FontColor(),
                                     l.FontBold(),
                                     l.FontItalic(),
                                     l.CharSpace(),
                                     l.Top(),
                                     l.Left(),
                                     l.Height(),
                                     l.Width(),
                                     pf::ToFileText(l.Caption())};
      break;
    }
    case ElementKind::Text: {
      const auto& t = static_cast<const report::TPRText&>(item);
      block.record = pf::TextRecord{name,
                                    pf::ToFileText(t.dbfieldname()),
                                    static_cast<std::uint8_t>(t.FontName()),
                                    t.FontSize(),
                                    t.FontColor(),
                                    t.FontBold(),
                                    t.FontItalic(),
                                    t.CharSpace(),
                                    t.Top(),
                                    t.Left(),
                                    t.Height(),
                                    t.Width(),
                                    t.Leading()};
      block.data = pf::EncodeTextLines(TypedText(t.Text()));
      break;
    }
    case ElementKind::Jpeg:
    case ElementKind::Bitmap: {
      const auto& i = static_cast<const report::TPRImage&>(item);
      block.record = pf::ImageRecord{name, i.Color(), i.Top(), i.Left(), i.Height(), i.Width()};
      block.data = i.Picture().SaveToBytes();
      break;
    }
  }
  return block;
}

report::TPRItem* RestoreElement(const pf::ElementBlock& block, const graphics::Picture& picture,
                                ui::Component* owner) {
  switch (block.kind) {
    case ElementKind::Label: {
      const auto& r = std::get<pf::LabelRecord>(block.record);
      auto* label = new report::TPRLabel(owner);
      label->SetName(Text(r.name));
      label->SetFontName(static_cast<report::TPRFontName>(r.fontName));
      label->SetAlignment(static_cast<pdf::TAlignment>(r.alignment));
      label->SetFontSize(r.fontSize);
      SetStoredFontColor(*label, r.fontColor);
      label->SetFontBold(r.fontBold);
      label->SetFontItalic(r.fontItalic);
      label->SetCharSpace(r.charSpace);
      Place(*label, r);
      label->SetCaption(Text(r.text));
      if (!r.dataField.empty()) {
        label->Setdbfieldname(Text(r.dataField));
        label->SetCaption("<" + Text(r.dataField) + ">");
      }
      return label;
    }
    case ElementKind::Rect: {
      const auto& r = std::get<pf::RectRecord>(block.record);
      auto* rect = new report::TPRRect(owner);
      rect->SetName(Text(r.name));
      rect->SetFillColor(r.fillColor);
      rect->SetLineColor(r.lineColor);
      Place(*rect, r);
      rect->SetLineWidth(r.lineWidth);
      return rect;
    }
    case ElementKind::Text: {
      const auto& r = std::get<pf::TextRecord>(block.record);
      auto* text = new report::TPRText(owner);
      text->SetName(Text(r.name));
      text->SetFontName(static_cast<report::TPRFontName>(r.fontName));
      text->SetFontSize(r.fontSize);
      SetStoredFontColor(*text, r.fontColor);
      text->SetFontBold(r.fontBold);
      text->SetFontItalic(r.fontItalic);
      text->SetCharSpace(r.charSpace);
      Place(*text, r);
      std::vector<std::string> lines;
      for (const auto& line : pf::DecodeTextLines(block.data)) lines.push_back(Text(line));
      text->SetLines(std::move(lines));
      text->SetLeading(r.leading);
      if (!r.dataField.empty()) text->Setdbfieldname(Text(r.dataField));
      return text;
    }
    case ElementKind::Jpeg:
    case ElementKind::Bitmap: {
      const auto& r = std::get<pf::ImageRecord>(block.record);
      report::TPRImage* image = block.kind == ElementKind::Jpeg ? new report::TPRJpegImage(owner)
                                                                : new report::TPRImage(owner);
      image->SetName(Text(r.name));
      image->SetPicture(picture);
      Place(*image, r);
      return image;
    }
  }
  return nullptr;
}

ElementText TextOf(const report::TPRItem& item) {
  switch (item.Kind()) {
    case ElementKind::Label: {
      const auto& label = static_cast<const report::TPRLabel&>(item);
      return {label.Caption(), label.dbfieldname()};
    }
    case ElementKind::Text: {
      const auto& text = static_cast<const report::TPRText&>(item);
      return {text.Text(), text.dbfieldname()};
    }
    case ElementKind::Rect:
    case ElementKind::Jpeg:
    case ElementKind::Bitmap:
      break;
  }
  return {};
}

void FillDataField(report::TPRItem& item, std::string_view cell) {
  switch (item.Kind()) {
    case ElementKind::Label:
      static_cast<report::TPRLabel&>(item).SetCaption(std::string(cell));
      break;
    case ElementKind::Text:
      static_cast<report::TPRText&>(item).SetText(cell);
      break;
    case ElementKind::Rect:
    case ElementKind::Jpeg:
    case ElementKind::Bitmap:
      break;
  }
}

}  // namespace quirabel::designer
