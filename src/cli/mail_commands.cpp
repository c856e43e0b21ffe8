#include "cli/mail_commands.h"

#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>

#include "base/atomic_file.h"
#include "cli/batch_commands.h"
#include "cli/progress_line.h"
#include "cli/serial_commands.h"
#include "mail/mail_run.h"
#include "serial/serial_error.h"

namespace quirabel::cli {

namespace {

std::atomic<bool> g_stop{false};

void OnStopSignal(int) { g_stop.store(true); }

// SIGINT and SIGTERM set g_stop while this lives; the handlers before come back after.
class StopSignals {
 public:
  StopSignals() {
    g_stop.store(false);
    struct sigaction action {};
    action.sa_handler = &OnStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &oldInt_);
    ::sigaction(SIGTERM, &action, &oldTerm_);
  }
  ~StopSignals() {
    ::sigaction(SIGINT, &oldInt_, nullptr);
    ::sigaction(SIGTERM, &oldTerm_, nullptr);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
};

int ColumnNumber(const std::string& text, const char* option) {
  if (text.empty() || text.size() > 6 ||
      text.find_first_not_of("0123456789") != std::string::npos || std::stoi(text) < 1)
    throw std::invalid_argument(std::string(option) + " braucht eine Spaltennummer ab 1");
  return std::stoi(text);
}

// "host", "host:port", "[v6]" or "[v6]:port" into the settings; the port stays unset (0) when
// none is given.
void ReadServer(const std::string& text, mail::MailSettings& settings, int& port) {
  std::string host = text;
  std::string portText;
  const std::size_t close = text.rfind(']');
  const std::size_t colon = text.rfind(':');
  if (colon != std::string::npos && (close == std::string::npos || colon > close) &&
      (text.front() == '[' || text.find(':') == colon)) {
    host = text.substr(0, colon);
    portText = text.substr(colon + 1);
  }
  if (!portText.empty()) {
    if (portText.size() > 5 || portText.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(portText) < 1 || std::stoi(portText) > 65535)
      throw std::invalid_argument("--server braucht HOST[:PORT] mit einem Port von 1 bis 65535");
    port = std::stoi(portText);
  }
  settings.host = host;
  mail::MailSettings probe;
  probe.host = host;
  if (mail::ServerUrl(probe).empty())
    throw std::invalid_argument("--server braucht HOST[:PORT], nicht " + text);
}

}  // namespace

void AddMailOptions(CLI::App& command, MailCall& call,
                    std::vector<std::pair<const CLI::Option*, std::string>>& missingValueTexts) {
  command.add_option("files", call.files);
  auto option = [&](const char* name, std::string& value) {
    missingValueTexts.emplace_back(
        command.add_option(name, value)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast),
        std::string(name) + " braucht einen Wert");
  };
  option("--column", call.column);
  option("--prefix", call.prefix);
  option("--to-column", call.toColumn);
  option("--subject", call.subject);
  option("--text", call.textFile);
  option("--sep", call.separator);
  option("--eml", call.eml);
  option("--server", call.server);
  option("--security", call.security);
  option("--from", call.from);
  option("--user", call.user);
  missingValueTexts.emplace_back(
      command.add_option("--from-name", call.fromName)
          ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
          ->each([&call](const std::string&) { call.fromNameGiven = true; }),
      "--from-name braucht einen Wert");
  command.add_flag("--resend", call.resend);
  command.add_flag("--resend-uncertain", call.resendUncertain);
  command.add_flag("--uncertain-as-sent", call.uncertainAsSent);
  command.add_flag("--unlisted", call.unlisted);
  command.add_flag("--quiet", call.quiet);
}

