#include "base/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <random>
#include <system_error>
#include <thread>
#include <vector>

#include "base/regular_file.h"

namespace quirabel {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

// A file grows by this much before what was written is handed to the disk (see
// AtomicFileWriter::WriteOrFail). Smaller files reach the disk at Commit only.
constexpr std::size_t kWriteBackBytes = 8 * 1024 * 1024;

std::string Describe(std::string_view action, const std::filesystem::path& path, int error) {
  std::string message = "cannot ";
  message.append(action);
  message += " '";
  message += path.string();
  message += "'";
  if (error != 0) {
    message += ": ";
    message += std::generic_category().message(error);
  }
  return message;
}

// The process umask, for the rare file whose mode is not left to the kernel's open. Reading it
// with umask() means briefly changing it, which races with other threads creating files, so
// prefer the value the kernel reports.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) {
      return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    }
  }
  const mode_t old = ::umask(022);
  ::umask(old);
  return old;
}

// Returns 0 or the errno of the failing write.
int WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

// Makes the rename itself durable. Failure only costs durability across a crash, not correctness,
// so it is ignored.
void SyncDirectory(const std::filesystem::path& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::filesystem::path DirectoryOf(const std::filesystem::path& path) {
  std::filesystem::path dir = path.parent_path();
  return dir.empty() ? std::filesystem::path(".") : dir;
}

// As many links as the kernel follows in one path lookup.
constexpr int kMaxLinks = 40;

// What is under a name without following a link; `exists` is false when nothing is.
struct NameInfo {
  bool exists = false;
  struct stat info {};
};

// A file is let go of on a thread of its own (see HoldLargeFile) from this size on.
constexpr off_t kLetGoAsideBytes = 16 * 1024 * 1024;

// A replaced file's blocks go back to the file system when its last name and descriptor go,
// which for 200 MB takes about 60 ms, as long as writing a good part of it. A large file about to
// be replaced is held by a descriptor across the rename, so that the rename does not wait for
// that, and let go with LetGoAside. -1 for a small or no file.
int HoldLargeFile(const std::filesystem::path& path, const NameInfo& look) {
  if (!look.exists || !S_ISREG(look.info.st_mode) || look.info.st_size < kLetGoAsideBytes)
    return -1;
  return ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
}

// Closes a descriptor of HoldLargeFile on a thread of its own: the caller does not wait for the
// blocks to be given back.
void LetGoAside(int fd) {
  if (fd < 0) return;
  try {
    std::thread([fd] { ::close(fd); }).detach();
  } catch (const std::system_error&) {
    ::close(fd);  // no thread to be had
  }
}

NameInfo LookAt(const std::filesystem::path& path, bool followLinks) {
  NameInfo look;
  look.exists =
      (followLinks ? ::stat(path.c_str(), &look.info) : ::lstat(path.c_str(), &look.info)) == 0;
  return look;
}

// The path at the end of a chain of symbolic links, which need not exist, and what is there.
// Returns the errno that stops the walk (ELOOP for a circle); a path that cannot be looked at is
// returned as it is, and the write that follows reports why.
int FollowLinks(const std::filesystem::path& path, std::filesystem::path& end, NameInfo& look) {
  end = path;
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    look = LookAt(end, false);
    if (!look.exists || !S_ISLNK(look.info.st_mode)) return 0;
    std::error_code error;
    const std::filesystem::path next = std::filesystem::read_symlink(end, error);
    if (error) return error.value();
    end = next.is_absolute() ? next : end.parent_path() / next;
  }
  return ELOOP;
}

// Whether an existing file may be replaced by us: 0, or the errno that refuses it. A missing file
// may be created; whether the folder allows that, the temporary file finds out.
int ReplaceableError(const std::filesystem::path& target, const NameInfo& look) {
  if (!look.exists) return 0;
  const struct stat& info = look.info;
  if (S_ISLNK(info.st_mode)) return ELOOP;
  if (S_ISDIR(info.st_mode)) return EISDIR;
  if (!S_ISREG(info.st_mode)) return EINVAL;
  if (::geteuid() == 0) return (info.st_mode & 0222) == 0 ? EACCES : 0;
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return errno;
  return 0;
}

