#include "cli/mail_commands.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <stdexcept>

#include "base/atomic_file.h"
#include "cli/batch_commands.h"
#include "mail/mail_run.h"
#include "serial/serial_error.h"

namespace quirabel::cli {

namespace {

int ColumnNumber(const std::string& text, const char* option) {
  if (text.empty() || text.size() > 6 ||
      text.find_first_not_of("0123456789") != std::string::npos || std::stoi(text) < 1)
    throw std::invalid_argument(std::string(option) + " braucht eine Spaltennummer ab 1");
  return std::stoi(text);
}

char SeparatorOf(const std::string& text) {
  if (text == "\\t" || text == "Tab" || text == "tab") return '\t';
  if (text.size() != 1 || text[0] == '"' || text[0] == '\r' || text[0] == '\n')
    throw std::invalid_argument("--sep braucht ein Zeichen (oder Tab)");
  return text[0];
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
  command.add_flag("--resend", call.resend);
}

int RunMailCall(const MailCall& call) {
  if (call.files.size() != 2) throw std::invalid_argument("mail braucht DATEI.csv und ORDNER");
  if (call.column.empty() == call.prefix.empty())
    throw std::invalid_argument("mail braucht entweder --column oder --prefix");
  if (call.toColumn.empty()) throw std::invalid_argument("mail braucht --to-column K");
  if (call.subject.empty()) throw std::invalid_argument("mail braucht --subject TEXT");
  if (call.textFile.empty()) throw std::invalid_argument("mail braucht --text DATEI");
  mail::MailSource source;
  source.csv = call.files[0];
  source.folder = call.files[1];
  if (!call.column.empty()) source.naming.column = ColumnNumber(call.column, "--column");
  if (!call.prefix.empty()) source.naming.identifier = call.prefix;
  if (!call.separator.empty()) source.separator = SeparatorOf(call.separator);
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
  if (!call.from.empty()) settings.fromAddress = call.from;
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
  std::optional<serial::CsvTable> table;
  try {
    table = serial::ReadCsvFile(source.csv, source.separator);
  } catch (const serial::SerialError& e) {
    return failed(e.what());
  }
  if (toColumn > table->ColumnCount())
    return failed("Die CSV-Datei hat nur " + std::to_string(table->ColumnCount()) +
                  " Spalten; Spalte " + std::to_string(toColumn) + " gibt es nicht.");
  if (std::string problem = mail::SenderProblem(mail); !problem.empty())
    return failed(problem + " (--from ADRESSE oder from_address in " + settingsFile.string() + ")");
  const std::vector<mail::MailRow> rows = mail::ListRows(*table, source, toColumn);

  mail::MailRunOptions options;
  options.resend = call.resend;
  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  auto lastShown = std::chrono::steady_clock::now();
  options.progress = [&](std::size_t done, std::size_t total) {
    const auto now = std::chrono::steady_clock::now();
    if (terminal && (now - lastShown > std::chrono::milliseconds(200) || done == total)) {
      lastShown = now;
      std::cerr << "\r" << done << "/" << total << " Mails" << (done == total ? "\n" : "")
                << std::flush;
    }
    return true;
  };
  std::unique_ptr<mail::Transport> transport;
  if (!call.eml.empty()) {
    options.writeLog = false;
    transport = std::make_unique<mail::EmlTransport>(call.eml);
  } else {
    if (settings.host.empty())
      return failed("Kein Mailserver: --server HOST[:PORT] oder host in " + settingsFile.string());
    transport = std::make_unique<mail::SmtpTransport>(settings, mail::TimeLimits{});
  }
  mail::MailOutcome outcome;
  try {
    outcome = mail::SendRows(rows, mail, source.folder, *transport, options);
  } catch (const FileError& e) {
    // The send log could not be written: what went out is no longer on record.
    return failed("Das Versandprotokoll ist nicht schreibbar: " + e.Reason());
  }
  for (const std::string& failure : outcome.failures)
    std::cerr << "quirabel-batch: " << failure << "\n";
  if (!outcome.stopMessage.empty()) std::cerr << "quirabel-batch: " << outcome.stopMessage << "\n";
  if (!call.eml.empty()) {
    std::cout << outcome.sent << (outcome.sent == 1 ? " Mail" : " Mails")
              << " als .eml-Datei geschrieben, " << outcome.failed << " fehlgeschlagen.\n";
  } else {
    std::cout << mail::OutcomeText(outcome) << "\n";
  }
  return outcome.failed > 0 || !outcome.stopMessage.empty() ? kExitFailed : kExitOk;
}

}  // namespace quirabel::cli
