#include "ui/qt/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace quirabel::ui::qt {

bool InstallGermanTranslations(QCoreApplication& application) {
  // Owned by the application, which uses it for as long as it runs.
  auto* translator = new QTranslator(&application);
  const QLocale german(QLocale::German, QLocale::Germany);
  if (!translator->load(german, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace quirabel::ui::qt
