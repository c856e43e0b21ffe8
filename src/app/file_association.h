#pragma once

#include <filesystem>
#include <string>

namespace quirabel::app {

// The ".kxp" association of the desktop: a desktop entry that opens projects with the program
// and a MIME type for the file name pattern, both below the user's data folder
// ($XDG_DATA_HOME, usually ~/.local/share). Written anew at every start, as the program always
// registered itself. Raises FileError when a file cannot be written.
void WriteFileAssociation(const std::filesystem::path& dataHome, const std::string& programPath);

inline constexpr const char* kProjectMimeType = "application/x-quirabel-project";

}  // namespace quirabel::app
