#pragma once

#include <string_view>
#include <vector>

namespace quirabel::designer::projectfile {

// What ends each page text of a project file.
inline constexpr std::string_view kEndOfFile = "</endoffile>";

// The page texts of a project as views into it: the pieces before each "</endoffile>"; anything
// after the last one is dropped, and a file without one has no pages.
std::vector<std::string_view> SplitProjectViews(std::string_view file);
// The bytes after the last "</endoffile>" that are more than blanks and line ends: a page cut
// short, which reading leaves out. Zero for a whole project.
std::size_t UnfinishedTailBytes(std::string_view file);

}  // namespace quirabel::designer::projectfile
