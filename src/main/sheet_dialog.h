#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QWidget>
#include <functional>
#include <optional>
#include <utility>

#include "app/application.h"
#include "report/sheet_output.h"
#include "report/sheet_products.h"

namespace quirabel::main {

// The sheet as planned, drawn to scale: the sheet, each card's outline and the crop marks.
class SheetPreview : public QWidget {
 public:
  explicit SheetPreview(QWidget* parent = nullptr);
  // What to draw: a plan, or only the empty sheet when the card does not fit.
  void Show(const report::SheetSize& sheet, const std::optional<report::SheetLayout>& layout);
  // The card as printed (the trimmed page), drawn at every position; none draws outlines.
  void SetCard(const QImage& card);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  report::SheetSize sheet_{210, 297};
  std::optional<report::SheetLayout> layout_;
  QImage card_;
};

// "Druckbogen als PDF…": the sheet (A4, A3, SRA3 or a size of one's own), the gap between the
// cards or the grid of a pre-cut sheet, a preview of the sheet with the count of cards, and
// "Speichern…". The plan comes from `plan` (the same as the export's); a card that does not fit
// shows its reason in the window, and "Speichern…" stays off.
class SheetDialog : public QDialog {
 public:
  using Planner = std::function<report::SheetLayout(const report::SheetRequest&)>;
  SheetDialog(Planner plan, QWidget* parent);

  // The card's two sides as printed, for the preview: page 1, and page 2 as its back (may be
  // null).
  void SetCards(const QImage& front, const QImage& back);

  // The sheets chosen; valid after "Speichern…" or "Drucken…".
  report::SheetRequest Request() const;
  // Whether the window was left through "Drucken…" rather than "Speichern…".
  bool PrintWanted() const { return printWanted_; }
  // Whether it was left through "Probedruck Duplex…": the test sheet of Request().sheet.
  bool DuplexTestWanted() const { return duplexTestWanted_; }

 private:
  // Reads the choice, plans it and shows the result.
  void Replan();
  // The products matching the search text, in the product choice.
  void ListProducts();
  // Puts the chosen product's sheet and grid into the fields.
  void TakeProduct();
  // The back offset kept for the sheet's size, into the fields when the size changes; and the
  // fields' values kept for it when they change.
  void LoadBackOffset(const report::SheetSize& sheet);
  void StoreBackOffset() const;


  Planner plan_;
  QComboBox* sheetChoice_;
  QDoubleSpinBox* sheetWidth_;
  QDoubleSpinBox* sheetHeight_;
  QDoubleSpinBox* gap_;
  QCheckBox* gridChoice_;
  QSpinBox* gridColumns_;
  QSpinBox* gridRows_;
  QDoubleSpinBox* gridLeft_;
  QDoubleSpinBox* gridTop_;
  QDoubleSpinBox* pitchAcross_;
  QDoubleSpinBox* pitchDown_;
  report::SheetCatalogue catalogue_;
  QLineEdit* productSearch_;
  QComboBox* productChoice_;
  std::vector<const report::SheetProduct*> listed_;
  // The pre-cut product whose numbers the fields hold, until one of them is changed by hand.
  // Kept whole: the fields show tenths of a millimetre, a product's numbers may be finer.
  std::optional<report::SheetRequest> product_;
  bool takingProduct_ = false;
  SheetPreview* preview_;
  QLabel* count_;
  QPushButton* save_;
  QPushButton* print_;
  bool printWanted_ = false;
  QDoubleSpinBox* backAcross_;
  QDoubleSpinBox* backDown_;
  QPushButton* duplexTest_;
  QCheckBox* showBack_;
  QImage front_;
  QImage back_;
  bool duplexTestWanted_ = false;
  QString backOffsetKey_;  // the sheet size whose offset the fields show
};

// The open document's card as the export prints it, for the sheet preview: page 1 and page 2
// (its back) inside the bleed, about 4 pixels a millimetre; null images when there is no such
// page or it could not be drawn.
std::pair<QImage, QImage> CardImagesOf(app::Application& application);

}  // namespace quirabel::main
