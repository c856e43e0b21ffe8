#include "report/pr_panels.h"

#include "ui/errors.h"

namespace quirabel::report {

TPRPage* PageOf(const ui::Control& control) {
  for (ui::Control* c = control.Parent(); c != nullptr; c = c->Parent()) {
    if (auto* page = dynamic_cast<TPRPage*>(c)) return page;
  }
  return nullptr;
}

ui::Control* ResolveGridParent(ui::Control* parent) {
  if (auto* grid = dynamic_cast<TPRGridPanel*>(parent)) return &grid->ChildPanel();
  return parent;
}

TPRPage::TPRPage(ui::Component* owner)
    : ui::Control(owner), measuringDoc_(std::make_unique<pdf::TPdfDoc>()) {
  measuringCanvas_ = &measuringDoc_->CreateVirtualCanvas();
  SetColor(graphics::clBtnFace);
  SetBounds(0, 0, pdf::TPdfDoc::kDefaultPageWidth, pdf::TPdfDoc::kDefaultPageHeight);
}

TPRPage::~TPRPage() {
  // Children first: they may still ask for the measuring document while they go.
  while (!Controls().empty()) delete Controls().back();
}

void TPRPage::SetMargin(int& margin, int value) {
  if (value == margin || value < 0 || value >= Width() / 2) return;
  margin = value;
  AlignControls(AlignArea());
}

ui::TRect TPRPage::AlignArea() const {
  const ui::TRect client = ClientRect();
  return {client.left + marginLeft_, client.top + marginTop_, client.right - marginRight_,
          client.bottom - marginBottom_};
}

void TPRPage::Print(TPRCanvas& canvas) {
  pdf::TPdfCanvas& pdfCanvas = canvas.Pdf();
  pdfCanvas.SetPageWidth(Width());
  pdfCanvas.SetPageHeight(Height());
  if (OnPrintPage) OnPrintPage(*this, canvas);
  for (ui::Control* child : Controls()) {
    if (auto* panel = dynamic_cast<TPRPanel*>(child)) panel->Print(canvas, child->BoundsRect());
  }
}

void TPRPage::Paint(ui::Canvas& canvas) {
  canvas.brush = {graphics::clWhite, ui::TBrushStyle::bsSolid};
  canvas.FillRect(ClientRect());
}

TPRPanel::TPRPanel(ui::Component* owner) : ui::Control(owner) {
  SetColor(graphics::clWindow);
  SetBounds(0, 0, 185, 100);
}

ui::Control* TPRPanel::ValidateParent(ui::Control* parent) {
  if (parent == nullptr || dynamic_cast<TPRPanel*>(parent) != nullptr ||
      dynamic_cast<TPRPage*>(parent) != nullptr) {
    return ResolveGridParent(parent);
  }
  throw ui::EInvalidOperation("TPRPage can not set on " + parent->ClassName());
}

void TPRPanel::PrintChildren(TPRCanvas& canvas, const ui::TRect& rect) {
  for (ui::Control* child : Controls()) {
    auto* printable = dynamic_cast<PrintableControl*>(child);
    if (printable == nullptr || !printable->IsPrintable()) continue;  // handles, markers, ...
    printable->Print(canvas, child->BoundsRect().Offset(rect.left, rect.top));
  }
}

void TPRPanel::Print(TPRCanvas& canvas, const ui::TRect& rect) { PrintChildren(canvas, rect); }

void TPRPanel::Paint(ui::Canvas& canvas) {
  canvas.brush = {Color(), ui::TBrushStyle::bsSolid};
  canvas.FillRect(ClientRect());
}

TPRLayoutPanel::TPRLayoutPanel(ui::Component* owner) : TPRPanel(owner) {}

void TPRLayoutPanel::Print(TPRCanvas& canvas, const ui::TRect& rect) {
  if (BeforePrint) BeforePrint(*this, canvas, rect);
  PrintChildren(canvas, rect);
  if (AfterPrint) AfterPrint(*this, canvas, rect);
}

TPRGridPanel::TPRGridPanel(ui::Component* owner) : TPRPanel(owner) {
  childPanel_ = new TPRChildPanel(this);
  childPanel_->SetParent(this);
  PlaceChildPanel();
}

void TPRGridPanel::PlaceChildPanel() {
  if (childPanel_ == nullptr) return;
  const ui::TRect client = ClientRect();
  childPanel_->SetBounds(client.left, client.top, client.Width() / colCount_,
                         client.Height() / rowCount_);
}

void TPRGridPanel::SetColCount(int value) {
  if (value < 1 || Width() / value < 10) throw pdf::EPdfInvalidValue("invalid colcount");
  colCount_ = value;
  PlaceChildPanel();
}

void TPRGridPanel::SetRowCount(int value) {
  if (value < 1 || Height() / value < 10) throw pdf::EPdfInvalidValue("invalid rowcount");
  rowCount_ = value;
  PlaceChildPanel();
}

void TPRGridPanel::Print(TPRCanvas& canvas, const ui::TRect& rect) {
  if (BeforePrint) BeforePrint(*this, canvas, rect);
  const ui::TRect cell = childPanel_->BoundsRect().Offset(rect.left, rect.top);
  if (BeforePrintChild) BeforePrintChild(*this, canvas, 0, 0, cell);
  childPanel_->Print(canvas, cell);
  if (AfterPrintChild) AfterPrintChild(*this, canvas, 0, 0, cell);
  if (AfterPrint) AfterPrint(*this, canvas, rect);
}

}  // namespace quirabel::report
