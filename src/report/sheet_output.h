#pragma once

#include <optional>
#include <stdexcept>
#include <vector>

#include "pdf/pdf_doc.h"
#include "report/sheet_layout.h"

namespace quirabel::report {

// What a sheet export asks for: the sheet, and either the gap between copies or the cells of a
// sheet of pre-cut cards.
struct SheetRequest {
  SheetSize sheet;
  double gap = 2.0;
  std::optional<CardGrid> grid;
};

// A card that does not fit the sheet or the cells asked for; the text says so to the person.
class SheetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where the copies of the card go on the sheets: from the size of the card's pages (in points,
// without `bleed` on each side, which is cut off). Raises SheetError when no copy fits, or when the
// card is larger than a cell of the grid.
SheetLayout PlanSheet(const SheetRequest& request, double pageWidth, double pageHeight,
                      double bleed);

// Turns the pages of a document made of one card (its front, and perhaps its back) into printing
// sheets: each page becomes a Form XObject showing the card inside its bleed, drawn once and placed
// on its own sheet at every position of the plan, with crop marks around. Every even page is the
// back of the page before it and goes on the next sheet mirrored left to right, for printing both
// sides. Gives the number of cards on each sheet.
std::vector<int> PutCardsOnSheets(pdf::TPdfDoc& doc, const SheetRequest& request, double bleed);

}  // namespace quirabel::report
