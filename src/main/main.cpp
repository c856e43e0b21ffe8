// quirabel: the designer.
#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/application.h"
#include "app/file_association.h"
#include "app/program_folder.h"
#include "base/version.h"
#include "main/icons.h"
#include "main/main_window.h"
#include "ui/qt/display_check.h"
#include "ui/qt/qt_platform.h"
#include "ui/qt/translations.h"

namespace {

constexpr const char* kUsageText =
    "Aufruf: quirabel [PROJEKT.kxp]\n"
    "       quirabel --help | --version\n"
    "\n"
    "Der Designer für Visitenkarten, Flyer und Klappkarten: ein beim Start genanntes Projekt wird\n"
    "geöffnet. Ohne Bildschirm erledigt quirabel-batch dieselben Arbeiten.\n"
    "\n"
    "  -h, --help  zeigt diese Hilfe\n"
    "  --version   zeigt die Version\n"
    "\n"
    "Umgebung: QUIRABEL_HOME (der Programmordner, sonst $XDG_DATA_HOME/quirabel),\n"
    "QUIRABEL_SERVER (der Server für Neuigkeiten und die Versionsprüfung).\n";

// $QUIRABEL_HOME, else $XDG_DATA_HOME/quirabel (~/.local/share/quirabel): made when missing,
// without anything in it; what earlier versions put there at every start is taken out.
std::string ProgramFolder() {
  const std::filesystem::path path = quirabel::app::ProgramFolderPath();
  quirabel::app::TidyProgramFolder(path);
  std::error_code error;
  // Without a writable program folder the designer still works; templates are missing.
  std::filesystem::create_directories(path, error);
  return path.string();
}

// The desktop's ".kxp" association: nothing of our own where the system has it; from a build
// folder an entry of its own, and the desktop's caches refreshed after a change.
void UpdateFileAssociation() {
  const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (dataHome.isEmpty()) return;
  try {
    const auto changes = quirabel::app::UpdateUserFileAssociation(
        dataHome.toStdString(), quirabel::app::SystemDataFolders(),
        QCoreApplication::applicationFilePath().toStdString());
    // Missing tools leave the caches as they were; the files are right either way.
    if (changes.applications) {
      QProcess::execute(QStringLiteral("update-desktop-database"),
                        {dataHome + QStringLiteral("/applications")});
    }
    if (changes.mime) {
      QProcess::execute(QStringLiteral("update-mime-database"),
                        {dataHome + QStringLiteral("/mime")});
    }
  } catch (const std::exception&) {
    // A read-only home keeps the program working; only the association is missing.
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (quirabel::ui::qt::AnswerHelpOrVersion(argc, argv, kUsageText,
                                             "quirabel " QUIRABEL_VERSION "\n"))
    return 0;
  if (quirabel::ui::qt::ReportMissingDisplay("quirabel", argc, argv)) return 1;
  QApplication qapp(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("quirabel"));
  QApplication::setApplicationName(QStringLiteral("Quirabel"));
  quirabel::ui::qt::InstallGermanTranslations(qapp);
  QApplication::setWindowIcon(quirabel::main::ToolIcon(QStringLiteral("app")));
  quirabel::ui::qt::QtPlatform platform;
  quirabel::app::Application application(platform, ProgramFolder());
  UpdateFileAssociation();
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
