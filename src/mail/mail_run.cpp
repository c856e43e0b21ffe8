#include "mail/mail_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <thread>

#include "base/atomic_file.h"
#include "base/cp1252.h"
#include "base/regular_file.h"
#include "base/sha256.h"
#include "mail/address.h"
#include "mail/send_log.h"
#include "serial/run_record.h"

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

// A checksum's 64 hexadecimal digits as its 32 bytes (the record checked the digits), and back.
std::array<std::uint8_t, 32> HexBytes(std::string_view hex) {
  std::array<std::uint8_t, 32> bytes{};
  auto digit = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
  for (std::size_t i = 0; i < bytes.size() && 2 * i + 1 < hex.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>(digit(hex[2 * i]) * 16 + digit(hex[2 * i + 1]));
  return bytes;
}

std::string BytesHex(const std::array<std::uint8_t, 32>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(64);
  for (std::uint8_t b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
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

NoRunRecord::NoRunRecord(const std::filesystem::path& folder)
    : std::runtime_error("Keine Serien-PDF-Liste in " + folder.string() +
                         ": bitte die Serie neu drucken.") {}

MailRows::MailRows(std::shared_ptr<const serial::CsvTable> table, const MailSource& source,
                   int addressColumn, bool unlisted)
    : table_(std::move(table)), source_(source), addressColumn_(addressColumn) {
  // Several records: a later run's row replaces an earlier one's.
  struct Found {
    std::filesystem::path file;
    serial::RunRecordHeader header;
  };
  std::vector<std::filesystem::path> files = serial::RunRecordFiles(source.folder);
  std::vector<std::pair<std::string, std::filesystem::path>> ordered;
  for (const std::filesystem::path& file : files) {
    const serial::RunRecordHeader header =
        serial::ReadRunRecordFile(file, [](const serial::RunRecordRow&) {});
    ordered.emplace_back(header.time, file);
  }
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  // Each row and each PDF once across all records: a row listed twice, or two rows with one file,
  // could send one person's PDF to another.
  serial::RecordedRowsCheck check;
  for (const auto& [time, file] : ordered) {
    const auto run = static_cast<std::uint32_t>(runIds_.size());
    runIds_.emplace_back();
    const std::string recordName = file.filename().string();
    const serial::RunRecordHeader header =
        serial::ReadRunRecordFile(file, [&, run](const serial::RunRecordRow& row) {
          if (const auto conflict = check.Note(row, recordName)) {
            if (conflicts_.size() < 10) conflicts_.push_back(conflict->text);
            ++conflictCount_;
          }
          Recorded& entry = recorded_[row.row];
          entry = {row.file, HexBytes(row.cellsSha256), HexBytes(row.pdfSha256), run, 0,
                   row.pdfSize};
          if (!row.error.empty()) {
            errors_.push_back(row.error);
            entry.error = static_cast<std::uint32_t>(errors_.size());
          }
        });
    runIds_[run] = header.runId;
  }
  listed_ = !runIds_.empty();
  if (!listed_) {
    if (!unlisted) throw NoRunRecord(source.folder);
    names_ = serial::PdfFileNames(*table_, source.naming, table_->RowCount());
  }
}

std::vector<std::size_t> MailRows::RowsGone() const {
  std::vector<std::size_t> gone;
  for (const auto& [row, recorded] : recorded_) {
    if (row > table_->RowCount() && recorded.error == 0) gone.push_back(row);
  }
  std::sort(gone.begin(), gone.end());
  return gone;
}

MailRow MailRows::Row(std::size_t index) const {
  MailRow row;
  row.row = index + 1;
  row.cells = table_->Row(index);
  std::string pdfProblem;
  if (listed_) {
    const auto found = recorded_.find(row.row);
    if (found == recorded_.end()) {
      pdfProblem = "nicht in der Serien-PDF-Liste";
    } else if (found->second.error != 0) {
      pdfProblem = "kein PDF gedruckt (" + errors_[found->second.error - 1] + ")";
    } else {
      row.file = found->second.file;
      row.runId = runIds_[found->second.run];
      row.pdfSha256 = BytesHex(found->second.pdfSha256);
      row.pdfSize = found->second.pdfSize;
      row.changed = serial::CellsSha256(row.cells) != BytesHex(found->second.cellsSha256);
    }
  } else {
    row.file = names_[index];
  }
  if (pdfProblem.empty()) {
    std::error_code error;
    const bool havePdf = !row.file.empty() && row.file.find('/') == std::string::npos &&
                         std::filesystem::is_regular_file(
                             std::filesystem::symlink_status(source_.folder / row.file, error));
    if (!havePdf) pdfProblem = "PDF fehlt";
  }
  if (addressColumn_ >= 1) {
    row.cell = std::string(serial::CellAt(row.cells, addressColumn_));
    AddressCheck check = CheckAddress(row.cell);
    row.address = std::move(check.address);
    row.problem = std::move(check.problem);
  } else {
    row.problem = "keine Adressspalte gewählt";
  }
  if (!pdfProblem.empty())
    row.problem = row.problem.empty() ? pdfProblem : pdfProblem + ", " + row.problem;
  return row;
}

std::string SenderProblem(const MailTemplate& mail) {
  if (HasLineBreak(mail.fromName)) return "Zeilenumbruch im Absendernamen";
  if (!CheckAddress(mail.fromAddress).problem.empty() || HasLineBreak(mail.fromAddress))
    return "Die Absenderadresse \"" + mail.fromAddress + "\" ist keine gültige Adresse.";
  return {};
}

namespace {

// Opens a PDF without following a link; it must be a regular file.
int OpenPdf(const std::filesystem::path& file) {
  return OpenRegularFile(
      file, {.flags = O_NOFOLLOW, .mode = 0, .singleName = false, .maxBytes = kMaxAttachmentBytes});
}

// Reads a PDF piece by piece, handing each piece over; at most kMaxAttachmentBytes.
template <typename Take>
void ReadPdfPieces(const std::filesystem::path& file, Take take) {
  const int fd = OpenPdf(file);
  char buffer[65536];
  std::size_t total = 0;
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      throw FileError("read", file, error);
    }
    if (n == 0) break;
    total += static_cast<std::size_t>(n);
    if (total > kMaxAttachmentBytes) {
      ::close(fd);
      throw FileError("read", file, EFBIG);
    }
    take(std::string_view(buffer, static_cast<std::size_t>(n)));
  }
  ::close(fd);
}

}  // namespace

std::string PdfSha256(const std::filesystem::path& file) {
  Sha256 hash;
  ReadPdfPieces(file, [&hash](std::string_view piece) { hash.Add(piece); });
  return hash.HexDigest();
}

std::string ReadPdf(const std::filesystem::path& file) {
  std::string bytes;
  ReadPdfPieces(file, [&bytes](std::string_view piece) { bytes.append(piece); });
  return bytes;
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
  message.attachmentBytes = ReadPdf(folder / row.file);
  message.date = now;
  message.messageId = MakeMessageId(unique, now, message.fromAddress);
  return message;
}

namespace {

enum class Plan { NotReady, Skip, Hold, MarkSent, Send };

// What becomes of a row. What the log settled stays settled though the row's PDF went since.
Plan PlanFor(const MailRow& row, MailState state, const MailRunOptions& options) {
  Plan plan = Plan::Send;
  if (!options.resend && !row.address.empty()) {
    if (state == MailState::Sent) return Plan::Skip;
    if (state == MailState::Uncertain) {
      if (options.uncertainAsSent) return Plan::MarkSent;
      if (!options.resendUncertain) return Plan::Hold;
    }
  }
  if (!row.Ready()) plan = Plan::NotReady;
  return plan;
}

// "3, 4 und 7", the first ten, then how many more.
std::string RowList(const std::vector<std::size_t>& rows, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i > 0) text += i + 1 == rows.size() && count == rows.size() ? " und " : ", ";
    text += std::to_string(rows[i]);
  }
  if (count > rows.size()) text += " und " + std::to_string(count - rows.size()) + " weitere";
  return text;
}

