#pragma once

#include <cstddef>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace quirabel::mail {

inline constexpr const char* kSendLogName = "versand.log";
inline constexpr const char* kSentResult = "gesendet";
// A log beyond this is not read: it would take hundreds of thousands of mails to reach.
inline constexpr std::size_t kMaxSendLogBytes = 64 * 1024 * 1024;

// One line of the send log: time, row, address, file, result, separated by tabs.
struct SendLogEntry {
  std::string time;
  std::size_t row = 0;
  std::string address;
  std::string file;
  std::string result;  // "gesendet", or "Fehler: ..." with the reason
};

// A mail that may have arrived although the connection broke: not sent again without resend.
inline constexpr const char* kUncertainResult = "unklar: ";

// What a send log says was sent: (file, address) pairs. A PDF counts as sent to an address only
// when a line says so with the result "gesendet", or one starting "unklar: "; lines that are not
// five fields, or whose row is no number, are passed over (a line cut by a crash says nothing).
using SentMails = std::set<std::pair<std::string, std::string>>;
SentMails ParseSendLog(std::string_view bytes);
// The log in a folder; none sent when there is no log. Raises FileError when it cannot be read.
SentMails ReadSendLog(const std::filesystem::path& folder);

// The result of the last line for each (file, address) pair, for showing what became of a row.
using LastResults = std::map<std::pair<std::string, std::string>, std::string>;
LastResults ParseLastResults(std::string_view bytes);
LastResults ReadLastResults(const std::filesystem::path& folder);

// One line with its line break. Tabs and line breaks inside a value become blanks, so that each
// entry stays one line of five fields.
std::string SendLogLine(const SendLogEntry& entry);
// "2026-12-07 16:20:05", local time.
std::string LogTime(std::time_t when);

// Appends one line to the log in a folder and flushes it to the disk before returning: a mail
// that went out is on record even when the program is killed right after. Raises FileError.
void AppendSendLog(const std::filesystem::path& folder, const SendLogEntry& entry);

// Makes sure the log in a folder can be appended to (creating it empty). Raises FileError.
void TouchSendLog(const std::filesystem::path& folder);

}  // namespace quirabel::mail
