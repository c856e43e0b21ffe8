// quirabel-link, the CSV link tool: started by the designer's "Serien-PDF Einstellung" with the
// project number and the data fields of the page on screen.
#include <QApplication>
#include <QMessageBox>

#include <cstdlib>
#include <string>
#include <vector>

#include "linktool/link_tool_window.h"

namespace {

// The designer's program folder: $QUIRABEL_HOME, else $XDG_DATA_HOME/quirabel.
std::string ProgramFolder() {
  if (const char* home = std::getenv("QUIRABEL_HOME"); home != nullptr && *home != '\0')
    return home;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/')
    return std::string(data) + "/quirabel";
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
    return std::string(home) + "/.local/share/quirabel";
  return ".";
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quirabel CSV-Verknüpfung"));
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
