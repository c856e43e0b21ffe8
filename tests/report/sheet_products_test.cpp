#include "report/sheet_products.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>

namespace quirabel::report {
namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;

// Our own sheets: the labels of each lie wholly on the sheet without overlapping, and each name
// is there once, so a typing slip in the table shows here.
TEST(SheetProductsTest, OwnSheetsAreSound) {
  const auto own = OwnSheetProducts();
  EXPECT_GE(own.size(), 40u);
  std::set<std::string> names;
  for (const SheetProduct& p : own) {
    EXPECT_TRUE(names.insert(p.Name()).second) << p.Name();
    EXPECT_LE(p.labelWidth, p.grid.pitchAcross + 1e-9) << p.Name();
    EXPECT_LE(p.labelHeight, p.grid.pitchDown + 1e-9) << p.Name();
    const SheetLayout layout = PlanSheet(SheetRequestOf(p), p.labelWidth * kPointsPerMm,
                                         p.labelHeight * kPointsPerMm, 0);
    EXPECT_EQ(static_cast<int>(layout.cards.size()), p.grid.columns * p.grid.rows) << p.Name();
  }
}

// A product stands for its grid numbers; a card within a millimetre of the label is centred on
// it, a card further off is refused naming both sizes.
TEST(SheetProductsTest, ProductPlacementAndCardFit) {
  const SheetCatalogue catalogue = LoadSheetCatalogue({});
  const SheetProduct& product = SheetProductNamed(catalogue, "c32011");
  EXPECT_EQ(&product, &SheetProductNamed(catalogue, "Avery Zweckform C32011"));
  const SheetRequest byGrid{SheetSize{210, 297}, 2.0, CardGrid{2, 5, 15, 13.5, 95, 54}};
  const struct {
    double width, height;  // the card, mm
    double shiftLeft, shiftTop;
    bool fits;
  } cases[] = {
      {85, 54, 0, 0, true},
      {84.2, 53.6, 0.4, 0.2, true},
      {86.5, 54, 0, 0, false},
      {85, 52.5, 0, 0, false},
  };
  for (const auto& c : cases) {
    const double w = c.width * kPointsPerMm;
    const double h = c.height * kPointsPerMm;
    if (!c.fits) {
      try {
        PlanSheet(SheetRequestOf(product), w, h, 0);
        ADD_FAILURE() << c.width << " x " << c.height << " was placed";
      } catch (const SheetError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("Avery Zweckform C32011 (85 × 54 mm)"), std::string::npos) << what;
      }
      continue;
    }
    const SheetLayout expected = PlanSheet(byGrid, w, h, 0);
    const SheetLayout placed = PlanSheet(SheetRequestOf(product), w, h, 0);
    ASSERT_EQ(placed.cards.size(), 10u);
    ASSERT_EQ(placed.cards.size(), expected.cards.size());
    for (std::size_t i = 0; i < placed.cards.size(); ++i) {
      EXPECT_NEAR(placed.cards[i].left, expected.cards[i].left + c.shiftLeft, 1e-6) << i;
      EXPECT_NEAR(placed.cards[i].top, expected.cards[i].top + c.shiftTop, 1e-6) << i;
    }
  }
  EXPECT_THROW(SheetProductNamed(catalogue, "C3201"), SheetError);
  EXPECT_EQ(FindSheetProducts(catalogue, "visitenk").size(), 4u);
}

TEST(SheetProductsTest, TemplateFilesRectanglesOnly) {
  const char* xml = R"(<?xml version="1.0"?>
<Glabels-templates>
  <Template brand="Acme" part="B10" equiv="A10"/>
  <Template brand="Acme" part="A10" size="A4" _description="Cards">
    <Meta category="card"/>
    <Label-rectangle id="0" width="85mm" height="153.071pt" round="1mm">
      <Markup-margin size="9pt"/>
      <Layout nx="2" ny="5" x0="15mm" y0="1.5cm" dx="3.74in" dy="54mm"/>
    </Label-rectangle>
  </Template>
  <Template brand="Acme" part="R1" size="A4"><Label-round radius="30mm"/></Template>
  <Template brand="Acme" part="M2" size="A4">
    <Label-rectangle width="10mm" height="10mm">
      <Layout nx="1" ny="1" x0="0" y0="0" dx="10mm" dy="10mm"/>
      <Layout nx="1" ny="1" x0="50mm" y0="0" dx="10mm" dy="10mm"/>
    </Label-rectangle>
  </Template>
  <Template brand="Acme" part="O3" size="Other" width="100mm" height="50mm">
    <Label-rectangle width="40mm" height="20mm"><Layout nx="2" ny="2" x0="5mm" y0="5mm" dx="50mm" dy="25mm"/></Label-rectangle>
  </Template>
  <Template brand="Acme" part="W4" size="B7"><Label-rectangle width="1" height="1"/></Template>
  <Template brand="Acme" part="E5" equiv="nowhere"/>
</Glabels-templates>)";
  const LabelTemplates read = ReadLabelTemplates(xml);
  ASSERT_EQ(read.products.size(), 3u);
  const SheetProduct& a = read.products[0];
  EXPECT_EQ(a.Name(), "Acme A10");
  EXPECT_NEAR(a.labelHeight, 54, 0.01);
  EXPECT_NEAR(a.grid.top, 15, 1e-9);
  EXPECT_NEAR(a.grid.pitchAcross, 95, 0.01);
  EXPECT_EQ(read.products[1].Name(), "Acme O3");
  EXPECT_EQ(read.products[1].sheet.width, 100);
  EXPECT_EQ(read.products[2].Name(), "Acme B10");  // the equivalent, after the file is read
  EXPECT_EQ(read.products[2].grid.rows, 5);
  const std::vector<std::string> unsupported = {
      "Acme R1 (runde Etiketten)", "Acme M2 (mehrere Raster)",
      "Acme W4 (Bogenformat B7 unbekannt)", "Acme E5 (gleich nowhere, das fehlt)"};
  EXPECT_EQ(read.unsupported, unsupported);

  // Not XML, and entities (which could make a small file huge), are refused.
  for (const char* wrong :
       {"<Glabels-templates><Template>", "\xff\xfe",
        "<!DOCTYPE t [<!ENTITY a \"aaaa\">]><Glabels-templates>&a;</Glabels-templates>"}) {
    EXPECT_THROW(ReadLabelTemplates(wrong), SheetError) << wrong;
  }
}

// Where the open label designer's template data is installed, every file of it is read and its
// rectangular sheets join ours.
TEST(SheetProductsTest, InstalledTemplateData) {
  const auto folders = InstalledLabelTemplateFolders();
  if (folders.empty()) GTEST_SKIP() << "no installed label templates";
  const SheetCatalogue catalogue = LoadSheetCatalogue(folders);
  EXPECT_GT(catalogue.products.size(), OwnSheetProducts().size() + 500);
  EXPECT_FALSE(catalogue.unsupported.empty());
  for (const std::string& why : catalogue.unsupported)
    EXPECT_EQ(why.find(".xml:"), std::string::npos) << "a file was not read: " << why;
  for (const SheetProduct& p : catalogue.products) {
    EXPECT_GT(p.labelWidth, 0) << p.Name();
    EXPECT_GE(p.grid.columns, 1) << p.Name();
  }
}

}  // namespace
}  // namespace quirabel::report
