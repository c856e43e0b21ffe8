#include "base/shared_bytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "base/atomic_file.h"

namespace quirabel {

SharedBytes::SharedBytes(std::string bytes) {
  auto owned = std::make_shared<const std::string>(std::move(bytes));
  view_ = *owned;
  keeper_ = std::move(owned);
}

SharedBytes SharedBytes::Sub(std::size_t pos, std::size_t count) const {
  if (pos > view_.size()) pos = view_.size();
  return SharedBytes(keeper_, view_.substr(pos, count));
}

SharedBytes SharedBytes::Piece(std::string_view inside) const {
  const auto* begin = view_.data();
  if (inside.data() < begin || inside.data() + inside.size() > begin + view_.size()) return {};
  return SharedBytes(keeper_, inside);
}

namespace {

// Anonymous memory for a file's bytes, released with the last piece.
struct Buffer {
  char* bytes = nullptr;
  std::size_t capacity = 0;
  std::size_t size = 0;
  ~Buffer() {
    if (bytes != nullptr) ::munmap(bytes, capacity);
  }
};

// Files from this size on are read by two threads.
constexpr std::size_t kParallelReadBytes = 16 * 1024 * 1024;

// Pieces this large stay in the cache between being read and being watched.
constexpr std::size_t kWatchedPieceBytes = 512 * 1024;

// Reads up to count bytes at offset; how many came. error is set on a read error. With a
// watcher, reads piece by piece and shows it each piece as it arrives.
std::size_t ReadAt(int fd, char* into, std::size_t count, std::size_t offset, int& error,
                   const ReadWatcher& watch, int part) {
  std::size_t done = 0;
  while (done < count) {
    const std::size_t ask = watch ? std::min(count - done, kWatchedPieceBytes) : count - done;
    const ssize_t got = ::pread(fd, into + done, ask, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = errno;
      break;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
    if (watch) watch(part, std::string_view(into, done));
  }
  return done;
}

}  // namespace

SharedBytes MapFile(const std::filesystem::path& path, std::size_t maxBytes,
                    const ReadWatcher& watch) {
  // Read into one buffer that every piece shares. The file is not mapped: a file changed by
  // someone else while the project is open would then take the program down with it.
  const int fd = OpenRegularFile(path);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || info.st_size == 0) {
    ::close(fd);
    SharedBytes bytes(ReadFile(path, maxBytes));  // empty files, and files of /proc
    if (watch) watch(0, bytes.View());
    return bytes;
  }
  const auto length = static_cast<std::size_t>(info.st_size);
  if (length > maxBytes) {
    ::close(fd);
    throw FileError(
        "read '" + path.string() + "': larger than " + std::to_string(maxBytes) + " bytes", EFBIG,
        FileAccess::Read);
  }
  auto buffer = std::make_shared<Buffer>();
  void* memory =
      ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) {
    const int error = errno;
    ::close(fd);
    throw FileError("read", path, error);
  }
  buffer->bytes = static_cast<char*>(memory);
  buffer->capacity = length;
  // Large pages make the fresh memory cheaper to touch where the kernel allows them.
  ::madvise(memory, length, MADV_HUGEPAGE);
  // Large files are read in two halves side by side: most of the cost is the kernel filling fresh
  // memory, which two cores do in half the time.
  const std::size_t half = length >= kParallelReadBytes ? length / 2 : length;
  int secondError = 0;
  std::size_t secondGot = 0;
  std::thread second;
  if (half < length) {
    second = std::thread([&] {
      secondGot = ReadAt(fd, buffer->bytes + half, length - half, half, secondError, watch, 1);
    });
  }
  int firstError = 0;
  const std::size_t firstGot = ReadAt(fd, buffer->bytes, half, 0, firstError, watch, 0);
  if (second.joinable()) second.join();
  ::close(fd);
  const int readError = firstError != 0 ? firstError : secondError;
  if (readError != 0) throw FileError("read", path, readError);
  // A file that shrank while being read gives what was there up to the first gap.
  buffer->size = firstGot < half ? firstGot : half + secondGot;
  const std::string_view view(buffer->bytes, buffer->size);
  return SharedBytes(std::shared_ptr<const void>(buffer), view);
}

}  // namespace quirabel
