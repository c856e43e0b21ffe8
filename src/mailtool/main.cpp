// quirabel-mail, the e-mail tool: started by the designer after a serial run with the CSV file,
// the naming text, the separator and the target folder (blanks written as "*"), or without
// parameters from "Serien Mailer starten.. (Single Attachments)".
#include <QApplication>
#include <QMessageBox>

#include <string>
#include <vector>

#include "mail/mail_run.h"
#include "mailtool/mail_tool_window.h"
#include "ui/qt/translations.h"

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quirabel Serien-Mailer"));
  quirabel::ui::qt::InstallGermanTranslations(qapp);
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  std::optional<quirabel::mail::MailSource> source;
  if (!arguments.empty()) {
    source = quirabel::mail::SourceFromArguments(arguments);
    if (!source) {
      QMessageBox::warning(nullptr, QStringLiteral("quirabel-mail"),
                           QString::fromUtf8("Die Parameter sind nicht zu verstehen. Erwartet "
                                             "werden CSV-Datei, Dateinamen, Trennzeichen und "
                                             "Ordner."));
    }
  }
  quirabel::mailtool::MailToolWindow window(source);
  window.show();
  return QApplication::exec();
}
