#pragma once

// What the kinds drawn as a shape (rectangle, ellipse) share: a fill and a line colour, a line
// width, the rectangle's record and its property window. A shape kind names its item class and
// its type; everything else is here.

#include "designer/kinds/element_classes.h"
#include "report/pr_shapes.h"

namespace quirabel::designer::kinds {

template <class Item>
class ShapeClass final : public ElementClass {
 public:
  explicit ShapeClass(const ElementType& type) : ElementClass(type) {}

  report::TPRItem* Make(ui::Component* owner) const override { return new Item(owner); }

  projectfile::ElementBlock Store(const report::TPRItem& item) const override {
    const auto& r = static_cast<const Item&>(item);
    projectfile::ElementBlock block;
    block.kind = Type().kind;
    block.record = projectfile::RectRecord{projectfile::ToFileText(r.Name()),
                                           r.FillColor(),
                                           r.LineColor(),
                                           r.Top(),
                                           r.Left(),
                                           r.Height(),
                                           r.Width(),
                                           r.LineWidth()};
    return block;
  }

  report::TPRItem* Restore(const projectfile::ElementBlock& block, const graphics::Picture&,
                           ui::Component* owner) const override {
    const auto& r = std::get<projectfile::RectRecord>(block.record);
    auto* shape = new Item(owner);
    shape->SetName(FromFile(r.name));
    shape->SetFillColor(r.fillColor);
    shape->SetLineColor(r.lineColor);
    PlaceAsStored(*shape, r);
    shape->SetLineWidth(r.lineWidth);
    return shape;
  }

  std::string Settings(const report::TPRItem& item) const override {
    const auto& shape = static_cast<const Item&>(item);
    std::string settings;
    AppendSetting(settings, shape.LineWidth());
    AppendSetting(settings, shape.LineColor());
    AppendSetting(settings, shape.FillColor());
    return settings;
  }

  void SetUpClicked(report::TPRItem& item, int left, int top) const override {
    auto& shape = static_cast<Item&>(item);
    shape.SetBounds(left, top, 100, 50);
    shape.SetLineColor(graphics::clBlack);
    shape.SetFillColor(graphics::clRed);
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
    const auto& shape = static_cast<const Item&>(item);
    inks.TestColor(shape.FillColor());
    counted();
    inks.TestColor(shape.LineColor());
  }
};

}  // namespace quirabel::designer::kinds
