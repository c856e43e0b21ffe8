#include "base/shared_bytes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
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

// Files mapped in place (see MapFilesInPlace), for the handler of SIGBUS: the signal that
// reading a mapped page past the end of a file that was cut short raises. Slots are claimed and
// released without a lock, since the handler may run at any time.
struct MappingSlot {
  std::atomic<const char*> begin{nullptr};
  std::atomic<std::size_t> length{0};
  char message[600] = {};  // what the handler writes, made beforehand
};

constexpr std::size_t kMappingSlots = 32;
MappingSlot mappingSlots[kMappingSlots];
struct sigaction busHandlerBefore {};
std::atomic<bool> mapInPlace{false};

// Files from this size on are mapped where mapping is allowed; smaller ones are read.
constexpr std::size_t kMapInPlaceBytes = 1024 * 1024;

void OnBusError(int signal, siginfo_t* info, void* context) {
  const auto* at = static_cast<const char*>(info->si_addr);
  for (MappingSlot& slot : mappingSlots) {
    const char* begin = slot.begin.load(std::memory_order_acquire);
    if (begin != nullptr && at >= begin && at < begin + slot.length.load()) {
      const ssize_t ignored = ::write(STDERR_FILENO, slot.message, std::strlen(slot.message));
      static_cast<void>(ignored);
      ::_exit(1);
    }
  }
  // Not one of ours: as it would have been without this handler.
  if ((busHandlerBefore.sa_flags & SA_SIGINFO) != 0 && busHandlerBefore.sa_sigaction != nullptr) {
    busHandlerBefore.sa_sigaction(signal, info, context);
    return;
  }
  if (busHandlerBefore.sa_handler != SIG_DFL && busHandlerBefore.sa_handler != SIG_IGN &&
      busHandlerBefore.sa_handler != nullptr) {
    busHandlerBefore.sa_handler(signal);
    return;
  }
  ::sigaction(SIGBUS, &busHandlerBefore, nullptr);  // the access faults again, unhandled
}

// A file's mapping, released with the last piece, and then its slot.
struct Mapping {
  const char* bytes = nullptr;
  std::size_t length = 0;
  MappingSlot* slot = nullptr;
  ~Mapping() {
    if (bytes != nullptr) ::munmap(const_cast<char*>(bytes), length);
    if (slot != nullptr) {
      slot->begin.store(nullptr, std::memory_order_release);
      slot->length.store(0);
    }
  }
};

// The file of `fd` (`length` bytes) mapped into memory and shown to the watcher; none where it
// cannot be mapped (no free slot, no mapping), which the caller then reads as it reads any file.
std::optional<SharedBytes> MapInPlace(int fd, const std::filesystem::path& path, std::size_t length,
                                      const ReadWatcher& watch) {
  static std::once_flag handlerInstalled;
  std::call_once(handlerInstalled, [] {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &busHandlerBefore);
  });
  MappingSlot* slot = nullptr;
  for (MappingSlot& candidate : mappingSlots) {
    // A slot is claimed by a length, and in use once it has a beginning.
    std::size_t free = 0;
    if (candidate.begin.load() == nullptr && candidate.length.compare_exchange_strong(free, 1)) {
      slot = &candidate;
      break;
    }
  }
  if (slot == nullptr) return std::nullopt;
  auto mapping = std::make_shared<Mapping>();
  // A file watched in two parts is faulted in by the two threads that look at it, side by side;
  // otherwise the kernel maps it all at once, which is cheaper than a fault at every first look.
  const bool twoParts = watch && length >= kParallelReadBytes;
  void* memory =
      ::mmap(nullptr, length, PROT_READ, MAP_SHARED | (twoParts ? 0 : MAP_POPULATE), fd, 0);
  if (memory == MAP_FAILED) {
    slot->length.store(0);
    return std::nullopt;
  }
  mapping->bytes = static_cast<const char*>(memory);
  mapping->length = length;
  std::snprintf(slot->message, sizeof slot->message,
                "Die Datei %s wurde während des Laufs gekürzt; der Lauf wird abgebrochen.\n",
                path.c_str());
  slot->length.store(length);
  slot->begin.store(mapping->bytes, std::memory_order_release);
  mapping->slot = slot;
  const std::string_view view(mapping->bytes, length);
  if (watch) {
    // Two parts side by side, as a read would show them.
    const std::size_t half = length >= kParallelReadBytes ? length / 2 : length;
    std::thread second;
    if (half < length) second = std::thread([&] { watch(1, view.substr(half)); });
    watch(0, view.substr(0, half));
    if (second.joinable()) second.join();
  }
  // A file cut short while it was looked at (and not yet where the watcher was) would end the
  // program at the next look: it is refused now instead.
  struct stat info {};
  if (::fstat(fd, &info) != 0 || static_cast<std::size_t>(info.st_size) < length) {
    throw FileError("read '" + path.string() + "': the file was cut short while it was read", EIO,
                    FileAccess::Read);
  }
  return SharedBytes(std::shared_ptr<const void>(mapping), view);
}

}  // namespace

void MapFilesInPlace() { mapInPlace.store(true); }

SharedBytes MapFile(const std::filesystem::path& path, std::size_t maxBytes,
                    const ReadWatcher& watch) {
  // Read into one buffer that every piece shares, unless the program asked for mappings: a file
  // changed by someone else while the project is open would then end the program.
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
  if (mapInPlace.load() && length >= kMapInPlaceBytes) {
    std::optional<SharedBytes> mapped;
    try {
      mapped = MapInPlace(fd, path, length, watch);
    } catch (...) {
      ::close(fd);
      throw;
    }
    if (mapped) {
      ::close(fd);
      return std::move(*mapped);
    }
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
