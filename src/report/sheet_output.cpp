#include "report/sheet_output.h"

#include <cmath>
#include <string>

#include "pdf/pdf_canvas.h"

namespace quirabel::report {

namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;
// Page sizes are whole points: a card may come out up to half a point larger than its format.
constexpr double kSizeSlackMm = 0.2;     // millimetres
constexpr double kCropMarkWidth = 0.25;  // points

double Points(double mm) { return mm * kPointsPerMm; }

std::string Millimetres(double mm) {
  std::string text = std::to_string(std::round(mm * 10) / 10);
  text.erase(text.find('.') + 2);
  if (text.ends_with(".0")) text.resize(text.size() - 2);
  return text;
}

// The matrix that puts the trimmed card (its lower left corner at (bleed, bleed) in the form) at
// `at` on a sheet `sheetHeight` points high; a card turned for the sheet is turned a quarter
// anticlockwise on the front and clockwise on the back, so that both sides' tops meet at the same
// edge when the sheet is turned over.
std::array<double, 6> Placement(const SheetLayout& layout, const CardPosition& at,
                                double sheetHeight, double bleed, bool back) {
  const double x = Points(at.left);
  const double y = sheetHeight - Points(at.top + layout.cardHeight);
  if (!layout.turned) return {1, 0, 0, 1, x - bleed, y - bleed};
  // Turned: the card is cardHeight wide as drawn, cardWidth high as placed.
  const double drawnHeight = Points(layout.cardWidth);  // the card's own height
  if (!back) return {0, 1, -1, 0, x + bleed + drawnHeight, y - bleed};
  const double drawnWidth = Points(layout.cardHeight);  // the card's own width
  return {0, -1, 1, 0, x - bleed, y + bleed + drawnWidth};
}

}  // namespace

SheetLayout PlanSheet(const SheetRequest& request, double pageWidth, double pageHeight,
                      double bleed) {
  const double cardWidth = (pageWidth - 2 * bleed) / kPointsPerMm;
  const double cardHeight = (pageHeight - 2 * bleed) / kPointsPerMm;
  const std::string card = Millimetres(cardWidth) + " × " + Millimetres(cardHeight) + " mm";
  const std::string sheet =
      Millimetres(request.sheet.width) + " × " + Millimetres(request.sheet.height) + " mm";
  if (request.grid) {
    const CardGrid& grid = *request.grid;
    if ((grid.columns > 1 && cardWidth > grid.pitchAcross + kSizeSlackMm) ||
        (grid.rows > 1 && cardHeight > grid.pitchDown + kSizeSlackMm)) {
      throw SheetError("Die Karte (" + card + ") ist größer als der Abstand der Felder (" +
                       Millimetres(grid.pitchAcross) + " × " + Millimetres(grid.pitchDown) +
                       " mm).");
    }
    SheetLayout layout = LayoutCardsInGrid(request.sheet, cardWidth, cardHeight, grid);
    if (layout.cards.empty()) {
      throw SheetError("Kein Feld des Rasters liegt mit der Karte (" + card +
                       ") ganz auf dem Bogen (" + sheet + ").");
    }
    return layout;
  }
  SheetLayout layout = LayoutCards(request.sheet, cardWidth, cardHeight, request.gap);
  if (layout.cards.empty()) {
    throw SheetError("Die Karte (" + card + ") passt nicht auf den Bogen (" + sheet +
                     ", 5 mm Rand für die Schnittmarken).");
  }
  return layout;
}

std::vector<int> PutCardsOnSheets(pdf::TPdfDoc& doc, const SheetRequest& request, double bleed) {
  const std::size_t pages = doc.PageCount();
  std::vector<int> counts;
  if (pages == 0) return counts;
  pdf::TPdfCanvas& canvas = doc.Canvas();
  canvas.SetPage(&doc.PageAt(0));
  const double pageWidth = canvas.PageWidth();
  const double pageHeight = canvas.PageHeight();
  const SheetLayout front = PlanSheet(request, pageWidth, pageHeight, bleed);
  const SheetLayout back = MirroredForBack(front);
  const int sheetWidth = static_cast<int>(std::lround(Points(request.sheet.width)));
  const int sheetHeight = static_cast<int>(std::lround(Points(request.sheet.height)));

  for (std::size_t index = 0; index < pages; ++index) {
    const bool isBack = index % 2 == 1;
    const SheetLayout& layout = isBack ? back : front;
    canvas.SetPage(&doc.PageAt(index));
    const double width = canvas.PageWidth();
    const double height = canvas.PageHeight();
    pdf::TPdfStream& form = doc.PageToForm(index, {bleed, bleed, width - bleed, height - bleed});
    canvas.SetPage(&doc.PageAt(index));
    canvas.SetPageWidth(sheetWidth);
    canvas.SetPageHeight(sheetHeight);
    const std::string name = "Fm" + std::to_string(index);
    for (const CardPosition& at : layout.cards) {
      canvas.PlaceForm(form, name, Placement(layout, at, sheetHeight, bleed, isBack));
    }
    const std::vector<CropMark> marks = CropMarks(layout);
    if (!marks.empty()) {
      canvas.SaveState();
      canvas.SetLineWidth(kCropMarkWidth);
      canvas.SetRGBStrokeColor(0);
      for (const CropMark& mark : marks) {
        canvas.MoveTo(Points(mark.x1), sheetHeight - Points(mark.y1));
        canvas.LineTo(Points(mark.x2), sheetHeight - Points(mark.y2));
      }
      canvas.Stroke();
      canvas.RestoreState();
    }
    counts.push_back(static_cast<int>(layout.cards.size()));
  }
  return counts;
}

}  // namespace quirabel::report
