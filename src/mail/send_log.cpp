#include "mail/send_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "base/atomic_file.h"

namespace quirabel::mail {

namespace {

std::string OneField(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

bool IsNumber(std::string_view text) {
  if (text.empty() || text.size() > 18) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

namespace {

// Calls `take(file, address, result)` for each whole line of five fields, in order.
template <typename Take>
void ForEachEntry(std::string_view bytes, Take take) {
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    // A last line without its line break was cut off while it was written.
    if (end == std::string_view::npos) break;
    std::string_view line = bytes.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // We never write a CR inside a line.
    if (line.find('\r') != std::string_view::npos) continue;
    std::vector<std::string_view> fields;
    std::size_t from = 0;
    while (fields.size() < 6) {
      const std::size_t tab = line.find('\t', from);
      fields.push_back(line.substr(from, tab == std::string_view::npos ? tab : tab - from));
      if (tab == std::string_view::npos) break;
      from = tab + 1;
    }
    if (fields.size() != 5 || !IsNumber(fields[1]) || fields[2].empty() || fields[3].empty())
      continue;
    take(fields[3], fields[2], fields[4]);
  }
}

std::string ReadLog(const std::filesystem::path& folder) {
  const std::filesystem::path file = folder / kSendLogName;
  std::error_code error;
  if (!std::filesystem::exists(file, error)) return {};
  return ReadFile(file, kMaxSendLogBytes);
}

}  // namespace

SentMails ParseSendLog(std::string_view bytes) {
  SentMails sent;
  ForEachEntry(bytes,
               [&sent](std::string_view file, std::string_view address, std::string_view result) {
                 if (result == kSentResult || result.starts_with(kUncertainResult))
                   sent.emplace(std::string(file), std::string(address));
               });
  return sent;
}

LastResults ParseLastResults(std::string_view bytes) {
  LastResults last;
  ForEachEntry(bytes,
               [&last](std::string_view file, std::string_view address, std::string_view result) {
                 last[{std::string(file), std::string(address)}] = std::string(result);
               });
  return last;
}

LastResults ReadLastResults(const std::filesystem::path& folder) {
  return ParseLastResults(ReadLog(folder));
}

SentMails ReadSendLog(const std::filesystem::path& folder) { return ParseSendLog(ReadLog(folder)); }

std::string SendLogLine(const SendLogEntry& entry) {
  return OneField(entry.time) + "\t" + std::to_string(entry.row) + "\t" + OneField(entry.address) +
         "\t" + OneField(entry.file) + "\t" + OneField(entry.result) + "\n";
}

std::string LogTime(std::time_t when) {
  std::tm local{};
  if (::localtime_r(&when, &local) == nullptr) return "0000-00-00 00:00:00";
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

void TouchSendLog(const std::filesystem::path& folder) {
  const std::filesystem::path file = folder / kSendLogName;
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) throw FileError("append to", file, errno);
  ::close(fd);
}

void AppendSendLog(const std::filesystem::path& folder, const SendLogEntry& entry) {
  const std::filesystem::path file = folder / kSendLogName;
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) throw FileError("append to", file, errno);
  const std::string line = SendLogLine(entry);
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : EIO;
      ::close(fd);
      throw FileError("write", file, error);
    }
    done += static_cast<std::size_t>(n);
  }
  const bool synced = ::fsync(fd) == 0;
  const int syncError = errno;
  ::close(fd);
  if (!synced) throw FileError("write", file, syncError);
}

}  // namespace quirabel::mail
