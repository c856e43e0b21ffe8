#pragma once

#include "pdf/pdf_canvas.h"
#include "report/element_kind.h"
#include "report/pr_panels.h"

namespace quirabel::report {

// The base of every element: a control without a window of its own that prints itself.
class TPRItem : public ui::Control, public PrintableControl {
 public:
  explicit TPRItem(ui::Component* owner = nullptr);
  std::string ClassName() const override { return "TPRItem"; }
  // Which of the five kinds of element this is.
  virtual ElementKind Kind() const = 0;

  bool Printable() const { return printable_; }
  void SetPrintable(bool value) { printable_ = value; }
  bool IsPrintable() const override { return printable_; }
  void Print(TPRCanvas& canvas, const ui::TRect& rect) override;

  // The page the element sits on, and that page's measuring canvas; none off a page.
  TPRPage* Page() const { return PageOf(*this); }
  pdf::TPdfCanvas* MeasuringCanvas() const;

 protected:
  // Elements sit on panels only (a grid panel passes them to its child panel).
  ui::Control* ValidateParent(ui::Control* parent) override;

 private:
  bool printable_ = true;
};

// The element a control is, none for any other control.
TPRItem* AsItem(ui::Control* control);
const TPRItem* AsItem(const ui::Control* control);

}  // namespace quirabel::report
