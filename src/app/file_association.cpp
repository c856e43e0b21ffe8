#include "app/file_association.h"

#include <cstdlib>
#include <optional>
#include <string_view>
#include <system_error>

#include "base/atomic_file.h"

namespace quirabel::app {

namespace {

constexpr std::size_t kMaxEntryBytes = 1 << 16;

// Exec lines quote paths with blanks; a few characters need a backslash inside quotes.
std::string DesktopQuoted(const std::string& path) {
  std::string out = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// A value of the string type: only the backslash is escaped (TryExec takes no quotes).
std::string EntryString(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

// The lines every entry of ours shares after its name and program.
std::string EntryBody() {
  return "Icon=quirabel\n"
         "Terminal=false\n"
         "Categories=Graphics;Publishing;\n"
         "Keywords=business card;flyer;folded card;serial letter;print;PDF;\n"
         "Keywords[de]=Visitenkarte;Flyer;Faltkarte;Klappkarte;Serienbrief;Druck;PDF;\n"
         "MimeType=" +
         std::string(kProjectMimeType) + ";\n";
}

constexpr const char* kComments =
    "Comment=Design business cards, flyers and folded cards and export them as PDF\n"
    "Comment[de]=Visitenkarten, Flyer und Faltkarten gestalten und als PDF ausgeben\n";

// What versions before this one wrote into the user's data folder at every start.
std::string EarlierDesktopEntry(const std::string& programPath) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Quirabel\n"
         "Comment=Visitenkarten, Flyer und Faltkarten gestalten und als PDF ausgeben\n"
         "Exec=" +
         DesktopQuoted(programPath) +
         " %f\n"
         "Icon=quirabel\n"
         "Terminal=false\n"
         "Categories=Office;Graphics;Publishing;\n"
         "MimeType=" +
         std::string(kProjectMimeType) + ";\n";
}

std::string EarlierMimePackage() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
         "  <mime-type type=\"" +
         std::string(kProjectMimeType) +
         "\">\n"
         "    <comment>Quirabel-Projekt</comment>\n"
         "    <glob pattern=\"*.kxp\"/>\n"
         "  </mime-type>\n"
         "</mime-info>\n";
}

std::optional<std::string> ReadIfThere(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return std::nullopt;
  return ReadFile(file, kMaxEntryBytes);
}

// The value of a key of an entry's text ("Exec"), none when it has none.
std::optional<std::string> EntryValue(const std::string& entry, std::string_view key) {
  const std::string prefix = "\n" + std::string(key) + "=";
  const std::size_t at = ("\n" + entry).find(prefix);
  if (at == std::string::npos) return std::nullopt;
  const std::size_t begin = at + prefix.size() - 1;
  const std::size_t end = entry.find('\n', begin);
  return entry.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

// The program an Exec line of ours names: the quoted path before " %f".
std::optional<std::string> ProgramOfExec(const std::string& exec) {
  if (exec.size() < 2 || exec.front() != '"') return std::nullopt;
  std::string path;
  for (std::size_t i = 1; i < exec.size(); ++i) {
    if (exec[i] == '\\' && i + 1 < exec.size()) {
      path += exec[++i];
    } else if (exec[i] == '"') {
      return path;
    } else {
      path += exec[i];
    }
  }
  return std::nullopt;
}

bool RemoveIfThere(const std::filesystem::path& file) {
  std::error_code error;
  const bool removed = std::filesystem::remove(file, error);
  if (error) throw FileError("remove", file, error.value());
  return removed;
}

// Writes `text` unless the file holds it already; true when written.
bool WriteIfChanged(const std::filesystem::path& file, const std::string& text) {
  if (ReadIfThere(file) == text) return false;
  std::filesystem::create_directories(file.parent_path());
  WriteFileAtomic(file, text);
  return true;
}

bool SystemHas(const std::vector<std::filesystem::path>& folders,
               const std::filesystem::path& relative) {
  for (const auto& folder : folders) {
    std::error_code error;
    if (std::filesystem::exists(folder / relative, error)) return true;
  }
  return false;
}

}  // namespace

std::string SystemDesktopEntry() {
  return std::string(
             "[Desktop Entry]\n"
             "Type=Application\n"
             "Name=Quirabel\n") +
         kComments +
         "TryExec=quirabel\n"
         "Exec=quirabel %f\n" +
         EntryBody();
}

std::string BuildDesktopEntry(const std::string& programPath) {
  return std::string(
             "[Desktop Entry]\n"
             "Type=Application\n"
             "Name=Quirabel (Build)\n") +
         kComments + "TryExec=" + EntryString(programPath) +
         "\n"
         "Exec=" +
         DesktopQuoted(programPath) + " %f\n" + EntryBody();
}

std::string ProjectMimePackage() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
         "  <mime-type type=\"" +
         std::string(kProjectMimeType) +
         "\">\n"
         "    <comment>Quirabel project</comment>\n"
         "    <comment xml:lang=\"de\">Quirabel-Projekt</comment>\n"
         "    <icon name=\"" +
         std::string(kProjectIconName) +
         "\"/>\n"
         "    <glob pattern=\"*.kxp\"/>\n"
         "    <magic priority=\"50\">\n"
         "      <match type=\"string\" offset=\"0\" value=\"&lt;kx-\"/>\n"
         "    </magic>\n"
         "  </mime-type>\n"
         "</mime-info>\n";
}

std::vector<std::filesystem::path> SystemDataFolders() {
  std::string dirs;
  if (const char* value = std::getenv("XDG_DATA_DIRS"); value != nullptr) dirs = value;
  if (dirs.empty()) dirs = "/usr/local/share:/usr/share";
  std::vector<std::filesystem::path> folders;
  std::size_t begin = 0;
  while (begin <= dirs.size()) {
    const std::size_t end = std::min(dirs.find(':', begin), dirs.size());
    // Relative entries are to be ignored.
    if (end > begin && dirs[begin] == '/') folders.emplace_back(dirs.substr(begin, end - begin));
    begin = end + 1;
  }
  return folders;
}

AssociationChanges UpdateUserFileAssociation(
    const std::filesystem::path& dataHome,
    const std::vector<std::filesystem::path>& systemDataFolders, const std::string& programPath) {
  AssociationChanges changes;
  const auto applications = dataHome / "applications";
  const auto packages = dataHome / "mime" / "packages";

  // The copies earlier versions wrote: only when they are exactly theirs.
  const auto earlierEntry = applications / "quirabel.desktop";
  if (const auto text = ReadIfThere(earlierEntry)) {
    const auto exec = EntryValue(*text, "Exec");
    const std::string suffix = " %f";
    if (exec && exec->ends_with(suffix)) {
      const auto program = ProgramOfExec(exec->substr(0, exec->size() - suffix.size()));
      if (program && *text == EarlierDesktopEntry(*program))
        changes.applications |= RemoveIfThere(earlierEntry);
    }
  }
  const auto earlierPackage = packages / (std::string(kMimePackageName) + ".xml");
  if (ReadIfThere(earlierPackage) == EarlierMimePackage())
    changes.mime |= RemoveIfThere(earlierPackage);

  const auto buildEntry = applications / (std::string(kBuildDesktopId) + ".desktop");
  const auto buildPackage = packages / (std::string(kBuildDesktopId) + ".xml");
  const bool systemHasEntry =
      SystemHas(systemDataFolders,
                std::filesystem::path("applications") / (std::string(kDesktopId) + ".desktop"));
  const bool systemHasPackage =
      SystemHas(systemDataFolders, std::filesystem::path("mime") / "packages" /
                                       (std::string(kMimePackageName) + ".xml"));

  // With the system's entry installed, the build entry would only show twice in the menus;
  // without it, the entry names this program (also when the one it named is gone).
  if (systemHasEntry) {
    changes.applications |= RemoveIfThere(buildEntry);
  } else {
    changes.applications |= WriteIfChanged(buildEntry, BuildDesktopEntry(programPath));
  }
  if (systemHasPackage) {
    changes.mime |= RemoveIfThere(buildPackage);
  } else {
    changes.mime |= WriteIfChanged(buildPackage, ProjectMimePackage());
  }
  return changes;
}

}  // namespace quirabel::app
