#include "report/sheet_output.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/cp1252.h"
#include "pdf/pdf_canvas.h"

namespace quirabel::report {

namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;
// Page sizes are whole points: a card may come out up to half a point larger than its format.
constexpr double kSizeSlackMm = 0.2;     // millimetres
constexpr double kCropMarkWidth = 0.25;  // points
// How far a card may differ from the label of a pre-cut product it is put on.
constexpr double kLabelSlackMm = 1.0;

double Points(double mm) { return mm * kPointsPerMm; }

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

// The sheet's size in whole points, as pages have.
int SheetPoints(double mm) { return static_cast<int>(std::lround(Points(mm))); }

// Makes the canvas's page a sheet of the request's size. A sheet is no product: it has no trim
// and bleed boxes, whatever the cards on it have.
void MakeSheet(pdf::TPdfCanvas& canvas, const SheetRequest& request) {
  canvas.SetPageWidth(SheetPoints(request.sheet.width));
  canvas.SetPageHeight(SheetPoints(request.sheet.height));
  canvas.Page().Remove("TrimBox");
  canvas.Page().Remove("BleedBox");
}

// The crop marks around the cards of `layout`, on the canvas's page.
void DrawCropMarks(pdf::TPdfCanvas& canvas, const SheetLayout& layout) {
  const std::vector<CropMark> marks = CropMarks(layout);
  if (marks.empty()) return;
  const double sheetHeight = canvas.PageHeight();
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

// The form of page `index`: what the page shows inside its bleed.
std::array<double, 4> CardBox(pdf::TPdfDoc& doc, std::size_t index, double bleed) {
  pdf::TPdfCanvas& canvas = doc.Canvas();
  canvas.SetPage(&doc.PageAt(index));
  return {bleed, bleed, canvas.PageWidth() - bleed, canvas.PageHeight() - bleed};
}

}  // namespace

SheetLayout PlanSheet(const SheetRequest& request, double pageWidth, double pageHeight,
                      double bleed) {
  const double cardWidth = (pageWidth - 2 * bleed) / kPointsPerMm;
  const double cardHeight = (pageHeight - 2 * bleed) / kPointsPerMm;
  const std::string card = SizeText(cardWidth, cardHeight);
  const std::string sheet =
      SizeText(request.sheet.width, request.sheet.height);
  if (request.grid) {
    CardGrid grid = *request.grid;
    if (request.label) {
      // A product's labels: the card must be the label's size give or take a millimetre, and is
      // centred on each label.
      const SheetLabel& label = *request.label;
      // The card's format counts, not the whole points its page was rounded to.
      if (std::abs(cardWidth - label.width) > kLabelSlackMm + kSizeSlackMm ||
          std::abs(cardHeight - label.height) > kLabelSlackMm + kSizeSlackMm) {
        throw SheetError("Die Karte (" + card + ") passt nicht auf die Etiketten von " +
                         label.product + " (" + SizeText(label.width, label.height) +
                         "): mehr als 1 mm Unterschied.");
      }
      grid.left += (label.width - cardWidth) / 2;
      grid.top += (label.height - cardHeight) / 2;
    } else if ((grid.columns > 1 && cardWidth > grid.pitchAcross + kSizeSlackMm) ||
        (grid.rows > 1 && cardHeight > grid.pitchDown + kSizeSlackMm)) {
      throw SheetError("Die Karte (" + card + ") ist größer als der Abstand der Felder (" +
                       SizeText(grid.pitchAcross, grid.pitchDown) + ").");
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

SheetLayout BackOfSheet(const SheetLayout& front, const SheetRequest& request) {
  SheetLayout back = MirroredForBack(front);
  for (CardPosition& card : back.cards) {
    card.left += request.backOffset.across;
    card.top += request.backOffset.down;
  }
  return back;
}

std::vector<int> PutCardsOnSheets(pdf::TPdfDoc& doc, const SheetRequest& request, double bleed) {
  const std::size_t pages = doc.PageCount();
  std::vector<int> counts;
  if (pages == 0) return counts;
  pdf::TPdfCanvas& canvas = doc.Canvas();
  canvas.SetPage(&doc.PageAt(0));
  const SheetLayout front = PlanSheet(request, canvas.PageWidth(), canvas.PageHeight(), bleed);
  const SheetLayout back = BackOfSheet(front, request);
  const double sheetHeight = SheetPoints(request.sheet.height);

  for (std::size_t index = 0; index < pages; ++index) {
    const bool isBack = index % 2 == 1;
    const SheetLayout& layout = isBack ? back : front;
    pdf::TPdfStream& form = doc.PageToForm(index, CardBox(doc, index, bleed));
    canvas.SetPage(&doc.PageAt(index));
    MakeSheet(canvas, request);
    const std::string name = "Fm" + std::to_string(index);
    for (const CardPosition& at : layout.cards) {
      canvas.PlaceForm(form, name, Placement(layout, at, sheetHeight, bleed, isBack));
    }
    DrawCropMarks(canvas, layout);
    counts.push_back(static_cast<int>(layout.cards.size()));
  }
  return counts;
}

SheetSeries::SheetSeries(pdf::TPdfDoc& doc, const SheetRequest& request, double bleed)
    : doc_(doc), request_(request), bleed_(bleed) {}

void SheetSeries::AddCard(std::size_t firstPage) {
  const std::size_t pages = doc_.PageCount();
  if (firstPage >= pages) return;
  pdf::TPdfCanvas& canvas = doc_.Canvas();
  if (!front_) {
    canvas.SetPage(&doc_.PageAt(firstPage));
    front_ = PlanSheet(request_, canvas.PageWidth(), canvas.PageHeight(), bleed_);
    back_ = BackOfSheet(*front_, request_);
  }
  // The card's pages leave the document, the last first so that the others keep their places.
  std::vector<pdf::TPdfStream*> card(pages - firstPage);
  for (std::size_t index = pages; index-- > firstPage;) {
    card[index - firstPage] = &doc_.TakePageAsForm(index, CardBox(doc_, index, bleed_));
  }
  if (placed_ == 0) {
    for (std::size_t side = 0; side < card.size(); ++side) {
      doc_.AddPage();
      MakeSheet(canvas, request_);
      sheets_.push_back(&doc_.PageAt(doc_.PageCount() - 1));
    }
  }
  const double sheetHeight = SheetPoints(request_.sheet.height);
  const std::string name = "Fm" + std::to_string(placed_);
  // A card with more pages than the first one had: its last pages have no sheet.
  for (std::size_t side = 0; side < std::min(card.size(), sheets_.size()); ++side) {
    const bool isBack = side % 2 == 1;
    const SheetLayout& layout = isBack ? *back_ : *front_;
    canvas.SetPage(sheets_[side]);
    canvas.PlaceForm(*card[side], name,
                     Placement(layout, layout.cards[placed_], sheetHeight, bleed_, isBack));
  }
  forms_.insert(forms_.end(), card.begin(), card.end());
  if (++placed_ == front_->cards.size()) WriteSheets();
}

void SheetSeries::Finish() {
  if (placed_ > 0) WriteSheets();
}

void SheetSeries::WriteSheets() {
  pdf::TPdfCanvas& canvas = doc_.Canvas();
  for (std::size_t side = 0; side < sheets_.size(); ++side) {
    SheetLayout layout = side % 2 == 1 ? *back_ : *front_;
    layout.cards.resize(placed_);
    canvas.SetPage(sheets_[side]);
    DrawCropMarks(canvas, layout);
    cardsPerSheet_.push_back(static_cast<int>(placed_));
  }
  doc_.FlushPages();
  for (pdf::TPdfStream* form : forms_) doc_.ForgetWritten(*form);
  sheets_.clear();
  forms_.clear();
  placed_ = 0;
}

std::string DuplexTestSheetPdf(SheetSize sheet, const Clock& clock) {
  pdf::TPdfDoc doc(clock);
  doc.NewDoc();
  pdf::TPdfCanvas& canvas = doc.Canvas();
  const double width = SheetPoints(sheet.width);
  const double height = SheetPoints(sheet.height);
  const double middleX = Points(sheet.width / 2);
  const double middleY = height - Points(sheet.height / 2);
  const auto text = [&](double x, double y, double size, std::string_view utf8) {
    const std::string line = Utf8ToCp1252(utf8);
    canvas.SetFont("Arial", size);
    canvas.BeginText();
    canvas.MoveTextPoint(x - canvas.TextWidth(line) / 2, y);
    canvas.ShowText(line);
    canvas.EndText();
  };
  const auto newSheet = [&] {
    doc.AddPage();
    canvas.SetPageWidth(static_cast<int>(width));
    canvas.SetPageHeight(static_cast<int>(height));
    canvas.SetRGBStrokeColor(0);
  };

  // The front: the two middle lines, the whole sheet long.
  newSheet();
  canvas.SetLineWidth(0.3);
  canvas.MoveTo(middleX, 0);
  canvas.LineTo(middleX, height);
  canvas.MoveTo(0, middleY);
  canvas.LineTo(width, middleY);
  canvas.Stroke();
  // Beside the line down, not across it.
  text(width / 4, height - Points(20), 12, "Probedruck Duplex: Vorderseite");
  text(width / 4, height - Points(27), 8, "Beidseitig drucken, dann die Rückseite");
  text(width / 4, height - Points(31), 8, "gegen das Licht ansehen.");

  // The back, as one looks at it: scales from -10 to +10 mm along both middle lines, numbered
  // every 5 mm, increasing to the right and downwards. The reading is the offset to enter.
  newSheet();
  canvas.SetLineWidth(0.2);
  for (int mm = -10; mm <= 10; ++mm) {
    const double tick = Points(mm % 5 == 0 ? 4 : 2);
    const double x = middleX + Points(mm);
    canvas.MoveTo(x, middleY - Points(12));
    canvas.LineTo(x, middleY - Points(12) - tick);
    const double y = middleY - Points(mm);
    canvas.MoveTo(middleX + Points(12), y);
    canvas.LineTo(middleX + Points(12) + tick, y);
  }
  canvas.Stroke();
  for (int mm = -10; mm <= 10; mm += 5) {
    const std::string label = mm > 0 ? "+" + std::to_string(mm) : std::to_string(mm);
    text(middleX + Points(mm), middleY - Points(21), 6, label);
    text(middleX + Points(19), middleY - Points(mm) - 2, 6, label);
  }
  text(width / 2, height - Points(20), 12, "Probedruck Duplex: Rückseite");
  text(width / 2, height - Points(27), 9,
       "Wo die Linien der Vorderseite auf den Skalen liegen, ist der Versatz der Rückseite:");
  text(width / 2, height - Points(32), 9,
       "waagerecht (Skala unten) und senkrecht (Skala rechts), in mm, mit Vorzeichen.");
  std::string pdf;
  doc.SaveToStream(pdf);
  return pdf;
}

std::string SheetCountLines(const std::vector<int>& cardsPerSheet, std::size_t pagesPerCard) {
  // Sheets come in rounds of one sheet per page of the card; a long series repeats the same round
  // thousands of times, and that is said in one line rather than one line a sheet.
  const std::size_t round = std::max<std::size_t>(pagesPerCard, 1);
  std::string lines;
  std::size_t sheet = 0;
  while (sheet < cardsPerSheet.size()) {
    const int cards = cardsPerSheet[sheet];
    std::size_t end = sheet;
    while (end < cardsPerSheet.size() && cardsPerSheet[end] == cards) ++end;
    const std::size_t rounds = (end - sheet) / round;
    const std::string karten = std::to_string(cards) + (cards == 1 ? " Karte" : " Karten");
    if (rounds >= 2 && round <= 2) {
      const std::size_t last = sheet + rounds * round;
      lines += "Bogen " + std::to_string(sheet + 1) + "–" + std::to_string(last) + ": je " +
               karten + (round == 2 ? ", Vorder- und Rückseiten im Wechsel" : "") + "\n";
      sheet = last;
      continue;
    }
    const std::size_t next = std::min(cardsPerSheet.size(), sheet + round);
    for (; sheet < next; ++sheet) {
      const int count = cardsPerSheet[sheet];
      const bool back = pagesPerCard > 1 && sheet % pagesPerCard % 2 == 1;
      lines += "Bogen " + std::to_string(sheet + 1) + ": " + std::to_string(count) +
               (count == 1 ? " Karte" : " Karten") + (back ? " (Rückseite)" : "") + "\n";
    }
  }
  return lines;
}

}  // namespace quirabel::report
