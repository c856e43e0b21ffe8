// "Druckbogen als PDF…" on the offscreen platform: the choice of sheet, gap and grid, the count
// the window shows, a card that does not fit, and Escape.
#include "main/sheet_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QImage>
#include <QPushButton>
#include <QTest>

#include "designer/print_formats.h"

namespace quirabel {
namespace {

// The orderable business card: 91 × 61 mm pages in whole points, 3 mm bleed.
report::SheetLayout PlanBusinessCard(const report::SheetRequest& request) {
  return report::PlanSheet(request, 258, 173, designer::kBleedPoints);
}

// The label that shows the count or why no card fits.
QString Shown(const main::SheetDialog& window) {
  return window.findChild<QLabel*>(QStringLiteral("sheetCount"))->text();
}

TEST(SheetDialog, ShowsTheCountOfTheSheetChosenOrWhyNoCardFits) {
  struct Case {
    int sheet;             // the entry of the sheet choice: A4, A3, SRA3, own size
    double width, height;  // an own size
    bool grid;             // the pre-cut sheet's grid, its defaults
    const char* shown;     // a part of what the window says
    bool saveable;
  };
  const std::vector<Case> cases = {
      {0, 0, 0, false, "10 Karten je Bogen", true},
      {2, 0, 0, false, "25 Karten je Bogen (Karten gedreht)", true},
      {3, 60, 60, false, "passt nicht auf den Bogen (60 × 60 mm", false},
      {3, 100, 70, false, "1 Karte je Bogen", true},
      {0, 0, 0, true, "10 Karten je Bogen", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    main::SheetDialog window(PlanBusinessCard, nullptr);
    window.findChild<QComboBox*>()->setCurrentIndex(c.sheet);
    const auto sizes = window.findChildren<QDoubleSpinBox*>();
    if (c.width > 0) {
      sizes[0]->setValue(c.width);
      sizes[1]->setValue(c.height);
    }
    window.findChild<QCheckBox*>(QStringLiteral("gridChoice"))->setChecked(c.grid);
    EXPECT_TRUE(Shown(window).contains(QString::fromUtf8(c.shown))) << Shown(window).toStdString();
    QPushButton* save = nullptr;
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
      if (button->text().startsWith(QString::fromUtf8("Speichern"))) save = button;
    }
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->isEnabled(), c.saveable);
    const report::SheetRequest request = window.Request();
    EXPECT_EQ(request.grid.has_value(), c.grid);
    if (c.width > 0) {
      EXPECT_EQ(request.sheet.width, c.width);
      EXPECT_EQ(request.sheet.height, c.height);
    }
  }
  // Escape leaves the window without saving.
  main::SheetDialog window(PlanBusinessCard, nullptr);
  window.show();
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_EQ(window.result(), QDialog::Rejected);
  EXPECT_FALSE(window.isVisible());
}

// A pre-cut product found by its number fills the sheet and the grid; its label is checked
// against the card; a grid number changed by hand makes the grid one's own. The back offset is
// kept for the sheet's size and comes back the next time.
TEST(SheetDialog, PreCutProductsAndTheBackOffset) {
  {
    main::SheetDialog window(PlanBusinessCard, nullptr);
    window.findChild<QLineEdit*>(QStringLiteral("productSearch"))->setText(QStringLiteral("3474"));
    auto* products = window.findChild<QComboBox*>(QStringLiteral("productChoice"));
    // The count, then our own sheet (installed templates may follow).
    ASSERT_GE(products->count(), 2);
    EXPECT_TRUE(products->itemText(1).startsWith(QStringLiteral("Avery Zweckform 3474")));
    products->setCurrentIndex(1);
    report::SheetRequest request = window.Request();
    ASSERT_TRUE(request.grid && request.label);
    EXPECT_EQ(request.grid->columns, 3);
    EXPECT_EQ(request.label->product, "Avery Zweckform 3474");
    // The 91 × 61 mm card is no 70 × 37 mm label.
    EXPECT_TRUE(Shown(window).contains(QString::fromUtf8("70 × 37 mm"))) << Shown(window).toStdString();
    auto* columns = window.findChildren<QSpinBox*>()[0];
    columns->setValue(2);
    request = window.Request();
    EXPECT_FALSE(request.label);
    EXPECT_EQ(request.grid->columns, 2);

    const auto fields = window.findChildren<QDoubleSpinBox*>();
    fields[fields.size() - 2]->setValue(1.5);
    fields[fields.size() - 1]->setValue(-0.5);
    EXPECT_EQ(window.Request().backOffset.across, 1.5);
    EXPECT_EQ(window.Request().backOffset.down, -0.5);
  }
  main::SheetDialog again(PlanBusinessCard, nullptr);
  EXPECT_EQ(again.Request().backOffset.across, 1.5);
  EXPECT_EQ(again.Request().backOffset.down, -0.5);
  const auto fields = again.findChildren<QDoubleSpinBox*>();
  fields[fields.size() - 2]->setValue(0);
  fields[fields.size() - 1]->setValue(0);
}

// The preview draws the card itself at each position, and its back where "Rückseite zeigen" asks.
TEST(SheetDialog, ThePreviewShowsTheCardAndItsBack) {
  main::SheetDialog window(PlanBusinessCard, nullptr);
  auto* preview = window.findChild<QWidget*>(QStringLiteral("sheetPreview"));
  auto* showBack = window.findChild<QCheckBox*>(QStringLiteral("showBack"));
  ASSERT_TRUE(preview && showBack);
  EXPECT_FALSE(showBack->isEnabled());  // no card given yet: outlines only
  QImage front(85, 55, QImage::Format_RGB32);
  front.fill(Qt::red);
  QImage back(85, 55, QImage::Format_RGB32);
  back.fill(Qt::blue);
  window.SetCards(front, back);
  window.resize(900, 700);
  window.show();
  // The middle of the first card, 2 x 5 on A4 with the card 85 x 55 mm.
  const auto middleOfFirstCard = [&] {
    const QImage shown = preview->grab().toImage();
    const double scale = std::min((shown.width() - 20) / 210.0, (shown.height() - 20) / 297.0);
    const double left = (shown.width() - 210 * scale) / 2;
    const double top = (shown.height() - 297 * scale) / 2;
    const report::SheetLayout layout = window.Request().grid ? report::SheetLayout{}
                                                               : PlanBusinessCard(window.Request());
    const report::CardPosition& card = layout.cards.front();
    return shown.pixelColor(qRound(left + (card.left + layout.cardWidth / 2) * scale),
                            qRound(top + (card.top + layout.cardHeight / 2) * scale));
  };
  EXPECT_EQ(middleOfFirstCard(), QColor(Qt::red));
  ASSERT_TRUE(showBack->isEnabled());
  showBack->setChecked(true);
  // The back of the first card lies mirrored, where the front's second card is on the front.
  const QColor atFirstPosition = middleOfFirstCard();
  EXPECT_EQ(atFirstPosition, QColor(Qt::blue));
}

}  // namespace
}  // namespace quirabel