int RunMailCall(const MailCall& call) {
  if (call.files.size() != 2) throw std::invalid_argument("mail braucht DATEI.csv und ORDNER");
  if (!call.column.empty() && !call.prefix.empty())
    throw std::invalid_argument("mail braucht entweder --column oder --prefix");
  if (call.unlisted && call.column.empty() && call.prefix.empty())
    throw std::invalid_argument("mail --unlisted braucht --column oder --prefix");
  if (call.resendUncertain && call.uncertainAsSent)
    throw std::invalid_argument("--resend-uncertain und --uncertain-as-sent schließen sich aus");
  if (call.toColumn.empty()) throw std::invalid_argument("mail braucht --to-column K");
  if (call.subject.empty()) throw std::invalid_argument("mail braucht --subject TEXT");
  if (call.textFile.empty()) throw std::invalid_argument("mail braucht --text DATEI");
  mail::MailSource source;
  source.csv = call.files[0];
  source.folder = call.files[1];
  if (!call.column.empty()) source.naming.column = ColumnNumber(call.column, "--column");
  if (!call.prefix.empty()) source.naming.identifier = call.prefix;
  if (!call.separator.empty()) source.separator = CsvSeparatorOf(call.separator);
  const int toColumn = ColumnNumber(call.toColumn, "--to-column");

  auto failed = [](const std::string& text) {
    std::cerr << "quirabel-batch: " << text << "\n";
    return kExitFailed;
  };
  mail::MailSettings settings;
  const std::filesystem::path settingsFile = mail::SettingsPath();
  try {
    settings = mail::ReadSettings(settingsFile);
  } catch (const FileError& e) {
    return failed("Die Einstellungen " + settingsFile.string() +
                  " sind nicht lesbar: " + e.Reason());
  }
  int port = 0;
  if (!call.server.empty()) ReadServer(call.server, settings, port);
  if (!call.security.empty() && !mail::SecurityFromKey(call.security, settings.security))
    throw std::invalid_argument("--security kennt none, starttls und ssl");
  if (port != 0) {
    settings.port = port;
  } else if (!call.server.empty() || !call.security.empty()) {
    settings.port = mail::DefaultPort(settings.security);
  }
  // --from is the whole sender: the stored name goes with the stored address.
  if (!call.from.empty()) {
    settings.fromAddress = call.from;
    settings.fromName.clear();
  }
  if (call.fromNameGiven) settings.fromName = call.fromName;
  if (!call.user.empty()) settings.user = call.user;
  if (const char* password = std::getenv("QUIRABEL_SMTP_PASSWORD"); password != nullptr)
    settings.password = password;

  mail::MailTemplate mail{settings.fromName, settings.fromAddress, call.subject, {}};
  try {
    mail.text = mail::ReadMessageText(call.textFile);
  } catch (const FileError& e) {
    return failed("Die Textdatei " + call.textFile + " ist nicht lesbar: " + e.Reason());
  }
  std::error_code error;
  if (!std::filesystem::is_directory(source.folder, error))
    return failed("Den Ordner " + source.folder.string() + " gibt es nicht.");
  std::shared_ptr<const serial::CsvTable> table;
  try {
    table =
        std::make_shared<const serial::CsvTable>(serial::ReadCsvFile(source.csv, source.separator));
  } catch (const serial::SerialError& e) {
    return failed(e.what());
  }
  if (toColumn > table->ColumnCount())
    return failed("Die CSV-Datei hat nur " + std::to_string(table->ColumnCount()) +
                  " Spalten; Spalte " + std::to_string(toColumn) + " gibt es nicht.");
  if (std::string problem = mail::SenderProblem(mail); !problem.empty())
    return failed(problem + " (--from ADRESSE oder from_address in " + settingsFile.string() + ")");
  std::optional<mail::MailRows> rows;
  try {
    rows.emplace(table, source, toColumn, call.unlisted);
  } catch (const mail::NoRunRecord& e) {
    return failed(std::string(e.what()) +
                  " (--unlisted ordnet die PDFs nach ihrem Namen zu, ohne Prüfung)");
  } catch (const serial::SerialError& e) {
    return failed(e.what());
  } catch (const FileError& e) {
    return failed(e.what());
  }
  if (!rows->Listed())
    std::cerr << "quirabel-batch: Warnung: keine Serien-PDF-Liste in " << source.folder.string()
              << "; die PDFs werden nach ihrem Namen den Zeilen zugeordnet, ohne zu prüfen, ob "
                 "die CSV-Datei sich seit dem Druck geändert hat.\n";

  mail::MailRunOptions options;
  options.resend = call.resend;
  options.resendUncertain = call.resendUncertain;
  options.uncertainAsSent = call.uncertainAsSent;
  // Ctrl+C and SIGTERM stop the mail on its way; its line in the log says how far it got.
  const StopSignals stopSignals;
  std::optional<ProgressLine> progress;
  progress.emplace(std::cerr, StandardErrorIsTerminal() && !call.quiet, "Mails");
  options.progress = [&](std::size_t done, std::size_t total) {
    progress->Update(done, total);
    return !g_stop.load();
  };
  std::unique_ptr<mail::Transport> transport;
  if (!call.eml.empty()) {
    options.writeLog = false;
    transport = std::make_unique<mail::EmlTransport>(call.eml);
  } else {
    if (settings.host.empty())
      return failed("Kein Mailserver: --server HOST[:PORT] oder host in " + settingsFile.string());
    transport = std::make_unique<mail::SmtpTransport>(settings, mail::TimeLimits{}, &g_stop);
  }
  // Both ways go through libcurl: without its module nothing is tried and nothing logged.
  if (const std::string problem = mail::SmtpProblem(); !problem.empty()) return failed(problem);
  mail::MailOutcome outcome;
  try {
    outcome = mail::SendRows(*rows, mail, *transport, options);
    progress.reset();  // ends its line before the summary
  } catch (const FileError& e) {
    // The send log could not be written: what went out is no longer on record.
    return failed("Das Versandprotokoll ist nicht schreibbar: " + e.Reason());
  }
  for (const std::string& failure : outcome.failures)
    std::cerr << "quirabel-batch: " << failure << "\n";
  if (!outcome.stopMessage.empty()) std::cerr << "quirabel-batch: " << outcome.stopMessage << "\n";
  if (outcome.cancelled) std::cerr << "quirabel-batch: abgebrochen\n";
  // Mails that may have arrived stay listed until settled on purpose.
  for (const std::string& row : outcome.uncertainRows)
    std::cerr << "quirabel-batch: unklar, ob angekommen: " << row << "\n";
  if (outcome.uncertain > 0)
    std::cerr << "quirabel-batch: " << outcome.uncertain
              << (outcome.uncertain == 1 ? " Mail ist" : " Mails sind")
              << " vielleicht angekommen. Bitte beim Empfänger nachfragen, dann "
                 "--resend-uncertain (erneut senden) oder --uncertain-as-sent (als gesendet "
                 "vermerken).\n";
  if (!call.eml.empty()) {
    std::cout << outcome.sent << (outcome.sent == 1 ? " Mail" : " Mails")
              << " als .eml-Datei geschrieben, " << outcome.failed << " fehlgeschlagen.\n";
  } else {
    std::cout << mail::OutcomeText(outcome) << "\n";
  }
  return outcome.failed > 0 || outcome.uncertain > 0 || outcome.cancelled ||
                 !outcome.stopMessage.empty()
             ? kExitFailed
             : kExitOk;
}

}  // namespace quirabel::cli
