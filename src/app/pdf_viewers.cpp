#include "app/pdf_viewers.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <system_error>

#include "base/atomic_file.h"

namespace quirabel::app {

namespace {

constexpr std::size_t kMaxViewerEntryBytes = 1 << 16;

struct EntryFacts {
  std::string name;
  bool forPdf = false;
  bool hidden = false;
};

// The keys of the [Desktop Entry] group that tell whether and how an entry is offered for PDF.
EntryFacts ReadEntry(const std::string& text) {
  EntryFacts facts;
  std::string germanName;
  bool inMainGroup = false;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + begin, end - begin);
    begin = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.starts_with('[')) {
      inMainGroup = line == "[Desktop Entry]";
      continue;
    }
    if (!inMainGroup) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view key = line.substr(0, equals);
    while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
    std::string_view value = line.substr(equals + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    if (key == "Name") facts.name = value;
    if (key == "Name[de]") germanName = value;
    if (key == "Hidden") facts.hidden = value == "true";
    if (key == "MimeType") {
      std::size_t at = 0;
      while (at <= value.size()) {
        const std::size_t next = std::min(value.find(';', at), value.size());
        if (value.substr(at, next - at) == "application/pdf") facts.forPdf = true;
        at = next + 1;
      }
    }
  }
  if (!germanName.empty()) facts.name = germanName;
  return facts;
}

}  // namespace

std::vector<std::string> InstalledPdfViewers(
    const std::vector<std::filesystem::path>& dataFolders) {
  std::vector<std::string> viewers;
  std::set<std::string> idsSeen;
  for (const auto& folder : dataFolders) {
    const auto applications = folder / "applications";
    std::error_code error;
    if (!std::filesystem::is_directory(applications, error)) continue;
    std::vector<std::filesystem::path> entries;
    for (std::filesystem::recursive_directory_iterator it(applications, error), end;
         !error && it != end; it.increment(error)) {
      if (it->path().extension() == ".desktop" && it->is_regular_file(error))
        entries.push_back(it->path());
    }
    std::sort(entries.begin(), entries.end());
    for (const auto& entry : entries) {
      // The id of a file in a subfolder joins the folders with "-".
      std::string id = entry.lexically_relative(applications).generic_string();
      std::replace(id.begin(), id.end(), '/', '-');
      if (!idsSeen.insert(id).second) continue;
      EntryFacts facts;
      try {
        facts = ReadEntry(ReadFile(entry, kMaxViewerEntryBytes));
      } catch (const std::exception&) {
        continue;  // an entry that cannot be read offers nothing
      }
      if (!facts.forPdf || facts.hidden || facts.name.empty()) continue;
      if (std::find(viewers.begin(), viewers.end(), facts.name) == viewers.end())
        viewers.push_back(facts.name);
    }
  }
  return viewers;
}

}  // namespace quirabel::app