// How long a temporary file must have gone unwritten before a later save may take it for a
// leftover. Only the moment between a writer's mkstemp and its flock, and writers that do not
// lock at all, depend on it; a live writer of ours is protected by its lock however slow it is.
constexpr auto kStaleAfter = std::chrono::minutes(1);
constexpr auto kLockWindow = std::chrono::seconds(2);
constexpr std::size_t kTempSuffixLength = 6;  // the XXXXXX of mkstemp: letters and digits

bool IsTemporaryOf(std::string_view entry, std::string_view prefix) {
  if (entry.size() != prefix.size() + kTempSuffixLength ||
      entry.substr(0, prefix.size()) != prefix) {
    return false;
  }
  return std::all_of(entry.begin() + static_cast<std::ptrdiff_t>(prefix.size()), entry.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// ".<any name>.tmp" and the six characters: a temporary file of any target. An empty prefix
// stands for this.
bool IsAnyTemporary(std::string_view entry) {
  const std::size_t tmp = entry.size() >= kTempSuffixLength + 4
                              ? entry.size() - kTempSuffixLength - 4
                              : std::string_view::npos;
  return entry.size() > 1 && entry.front() == '.' && tmp != std::string_view::npos && tmp > 1 &&
         IsTemporaryOf(entry.substr(tmp), ".tmp");
}

bool WrittenBefore(const struct stat& info, std::chrono::system_clock::time_point limit) {
  const auto written = std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(
          std::chrono::seconds(info.st_mtim.tv_sec) +
          std::chrono::nanoseconds(info.st_mtim.tv_nsec)));
  return written < limit;
}

// Removes the temporary files of earlier saves of the same target that were killed before they
// could clean up. A temporary file goes only when (1) nobody holds its lock: every writer keeps an
// exclusive flock on its temporary file until the rename, and the kernel drops it when the writer
// dies, so a second program saving the same file at the same moment keeps its own; (2) it has not
// been written to for kStaleAfter; and (3) it is a regular file we may open, still under the name
// we found it by. Anything else, and any failure, leaves the entry alone: this is tidying only.
void RemoveStaleTemporaries(const std::filesystem::path& dir, const std::string& prefix,
                            bool anyAge = false) {
  DIR* listing = ::opendir(dir.c_str());
  if (listing == nullptr) return;
  const int dirFd = ::dirfd(listing);
  const auto now = std::chrono::system_clock::now();
  const auto limit = now - kStaleAfter;
  // Without the age rule only an empty file of the last moments is spared: a writer that has
  // made its file but not yet locked it has written nothing.
  const auto unlockedWindow = now - kLockWindow;
  auto old = [&](const struct stat& info) {
    if (!anyAge) return WrittenBefore(info, limit);
    return info.st_size > 0 || WrittenBefore(info, unlockedWindow);
  };
  while (const dirent* entry = ::readdir(listing)) {
    if (prefix.empty() ? !IsAnyTemporary(entry->d_name) : !IsTemporaryOf(entry->d_name, prefix))
      continue;
    const int fd =
        ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat opened, named;
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && old(opened) &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        named.st_dev == opened.st_dev && named.st_ino == opened.st_ino) {
      ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::close(fd);
  }
  ::closedir(listing);
}

bool IsPlainName(const std::filesystem::path& name) {
  return !name.empty() && name != "." && name != "..";
}

}  // namespace

