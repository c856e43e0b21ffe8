#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace quirabel {

// Immutable bytes that several owners share without copying: a view and whatever keeps it alive
// (an owned string, or a file mapped into memory). Pieces of it share the same keeper, so the
// page texts of a project and the pictures inside them can all point into the file as read.
class SharedBytes {
 public:
  SharedBytes() = default;
  // Takes the bytes over (implicitly: a string is as good as shared bytes of its own).
  SharedBytes(std::string bytes);  // NOLINT(google-explicit-constructor)
  SharedBytes(const char* text) : SharedBytes(std::string(text)) {}  // NOLINT
  SharedBytes(std::shared_ptr<const void> keeper, std::string_view view)
      : keeper_(std::move(keeper)), view_(view) {}

  std::string_view View() const { return view_; }
  operator std::string_view() const { return view_; }  // NOLINT: a view is what callers want
  const char* data() const { return view_.data(); }
  std::size_t size() const { return view_.size(); }
  bool empty() const { return view_.empty(); }
  std::string Str() const { return std::string(view_); }

  // A piece of these bytes (clamped to them), sharing the same keeper.
  SharedBytes Sub(std::size_t pos, std::size_t count = std::string_view::npos) const;
  // A piece given as a view into these bytes; none when the view lies elsewhere.
  SharedBytes Piece(std::string_view inside) const;

  // Equal bytes, whatever keeps them (compares with strings and views too).
  friend bool operator==(const SharedBytes& a, std::string_view b) { return a.view_ == b; }

 private:
  std::shared_ptr<const void> keeper_;
  std::string_view view_;
};

// Told about a file's bytes as they arrive, while they are still in the cache, so that a caller
// looking for something in them needs no second pass over the file. Large files are read in two
// parts side by side: `part` is 0 or 1, and `soFar` the bytes of that part read so far. Calls
// for one part come in order and from one thread; the two parts' calls run at the same time.
// A watcher must not throw.
using ReadWatcher = std::function<void(int part, std::string_view soFar)>;

// A whole file as shared bytes, read into one buffer that every piece shares. Raises FileError
// when it cannot be read or is larger than maxBytes.
SharedBytes MapFile(const std::filesystem::path& path, std::size_t maxBytes,
                    const ReadWatcher& watch = {});

// From now on, MapFile maps large files into memory instead of reading them: no memory to fill
// and no copy, the bytes come straight from the system's cache. For programs that end soon after
// they are done with a file: should the file be cut short while its mapping is in use, the
// process ends with exit status 1 and a message naming the file, and writes nothing more (an
// atomic write in progress is never committed).
void MapFilesInPlace();

}  // namespace quirabel
