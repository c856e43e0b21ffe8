#include "mail/send_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "base/atomic_file.h"
#include "base/regular_file.h"
#include "base/sha256.h"

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

MailKey KeyOfText(std::string_view text) {
  const std::string hex = Sha256Hex(text);
  MailKey key;
  key.high = std::stoull(hex.substr(0, 16), nullptr, 16);
  key.low = std::stoull(hex.substr(16, 16), nullptr, 16);
  return key;
}

constexpr std::size_t kReadPiece = 1024 * 1024;

}  // namespace

MailKey KeyOf(std::string_view runId, std::size_t row, std::string_view address,
              std::string_view pdfSha256) {
  std::string text = "mail";
  text += '\0';
  text += runId;
  text += '\0';
  text += std::to_string(row);
  text += '\0';
  text += address;
  text += '\0';
  text += pdfSha256;
  return KeyOfText(text);
}

MailKey LegacyKeyOf(std::string_view file, std::string_view address) {
  std::string text = "file";
  text += '\0';
  text += file;
  text += '\0';
  text += address;
  return KeyOfText(text);
}

MailState StateIn(const SendLogIndex& index, const MailKey& key) {
  const auto found = index.find(key);
  if (found == index.end()) return MailState::Unknown;
  auto settled = static_cast<MailState>(found->second & 0x0F);
  if ((found->second & kIntentPending) != 0 && settled < MailState::Uncertain)
    settled = MailState::Uncertain;
  return settled;
}

MailState StateOfResult(std::string_view result) {
  if (result == kIntentResult) return MailState::Unknown;
  if (result.starts_with("unklar")) return MailState::Uncertain;
  if (result == kSentResult || result == kMarkedSentResult) return MailState::Sent;
  return MailState::Open;
}

void SendLogReader::Add(std::string_view bytes) {
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) {
      pending_.append(bytes.substr(start));
      return;
    }
    if (pending_.empty()) {
      Line(bytes.substr(start, end - start));
    } else {
      pending_.append(bytes.substr(start, end - start));
      Line(pending_);
      pending_.clear();
    }
    start = end + 1;
  }
}

void SendLogReader::Line(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  // We never write a CR inside a line.
  if (line.find('\r') != std::string_view::npos) return;
  std::string_view fields[8];
  std::size_t count = 0;
  std::size_t from = 0;
  while (count < 8) {
    const std::size_t tab = line.find('\t', from);
    fields[count++] = line.substr(from, tab == std::string_view::npos ? tab : tab - from);
    if (tab == std::string_view::npos) break;
    from = tab + 1;
  }
  if ((count != 5 && count != 7) || !IsNumber(fields[1]) || fields[2].empty() || fields[3].empty())
    return;
  const MailKey key =
      count == 5 ? LegacyKeyOf(fields[3], fields[2])
                 : KeyOf(fields[5], std::stoull(std::string(fields[1])), fields[2], fields[6]);
  std::uint8_t& entry = index_[key];
  if (fields[4] == kIntentResult) {
    entry |= kIntentPending;
    return;
  }
  const auto settled = std::max(static_cast<std::uint8_t>(entry & 0x0F),
                                static_cast<std::uint8_t>(StateOfResult(fields[4])));
  entry = settled;
}

SendLogIndex ParseSendLog(std::string_view bytes) {
  SendLogIndex index;
  SendLogReader(index).Add(bytes);
  return index;
}

std::string SendLogLine(const SendLogEntry& entry) {
  return OneField(entry.time) + "\t" + std::to_string(entry.row) + "\t" + OneField(entry.address) +
         "\t" + OneField(entry.file) + "\t" + OneField(entry.result) + "\t" +
         OneField(entry.runId) + "\t" + OneField(entry.pdfSha256) + "\n";
}

std::string LogTime(std::time_t when) {
  std::tm local{};
  if (::localtime_r(&when, &local) == nullptr) return "0000-00-00 00:00:00";
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

SendLogBusy::SendLogBusy(const std::filesystem::path& folder)
    : std::runtime_error("Für " + folder.string() + " läuft schon ein Versand.") {}

namespace {

// Reads a whole log from a descriptor into an index; returns the last byte read ('\n' when
// empty).
char ReadIndex(int fd, const std::filesystem::path& file, SendLogIndex& index) {
  SendLogReader reader(index);
  std::vector<char> buffer(kReadPiece);
  off_t offset = 0;
  char last = '\n';
  for (;;) {
    const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), offset);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw FileError("read", file, errno);
    if (n == 0) break;
    reader.Add(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    last = buffer[static_cast<std::size_t>(n) - 1];
    offset += n;
  }
  return last;
}

// Writes all of `bytes` at the end and syncs; a failed write is cut off again, so that no half
// line joins the next one.
void AppendSynced(int fd, const std::filesystem::path& file, std::string_view bytes) {
  struct stat info;
  if (::fstat(fd, &info) != 0) throw FileError("write", file, errno);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : EIO;
      if (done > 0 && ::ftruncate(fd, info.st_size) != 0) {
        // Nothing more to do: the reader passes over the cut line.
      }
      throw FileError("write", file, error);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fdatasync(fd) != 0) {
    const int error = errno;
    if (::ftruncate(fd, info.st_size) != 0) {
      // As above.
    }
    throw FileError("write", file, error);
  }
}

// Never through a link, nor through a second name of a file elsewhere.
int OpenLog(const std::filesystem::path& file, int flags) {
  return OpenRegularFile(
      file,
      RegularFileOpen{
          .flags = flags | O_NOFOLLOW, .mode = 0644, .singleName = true, .maxBytes = kAnySize});
}

}  // namespace

SendLog::SendLog(const std::filesystem::path& folder) : file_(folder / kSendLogName) {
  fd_ = OpenLog(file_, O_RDWR | O_CREAT | O_APPEND);
  try {
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK) throw SendLogBusy(folder);
      throw FileError("lock", file_, errno);
    }
    // A line cut off by a crash or a full disk is ended, so the next one stands on its own.
    if (ReadIndex(fd_, file_, index_) != '\n') AppendSynced(fd_, file_, "\n");
  } catch (...) {
    ::close(fd_);
    throw;
  }
}

SendLog::~SendLog() {
  if (fd_ >= 0) ::close(fd_);
}

void SendLog::Append(const SendLogEntry& entry) {
  const std::string line = SendLogLine(entry);
  AppendSynced(fd_, file_, line);
  SendLogReader(index_).Add(line);
}

SendLogIndex ReadSendLogIndex(const std::filesystem::path& folder) {
  const std::filesystem::path file = folder / kSendLogName;
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::symlink_status(file, error))) return {};
  const int fd = OpenLog(file, O_RDONLY);
  SendLogIndex index;
  try {
    ReadIndex(fd, file, index);
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
  return index;
}

}  // namespace quirabel::mail
