#include "report/pr_item.h"

#include "ui/errors.h"

namespace quirabel::report {

TPRItem::TPRItem(ui::Component* owner) : ui::Control(owner) {
  SetColor(graphics::clWindow);
  SetBounds(0, 0, 100, 30);
}

ui::Control* TPRItem::ValidateParent(ui::Control* parent) {
  if (parent == nullptr || dynamic_cast<TPRPanel*>(parent) != nullptr) {
    return ResolveGridParent(parent);
  }
  throw ui::EInvalidOperation("this component must set on TPRPanel");
}

void TPRItem::Print(TPRCanvas& /*canvas*/, const ui::TRect& /*rect*/) {}

pdf::TPdfCanvas* TPRItem::MeasuringCanvas() const {
  TPRPage* page = Page();
  return page != nullptr ? &page->MeasuringCanvas() : nullptr;
}

TPRItem* AsItem(ui::Control* control) { return dynamic_cast<TPRItem*>(control); }
const TPRItem* AsItem(const ui::Control* control) { return dynamic_cast<const TPRItem*>(control); }

}  // namespace quirabel::report
