// Text lines: one line of text in a font, aligned, or the marker of a data field.
#include "designer/kinds/element_classes.h"
#include "report/pr_labels.h"

namespace quirabel::designer::kinds {

namespace pf = projectfile;

namespace {

class Label final : public ElementClass {
 public:
  Label()
      : ElementClass({ElementKind::Label,
                      "PRLabel",
                      "label",
                      ElementMenu::Label,
                      true,
                      {0, 5, 5},
                      "Textzeile",
                      "label"}) {}

  report::TPRItem* Make(ui::Component* owner) const override { return new report::TPRLabel(owner); }

  pf::ElementBlock Store(const report::TPRItem& item) const override {
    const auto& l = static_cast<const report::TPRLabel&>(item);
    pf::ElementBlock block;
    block.kind = ElementKind::Label;
    block.record = pf::LabelRecord{pf::ToFileText(l.Name()),
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
    return block;
  }

  // A text line with a data field shows the field's marker "<name>".
  report::TPRItem* Restore(const pf::ElementBlock& block, const graphics::Picture&,
                           ui::Component* owner) const override {
    const auto& r = std::get<pf::LabelRecord>(block.record);
    auto* label = new report::TPRLabel(owner);
    label->SetName(FromFile(r.name));
    label->SetFontName(static_cast<report::TPRFontName>(r.fontName));
    label->SetAlignment(static_cast<pdf::TAlignment>(r.alignment));
    label->SetFontSize(r.fontSize);
    SetStoredFontColor(*label, r.fontColor);
    label->SetFontBold(r.fontBold);
    label->SetFontItalic(r.fontItalic);
    label->SetCharSpace(r.charSpace);
    PlaceAsStored(*label, r);
    label->SetCaption(FromFile(r.text));
    if (!r.dataField.empty()) {
      label->Setdbfieldname(FromFile(r.dataField));
      label->SetCaption(DataFieldMarker(FromFile(r.dataField)));
    }
    return label;
  }

  ElementText Text(const report::TPRItem& item) const override {
    const auto& label = static_cast<const report::TPRLabel&>(item);
    return {label.Caption(), label.dbfieldname()};
  }

  std::vector<std::string> DataFields(const pf::ElementBlock& block) const override {
    return StoredDataField(std::get<pf::LabelRecord>(block.record).dataField);
  }

  void FillDataField(report::TPRItem& item, std::string_view cell) const override {
    static_cast<report::TPRLabel&>(item).SetCaption(std::string(cell));
  }

  std::string Settings(const report::TPRItem& item) const override {
    const auto& label = static_cast<const report::TPRLabel&>(item);
    std::string settings;
    AppendFontSettings(settings, label);
    AppendSetting(settings, static_cast<int>(label.Alignment()));
    return settings + label.dbfieldname();
  }

  bool BindDataField(report::TPRItem& item, std::string_view name) const override {
    auto& label = static_cast<report::TPRLabel&>(item);
    label.Setdbfieldname(std::string(name));
    label.SetCaption(DataFieldMarker(name));
    return true;
  }

  void ShowPressed(report::TPRItem& item) const override {
    static_cast<report::TPRLabel&>(item).SetBColor(true);
  }

  void SetUpClicked(report::TPRItem& item, int left, int top) const override {
    item.SetBounds(left, top, 100, 17);
    item.SetCaption("Text Label");
  }

  bool LeftWhilePressed(report::TPRItem& item) const override {
    auto& label = static_cast<report::TPRLabel&>(item);
    label.SetTransparent(true);
    label.Invalidate();
    return false;
  }

  bool Released(report::TPRItem& item) const override {
    LayOutAnew(item);
    return false;
  }

  void CheckInks(const report::TPRItem& item, int, graphics::InkFlags& inks,
                 const std::function<void()>&) const override {
    inks.TestColor(static_cast<const report::TPRLabel&>(item).FontColor());
  }
};

}  // namespace

const ElementClass& LabelClass() {
  static const Label label;
  return label;
}

}  // namespace quirabel::designer::kinds
