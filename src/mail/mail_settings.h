#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quirabel::mail {

enum class Security { StartTls, SslTls, None };

// "starttls", "ssl", "none"; and back (false for anything else).
std::string_view SecurityKey(Security security);
bool SecurityFromKey(std::string_view key, Security& security);
// The usual port: 587, 465 or 25.
int DefaultPort(Security security);

// The mail server and the sender, and the subject and text last used.
struct MailSettings {
  std::string host;
  int port = 587;
  Security security = Security::StartTls;
  std::string user;
  std::string password;
  bool keepPassword = false;  // the password is written only when the user asked for it
  std::string fromName;
  std::string fromAddress;
  std::string subject;
  std::string text;
};

// Longer settings files are not read.
inline constexpr std::size_t kMaxSettingsBytes = 1024 * 1024;

// mail.conf in the settings folder: $QUIRABEL_HOME when set, else $XDG_CONFIG_HOME/quirabel,
// else ~/.config/quirabel.
std::filesystem::path SettingsPath();

// The settings file's text: "key=value" lines, in a value "\n" for a line break and "\\" for a
// backslash. Unknown keys, lines without "=" and values out of range are passed over, so any
// bytes give settings.
MailSettings ParseSettings(std::string_view bytes);
std::string SettingsBytes(const MailSettings& settings);

// Reads the file; defaults when it is not there. Raises FileError when it cannot be read.
MailSettings ReadSettings(const std::filesystem::path& file);
// Writes the file with mode 0600 (its folder 0700 when made here): it may hold the password, so
// neither the file nor its temporary copy is ever readable by others. Raises FileError.
void WriteSettings(const std::filesystem::path& file, const MailSettings& settings);

}  // namespace quirabel::mail
