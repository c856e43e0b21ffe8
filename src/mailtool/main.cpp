// quirabel-mail, the e-mail tool: started by the designer after a serial run with the CSV file,
// the naming text, the separator and the target folder (blanks written as "*"), or without
// parameters from "Serien Mailer starten.. (Single Attachments)".
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>

#include <memory>
#include <string>
#include <vector>

#include "base/version.h"
#include "mail/mail_run.h"
#include "mailtool/mail_tool_window.h"
#include "ui/qt/display_check.h"
#include "ui/qt/translations.h"

namespace {

// SIGTERM and SIGINT close the window as its close button does: a mail on its way is stopped
// and logged before the process ends.
int g_stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
  const char byte = 1;
  if (::write(g_stopPipe[1], &byte, 1) < 0) {
    // Nothing to do in a signal handler.
  }
}

constexpr const char* kUsageText =
    "Aufruf: quirabel-mail [--] [CSV-DATEI BENENNUNG TRENNZEICHEN ORDNER]\n"
    "       quirabel-mail --help | --version\n"
    "\n"
    "Versendet die PDF-Dateien eines Serien-PDF-Laufs per E-Mail. Der Designer startet es nach\n"
    "einem Lauf mit der CSV-Datei, der Benennung der Dateien, dem Trennzeichen und dem PDF-Ordner\n"
    "(Leerzeichen als \"*\"), ohne Parameter über \"Serien Mailer starten..\". Ohne Bildschirm\n"
    "tut quirabel-batch mail dasselbe.\n"
    "\n"
    "  -h, --help  zeigt diese Hilfe\n"
    "  --version   zeigt die Version\n";

}  // namespace

int main(int argc, char** argv) {
  if (quirabel::ui::qt::AnswerHelpOrVersion(argc, argv, kUsageText,
                                             "quirabel-mail " QUIRABEL_VERSION "\n"))
    return 0;
  if (quirabel::ui::qt::ReportMissingDisplay("quirabel-mail", argc, argv)) return 1;
  // Qt reads options of its own from the command line (-platformpluginpath, -style …); a naming
  // text or a folder must never reach it as one, so Qt sees the program's name only.
  int qtArgc = 1;
  QApplication qapp(qtArgc, argv);
  QApplication::setApplicationName(QStringLiteral("Quirabel Serien-Mailer"));
  quirabel::ui::qt::InstallGermanTranslations(qapp);
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (!arguments.empty() && arguments.front() == "--") arguments.erase(arguments.begin());
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
  // Installed before the window reads its rows, so an early signal waits in the pipe.
  const bool stopPipe = ::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) == 0;
  if (stopPipe) {
    struct sigaction action {};
    action.sa_handler = &OnStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
  }
  quirabel::mailtool::MailToolWindow window(source);
  std::unique_ptr<QSocketNotifier> stopNotifier;
  if (stopPipe) {
    stopNotifier = std::make_unique<QSocketNotifier>(g_stopPipe[0], QSocketNotifier::Read);
    QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, &window,
                     [&window] { window.close(); });
  }
  window.show();
  return QApplication::exec();
}
