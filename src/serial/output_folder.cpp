#include "serial/output_folder.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <system_error>
#include <vector>

#include "base/atomic_file.h"

namespace quirabel::serial {

namespace {

// Returns 0 or the errno of the failing write.
int WriteAll(int fd, std::span<const std::string_view> pieces) {
  std::vector<iovec> parts;
  parts.reserve(pieces.size());
  for (std::string_view piece : pieces) {
    if (!piece.empty()) parts.push_back({const_cast<char*>(piece.data()), piece.size()});
  }
  std::size_t first = 0;
  while (first < parts.size()) {
    const int count = static_cast<int>(std::min<std::size_t>(parts.size() - first, IOV_MAX));
    ssize_t written = ::writev(fd, parts.data() + first, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    // Past what went out; a piece written in part goes on from where it stopped.
    while (first < parts.size() && static_cast<std::size_t>(written) >= parts[first].iov_len) {
      written -= static_cast<ssize_t>(parts[first].iov_len);
      ++first;
    }
    if (first < parts.size()) {
      parts[first].iov_base = static_cast<char*>(parts[first].iov_base) + written;
      parts[first].iov_len -= static_cast<std::size_t>(written);
    }
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
  Write(name, std::span<const std::string_view>(&bytes, 1));
}

void OutputFolder::Write(const std::string& name, std::span<const std::string_view> pieces) const {
  auto refuseTaken = [&](int& error) {
    struct stat info;
    if (::fstatat(fd_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
    error = S_ISLNK(info.st_mode)    ? ELOOP
            : S_ISDIR(info.st_mode)  ? EISDIR
            : !S_ISREG(info.st_mode) ? EINVAL
                                     : 0;
    return error != 0;
  };

  // One open makes the file, without a name where the disk allows it: a run killed while writing
  // then leaves nothing behind. Else under a temporary name of its own, locked right after it is
  // made (the sweep spares empty files of the last moments for that).
  std::string temp;
  int fd = ::openat(fd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, NewFileMode());
  const bool unnamed = fd >= 0;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = TemporaryFileName(name);
    fd = ::openat(fd_, temp.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC,
                  NewFileMode());
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) throw FileError("create a temporary file for", path_ / name, errno);
  // Only a named temporary file can be found by another run's sweep.
  if (!unnamed) ::flock(fd, LOCK_EX);
  auto fail = [&](std::string_view action, int error) {
    ::close(fd);
    if (!temp.empty()) ::unlinkat(fd_, temp.c_str(), 0);
    throw FileError(action, path_ / name, error);
  };
  if (const int error = WriteAll(fd, pieces); error != 0) fail("write", error);
  // The disk starts on the bytes now, while the next PDF is made; the run's one sync at the end
  // then waits for the last few only.
  ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
  if (const int error = SetFileMode(fd, NewFileMode()); error != 0)
    fail("set permissions of", error);
  // A new name needs no look first: the complete file gets it by a link (or a rename) that
  // refuses to replace anything. Only a name that is taken is looked at, and replaced by a
  // rename when it is a regular file. A name that became a link after the look is replaced by
  // the rename, never followed.
  if (unnamed) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), fd_, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      ::close(fd);
      return;
    }
    if (errno != EEXIST) fail("write", errno);
    // The file gets a temporary name for the moment of the rename: locked before, so that
    // another run's sweep leaves it alone.
    ::flock(fd, LOCK_EX);
    for (int attempt = 0; attempt < 100 && temp.empty(); ++attempt) {
      temp = TemporaryFileName(name);
      if (::linkat(AT_FDCWD, self.c_str(), fd_, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) break;
      const int error = errno;
      temp.clear();
      if (error != EEXIST) fail("write", error);
    }
    if (temp.empty()) fail("create a temporary file for", EEXIST);
    if (int error = 0; refuseTaken(error)) fail("write", error);
    if (::renameat(fd_, temp.c_str(), fd_, name.c_str()) != 0) fail("replace", errno);
  } else if (::renameat2(fd_, temp.c_str(), fd_, name.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno != EEXIST && errno != EINVAL && errno != ENOSYS) fail("replace", errno);
    if (int error = 0; refuseTaken(error)) fail("write", error);
    if (::renameat(fd_, temp.c_str(), fd_, name.c_str()) != 0) fail("replace", errno);
  }
  ::close(fd);
}

void OutputFolder::Sync() const {
  if (::syncfs(fd_) != 0) throw FileError("sync", path_, errno);
  if (::fsync(fd_) != 0 && errno != EINVAL) throw FileError("sync", path_, errno);
}

}  // namespace quirabel::serial