std::string FileErrorReason(int error_number, FileAccess access) {
  const bool reading = access == FileAccess::Read;
  switch (error_number) {
    case 0:
      return "Unbekannter Fehler.";
    case ENOSPC:
      return "Der Datenträger ist voll.";
    case EDQUOT:
      return "Der zugeteilte Speicherplatz (Quota) ist aufgebraucht.";
    case EACCES:
    case EPERM:
      return reading ? "Keine Berechtigung zum Lesen." : "Keine Berechtigung zum Schreiben.";
    case EROFS:
      return "Das Dateisystem ist schreibgeschützt.";
    case EISDIR:
      return reading ? "Das ist ein Ordner, keine Datei." : "Das Ziel ist ein Ordner.";
    case ENOENT:
      return reading ? "Die Datei existiert nicht." : "Der Ordner existiert nicht.";
    case ENOTDIR:
      return "Ein Teil des Pfades ist kein Ordner.";
    case EFBIG:
      return reading ? "Die Datei ist zu groß." : "Die Datei wird zu groß.";
    case ENAMETOOLONG:
      return "Der Dateiname ist zu lang.";
    case ETXTBSY:
    case EBUSY:
      return "Die Datei wird gerade von einem anderen Programm benutzt.";
    case ELOOP:
      return "Zu viele verkettete Verknüpfungen (symbolische Links).";
    case EINVAL:
      return "Das Ziel ist keine gewöhnliche Datei, oder sein Name ist hier nicht erlaubt.";
    case EIO:
      return "Der Datenträger meldet einen Lese- oder Schreibfehler.";
    case EMFILE:
    case ENFILE:
      return "Es sind zu viele Dateien geöffnet.";
    case ENOMEM:
      return "Nicht genug Arbeitsspeicher.";
    case EEXIST:
      return "Die Datei existiert bereits.";
    case ENXIO:
    case ENODEV:
      return "Das Gerät ist nicht verfügbar.";
    case ESTALE:
    case ENOTCONN:
    case ETIMEDOUT:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ECONNRESET:
    case ECONNABORTED:
      return "Die Verbindung zum Netzlaufwerk ist unterbrochen.";
    case EBADF:
      return "Die Datei ist nicht mehr geöffnet.";
    case ENOSYS:
    case EOPNOTSUPP:
      return "Das Dateisystem kann das nicht.";
    case EXDEV:
      return "Quelle und Ziel liegen auf verschiedenen Datenträgern.";
    case EAGAIN:
    case ENOLCK:
      return "Die Datei ist gerade gesperrt.";
    case ENOTEMPTY:
      return "Der Ordner ist nicht leer.";
    case EMLINK:
      return "Die Datei hat zu viele Namen (harte Links).";
    case EILSEQ:
      return "Der Name enthält Zeichen, die das Dateisystem nicht kennt.";
    case EOVERFLOW:
      return reading ? "Die Datei ist zu groß." : "Die Datei wird zu groß.";
    case EINTR:
      return "Der Vorgang wurde unterbrochen.";
    case ENOBUFS:
      return "Nicht genug Arbeitsspeicher.";
    default:
      return "Das Betriebssystem meldet einen unerwarteten Fehler (Code " +
             std::to_string(error_number) + ").";
  }
}

FileError::FileError(const std::string& message, int error_number, FileAccess access)
    : std::runtime_error(message), error_number_(error_number), access_(access) {}

FileError::FileError(std::string_view action, const std::filesystem::path& path, int error_number)
    : std::runtime_error(Describe(action, path, error_number)),
      error_number_(error_number),
      access_(action == "open" || action == "read" ? FileAccess::Read : FileAccess::Write),
      path_(path) {}

std::string FileError::Sentence() const {
  if (path_.empty()) return what();
  return "Die Datei " + path_.string() +
         (access_ == FileAccess::Read ? " kann nicht gelesen werden: "
                                      : " kann nicht geschrieben werden: ") +
         Reason();
}

std::string TemporaryFileName(std::string_view name) {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937_64 random{std::random_device{}()};
  std::string temp = ".";
  temp += name;
  temp += ".tmp";
  for (std::size_t i = 0; i < kTempSuffixLength; ++i)
    temp += kChars[random() % (sizeof kChars - 1)];
  return temp;
}

void RemoveStaleTemporaryFiles(const std::filesystem::path& folder) {
  RemoveStaleTemporaries(folder, "");
}

void RemoveUnlockedTemporaryFiles(const std::filesystem::path& folder) {
  RemoveStaleTemporaries(folder, "", /*anyAge=*/true);
}

AtomicFileWriter::AtomicFileWriter(const std::filesystem::path& path, Leftovers leftovers,
                                   Links links)
    : path_(path), refuseLinks_(links == Links::Refuse) {
  if (!IsPlainName(path.filename())) throw FileError("write", path, EISDIR);
  NameInfo look;
  if (refuseLinks_) {
    target_ = path;
    look = LookAt(path, false);
  } else if (const int error = FollowLinks(path, target_, look); error != 0) {
    throw FileError("write", path, error);
  }
  const std::filesystem::path name = target_.filename();
  if (!IsPlainName(name)) throw FileError("write", path, EISDIR);
  if (const int error = ReplaceableError(target_, look); error != 0) {
    throw FileError("write", path, error);
  }

  const std::filesystem::path dir = DirectoryOf(target_);
  if (leftovers == Leftovers::Tidy) RemoveStaleTemporaries(dir, "." + name.native() + ".tmp");
  // A new file gets its mode from the kernel's open, umask applied, as if created normally; a
  // replaced file's content stays private until Commit gives it the mode of the old one.
  privateMode_ = look.exists;
  const mode_t mode = privateMode_ ? 0600 : 0644;
  // Without a name where the disk allows it (and /proc can give it one at the end): a save that is
  // killed then leaves nothing behind. Else under a temporary name, which the next save removes.
  temp_ = dir / TemporaryFileName(name.native());
  int fd = ::access("/proc/self/fd", X_OK) == 0
               ? ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode)
               : -1;
  unnamed_ = fd >= 0;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp_ = dir / TemporaryFileName(name.native());
    fd = ::open(temp_.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) throw FileError("create a temporary file for", path_, errno);
  // Tells a later save that this file is still being written (see RemoveStaleTemporaries). A
  // file system without locks only loses that protection, not the save.
  ::flock(fd, LOCK_EX);
  fd_ = fd;
}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

