// Text fields: lines of text in a font with a leading, or filled from a data field.
#include "designer/kinds/element_classes.h"
#include "report/pr_labels.h"

namespace quirabel::designer::kinds {

namespace pf = projectfile;

namespace {

class TextField final : public ElementClass {
 public:
  TextField()
      : ElementClass({ElementKind::Text,
                      "PRText",
                      "text",
                      ElementMenu::Text,
                      true,
                      {0, 5, 5},
                      "Textfeld",
                      "memo"}) {}

  report::TPRItem* Make(ui::Component* owner) const override { return new report::TPRText(owner); }

  pf::ElementBlock Store(const report::TPRItem& item) const override {
    const auto& t = static_cast<const report::TPRText&>(item);
    pf::ElementBlock block;
    block.kind = ElementKind::Text;
    block.record = pf::TextRecord{pf::ToFileText(t.Name()),
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
    return block;
  }

  report::TPRItem* Restore(const pf::ElementBlock& block, const graphics::Picture&,
                           ui::Component* owner) const override {
    const auto& r = std::get<pf::TextRecord>(block.record);
    auto* text = new report::TPRText(owner);
    text->SetName(FromFile(r.name));
    text->SetFontName(static_cast<report::TPRFontName>(r.fontName));
    text->SetFontSize(r.fontSize);
    SetStoredFontColor(*text, r.fontColor);
    text->SetFontBold(r.fontBold);
    text->SetFontItalic(r.fontItalic);
    text->SetCharSpace(r.charSpace);
    PlaceAsStored(*text, r);
    std::vector<std::string> lines;
    for (const auto& line : pf::DecodeTextLines(block.data)) lines.push_back(FromFile(line));
    text->SetLines(std::move(lines));
    text->SetLeading(r.leading);
    if (!r.dataField.empty()) text->Setdbfieldname(FromFile(r.dataField));
    return text;
  }

  std::vector<std::string> DataFields(const pf::ElementBlock& block) const override {
    return StoredDataField(std::get<pf::TextRecord>(block.record).dataField);
  }

  ElementText Text(const report::TPRItem& item) const override {
    const auto& text = static_cast<const report::TPRText&>(item);
    return {text.Text(), text.dbfieldname()};
  }

  void FillDataField(report::TPRItem& item, std::string_view cell) const override {
    static_cast<report::TPRText&>(item).SetText(cell);
  }

  std::string Settings(const report::TPRItem& item) const override {
    const auto& text = static_cast<const report::TPRText&>(item);
    std::string settings;
    AppendFontSettings(settings, text);
    AppendSetting(settings, text.Leading());
    return settings + text.dbfieldname() + '|' + text.Text();
  }

  bool BindDataField(report::TPRItem& item, std::string_view name) const override {
    auto& text = static_cast<report::TPRText&>(item);
    text.Setdbfieldname(std::string(name));
    text.SetText(DataFieldMarker(name));
    return true;
  }

  void ShowPressed(report::TPRItem& item) const override {
    static_cast<report::TPRText&>(item).SetBColor(true);
  }

  void SetUpClicked(report::TPRItem& item, int left, int top) const override {
    item.SetBounds(left, top, 200, 100);
    static_cast<report::TPRText&>(item).SetText("Text Feld:\rDoppelklick für Eigenschaften..");
  }

  std::optional<MemoGeometry> EditorFit(const report::TPRItem& item) const override {
    const auto& text = static_cast<const report::TPRText&>(item);
    return CreateMemo(text.Width(), text.Height(), text.FontName(), text.FontBold(),
                      text.FontItalic());
  }

  bool LeftWhilePressed(report::TPRItem& item) const override {
    auto& text = static_cast<report::TPRText&>(item);
    text.SetColor(graphics::clWhite);
    text.SetBColor(false);
    text.Invalidate();
    return true;
  }

  bool Released(report::TPRItem& item) const override {
    item.SetColor(graphics::clWhite);
    static_cast<report::TPRText&>(item).SetBColor(false);
    return true;
  }

  void CheckInks(const report::TPRItem& item, int, graphics::InkFlags& inks,
                 const std::function<void()>&) const override {
    inks.TestColor(static_cast<const report::TPRText&>(item).FontColor());
  }
};

}  // namespace

const ElementClass& TextClass() {
  static const TextField text;
  return text;
}

}  // namespace quirabel::designer::kinds
