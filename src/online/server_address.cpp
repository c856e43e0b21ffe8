#include "online/server_address.h"

#include <cstdlib>
#include <optional>
#include <string_view>

#include "base/atomic_file.h"
#include "online/web_address.h"

namespace quirabel::online {

namespace {

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// The address without trailing slashes; none unless it is a web address without a query or
// fragment, which the paths appended to it would break.
std::optional<std::string> Usable(std::string_view value) {
  value = Trimmed(value);
  while (!value.empty() && value.back() == '/') value.remove_suffix(1);
  if (!IsWebAddress(value) || value.find_first_of("?#") != std::string_view::npos) {
    return std::nullopt;
  }
  return std::string(value);
}

std::optional<std::string> FromSettingsFile(const std::filesystem::path& programFolder) {
  std::string text;
  try {
    if (!std::filesystem::exists(programFolder / kSettingsFile)) return std::nullopt;
    text = ReadFile(programFolder / kSettingsFile, 64 * 1024);
  } catch (const std::exception&) {
    return std::nullopt;  // an unreadable settings file is as good as none
  }
  std::string_view rest = text;
  while (!rest.empty()) {
    const auto end = rest.find('\n');
    std::string_view line = Trimmed(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos || Trimmed(line.substr(0, equals)) != "server") continue;
    return Usable(line.substr(equals + 1));
  }
  return std::nullopt;
}

}  // namespace

std::string ServerAddress(const std::filesystem::path& programFolder,
                          const char* environmentValue) {
  if (environmentValue != nullptr) {
    if (auto server = Usable(environmentValue)) return *server;
  }
  if (auto server = FromSettingsFile(programFolder)) return *server;
  return kDefaultServer;
}

std::string ServerAddress(const std::filesystem::path& programFolder) {
  return ServerAddress(programFolder, std::getenv("QUIRABEL_SERVER"));
}

}  // namespace quirabel::online