void AtomicFileWriter::EnsureOpen() const {
  if (fd_ < 0) {
    throw FileError("cannot write '" + path_.string() + "': already committed or abandoned", EBADF);
  }
}

void AtomicFileWriter::Write(std::string_view bytes) {
  EnsureOpen();
  if (buffer_.size() + bytes.size() > kBufferSize) Flush();
  if (bytes.size() >= kBufferSize) {
    WriteOrFail(bytes);
  } else {
    buffer_.append(bytes);
  }
}

void AtomicFileWriter::Reserve(std::uint64_t bytes) noexcept {
  if (fd_ >= 0 && bytes > 0)
    (void)::fallocate(fd_, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes));
}

void AtomicFileWriter::Flush() {
  EnsureOpen();
  if (buffer_.empty()) return;
  WriteOrFail(buffer_);
  buffer_.clear();
}

void AtomicFileWriter::WriteOrFail(std::string_view bytes) {
  if (const int error = WriteAll(fd_, bytes.data(), bytes.size()); error != 0) {
    Fail("write", path_, error);
  }
  // A large file starts on its way to the disk while the rest is still being written, so that
  // the sync in Commit finds little left to do and writing and the disk overlap. Only a start:
  // the call does not wait for the disk, and what it cannot do (on a file system that does not
  // know it) the sync does.
  written_ += bytes.size();
  if (written_ - handedToDisk_ >= kWriteBackBytes) {
    ::sync_file_range(fd_, static_cast<off_t>(handedToDisk_),
                      static_cast<off_t>(written_ - handedToDisk_), SYNC_FILE_RANGE_WRITE);
    handedToDisk_ = written_;
  }
}

void AtomicFileWriter::Commit() {
  EnsureOpen();
  Flush();

  // The target may have been made read-only (or a folder) while the bytes were written.
  const NameInfo look = LookAt(target_, !refuseLinks_);
  if (const int error = ReplaceableError(target_, look); error != 0) Fail("write", path_, error);
  // A replaced file keeps its mode; a file that is new after all gets what open would give it.
  if (look.exists || privateMode_) {
    const mode_t mode = look.exists ? look.info.st_mode & 0777 : 0644 & ~CurrentUmask();
    if (const int error = SetFileMode(fd_, mode); error != 0)
      Fail("set permissions of", path_, error);
  }
  // Closing drops the lock before the rename; a fresh time keeps the file safe from other
  // writers' tidying for that moment, however long ago the last byte was written.
  ::futimens(fd_, nullptr);
  if (::fsync(fd_) != 0) Fail("sync", path_, errno);
  // The file without a name gets a temporary one for the moment of the rename, while its lock is
  // held: a kill in that moment leaves a file the next save removes.
  if (unnamed_) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
      temp_ = temp_.parent_path() / TemporaryFileName(target_.filename().native());
      error = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp_.c_str(), AT_SYMLINK_FOLLOW) == 0
                  ? 0
                  : errno;
    }
    if (error != 0) Fail("write", path_, error);
    unnamed_ = false;
  }

  const int fd = fd_;
  fd_ = -1;
  // On Linux the descriptor is released even when close() reports EINTR.
  if (::close(fd) != 0 && errno != EINTR) {
    const int error = errno;
    ::unlink(temp_.c_str());
    throw FileError("write", path_, error);
  }
  const int replaced = HoldLargeFile(target_, look);
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp_.c_str());
    if (replaced >= 0) ::close(replaced);
    throw FileError("replace", path_, error);
  }
  SyncDirectory(DirectoryOf(target_));
  LetGoAside(replaced);
}

