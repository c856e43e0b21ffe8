// The standard dialogs speak German like the rest of the program.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTranslator>

#include "ui/qt/translations.h"

namespace quirabel {
namespace {

TEST(GermanDialogsTest, StandardDialogTextsAreGerman) {
  ASSERT_TRUE(ui::qt::InstallGermanTranslations(*QCoreApplication::instance()));
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Save As"),
            QStringLiteral("Speichern unter"));
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
  EXPECT_EQ(QCoreApplication::translate("QColorDialog", "Select Color"),
            QStringLiteral("Farbauswahl"));
  // The other window tests look for the program's own captions only, but leave them as they were.
  for (QTranslator* translator : QCoreApplication::instance()->findChildren<QTranslator*>()) {
    QCoreApplication::removeTranslator(translator);
    delete translator;
  }
}

}  // namespace
}  // namespace quirabel