// "Zeile 3 hat sich seit dem Druck geändert" or "Zeilen 3, 4 und 7 haben …".
std::string ChangedText(const std::vector<std::size_t>& rows, std::size_t count) {
  if (count == 1)
    return "Zeile " + std::to_string(rows.front()) + " hat sich seit dem Druck geändert";
  return "Zeilen " + RowList(rows, count) + " haben sich seit dem Druck geändert";
}

// The same for the rows whose PDF is no longer the one printed.
std::string ChangedPdfText(const std::vector<std::size_t>& rows, std::size_t count) {
  if (count == 1)
    return "Die PDF-Datei zu Zeile " + std::to_string(rows.front()) +
           " hat sich seit dem Druck geändert";
  return "Die PDF-Dateien zu den Zeilen " + RowList(rows, count) +
         " haben sich seit dem Druck geändert";
}

}  // namespace

MailOutcome SendRows(const MailRows& rows, const MailTemplate& mail, Transport& transport,
                     const MailRunOptions& options) {
  MailOutcome outcome;
  const std::filesystem::path& folder = rows.Folder();
  auto now = [&options] { return options.now ? options.now() : std::time(nullptr); };
  if (std::string problem = SenderProblem(mail); !problem.empty()) {
    outcome.stopMessage = problem;
    return outcome;
  }
  std::optional<SendLog> log;
  if (options.writeLog) {
    try {
      log.emplace(folder);
    } catch (const SendLogBusy& e) {
      outcome.busy = true;
      outcome.stopMessage = e.what();
      return outcome;
    } catch (const FileError& e) {
      outcome.stopMessage = "Das Versandprotokoll " + (folder / kSendLogName).string() +
                            " ist nicht schreibbar: " + e.Reason();
      return outcome;
    }
  }
  const SendLogIndex noLog;
  const SendLogIndex& index = log ? log->Index() : noLog;
  auto stateOf = [&](const MailRow& row) {
    MailState state = StateIn(index, KeyOf(row.runId, row.row, row.address, row.pdfSha256));
    // Older logs know a mail by file and address; they count for unlisted folders only.
    if (state == MailState::Unknown && !rows.Listed())
      state = StateIn(index, LegacyKeyOf(row.file, row.address));
    return state;
  };

  // The records first: when they contradict each other, no row's pairing can be trusted.
  if (rows.ConflictCount() > 0) {
    std::string text = "Die Serien-PDF-Listen in " + folder.string() + " widersprechen sich: ";
    for (std::size_t i = 0; i < rows.Conflicts().size(); ++i)
      text += (i > 0 ? "; " : "") + rows.Conflicts()[i];
    if (rows.ConflictCount() > rows.Conflicts().size())
      text += " und " + std::to_string(rows.ConflictCount() - rows.Conflicts().size()) + " weitere";
    outcome.stopMessage = text + ". Es wurde nichts gesendet. Bitte die Serie neu drucken.";
    return outcome;
  }

  // The whole run: a row to be sent that changed since the print stops it before any mail.
  std::vector<std::size_t> changed, changedPdfs;
  std::size_t changedCount = 0, changedPdfCount = 0;
  auto note = [](std::vector<std::size_t>& list, std::size_t& count, std::size_t row) {
    ++count;
    if (list.size() < 10) list.push_back(row);
  };
  for (std::size_t i = 0; i < rows.Count(); ++i) {
    MailRow row = rows.Row(i);
    if (serial::IsEmptyRow(row.cells)) continue;  // printed nothing, mails nothing
    if (!rows.Listed()) {
      if (!row.Ready()) continue;
      try {
        row.pdfSha256 = PdfSha256(folder / row.file);
      } catch (const FileError&) {
        continue;  // told when the row comes to be sent
      }
    }
    if (PlanFor(row, stateOf(row), options) != Plan::Send || !rows.Listed()) continue;
    if (row.changed) {
      note(changed, changedCount, row.row);
      continue;
    }
    serial::RunRecordRow recorded;
    recorded.pdfSha256 = row.pdfSha256;
    recorded.pdfSize = row.pdfSize;
    if (serial::CheckRecordedPdf(folder / row.file, recorded, kMaxAttachmentBytes) !=
        serial::PdfState::Same)
      note(changedPdfs, changedPdfCount, row.row);
  }
  for (std::size_t gone : rows.RowsGone()) note(changed, changedCount, gone);
  if (changedCount > 0 || changedPdfCount > 0) {
    std::string text;
    if (changedCount > 0) text = ChangedText(changed, changedCount);
    if (changedPdfCount > 0)
      text += text.empty() ? ChangedPdfText(changedPdfs, changedPdfCount)
                           : "; d" + ChangedPdfText(changedPdfs, changedPdfCount).substr(1);
    outcome.stopMessage = text + "; es wurde nichts gesendet. Bitte die Serie neu drucken.";
    return outcome;
  }

  const std::string unique = RandomText();
  std::string logProblem;
  auto write = [&](const MailRow& row, const std::string& result) {
    if (!log) return true;
    try {
      log->Append({LogTime(now()), row.row, row.address.empty() ? row.cell : row.address, row.file,
                   result, row.runId, row.pdfSha256});
      return true;
    } catch (const FileError& e) {
      logProblem = "Das Versandprotokoll " + log->File().string() +
                   " ist nicht schreibbar: " + e.Reason() + " Zeile " + std::to_string(row.row) +
                   " ist nicht eingetragen.";
      return false;
    }
  };
  auto fail = [&](const MailRow& row, const std::string& why) {
    ++outcome.failed;
    outcome.failures.push_back(RowLabel(row) + ": " + why);
    return write(row, kFailedResult + why);
  };
  auto stopText = [&] {
    return " " + std::to_string(outcome.sent) + " von " + std::to_string(rows.Count()) +
           " Mails wurden gesendet.";
  };

  for (std::size_t i = 0; i < rows.Count(); ++i) {
    if (options.progress && !options.progress(i, rows.Count())) {
      outcome.cancelled = true;
      break;
    }
    MailRow row = rows.Row(i);
    if (serial::IsEmptyRow(row.cells)) continue;
    if (!rows.Listed() && row.Ready()) {
      try {
        row.pdfSha256 = PdfSha256(folder / row.file);
      } catch (const FileError& e) {
        if (!fail(row, "PDF nicht lesbar: " + e.Reason())) break;
        continue;
      }
    }
    const Plan plan = PlanFor(row, stateOf(row), options);
    if (plan == Plan::NotReady) {
      if (!fail(row, row.problem)) break;
      continue;
    }
    if (plan == Plan::Skip) {
      ++outcome.skipped;
      continue;
    }
    if (plan == Plan::Hold) {
      ++outcome.uncertain;
      outcome.uncertainRows.push_back(RowLabel(row));
      continue;
    }
    if (plan == Plan::MarkSent) {
      if (!write(row, kMarkedSentResult)) break;
      ++outcome.skipped;
      continue;
    }
    if (row.changed) {
      if (!fail(row, "die Zeile hat sich seit dem Druck geändert")) break;
      continue;
    }
    MailMessage message;
    try {
      message = ComposeMail(row, mail, folder, now(), unique + "." + std::to_string(row.row));
    } catch (const FileError& e) {
      if (!fail(row, "PDF nicht lesbar: " + e.Reason())) break;
      continue;
    }
    // The bytes that go out are the bytes that were printed.
    if (Sha256Hex(message.attachmentBytes) != row.pdfSha256) {
      if (!fail(row, "das PDF hat sich seit dem Druck geändert")) break;
      continue;
    }
    if (const std::string header = InjectedHeader(message); !header.empty()) {
      if (!fail(row, "Zeilenumbruch im Feld " + header)) break;
      continue;
    }
    // Write ahead: without this line on the disk the mail does not go out.
    if (!write(row, kIntentResult)) break;
    SendResult result = transport.Send(message);
    for (int attempt = 0;
         attempt < options.retries && result.kind == SendResult::Kind::ConnectionLost; ++attempt) {
      bool stop = false;
      for (auto waited = std::chrono::milliseconds(0); waited < options.retryPause && !stop;
           waited += std::chrono::milliseconds(50)) {
        std::this_thread::sleep_for(
            std::min(std::chrono::milliseconds(50), options.retryPause - waited));
        stop = options.progress && !options.progress(i, rows.Count());
      }
      if (stop) {
        result = {SendResult::Kind::Cancelled, "abgebrochen"};
        break;
      }
      result = transport.Send(message);
    }
    bool written = true;
    switch (result.kind) {
      case SendResult::Kind::Sent:
        ++outcome.sent;
        written = write(row, kSentResult);
        break;
      case SendResult::Kind::Refused:
        ++outcome.failed;
        outcome.failures.push_back(RowLabel(row) + ": " + result.text);
        written = write(row, kRefusedResult + result.text);
        break;
      case SendResult::Kind::Uncertain:
        ++outcome.uncertain;
        outcome.uncertainRows.push_back(RowLabel(row) + ": " + result.text);
        written = write(row, kUncertainResult + result.text);
        if (result.cancelled) outcome.cancelled = true;
        break;
      case SendResult::Kind::Cancelled:
        outcome.cancelled = true;
        written = write(row, std::string(kFailedResult) + "abgebrochen");
        break;
      case SendResult::Kind::ConnectionLost:
        written = fail(row, result.text);
        outcome.stopMessage =
            "Die Verbindung zum Mailserver ist verloren: " + result.text + "." + stopText();
        break;
      case SendResult::Kind::Fatal:
        written = fail(row, result.text);
        outcome.stopMessage = result.text + stopText();
        break;
    }
    if (!written || outcome.cancelled || !outcome.stopMessage.empty()) break;
  }
  if (!logProblem.empty()) outcome.stopMessage = logProblem + stopText();
  if (options.progress && !outcome.cancelled && outcome.stopMessage.empty())
    options.progress(rows.Count(), rows.Count());
  return outcome;
}

