#include "base/user_folders.h"

#include <cstdlib>

namespace quirabel {

std::filesystem::path SettingsFolderPath() {
  if (const char* home = std::getenv("QUIRABEL_HOME"); home != nullptr && *home != '\0')
    return home;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/')
    return std::filesystem::path(config) / "quirabel";
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
    return std::filesystem::path(home) / ".config/quirabel";
  return ".";
}

}  // namespace quirabel
