#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "mail/mail_settings.h"
#include "mail/message.h"
#include "mail/transport.h"
#include "serial/csv_table.h"
#include "serial/pdf_names.h"

namespace quirabel::mail {

// What the designer hands over after a serial run, and what the e-mail tool's window and
// `quirabel-batch mail` ask for: the CSV file, how its PDFs were named and where they are.
struct MailSource {
  std::filesystem::path csv;
  std::optional<char> separator;  // detected when none
  serial::Naming naming;
  std::filesystem::path folder;
};

// The four parameters the designer passes (CSV file, naming text, separator, target folder),
// each with its blanks written as "*". The naming text "FeldK" names the PDFs after column K, any
// other text is the identifier. Four words in one argument (a shell's command line) are split at
// blanks. None when there are not four.
std::optional<MailSource> SourceFromArguments(const std::vector<std::string>& arguments);

// One CSV row and what becomes of it.
struct MailRow {
  std::size_t row = 0;  // from 1
  std::string file;     // the PDF's name in the folder
  std::string address;  // the valid address, empty when there is none
  std::string cell;     // the address cell as it is
  std::string problem;  // why the row cannot be sent (no PDF, no valid address); empty when it can
  std::vector<std::string> cells;
  std::string runId;      // the serial run that printed the PDF; empty without a run record
  std::string pdfSha256;  // as the run record has it; empty without one
  std::optional<std::uint64_t> pdfSize;  // as the run record has it; none in older records
  bool changed = false;   // the row's cells differ from those the PDF was printed from
  bool Ready() const { return problem.empty(); }
};

// Raised when a folder has no run record and the rows are not to be paired by name.
class NoRunRecord : public std::runtime_error {
 public:
  explicit NoRunRecord(const std::filesystem::path& folder);
};

// The rows of a CSV file paired with the PDFs of a serial run, made one at a time when asked
// for, so a run over many rows holds none of them. The pairing goes only through the folder's
// run records (quirabel-serie*.json): a row's PDF is the file its record names, and the row is
// marked changed when its cells no longer hash as recorded. A folder without a record raises
// NoRunRecord, unless `unlisted`, which pairs by the serial run's naming. Raises SerialError for
// a broken record, FileError when one cannot be read.
class MailRows {
 public:
  MailRows(std::shared_ptr<const serial::CsvTable> table, const MailSource& source,
           int addressColumn, bool unlisted = false);

  std::size_t Count() const { return table_->RowCount(); }
  MailRow Row(std::size_t index) const;
  const std::filesystem::path& Folder() const { return source_.folder; }
  bool Listed() const { return listed_; }
  // Recorded rows past the CSV file's end: the file lost rows since the run.
  std::vector<std::size_t> RowsGone() const;
  // Where the records contradict each other (a row written twice, one PDF named for two rows):
  // the first few in German, and how many there are. Nothing may be sent then.
  const std::vector<std::string>& Conflicts() const { return conflicts_; }
  std::size_t ConflictCount() const { return conflictCount_; }

 private:
  // A recorded row, its hashes as bytes: about a hundred bytes a row.
  struct Recorded {
    std::string file;
    std::array<std::uint8_t, 32> cellsSha256{};
    std::array<std::uint8_t, 32> pdfSha256{};
    std::uint32_t run = 0;
    std::uint32_t error = 0;  // 1 + index into errors_ for a failed row
    std::optional<std::uint64_t> pdfSize;
  };
  std::shared_ptr<const serial::CsvTable> table_;
  MailSource source_;
  int addressColumn_ = 0;
  bool listed_ = false;
  std::vector<std::string> runIds_;
  std::vector<std::string> errors_;
  std::unordered_map<std::uint64_t, Recorded> recorded_;
  std::vector<std::string> names_;  // without a record
  std::vector<std::string> conflicts_;
  std::size_t conflictCount_ = 0;
};

// The text of the mail, besides its rows.
struct MailTemplate {
  std::string fromName;
  std::string fromAddress;
  std::string subject;  // <FeldN> filled per row
  std::string text;     // <FeldN> filled per row
};

// Why the sender cannot send, or empty: a valid sender address, a name without line breaks.
std::string SenderProblem(const MailTemplate& mail);

// The SHA-256 of a PDF in the folder, opened without following a link. Raises FileError.
std::string PdfSha256(const std::filesystem::path& file);
// A PDF's bytes, opened without following a link; it must be a regular file. Raises FileError.
std::string ReadPdf(const std::filesystem::path& file);

// A row's mail, the PDF read from the folder. Raises FileError when the PDF cannot be read.
MailMessage ComposeMail(const MailRow& row, const MailTemplate& mail,
                        const std::filesystem::path& folder, std::time_t now,
                        std::string_view unique);

struct MailOutcome {
  std::size_t sent = 0;
  std::size_t skipped = 0;    // the send log shows them as sent
  std::size_t failed = 0;     // refused, not sendable, or not sent because of a lost connection
  std::size_t uncertain = 0;  // may have arrived: not sent again until settled on purpose
  bool cancelled = false;
  bool busy = false;        // another run holds the folder
  std::string stopMessage;  // why the run stopped before its end; empty when it ran through
  std::vector<std::string> failures;       // "Zeile N (adresse): reason", one per failed row
  std::vector<std::string> uncertainRows;  // "Zeile N (adresse)", one per uncertain row
};

struct MailRunOptions {
  bool resend = false;           // send also what the log shows as sent or uncertain
  bool resendUncertain = false;  // send again what the log shows as uncertain
  bool uncertainAsSent = false;  // log uncertain mails as sent, without sending them
  bool writeLog = true;          // off for a preview
  int retries = 3;               // further attempts after a lost connection
  std::chrono::milliseconds retryPause{2000};
  // Called before each row and at the end: (rows done, rows in all); false stops the run.
  std::function<bool(std::size_t, std::size_t)> progress;
  std::function<std::time_t()> now;  // the clock; time() when empty
};

// Sends every ready row's mail through the transport. The folder's send log is locked for the
// run (a second run stops at once, `busy`). Before the first mail the whole run is checked: when
// the records contradict each other, or any row to be sent changed since the print (its cells or
// its PDF), nothing is sent and the message names the rows. Each mail's "wird gesendet" is on the disk before the mail goes out,
// and its result after; when a line cannot be written the run stops. Failed rows are logged and
// the others go on; a lost connection is tried again `retries` times, then the run stops; a fatal
// failure (login, sender) stops at once.
MailOutcome SendRows(const MailRows& rows, const MailTemplate& mail, Transport& transport,
                     const MailRunOptions& options);

// "Testmail an mich": the first ready row's mail, to the sender. Not logged.
SendResult SendTestMail(const MailRows& rows, const MailTemplate& mail, Transport& transport);

// A message text from a file: UTF-8 (a BOM dropped), else read as Windows-1252. Raises FileError.
std::string ReadMessageText(const std::filesystem::path& file);

// The sentence that ends a run: "3 Mails gesendet, 1 übersprungen, 1 fehlgeschlagen.", with
// ", 2 unklar" before the stop when mails are uncertain.
std::string OutcomeText(const MailOutcome& outcome);

}  // namespace quirabel::mail
