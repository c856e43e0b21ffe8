#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quirabel::app {

// The ".kxp" association of the desktop: a desktop entry that opens projects with the designer
// and a shared-mime-info package for the project type (file name "*.kxp", files starting with
// "<kx-", its icon).
//
// The package installs both into the system's data folder under the program's id. A designer
// started from a build folder, on a system without them, writes its own under the user's data
// folder ($XDG_DATA_HOME) with an id of its own, so that it never hides the system's entry.

inline constexpr const char* kProjectMimeType = "application/x-quirabel-project";
// The desktop id of the installed designer (also its AppStream id) and its MIME package.
inline constexpr const char* kDesktopId = "org.example.quirabel";
inline constexpr const char* kMimePackageName = "quirabel";
// What a designer in a build folder writes for its user.
inline constexpr const char* kBuildDesktopId = "org.example.quirabel.build";
// The icon of project files in the icon theme.
inline constexpr const char* kProjectIconName = "application-x-quirabel-project";

// The desktop entry of the installed designer (Exec by name from the PATH).
std::string SystemDesktopEntry();
// The desktop entry a build folder's designer writes: its own name, the program by its full path
// (TryExec hides the entry from menus once the program is gone).
std::string BuildDesktopEntry(const std::string& programPath);
// The MIME package: the project type with its pattern, the "<kx-" start and its icon.
std::string ProjectMimePackage();

// The system's data folders: $XDG_DATA_DIRS, else /usr/local/share and /usr/share.
std::vector<std::filesystem::path> SystemDataFolders();

// What UpdateUserFileAssociation changed, so that the desktop's caches can be refreshed.
struct AssociationChanges {
  bool applications = false;  // <dataHome>/applications (update-desktop-database)
  bool mime = false;          // <dataHome>/mime/packages (update-mime-database)
};

// Brings the user's data folder in order at a start of the designer at `programPath`:
//  - the copies earlier versions wrote at every start under the installed program's names
//    (applications/quirabel.desktop, mime/packages/quirabel.xml) are removed when they are
//    exactly what those versions wrote (they hid the system's entry);
//  - the build entry and the MIME package are removed when the system has them, else written
//    for `programPath` (replacing one that names a program that is gone), each only when its
//    text changed.
// Raises FileError when a file cannot be written or removed.
AssociationChanges UpdateUserFileAssociation(
    const std::filesystem::path& dataHome,
    const std::vector<std::filesystem::path>& systemDataFolders, const std::string& programPath);

}  // namespace quirabel::app
