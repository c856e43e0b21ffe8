#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
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
  std::string file;     // the PDF's name, as the serial run named it
  std::string address;  // the valid address, empty when there is none
  std::string cell;     // the address cell as it is
  std::string problem;  // why the row cannot be sent (no PDF, no valid address); empty when it can
  std::vector<std::string> cells;
  bool Ready() const { return problem.empty(); }
};

// The rows of a CSV file with their PDFs (named by the serial run's own function, repeats and
// all) and their addresses from one column (from 1; 0 for none chosen). A PDF must be a regular
// file in the folder; nothing is guessed.
std::vector<MailRow> ListRows(const serial::CsvTable& table, const MailSource& source,
                              int addressColumn);

// The text of the mail, besides its rows.
struct MailTemplate {
  std::string fromName;
  std::string fromAddress;
  std::string subject;  // <FeldN> filled per row
  std::string text;     // <FeldN> filled per row
};

// Why the sender cannot send, or empty: a valid sender address, a name without line breaks.
std::string SenderProblem(const MailTemplate& mail);

// A row's mail, the PDF read from the folder. Raises FileError when the PDF cannot be read.
MailMessage ComposeMail(const MailRow& row, const MailTemplate& mail,
                        const std::filesystem::path& folder, std::time_t now,
                        std::string_view unique);

struct MailOutcome {
  std::size_t sent = 0;
  std::size_t skipped = 0;  // the send log shows them as sent
  std::size_t failed = 0;   // refused, not sendable, or not sent because of a lost connection
  bool cancelled = false;
  std::string stopMessage;  // why the run stopped before its end; empty when it ran through
  std::vector<std::string> failures;  // "Zeile N (adresse): reason", one per failed row
};

struct MailRunOptions {
  bool resend = false;   // send also what the log shows as sent
  bool writeLog = true;  // off for a preview
  int retries = 3;       // further attempts after a lost connection
  std::chrono::milliseconds retryPause{2000};
  // Called before each row and at the end: (rows done, rows in all); false stops the run.
  std::function<bool(std::size_t, std::size_t)> progress;
  std::function<std::time_t()> now;  // the clock; time() when empty
};

// Sends every ready row's mail through the transport, one line per row into the folder's send
// log: failed rows are logged and the others go on; rows the log shows as sent are skipped
// unless resend; a lost connection is tried again `retries` times, then the run stops saying how
// many were sent; a fatal failure (login, sender) stops at once.
MailOutcome SendRows(const std::vector<MailRow>& rows, const MailTemplate& mail,
                     const std::filesystem::path& folder, Transport& transport,
                     const MailRunOptions& options);

// "Testmail an mich": the first ready row's mail, to the sender. Not logged.
SendResult SendTestMail(const std::vector<MailRow>& rows, const MailTemplate& mail,
                        const std::filesystem::path& folder, Transport& transport);

// A message text from a file: UTF-8 (a BOM dropped), else read as Windows-1252. Raises FileError.
std::string ReadMessageText(const std::filesystem::path& file);

// The sentence that ends a run: "3 Mails gesendet, 1 übersprungen, 1 fehlgeschlagen."
std::string OutcomeText(const MailOutcome& outcome);

}  // namespace quirabel::mail
