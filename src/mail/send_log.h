#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quirabel::mail {

// The send log `versand.log` in a PDF folder: one line per step of each mail, appended and synced
// before the next step. Before a mail goes to the server its line "wird gesendet" is on the disk;
// after the server's answer a line "gesendet", "abgelehnt: …", "unklar: …" or "Fehler: …" (nothing
// reached the server) follows. A mail whose last line is "wird gesendet" may have arrived: it is
// uncertain and never sent again by itself.
//
// A line: time, row, address, PDF file, result, run id, PDF SHA-256, separated by tabs. A mail is
// known by its run id, row, address and PDF hash, so a new serial run into the same folder is a
// new mail. Lines of five fields (older logs) are known by file and address; they only count for
// folders without a run record.
inline constexpr const char* kSendLogName = "versand.log";
inline constexpr const char* kIntentResult = "wird gesendet";
inline constexpr const char* kSentResult = "gesendet";
inline constexpr const char* kMarkedSentResult = "als gesendet vermerkt";
inline constexpr const char* kRefusedResult = "abgelehnt: ";
inline constexpr const char* kUncertainResult = "unklar: ";
inline constexpr const char* kFailedResult = "Fehler: ";

struct SendLogEntry {
  std::string time;
  std::size_t row = 0;
  std::string address;
  std::string file;
  std::string result;
  std::string runId;      // empty for a folder without run record
  std::string pdfSha256;  // of the bytes that were attached
};

// What the log says of one mail. Sent stays sent and uncertain stays uncertain (until sent),
// whatever lines come after: a later attempt that failed does not undo an earlier one that may
// have arrived. A "wird gesendet" without a line after it makes a mail uncertain.
enum class MailState : std::uint8_t {
  Unknown = 0,    // no line: never tried
  Open = 1,       // tried, and nothing reached the server or it refused: may be sent again
  Uncertain = 2,  // the run stopped after "wird gesendet", or the connection broke after the data
  Sent = 3,       // the server took it, or the user said so
};

// A mail's key in the log index: 128 bits of the SHA-256 of its identifying fields.
struct MailKey {
  std::uint64_t high = 0;
  std::uint64_t low = 0;
  bool operator==(const MailKey&) const = default;
};
struct MailKeyHash {
  std::size_t operator()(const MailKey& key) const { return key.high ^ (key.low * 31); }
};
MailKey KeyOf(std::string_view runId, std::size_t row, std::string_view address,
              std::string_view pdfSha256);
// The key of a five-field line of an older log.
MailKey LegacyKeyOf(std::string_view file, std::string_view address);

// The state of every mail in a log, a few dozen bytes a mail: the settled MailState, and
// kIntentPending while its "wird gesendet" has no line after it.
using SendLogIndex = std::unordered_map<MailKey, std::uint8_t, MailKeyHash>;
inline constexpr std::uint8_t kIntentPending = 0x10;
MailState StateIn(const SendLogIndex& index, const MailKey& key);
// What one line's result adds to a mail's state (for "wird gesendet": Unknown).
MailState StateOfResult(std::string_view result);

// Feeds log bytes piece by piece into an index. A last line without its line break was cut off
// while it was written and says nothing; lines that are not five or seven fields, or whose row is
// no number, are passed over.
class SendLogReader {
 public:
  explicit SendLogReader(SendLogIndex& index) : index_(index) {}
  void Add(std::string_view bytes);

 private:
  void Line(std::string_view line);
  SendLogIndex& index_;
  std::string pending_;
};
SendLogIndex ParseSendLog(std::string_view bytes);

// One line with its line break. Tabs and line breaks inside a value become blanks.
std::string SendLogLine(const SendLogEntry& entry);
// "2026-12-07 16:20:05", local time.
std::string LogTime(std::time_t when);

// Raised when another run holds the folder's log.
class SendLogBusy : public std::runtime_error {
 public:
  explicit SendLogBusy(const std::filesystem::path& folder);
};

// The log of a folder, held open and locked (flock) for one run: a second run, from the command
// line or the mail tool, is refused while this one holds it. It is opened without following a
// symbolic link and must be a regular file with one name. Raises FileError, SendLogBusy.
class SendLog {
 public:
  explicit SendLog(const std::filesystem::path& folder);
  ~SendLog();
  SendLog(const SendLog&) = delete;
  SendLog& operator=(const SendLog&) = delete;

  const SendLogIndex& Index() const { return index_; }
  // Appends one line and syncs it to the disk before returning; the index follows. Raises
  // FileError (then nothing may be sent that the line was to announce).
  void Append(const SendLogEntry& entry);
  const std::filesystem::path& File() const { return file_; }

 private:
  std::filesystem::path file_;
  int fd_ = -1;
  SendLogIndex index_;
};

// The index of a folder's log for showing it, without locking; empty when there is no log.
// Raises FileError when it cannot be read (a link, a FIFO, no permission).
SendLogIndex ReadSendLogIndex(const std::filesystem::path& folder);

}  // namespace quirabel::mail
