#include "app/program_folder.h"

#include <cstdlib>

#include <system_error>
#include <utility>

namespace quirabel::app {

std::filesystem::path ProgramFolderPath() {
  if (const char* home = std::getenv("QUIRABEL_HOME"); home != nullptr && *home != '\0')
    return home;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/')
    return std::filesystem::path(data) / "quirabel";
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
    return std::filesystem::path(home) / ".local/share/quirabel";
  return ".";
}

std::filesystem::path InstalledHelpPage(const std::filesystem::path& programs) {
  const std::filesystem::path folder = programs.has_filename() ? programs : programs.parent_path();
  return (folder.parent_path() / "share/help/de/quirabel/start.html").lexically_normal();
}

void TidyProgramFolder(const std::filesystem::path& folder) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) return;
  std::filesystem::remove(folder / "help" / "start.html", error);
  // Links to our own tools only; a program of the person's own under that name stays.
  const std::pair<const char*, const char*> tools[] = {{"csv_db/tabrix", "quirabel-link"},
                                                       {"mailer/posdex", "quirabel-mail"}};
  for (const auto& [entry, program] : tools) {
    const auto link = folder / entry;
    if (std::filesystem::is_symlink(link, error) &&
        std::filesystem::read_symlink(link, error).filename() == program) {
      std::filesystem::remove(link, error);
    }
  }
  const auto index = folder / "vorlagen" / "FilesDB.dat";
  if (std::filesystem::is_regular_file(index, error) &&
      std::filesystem::file_size(index, error) == 0) {
    std::filesystem::remove(index, error);
  }
  // remove() takes a folder only when it is empty.
  for (const char* sub : {"help", "mailer", "csv_db", "vorlagen"})
    std::filesystem::remove(folder / sub, error);
}

}  // namespace quirabel::app