void AtomicFileWriter::Fail(std::string_view action, const std::filesystem::path& path, int error) {
  Discard();
  throw FileError(action, path, error);
}

void AtomicFileWriter::Discard() noexcept {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  if (!unnamed_) ::unlink(temp_.c_str());
  buffer_.clear();
}

ScratchFile::ScratchFile(const AtomicFileWriter& beside) : path_(beside.path_) {
  const std::filesystem::path dir = beside.temp_.parent_path();
  fd_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    const std::filesystem::path temp = dir / TemporaryFileName(beside.target_.filename().native());
    fd_ = ::open(temp.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
      ::unlink(temp.c_str());
    } else if (errno != EEXIST) {
      break;
    }
  }
  if (fd_ < 0) throw FileError("create a temporary file for", path_, errno);
}

ScratchFile::~ScratchFile() { ::close(fd_); }

void ScratchFile::WriteAt(std::uint64_t offset, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (written < 0) {
      if (errno == EINTR) continue;
      throw FileError("write", path_, errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
    offset += static_cast<std::uint64_t>(written);
  }
}

void ScratchFile::ReadAt(std::uint64_t offset, std::size_t size, std::string& to) const {
  to.assign(size, '\0');
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got =
        ::pread(fd_, to.data() + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw FileError("read", path_, errno);
    if (got == 0) break;  // past the end: never written
    done += static_cast<std::size_t>(got);
  }
}

void WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes) {
  AtomicFileWriter writer(path);
  writer.Write(bytes);
  writer.Commit();
}

int SetFileMode(int fd, unsigned mode) {
  if (::fchmod(fd, static_cast<mode_t>(mode)) == 0) return 0;
  const int error = errno;
  return error == EPERM || error == ENOSYS || error == EOPNOTSUPP ? 0 : error;
}

int OpenRegularFile(const std::filesystem::path& path, const RegularFileOpen& how) {
  const int fd = ::open(path.c_str(), how.flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY,
                        static_cast<mode_t>(how.mode));
  if (fd < 0) throw FileError("open", path, errno);
  struct stat info;
  int error = 0;
  if (::fstat(fd, &info) != 0) {
    error = errno;
  } else if (S_ISDIR(info.st_mode)) {
    error = EISDIR;
  } else if (!S_ISREG(info.st_mode) || (how.singleName && info.st_nlink > 1)) {
    error = EINVAL;
  } else if (static_cast<std::uint64_t>(info.st_size) > how.maxBytes) {
    error = EFBIG;
  } else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::close(fd);
    throw FileError("open", path, error);
  }
  return fd;
}

int OpenRegularFile(const std::filesystem::path& path) {
  return OpenRegularFile(path, RegularFileOpen{});
}

std::string ReadFile(const std::filesystem::path& path, std::size_t max_bytes) {
  const int fd = OpenRegularFile(path);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};

  struct stat info;
  if (::fstat(fd, &info) != 0) throw FileError("read", path, errno);
  if (S_ISDIR(info.st_mode)) throw FileError("read", path, EISDIR);
  const auto too_large = [&] {
    return FileError(
        "read '" + path.string() + "': larger than " + std::to_string(max_bytes) + " bytes", EFBIG,
        FileAccess::Read);
  };
  if (S_ISREG(info.st_mode) && static_cast<std::uintmax_t>(info.st_size) > max_bytes) {
    throw too_large();
  }

  // One byte beyond the limit detects a file that grew after fstat (or has no size, like a pipe).
  const std::size_t limit = max_bytes == SIZE_MAX ? SIZE_MAX : max_bytes + 1;
  std::size_t capacity = S_ISREG(info.st_mode) ? static_cast<std::size_t>(info.st_size) : 0;
  capacity = std::min(std::max<std::size_t>(capacity + 1, 4096), limit);
  std::string content(capacity, '\0');
  std::size_t size = 0;
  while (true) {
    if (size == content.size()) {
      if (size >= limit) break;
      content.resize(content.size() < limit / 2 ? content.size() * 2 : limit);
    }
    const ssize_t got = ::read(fd, content.data() + size, content.size() - size);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw FileError("read", path, errno);
    }
    if (got == 0) break;
    size += static_cast<std::size_t>(got);
  }
  if (size > max_bytes) throw too_large();
  content.resize(size);
  return content;
}

}  // namespace quirabel
