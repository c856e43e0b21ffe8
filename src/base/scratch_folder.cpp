#include "base/scratch_folder.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

#include "base/atomic_file.h"

namespace quirabel {

ScratchFolder::ScratchFolder() {
  std::error_code ignored;
  std::string pattern =
      (std::filesystem::temp_directory_path(ignored) / "quirabel-XXXXXX").string();
  if (ignored) pattern = "/tmp/quirabel-XXXXXX";
  // mkdtemp makes it with mode 0700.
  if (::mkdtemp(pattern.data()) == nullptr) throw FileError("create", pattern, errno);
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace quirabel
