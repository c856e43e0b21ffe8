#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace quirabel::serial {

// The folder a serial run writes into, held open for the run, so that every name is looked up in
// the folder the run started in. Nothing written here follows a symbolic link: a new file gets its
// name by a rename, which replaces a name and never what a link points at, and a name that is a
// link or anything but a regular file is refused before.
//
// Files are written without a sync each (that would cost most of a run's time on a disk); Sync()
// makes all of them durable at once, before the run record names them.
class OutputFolder {
 public:
  // Makes the folder (and its parents) when missing. Raises FileError when it cannot be made or
  // opened.
  explicit OutputFolder(const std::filesystem::path& folder);
  ~OutputFolder();
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }

  // Claims the folder for a run while the object lives: a whole run alone (exclusive), parts of a
  // run (--rows) beside each other (shared). False when another run holds it the other way.
  bool Claim(bool whole);

  enum class Entry { Missing, RegularFile, Other };
  // What a name in the folder is, without following a link (a link is Other).
  Entry Look(const std::string& name) const;

  // Writes `bytes` under `name`: into a file made by one open, without a name where the disk
  // allows it (else under a temporary name, locked at once, so a run's sweep can tell a dead
  // writer's leftover by its free lock), which gets the name when complete. A name not yet taken
  // costs no look at it.
  // Raises FileError (ELOOP for a link, EINVAL for another non-regular file, EISDIR for a folder)
  // when the name is taken by anything but a regular file, or when writing fails; nothing is left
  // behind then.
  void Write(const std::string& name, std::string_view bytes) const;
  // The same for bytes in pieces, written one after the other.
  void Write(const std::string& name, std::span<const std::string_view> pieces) const;

  // Makes every file written so far durable. Raises FileError when the disk reports an error.
  void Sync() const;

 private:
  std::filesystem::path path_;
  int fd_ = -1;
};

}  // namespace quirabel::serial
