// "Druckbogen als PDF…" on the offscreen platform: the choice of sheet, gap and grid, the count
// the window shows, a card that does not fit, and Escape.
#include "main/sheet_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
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
  for (const QLabel* label : window.findChildren<QLabel*>()) {
    if (label->text().contains(QStringLiteral("Bogen"))) return label->text();
  }
  return {};
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
    window.findChild<QCheckBox*>()->setChecked(c.grid);
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

}  // namespace
}  // namespace quirabel
