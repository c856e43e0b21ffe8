// quirabel: the designer.
#include <QApplication>
#include <QStandardPaths>
#include <QTimer>

#include <filesystem>

#include "app/application.h"
#include "app/file_association.h"
#include "app/program_folder.h"
#include "main/icons.h"
#include "main/main_window.h"
#include "ui/qt/qt_platform.h"
#include "ui/qt/translations.h"

namespace {

// $QUIRABEL_HOME, else $XDG_DATA_HOME/quirabel (~/.local/share/quirabel), made when missing.
std::string ProgramFolder() {
  const std::string path = quirabel::app::ProgramFolderPath().string();
  try {
    quirabel::app::SeedProgramFolder(path);
    // The sibling tools are built beside the designer.
    quirabel::app::LinkSiblingTools(path, QCoreApplication::applicationDirPath().toStdString());
  } catch (const std::exception&) {
    // Without a writable program folder the designer still works; templates and help are missing.
  }
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("quirabel"));
  QApplication::setApplicationName(QStringLiteral("Quirabel"));
  quirabel::ui::qt::InstallGermanTranslations(qapp);
  QApplication::setWindowIcon(quirabel::main::ToolIcon(QStringLiteral("app")));
  quirabel::ui::qt::QtPlatform platform;
  quirabel::app::Application application(platform, ProgramFolder());
  // The desktop opens ".kxp" files with this program; written anew at every start.
  try {
    quirabel::app::WriteFileAssociation(
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString(),
        QCoreApplication::applicationFilePath().toStdString());
  } catch (const std::exception&) {
    // A read-only home keeps the program working; only the association is missing.
  }
  // A project named on the command line is the project from the start; it opens a second later.
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) application.StartWith(arguments[1].toUtf8().toStdString());
  quirabel::main::MainWindow window(application, platform);
  window.resize(1100, 800);
  window.showMaximized();
  // For looking at the designer without a screen: QUIRABEL_SCREENSHOT=file.png saves the window
  // two and a half seconds after the start and quits.
  const QString screenshot = qEnvironmentVariable("QUIRABEL_SCREENSHOT");
  if (!screenshot.isEmpty()) {
    QTimer::singleShot(2500, &window, [&window, screenshot] {
      window.grab().save(screenshot);
      // Leaves the event loop without closing the windows: nothing asks to save.
      QCoreApplication::exit(0);
    });
  }
  return QApplication::exec();
}
