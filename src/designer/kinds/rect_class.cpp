// Rectangles: a fill and a line colour, a line width.
#include "designer/kinds/element_classes.h"
#include "report/pr_shapes.h"

namespace quirabel::designer::kinds {

namespace pf = projectfile;

namespace {

class Rect final : public ElementClass {
 public:
  Rect()
      : ElementClass({ElementKind::Rect,
                      "PRRect",
                      "rect",
                      ElementMenu::Rect,
                      true,
                      {2, 2, 2},
                      "Rechteck",
                      "Rect"}) {}

  report::TPRItem* Make(ui::Component* owner) const override { return new report::TPRRect(owner); }

  pf::ElementBlock Store(const report::TPRItem& item) const override {
    const auto& r = static_cast<const report::TPRRect&>(item);
    pf::ElementBlock block;
    block.kind = ElementKind::Rect;
    block.record = pf::RectRecord{pf::ToFileText(r.Name()),
                                  r.FillColor(),
                                  r.LineColor(),
                                  r.Top(),
                                  r.Left(),
                                  r.Height(),
                                  r.Width(),
                                  r.LineWidth()};
    return block;
  }

  report::TPRItem* Restore(const pf::ElementBlock& block, const graphics::Picture&,
                           ui::Component* owner) const override {
    const auto& r = std::get<pf::RectRecord>(block.record);
    auto* rect = new report::TPRRect(owner);
    rect->SetName(FromFile(r.name));
    rect->SetFillColor(r.fillColor);
    rect->SetLineColor(r.lineColor);
    PlaceAsStored(*rect, r);
    rect->SetLineWidth(r.lineWidth);
    return rect;
  }

  std::string Settings(const report::TPRItem& item) const override {
    const auto& rect = static_cast<const report::TPRRect&>(item);
    std::string settings;
    AppendSetting(settings, rect.LineWidth());
    AppendSetting(settings, rect.LineColor());
    AppendSetting(settings, rect.FillColor());
    return settings;
  }

  void SetUpClicked(report::TPRItem& item, int left, int top) const override {
    auto& rect = static_cast<report::TPRRect&>(item);
    rect.SetBounds(left, top, 100, 50);
    rect.SetLineColor(graphics::clBlack);
    rect.SetFillColor(graphics::clRed);
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
                 const std::function<void()>& counted) const override {
    const auto& rect = static_cast<const report::TPRRect&>(item);
    inks.TestColor(rect.FillColor());
    counted();
    inks.TestColor(rect.LineColor());
  }
};

}  // namespace

const ElementClass& RectClass() {
  static const Rect rect;
  return rect;
}

}  // namespace quirabel::designer::kinds
