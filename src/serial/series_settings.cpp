#include "serial/series_settings.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "base/atomic_file.h"

namespace quirabel::serial {

std::filesystem::path SeriesSettingsPath(const std::filesystem::path& linkFile) {
  std::filesystem::path file = linkFile;
  return file.replace_extension(".serie");
}

SeriesSettings ParseSeriesSettings(std::string_view bytes) {
  SeriesSettings settings;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    bytes = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (key == "naming") settings.naming = value;
    if (key == "folder") settings.folder = value;
  }
  return settings;
}

std::string SeriesSettingsBytes(const SeriesSettings& settings) {
  for (const std::string* value : {&settings.naming, &settings.folder}) {
    if (value->find_first_of("\r\n") != std::string::npos) return {};
  }
  return "naming=" + settings.naming + "\nfolder=" + settings.folder + "\n";
}

std::optional<SeriesSettings> ReadSeriesSettings(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return std::nullopt;
  try {
    return ParseSeriesSettings(ReadFile(file, kMaxSeriesSettingsBytes));
  } catch (const FileError&) {
    return std::nullopt;
  }
}

bool WriteSeriesSettings(const std::filesystem::path& file, const SeriesSettings& settings) {
  const std::string bytes = SeriesSettingsBytes(settings);
  if (bytes.empty()) return false;
  try {
    WriteFileAtomic(file, bytes);
    return true;
  } catch (const FileError&) {
    return false;
  }
}

std::string NamingText(const Naming& naming) {
  if (naming.column > 0) return "Feld" + std::to_string(naming.column);
  return naming.identifier;
}

Naming NamingFromText(std::string_view text) {
  Naming naming;
  if (text.size() > 4 && text.starts_with("Feld") &&
      std::all_of(text.begin() + 4, text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    int column = 0;
    const auto [end, fault] = std::from_chars(text.data() + 4, text.data() + text.size(), column);
    if (fault == std::errc() && end == text.data() + text.size() && column >= 1) {
      naming.column = column;
      return naming;
    }
  }
  if (!text.empty()) naming.identifier = text;
  return naming;
}

}  // namespace quirabel::serial
