#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>
#include <vector>

#include "base/shared_bytes.h"

namespace quirabel::designer::projectfile {

// What ends each page text of a project file.
inline constexpr std::string_view kEndOfFile = "</endoffile>";

// The first place of a tag in bytes that may hold much else (picture data), or npos. Faster than
// a plain search where the tag's first byte is common, as '<' is in picture data.
std::size_t FindTag(std::string_view text, std::string_view tag);

// The page texts of a project as views into it: the pieces before each "</endoffile>"; anything
// after the last one is dropped, and a file without one has no pages.
std::vector<std::string_view> SplitProjectViews(std::string_view file);

// A project file as read: its bytes, and its page texts as pieces of them.
struct ProjectFileBytes {
  SharedBytes bytes;
  std::vector<SharedBytes> pages;
  // The bytes after the last "</endoffile>" that are more than blanks and line ends: a page cut
  // short, which reading leaves out. Zero for a whole project.
  std::size_t unfinishedTailBytes = 0;
};

// Reads a project file and splits it into its pages as SplitProjectViews does, looking for the
// page ends while the bytes arrive: the file is gone over once. FileError as MapFile.
ProjectFileBytes ReadProjectFile(const std::filesystem::path& path, std::size_t maxBytes);

}  // namespace quirabel::designer::projectfile
