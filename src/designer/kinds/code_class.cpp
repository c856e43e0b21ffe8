// QR codes and barcodes: a kind, an error correction, a colour and a content that may hold
// data-field markers.
#include "designer/kinds/element_classes.h"
#include "report/pr_code.h"

namespace quirabel::designer::kinds {

namespace pf = projectfile;

namespace {

class Code final : public ElementClass {
 public:
  Code()
      : ElementClass({ElementKind::Code,
                      "PRCode",
                      "code",
                      ElementMenu::Rect,
                      true,
                      {2, 2, 2},
                      "Code",
                      "code"}) {}

  report::TPRItem* Make(ui::Component* owner) const override {
    auto* code = new report::TPRCode(owner);
    code->SetContent("https://");
    return code;
  }

  pf::ElementBlock Store(const report::TPRItem& item) const override {
    const auto& c = static_cast<const report::TPRCode&>(item);
    pf::ElementBlock block;
    block.kind = ElementKind::Code;
    block.record = pf::CodeRecord{pf::ToFileText(c.Name()),
                                  c.Color(),
                                  c.Top(),
                                  c.Left(),
                                  c.Height(),
                                  c.Width(),
                                  static_cast<std::uint8_t>(c.CodeKind()),
                                  static_cast<std::uint8_t>(c.Correction())};
    block.data = SharedBytes(pf::EncodeCodeContent(c.Content()));
    return block;
  }

  report::TPRItem* Restore(const pf::ElementBlock& block, const graphics::Picture&,
                           ui::Component* owner) const override {
    const auto& r = std::get<pf::CodeRecord>(block.record);
    auto* code = new report::TPRCode(owner);
    code->SetName(FromFile(r.name));
    code->SetCodeKind(static_cast<graphics::CodeKind>(r.codeKind));
    code->SetCorrection(static_cast<graphics::QrErrorCorrection>(r.correction));
    code->SetColor(r.color);
    PlaceAsStored(*code, r);
    code->SetContent(pf::DecodeCodeContent(block.data.View()));
    return code;
  }

  // 25 mm square: a link or a short vCard reads with modules well above 0.25 mm.
  void SetUpClicked(report::TPRItem& item, int x, int y) const override {
    item.SetBounds(x, y, 71, 71);
  }

  std::string Settings(const report::TPRItem& item) const override {
    const auto& code = static_cast<const report::TPRCode&>(item);
    return std::to_string(static_cast<int>(code.CodeKind())) + ',' +
           std::to_string(static_cast<int>(code.Correction())) + ',' +
           std::to_string(code.Color()) + ',' + code.Content();
  }

  ElementText Text(const report::TPRItem& item) const override {
    return {static_cast<const report::TPRCode&>(item).Content(), {}};
  }

  std::vector<std::string> DataFields(const report::TPRItem& item) const override {
    return report::CodeFieldsOf(static_cast<const report::TPRCode&>(item).Content());
  }

  std::vector<std::string> DataFields(const pf::ElementBlock& block) const override {
    return report::CodeFieldsOf(pf::DecodeCodeContent(block.data.View()));
  }

  void FillField(report::TPRItem& item, const std::string& field,
                 std::string_view cell) const override {
    static_cast<report::TPRCode&>(item).SetFieldValue(field, std::string(cell));
  }

  bool LeftWhilePressed(report::TPRItem& item) const override {
    item.Invalidate();
    return false;
  }

  bool Released(report::TPRItem& item) const override {
    LayOutAnew(item);
    return false;
  }

  void CheckInks(const report::TPRItem& item, int, graphics::InkFlags& inks,
                 const std::function<void()>&) const override {
    inks.TestColor(static_cast<const report::TPRCode&>(item).Color());
  }
};

}  // namespace

const ElementClass& CodeClass() {
  static const Code code;
  return code;
}

}  // namespace quirabel::designer::kinds
