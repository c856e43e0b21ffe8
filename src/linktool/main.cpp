// quirabel-link, the CSV link tool: started by the designer's "Serien-PDF Einstellung" with the
// project number and the data fields of the page on screen.
#include <QApplication>
#include <QMessageBox>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/program_folder.h"
#include "linktool/link_tool_window.h"
#include "ui/qt/translations.h"

namespace {

// The designer's program folder.
std::string ProgramFolder() { return quirabel::app::ProgramFolderPath().string(); }

}  // namespace

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quirabel CSV-Verknüpfung"));
  quirabel::ui::qt::InstallGermanTranslations(qapp);
  if (argc < 2) {
    QMessageBox::warning(nullptr, QStringLiteral("quirabel-link"),
                         QString::fromUtf8("Bitte starten Sie die CSV-Verknüpfung über "
                                           "\"Serien-PDF Einstellung\" im Designer."));
    return 2;
  }
  std::vector<std::string> fields(argv + 2, argv + argc);
  quirabel::linktool::LinkToolWindow window(ProgramFolder(), argv[1], fields);
  window.show();
  return QApplication::exec();
}
