#include "serial/output_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <system_error>

#include "base/atomic_file.h"

namespace quirabel::serial {

namespace {

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

mode_t NewFileMode() {
  static const mode_t mode = [] {
    // Read once, before the workers start writing; umask() is not thread-safe to read.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0644 & ~mask;
  }();
  return mode;
}

// ".<name>.tmp" and six letters or digits: the temporary names the atomic writer uses, so the
// same sweep tidies both.
std::string TemporaryName(const std::string& name) {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937_64 random{std::random_device{}()};
  std::string temp = "." + name + ".tmp";
  for (int i = 0; i < 6; ++i) temp += kChars[random() % (sizeof kChars - 1)];
  return temp;
}

}  // namespace

OutputFolder::OutputFolder(const std::filesystem::path& folder) : path_(folder) {
  NewFileMode();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) throw FileError("open", folder, errno);
}

bool OutputFolder::Claim(bool whole) {
  return ::flock(fd_, (whole ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

OutputFolder::~OutputFolder() {
  if (fd_ >= 0) ::close(fd_);
}

OutputFolder::Entry OutputFolder::Look(const std::string& name) const {
  struct stat info;
  if (::fstatat(fd_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT ? Entry::Missing : Entry::Other;
  }
  return S_ISREG(info.st_mode) ? Entry::RegularFile : Entry::Other;
}

void OutputFolder::Write(const std::string& name, std::string_view bytes) const {
  const std::filesystem::path path = path_ / name;
  auto refuseTaken = [&] {
    struct stat info;
    if (::fstatat(fd_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return;
    if (S_ISLNK(info.st_mode)) throw FileError("write", path, ELOOP);
    if (S_ISDIR(info.st_mode)) throw FileError("write", path, EISDIR);
    if (!S_ISREG(info.st_mode)) throw FileError("write", path, EINVAL);
  };
  refuseTaken();

  // Locked before it has a name where the disk allows a file without one; else locked right
  // after it is made (the sweep spares empty files of the last moments for that).
  std::string temp;
  int fd = ::openat(fd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, NewFileMode());
  const bool unnamed = fd >= 0;
  if (!unnamed) {
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      temp = TemporaryName(name);
      fd = ::openat(fd_, temp.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC,
                    NewFileMode());
      if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) throw FileError("create a temporary file for", path, errno);
  }
  ::flock(fd, LOCK_EX);
  auto fail = [&](std::string_view action, int error) {
    ::close(fd);
    if (!temp.empty()) ::unlinkat(fd_, temp.c_str(), 0);
    throw FileError(action, path, error);
  };
  if (const int error = WriteAll(fd, bytes); error != 0) fail("write", error);
  if (::fchmod(fd, NewFileMode()) != 0) fail("set permissions of", errno);
  if (unnamed) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
      temp = TemporaryName(name);
      if (::linkat(AT_FDCWD, self.c_str(), fd_, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) break;
      const int error = errno;
      temp.clear();
      if (error != EEXIST) fail("write", error);
    }
    if (temp.empty()) fail("create a temporary file for", EEXIST);
  }
  // Checked again just before: a name that became a link meanwhile is replaced by the rename,
  // never followed, but it is refused like one found earlier.
  try {
    refuseTaken();
  } catch (const FileError& e) {
    fail("write", e.error_number());
  }
  if (::renameat(fd_, temp.c_str(), fd_, name.c_str()) != 0) fail("replace", errno);
  ::close(fd);
}

void OutputFolder::Sync() const {
  if (::syncfs(fd_) != 0) throw FileError("sync", path_, errno);
  if (::fsync(fd_) != 0 && errno != EINVAL) throw FileError("sync", path_, errno);
}

}  // namespace quirabel::serial
