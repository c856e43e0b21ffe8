#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quirabel::report {

// Where copies of a trimmed card go on a printing sheet: as many as fit, or the cells of a sheet
// of pre-cut cards. All lengths are millimetres, measured from the sheet's top-left corner.

struct SheetSize {
  double width = 0;
  double height = 0;
};

// A length for the person, to a tenth of a millimetre without a trailing ".0" ("85", "13.5"), and a
// size as "85 × 54 mm".
std::string MillimetreText(double mm);
std::string SizeText(double width, double height);

// "A4", "A3", "SRA3" (portrait) or "BxH" in whole or decimal millimetres ("320x450"); none for
// anything else or a size outside 10 to 2000 mm.
std::optional<SheetSize> SheetSizeOfName(std::string_view name);

// A sheet of pre-cut cards: columns x rows cells, the first at (left, top), the next one pitch
// further across and down.
struct CardGrid {
  int columns = 0;
  int rows = 0;
  double left = 0;
  double top = 0;
  double pitchAcross = 0;
  double pitchDown = 0;
};

struct CardPosition {
  double left = 0;
  double top = 0;
};

struct SheetLayout {
  SheetSize sheet;
  // The card as placed: turned by a quarter when that fits more copies.
  double cardWidth = 0;
  double cardHeight = 0;
  bool turned = false;
  int columns = 0;
  int rows = 0;
  std::vector<CardPosition> cards;  // row by row, left to right
};

// Room kept free at the sheet's edges for the crop marks.
inline constexpr double kSheetMargin = 5.0;
// Crop marks: this long, starting this far from the card's edge.
inline constexpr double kCropMarkLength = 3.0;
inline constexpr double kCropMarkOffset = 1.5;

// As many copies of a card as fit with the gap between them, tried upright and turned (the more
// the better, upright when equal), the block centred on the sheet. No copies when none fits.
SheetLayout LayoutCards(SheetSize sheet, double cardWidth, double cardHeight, double gap);

// The cells of a pre-cut sheet that lie wholly on it, the card upright in each. A card larger than
// a cell is placed all the same; the caller decides whether to refuse that.
SheetLayout LayoutCardsInGrid(SheetSize sheet, double cardWidth, double cardHeight,
                              const CardGrid& grid);

// The back of a sheet for printing both sides: every position mirrored left to right, so that
// each back lies behind its front when the sheet is turned over from left to right.
SheetLayout MirroredForBack(const SheetLayout& front);

struct CropMark {
  double x1 = 0;
  double y1 = 0;
  double x2 = 0;
  double y2 = 0;
};

// Short lines along the cuts, two at each corner of each card, pointing away from it. A mark that
// would touch a card or leave the sheet is left out, so none is ever printed on a card: between
// cards set close together only the marks around the block remain.
std::vector<CropMark> CropMarks(const SheetLayout& layout);

}  // namespace quirabel::report
