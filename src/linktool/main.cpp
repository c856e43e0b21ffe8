// quirabel-link, the CSV link tool: started by the designer's "Serien-PDF Einstellung" with "--",
// the project number and the data fields of the page on screen.
#include <QApplication>
#include <QMessageBox>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/program_folder.h"
#include "base/version.h"
#include "linktool/link_tool_window.h"
#include "serial/link_file.h"
#include "serial/serial_error.h"
#include "ui/qt/display_check.h"
#include "ui/qt/translations.h"

namespace {

// The designer's program folder.
std::string ProgramFolder() { return quirabel::app::ProgramFolderPath().string(); }

constexpr const char* kUsageText =
    "Aufruf: quirabel-link [--] PROJEKTNUMMER [DATENFELD ...]\n"
    "       quirabel-link --help | --version\n"
    "\n"
    "Die CSV-Verknüpfung für die Serien-PDF: der Designer startet sie über \"Serien-PDF\n"
    "Einstellung\" mit der Projektnummer und den Datenfeldern der Seite. Die Verknüpfung steht\n"
    "danach in csv_db/PROJEKTNUMMER._cv im Programmordner ($QUIRABEL_HOME, sonst\n"
    "$XDG_DATA_HOME/quirabel). Ohne Bildschirm tut quirabel-batch link dasselbe.\n"
    "\n"
    "  -h, --help  zeigt diese Hilfe\n"
    "  --version   zeigt die Version\n";

}  // namespace

int main(int argc, char** argv) {
  if (quirabel::ui::qt::AnswerHelpOrVersion(argc, argv, kUsageText,
                                             "quirabel-link " QUIRABEL_VERSION "\n"))
    return 0;
  if (quirabel::ui::qt::ReportMissingDisplay("quirabel-link", argc, argv)) return 1;
  // Qt reads options of its own from the command line (-platformpluginpath, -style …); a field
  // name or a project number must never reach it as one, so Qt sees the program's name only.
  int qtArgc = 1;
  QApplication qapp(qtArgc, argv);
  QApplication::setApplicationName(QStringLiteral("Quirabel CSV-Verknüpfung"));
  quirabel::ui::qt::InstallGermanTranslations(qapp);
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (!arguments.empty() && arguments.front() == "--") arguments.erase(arguments.begin());
  if (arguments.empty()) {
    QMessageBox::warning(nullptr, QStringLiteral("quirabel-link"),
                         QString::fromUtf8("Bitte starten Sie die CSV-Verknüpfung über "
                                           "\"Serien-PDF Einstellung\" im Designer."));
    return 2;
  }
  try {
    quirabel::serial::CheckProjectNumber(arguments.front());
  } catch (const quirabel::serial::SerialError& e) {
    QMessageBox::warning(nullptr, QStringLiteral("quirabel-link"), QString::fromUtf8(e.what()));
    return 2;
  }
  std::vector<std::string> fields(arguments.begin() + 1, arguments.end());
  quirabel::linktool::LinkToolWindow window(ProgramFolder(), arguments.front(), fields);
  window.show();
  window.RestoreLink();
  return QApplication::exec();
}
