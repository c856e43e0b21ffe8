#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mail/mail_settings.h"

using quirabel::mail::MailSettings;
using quirabel::mail::ParseSettings;
using quirabel::mail::SettingsBytes;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const MailSettings settings = ParseSettings(bytes);
  if (settings.port < 1 || settings.port > 65535) __builtin_trap();
  // What we write reads back as it was.
  const MailSettings again = ParseSettings(SettingsBytes(settings));
  if (again.host != settings.host || again.port != settings.port ||
      again.security != settings.security || again.user != settings.user ||
      again.password != settings.password || again.keepPassword != settings.keepPassword ||
      again.fromName != settings.fromName || again.fromAddress != settings.fromAddress ||
      again.subject != settings.subject || again.text != settings.text) {
    __builtin_trap();
  }
  return 0;
}
