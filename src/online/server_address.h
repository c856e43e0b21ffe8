#pragma once

#include <filesystem>
#include <string>

namespace quirabel::online {

// The product web server, where the news page and the version file live.
inline constexpr const char* kDefaultServer = "https://www.quirabel.de";
// The settings file in the program folder that may name another server: a line
// "server=http://127.0.0.1:8080". Lines starting with "#" are comments.
inline constexpr const char* kSettingsFile = "quirabel.conf";

// The server's address without a trailing "/": the environment's QUIRABEL_SERVER (given here, or
// null when unset), else the settings file's, else the product's own. A value that is no http or
// https address is passed over, so a typing error never sends anything elsewhere.
std::string ServerAddress(const std::filesystem::path& programFolder, const char* environmentValue);

// The same with the environment of this process.
std::string ServerAddress(const std::filesystem::path& programFolder);

}  // namespace quirabel::online