SendResult SendTestMail(const MailRows& rows, const MailTemplate& mail, Transport& transport) {
  if (std::string problem = SenderProblem(mail); !problem.empty())
    return {SendResult::Kind::Fatal, problem};
  for (std::size_t i = 0; i < rows.Count(); ++i) {
    MailRow toMe = rows.Row(i);
    if (!toMe.Ready()) continue;
    toMe.address = CheckAddress(mail.fromAddress).address;
    try {
      return transport.Send(
          ComposeMail(toMe, mail, rows.Folder(), std::time(nullptr), RandomText()));
    } catch (const FileError& e) {
      return {SendResult::Kind::Fatal, "PDF nicht lesbar: " + e.Reason()};
    }
  }
  return {SendResult::Kind::Fatal, "Keine Zeile hat eine PDF-Datei und eine gültige Adresse."};
}

std::string ReadMessageText(const std::filesystem::path& file) {
  return TextFileToUtf8(ReadFile(file, 1024 * 1024));
}

std::string OutcomeText(const MailOutcome& outcome) {
  std::string text = std::to_string(outcome.sent) + (outcome.sent == 1 ? " Mail" : " Mails") +
                     " gesendet, " + std::to_string(outcome.skipped) + " übersprungen, " +
                     std::to_string(outcome.failed) + " fehlgeschlagen";
  if (outcome.uncertain > 0) text += ", " + std::to_string(outcome.uncertain) + " unklar";
  return text + ".";
}

}  // namespace quirabel::mail
