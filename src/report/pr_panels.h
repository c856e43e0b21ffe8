#pragma once

#include <functional>
#include <memory>

#include "pdf/pdf_doc.h"
#include "report/pr_canvas.h"
#include "ui/control.h"

namespace quirabel::report {

class TPRPage;
class TPRPanel;

// What rendering visits: panels and elements print themselves into the page given their
// rectangle in page pixels.
class PrintableControl {
 public:
  virtual ~PrintableControl() = default;
  virtual void Print(TPRCanvas& canvas, const ui::TRect& rect) = 0;
  virtual bool IsPrintable() const { return true; }
};

using TPRPrintPageEvent = std::function<void(TPRPage& sender, TPRCanvas& canvas)>;
using TPRPrintPanelEvent =
    std::function<void(TPRPanel& sender, TPRCanvas& canvas, const ui::TRect& rect)>;
using TPRPrintChildPanelEvent = std::function<void(TPRPanel& sender, TPRCanvas& canvas, int col,
                                                   int row, const ui::TRect& rect)>;

// One page: its size in pixels is the PDF page size in points. It owns a measuring document on
// which its elements measure text at design time.
class TPRPage : public ui::Control {
 public:
  explicit TPRPage(ui::Component* owner = nullptr);
  ~TPRPage() override;
  std::string ClassName() const override { return "TPRPage"; }

  int MarginTop() const { return marginTop_; }
  int MarginLeft() const { return marginLeft_; }
  int MarginRight() const { return marginRight_; }
  int MarginBottom() const { return marginBottom_; }
  // A margin is taken when it differs, is not negative and is less than half the page width.
  void SetMarginTop(int value) { SetMargin(marginTop_, value); }
  void SetMarginLeft(int value) { SetMargin(marginLeft_, value); }
  void SetMarginRight(int value) { SetMargin(marginRight_, value); }
  void SetMarginBottom(int value) { SetMargin(marginBottom_, value); }
  ui::TRect AlignArea() const override;

  TPRPrintPageEvent OnPrintPage;

  // The canvas of the measuring document (writes nothing).
  pdf::TPdfCanvas& MeasuringCanvas() { return *measuringCanvas_; }

  // Renders the page into the current PDF page of the canvas.
  void Print(TPRCanvas& canvas);
  void Paint(ui::Canvas& canvas) override;

 private:
  void SetMargin(int& margin, int value);

  int marginTop_ = 32;
  int marginLeft_ = 32;
  int marginRight_ = 32;
  int marginBottom_ = 32;
  std::unique_ptr<pdf::TPdfDoc> measuringDoc_;
  pdf::TPdfCanvas* measuringCanvas_ = nullptr;
};

// A container of elements; draws nothing in PDF itself.
class TPRPanel : public ui::Control, public PrintableControl {
 public:
  explicit TPRPanel(ui::Component* owner = nullptr);
  std::string ClassName() const override { return "TPRPanel"; }
  void Print(TPRCanvas& canvas, const ui::TRect& rect) override;
  void Paint(ui::Canvas& canvas) override;

 protected:
  // Prints the children in z-order, each at its bounds moved by the panel's rectangle.
  void PrintChildren(TPRCanvas& canvas, const ui::TRect& rect);
  ui::Control* ValidateParent(ui::Control* parent) override;
};

// The inner cell panel of a grid panel.
class TPRChildPanel : public TPRPanel {
 public:
  using TPRPanel::TPRPanel;
  std::string ClassName() const override { return "TPRChildPanel"; }

 protected:
  // It sits in its grid panel as it is.
  ui::Control* ValidateParent(ui::Control* parent) override { return parent; }
};

// The free-form container the designer puts every element on.
class TPRLayoutPanel : public TPRPanel {
 public:
  explicit TPRLayoutPanel(ui::Component* owner = nullptr);
  std::string ClassName() const override { return "TPRLayoutPanel"; }
  void Print(TPRCanvas& canvas, const ui::TRect& rect) override;

  TPRPrintPanelEvent BeforePrint;
  TPRPrintPanelEvent AfterPrint;
};

enum class TPrintDirection { pdHorz, pdVert };

// Repeats one child panel over a grid of cells; not used by the designer, so its printing prints
// the child panel once in the first cell.
class TPRGridPanel : public TPRPanel {
 public:
  explicit TPRGridPanel(ui::Component* owner = nullptr);
  std::string ClassName() const override { return "TPRGridPanel"; }

  int ColCount() const { return colCount_; }
  int RowCount() const { return rowCount_; }
  // Taken when at least 1 and the width (height) divided by it is at least 10 pixels; otherwise
  // EPdfInvalidValue "invalid colcount" ("invalid rowcount").
  void SetColCount(int value);
  void SetRowCount(int value);
  TPrintDirection PrintDirection() const { return printDirection_; }
  void SetPrintDirection(TPrintDirection value) { printDirection_ = value; }
  TPRChildPanel& ChildPanel() { return *childPanel_; }

  TPRPrintPanelEvent BeforePrint;
  TPRPrintPanelEvent AfterPrint;
  TPRPrintChildPanelEvent BeforePrintChild;
  TPRPrintChildPanelEvent AfterPrintChild;

  void Print(TPRCanvas& canvas, const ui::TRect& rect) override;

 protected:
  void BoundsChanged() override { PlaceChildPanel(); }

 private:
  void PlaceChildPanel();
  int colCount_ = 1;
  int rowCount_ = 1;
  TPrintDirection printDirection_ = TPrintDirection::pdHorz;
  TPRChildPanel* childPanel_ = nullptr;
};

// The page a control sits on (walking up through panels), or none.
TPRPage* PageOf(const ui::Control& control);
// Parents given as a grid panel are its child panel.
ui::Control* ResolveGridParent(ui::Control* parent);

}  // namespace quirabel::report
