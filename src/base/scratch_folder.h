#pragma once

#include <filesystem>

namespace quirabel {

// A folder of our own below the temporary folder ($TMPDIR or /tmp), only its owner may enter it,
// removed with everything in it when this goes. Raises FileError when it cannot be made.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace quirabel
