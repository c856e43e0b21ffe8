#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/clock.h"
#include "pdf/pdf_doc.h"
#include "report/sheet_layout.h"

namespace quirabel::report {

// What a sheet export asks for: the sheet, and either the gap between copies or the cells of a
// sheet of pre-cut cards.
// The label of a pre-cut product the cards go on ("Avery Zweckform C32011", 85 x 54 mm).
struct SheetLabel {
  std::string product;
  double width = 0;
  double height = 0;
};

// How far the back of a sheet is moved, in millimetres as one looks at the back: to the right and
// down. Many printers put the back a millimetre or two off; the duplex test sheet shows by how much.
struct BackOffset {
  double across = 0;
  double down = 0;
};

struct SheetRequest {
  SheetSize sheet;
  double gap = 2.0;
  std::optional<CardGrid> grid;
  // With a grid of a product: the card must match the label within 1 mm and is centred on it.
  std::optional<SheetLabel> label = std::nullopt;
  BackOffset backOffset = {};
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

// The back of a sheet for `request`: the front mirrored, then moved by its back offset.
SheetLayout BackOfSheet(const SheetLayout& front, const SheetRequest& request);

// The largest back offset taken, millimetres each way.
inline constexpr double kLargestBackOffset = 20;

// "Probedruck Duplex": a sheet to print on both sides and hold against the light. The front has a
// line across and a line down through the sheet's middle; the back, as one looks at it, has
// millimetre scales across those lines. Where the front's lines show on the back's scales is the
// back offset to enter, across and down. The whole PDF of two pages.
std::string DuplexTestSheetPdf(SheetSize sheet, const Clock& clock = DefaultClock());

// A series of different cards on sheets, one position each, in the order they come: the pages
// of each card (just printed into a document written page by page, see TPdfDoc::StartFile) leave
// the document as Form XObjects placed at the next position of the plan, the first page on the
// first sheet of a set, the second (the back) mirrored on the next, and so on. A set of sheets is
// written out when its last position is taken, and the forms on it let go of, so memory stays
// flat however many cards come.
class SheetSeries {
 public:
  SheetSeries(pdf::TPdfDoc& doc, const SheetRequest& request, double bleed);
  // The pages from `firstPage` to the document's last are the next card. The first card plans the
  // sheets: raises SheetError when it does not fit.
  void AddCard(std::size_t firstPage);
  // Writes the sheets begun, with crop marks around the cards on them.
  void Finish();
  // The number of cards on each sheet written, sheet by sheet.
  const std::vector<int>& CardsPerSheet() const { return cardsPerSheet_; }

 private:
  void WriteSheets();

  pdf::TPdfDoc& doc_;
  SheetRequest request_;
  double bleed_;
  std::optional<SheetLayout> front_;
  std::optional<SheetLayout> back_;
  std::vector<pdf::TPdfDictionary*> sheets_;  // the set being filled, one sheet per card page
  std::vector<pdf::TPdfStream*> forms_;       // the cards' forms on it
  std::size_t placed_ = 0;                    // cards on the set
  std::vector<int> cardsPerSheet_;
};

// "Bogen 1: 10 Karten" and so on, one line per sheet, a back sheet (every second one of cards of
// two pages or more) marked "(Rückseite)"; sheets that repeat the same round of front (and back)
// with the same count are one line, "Bogen 1–9999: je 10 Karten".
std::string SheetCountLines(const std::vector<int>& cardsPerSheet, std::size_t pagesPerCard);

}  // namespace quirabel::report
