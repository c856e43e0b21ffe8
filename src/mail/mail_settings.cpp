#include "mail/mail_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/atomic_file.h"
#include "base/user_folders.h"

namespace quirabel::mail {

namespace {

std::string Escape(std::string_view value) {
  std::string out;
  for (char c : value) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

std::string Unescape(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      const char next = value[++i];
      out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    } else {
      out += value[i];
    }
  }
  return out;
}

}  // namespace

std::string_view SecurityKey(Security security) {
  switch (security) {
    case Security::StartTls:
      return "starttls";
    case Security::SslTls:
      return "ssl";
    case Security::None:
      return "none";
  }
  return "starttls";
}

bool SecurityFromKey(std::string_view key, Security& security) {
  for (Security s : {Security::StartTls, Security::SslTls, Security::None}) {
    if (key == SecurityKey(s)) {
      security = s;
      return true;
    }
  }
  return false;
}

int DefaultPort(Security security) {
  switch (security) {
    case Security::StartTls:
      return 587;
    case Security::SslTls:
      return 465;
    case Security::None:
      return 25;
  }
  return 587;
}

std::filesystem::path SettingsPath() { return SettingsFolderPath() / "mail.conf"; }

MailSettings ParseSettings(std::string_view bytes) {
  MailSettings settings;
  bool portGiven = false;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals);
    const std::string value = Unescape(line.substr(equals + 1));
    if (key == "host") {
      settings.host = value;
    } else if (key == "port") {
      int port = 0;
      bool digits = !value.empty() && value.size() <= 5;
      for (char c : value) {
        if (c < '0' || c > '9') digits = false;
      }
      if (digits) port = std::atoi(value.c_str());
      if (port >= 1 && port <= 65535) {
        settings.port = port;
        portGiven = true;
      }
    } else if (key == "security") {
      SecurityFromKey(value, settings.security);
    } else if (key == "user") {
      settings.user = value;
    } else if (key == "password") {
      settings.password = value;
      settings.keepPassword = true;
    } else if (key == "from_name") {
      settings.fromName = value;
    } else if (key == "from_address") {
      settings.fromAddress = value;
    } else if (key == "subject") {
      settings.subject = value;
    } else if (key == "text") {
      settings.text = value;
    }
  }
  if (!portGiven) settings.port = DefaultPort(settings.security);
  return settings;
}

std::string SettingsBytes(const MailSettings& settings) {
  std::string out;
  auto line = [&out](std::string_view key, std::string_view value) {
    out += key;
    out += '=';
    out += Escape(value);
    out += '\n';
  };
  line("host", settings.host);
  line("port", std::to_string(settings.port));
  line("security", SecurityKey(settings.security));
  line("user", settings.user);
  if (settings.keepPassword) line("password", settings.password);
  line("from_name", settings.fromName);
  line("from_address", settings.fromAddress);
  line("subject", settings.subject);
  line("text", settings.text);
  return out;
}

MailSettings ReadSettings(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::exists(file, error)) return {};
  return ParseSettings(ReadFile(file, kMaxSettingsBytes));
}

void WriteSettings(const std::filesystem::path& file, const MailSettings& settings) {
  const std::filesystem::path folder = file.parent_path();
  if (!folder.empty()) {
    std::error_code error;
    if (!std::filesystem::exists(folder, error)) {
      std::filesystem::create_directories(folder, error);
      if (error) throw FileError("create folder", folder, error.value());
      ::chmod(folder.c_str(), 0700);
    }
  }
  // The writer gives its temporary file the target's mode before writing into it, so the target
  // is made 0600 first.
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) throw FileError("create", file, errno);
  const bool narrowed = ::fchmod(fd, 0600) == 0;
  const int chmodError = errno;
  ::close(fd);
  if (!narrowed) throw FileError("set permissions of", file, chmodError);
  WriteFileAtomic(file, SettingsBytes(settings));
}

}  // namespace quirabel::mail
