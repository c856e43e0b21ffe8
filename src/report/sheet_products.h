#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "report/sheet_layout.h"
#include "report/sheet_output.h"

namespace quirabel::report {

// A sheet of pre-cut cards or labels as it is sold: the maker's product number, the sheet, the
// size of one label and where the labels lie. Lengths in millimetres.
struct SheetProduct {
  std::string maker;
  std::string number;
  std::string description;
  SheetSize sheet;
  double labelWidth = 0;
  double labelHeight = 0;
  double cornerRadius = 0;
  CardGrid grid;

  std::string Name() const { return maker + " " + number; }
};

// The sheets we know ourselves: business cards, name badges and address labels sold in
// German-speaking shops.
std::span<const SheetProduct> OwnSheetProducts();

// What one label-template file (the XML format of the common open label designer's template
// data) holds: its rectangular products, and the names of the others with the reason they cannot
// be used ("Avery L7780 (runde Etiketten)").
struct LabelTemplates {
  std::vector<SheetProduct> products;
  std::vector<std::string> unsupported;
};

// Reads such a file. Bounded in what it keeps whatever the input; raises SheetError naming the
// line for text that is not well-formed XML.
LabelTemplates ReadLabelTemplates(std::string_view xml);

// Our own sheets first, then those of every template file (`*-templates.xml`) in the folders;
// a file that cannot be read is listed as unsupported, the rest are still used.
struct SheetCatalogue {
  std::vector<SheetProduct> products;  // our own first
  std::size_t own = 0;                 // how many of them are ours
  std::vector<std::string> unsupported;
};
SheetCatalogue LoadSheetCatalogue(const std::vector<std::filesystem::path>& templateFolders);

// Where installed label templates are: `libglabels-3.0/templates` below each of
// $XDG_DATA_DIRS (default /usr/local/share and /usr/share) that exists.
std::vector<std::filesystem::path> InstalledLabelTemplateFolders();

// Products whose maker, number or description contain `query` (letters compared without case);
// every product for an empty query.
std::vector<const SheetProduct*> FindSheetProducts(const SheetCatalogue& catalogue,
                                                  std::string_view query);

// The product a person names by its number ("C32011") or by maker and number ("Herma 4464"),
// letters compared without case. One of our own sheets goes before an installed template of the
// same number. Raises SheetError when none has that name, or when products of different makers
// share it with different layouts (naming them).
const SheetProduct& SheetProductNamed(const SheetCatalogue& catalogue, std::string_view name);

// The sheets of a product: its sheet and grid, and its label, which the card must match within
// 1 mm (PlanSheet checks it and centres the card on the label).
SheetRequest SheetRequestOf(const SheetProduct& product);

// One line for a list: "Avery Zweckform C32011  Visitenkarten, 85 × 54 mm, 2 × 5 auf A4".
std::string SheetProductLine(const SheetProduct& product);

}  // namespace quirabel::report
