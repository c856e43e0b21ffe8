#include "mail/mail_run.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <thread>

#include "base/atomic_file.h"
#include "base/cp1252.h"
#include "mail/address.h"
#include "mail/send_log.h"

namespace quirabel::mail {

namespace {

// PDFs larger than this are not attached; few mail servers would take them anyway.
constexpr std::size_t kMaxAttachmentBytes = 64 * 1024 * 1024;

std::string OneWord(std::string text) {
  std::replace(text.begin(), text.end(), '*', ' ');
  return text;
}

std::string RandomText() {
  std::random_device device;
  char text[24];
  std::snprintf(text, sizeof text, "%08x%08x", device(), device());
  return text;
}

std::string RowLabel(const MailRow& row) {
  return "Zeile " + std::to_string(row.row) + " (" +
         (row.address.empty() ? row.cell : row.address) + ")";
}

}  // namespace

std::optional<MailSource> SourceFromArguments(const std::vector<std::string>& given) {
  // Started through a shell as one line, the four words arrive as one argument: each is one
  // word, so splitting at blanks gives them back.
  std::vector<std::string> arguments = given;
  if (arguments.size() != 4) {
    std::string line;
    for (const std::string& argument : given) line += argument + " ";
    arguments.clear();
    std::size_t start = 0;
    while (start < line.size()) {
      const std::size_t blank = line.find(' ', start);
      if (blank > start) arguments.push_back(line.substr(start, blank - start));
      start = blank + 1;
    }
  }
  if (arguments.size() != 4 || arguments[2].size() != 1) return std::nullopt;
  MailSource source;
  source.csv = OneWord(arguments[0]);
  const std::string naming = OneWord(arguments[1]);
  source.naming.identifier = naming;
  if (naming.size() > 4 && naming.size() < 14 && naming.starts_with("Feld") &&
      std::all_of(naming.begin() + 4, naming.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const int column = std::stoi(naming.substr(4));
    if (column >= 1) {
      source.naming.column = column;
      source.naming.identifier = std::string(serial::kDefaultIdentifier);
    }
  }
  source.separator = arguments[2][0];
  source.folder = OneWord(arguments[3]);
  return source;
}

std::vector<MailRow> ListRows(const serial::CsvTable& table, const MailSource& source,
                              int addressColumn) {
  const std::vector<std::string> names =
      serial::PdfFileNames(table, source.naming, table.RowCount());
  std::vector<MailRow> rows;
  rows.reserve(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    MailRow row;
    row.row = i + 1;
    row.file = names[i];
    row.cells = table.Row(i);
    std::error_code error;
    const bool havePdf = std::filesystem::is_regular_file(
        std::filesystem::symlink_status(source.folder / row.file, error));
    if (addressColumn >= 1) {
      row.cell = std::string(serial::CellAt(row.cells, addressColumn));
      AddressCheck check = CheckAddress(row.cell);
      row.address = std::move(check.address);
      row.problem = std::move(check.problem);
    } else {
      row.problem = "keine Adressspalte gewählt";
    }
    if (!havePdf) row.problem = row.problem.empty() ? "PDF fehlt" : "PDF fehlt, " + row.problem;
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string SenderProblem(const MailTemplate& mail) {
  if (HasLineBreak(mail.fromName)) return "Zeilenumbruch im Absendernamen";
  if (!CheckAddress(mail.fromAddress).problem.empty() || HasLineBreak(mail.fromAddress))
    return "Die Absenderadresse \"" + mail.fromAddress + "\" ist keine gültige Adresse.";
  return {};
}

MailMessage ComposeMail(const MailRow& row, const MailTemplate& mail,
                        const std::filesystem::path& folder, std::time_t now,
                        std::string_view unique) {
  MailMessage message;
  message.fromName = mail.fromName;
  message.fromAddress = CheckAddress(mail.fromAddress).address;
  message.to = row.address;
  message.subject = FillFields(mail.subject, row.cells);
  message.text = FillFields(mail.text, row.cells);
  message.attachmentName = row.file;
  message.attachmentBytes = ReadFile(folder / row.file, kMaxAttachmentBytes);
  message.date = now;
  message.messageId = MakeMessageId(unique, now, message.fromAddress);
  return message;
}

MailOutcome SendRows(const std::vector<MailRow>& rows, const MailTemplate& mail,
                     const std::filesystem::path& folder, Transport& transport,
                     const MailRunOptions& options) {
  MailOutcome outcome;
  auto now = [&options] { return options.now ? options.now() : std::time(nullptr); };
  if (std::string problem = SenderProblem(mail); !problem.empty()) {
    outcome.stopMessage = problem;
    return outcome;
  }
  const SentMails sentBefore =
      options.resend || !options.writeLog ? SentMails{} : ReadSendLog(folder);
  const std::string runId = RandomText();
  // A mail that went out but is not on record would go out again: the log must be writable
  // before anything is sent, and a run stops when it no longer is.
  std::string logProblem;
  auto log = [&](const MailRow& row, const std::string& result) {
    if (!options.writeLog || !logProblem.empty()) return;
    try {
      AppendSendLog(folder, {LogTime(now()), row.row, row.address.empty() ? row.cell : row.address,
                             row.file, result});
    } catch (const FileError& e) {
      logProblem = "Das Versandprotokoll " + (folder / kSendLogName).string() +
                   " ist nicht schreibbar: " + e.Reason();
    }
  };
  if (options.writeLog) {
    try {
      TouchSendLog(folder);
    } catch (const FileError& e) {
      outcome.stopMessage = "Das Versandprotokoll " + (folder / kSendLogName).string() +
                            " ist nicht schreibbar: " + e.Reason();
      return outcome;
    }
  }
  auto fail = [&](const MailRow& row, const std::string& why) {
    ++outcome.failed;
    outcome.failures.push_back(RowLabel(row) + ": " + why);
    log(row, "Fehler: " + why);
  };

  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!logProblem.empty()) {
      outcome.stopMessage = logProblem + " Zeile " + std::to_string(rows[i - 1].row) +
                            " ist nicht eingetragen. " + std::to_string(outcome.sent) + " von " +
                            std::to_string(rows.size()) + " Mails wurden gesendet.";
      break;
    }
    const MailRow& row = rows[i];
    if (options.progress && !options.progress(i, rows.size())) {
      outcome.cancelled = true;
      break;
    }
    if (!row.address.empty() && sentBefore.contains({row.file, row.address})) {
      ++outcome.skipped;
      continue;
    }
    if (!row.Ready()) {
      fail(row, row.problem);
      continue;
    }
    MailMessage message;
    try {
      message = ComposeMail(row, mail, folder, now(), runId + "." + std::to_string(row.row));
    } catch (const FileError& e) {
      fail(row, "PDF nicht lesbar: " + e.Reason());
      continue;
    }
    if (const std::string header = InjectedHeader(message); !header.empty()) {
      fail(row, "Zeilenumbruch im Feld " + header);
      continue;
    }
    SendResult result = transport.Send(message);
    for (int attempt = 0;
         attempt < options.retries && result.kind == SendResult::Kind::ConnectionLost; ++attempt) {
      std::this_thread::sleep_for(options.retryPause);
      result = transport.Send(message);
    }
    switch (result.kind) {
      case SendResult::Kind::Sent:
        ++outcome.sent;
        log(row, kSentResult);
        continue;
      case SendResult::Kind::Refused:
        fail(row, result.text);
        continue;
      case SendResult::Kind::Uncertain:
        ++outcome.failed;
        outcome.failures.push_back(RowLabel(row) + ": " + result.text);
        log(row, kUncertainResult + result.text);
        continue;
      case SendResult::Kind::Cancelled:
        outcome.cancelled = true;
        break;
      case SendResult::Kind::ConnectionLost:
        fail(row, result.text);
        outcome.stopMessage = "Die Verbindung zum Mailserver ist verloren (" + result.text + "). " +
                              std::to_string(outcome.sent) + " von " + std::to_string(rows.size()) +
                              " Mails wurden gesendet.";
        break;
      case SendResult::Kind::Fatal:
        fail(row, result.text);
        outcome.stopMessage = result.text + " " + std::to_string(outcome.sent) + " von " +
                              std::to_string(rows.size()) + " Mails wurden gesendet.";
        break;
    }
    break;
  }
  if (options.progress && !outcome.cancelled && outcome.stopMessage.empty())
    options.progress(rows.size(), rows.size());
  return outcome;
}

SendResult SendTestMail(const std::vector<MailRow>& rows, const MailTemplate& mail,
                        const std::filesystem::path& folder, Transport& transport) {
  if (std::string problem = SenderProblem(mail); !problem.empty())
    return {SendResult::Kind::Fatal, problem};
  const auto first =
      std::find_if(rows.begin(), rows.end(), [](const MailRow& row) { return row.Ready(); });
  if (first == rows.end())
    return {SendResult::Kind::Fatal, "Keine Zeile hat eine PDF-Datei und eine gültige Adresse."};
  MailRow toMe = *first;
  toMe.address = CheckAddress(mail.fromAddress).address;
  try {
    return transport.Send(ComposeMail(toMe, mail, folder, std::time(nullptr), RandomText()));
  } catch (const FileError& e) {
    return {SendResult::Kind::Fatal, "PDF nicht lesbar: " + e.Reason()};
  }
}

std::string ReadMessageText(const std::filesystem::path& file) {
  return TextFileToUtf8(ReadFile(file, 1024 * 1024));
}

std::string OutcomeText(const MailOutcome& outcome) {
  return std::to_string(outcome.sent) + (outcome.sent == 1 ? " Mail" : " Mails") + " gesendet, " +
         std::to_string(outcome.skipped) + " übersprungen, " + std::to_string(outcome.failed) +
         " fehlgeschlagen.";
}

}  // namespace quirabel::mail
