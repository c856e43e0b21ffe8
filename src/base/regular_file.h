#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>

namespace quirabel {

inline constexpr std::uint64_t kAnySize = std::numeric_limits<std::uint64_t>::max();

// What OpenRegularFile (base/atomic_file.h) may be asked beyond opening for reading.
struct RegularFileOpen {
  // open(2) flags beyond the reading ones: another access mode (O_RDWR | O_CREAT | O_APPEND, with
  // `mode` for a new file) or O_NOFOLLOW for a name that must not be a link (ELOOP then).
  int flags = 0;
  unsigned mode = 0644;
  // Refuses (EINVAL) a file that has other names too, such as a hard link planted in a folder the
  // user chose.
  bool singleName = false;
  // Refuses (EFBIG) a larger file.
  std::uint64_t maxBytes = kAnySize;
};

// The one open of files that must be regular: without blocking, checked, then blocking again.
// Throws FileError as OpenRegularFile(path) does.
int OpenRegularFile(const std::filesystem::path& path, const RegularFileOpen& how);

}  // namespace quirabel
