#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "mail/mail_settings.h"
#include "mail/message.h"
#include "mail/transport.h"

namespace quirabel::mail {

// The SMTP module (smtp.so, over libcurl): what SmtpTransport and RenderMail hand to libcurl.
// They check the mail and the server's address first and pass the header lines along, so the
// module needs nothing of ours but these types. It comes from the same build as the programs;
// `abi` turns away a copy of another.
struct SmtpModule {
  int abi;
  // One connection kept over the mails of a run; nullptr when libcurl does not start.
  void* (*openSession)();
  void (*closeSession)(void* session);
  SendResult (*send)(void* session, const std::string& url, const MailSettings& server,
                     const TimeLimits& limits, const std::atomic<bool>* cancel,
                     const MailMessage& message, const std::vector<std::string>& headerLines);
  // Hands the mail to the stand-in server at `url`; empty when it went, else libcurl's reason.
  std::string (*render)(const std::string& url, const MailMessage& message,
                        const std::vector<std::string>& headerLines);
};

inline constexpr int kSmtpModuleAbi = 1;
inline constexpr char kSmtpModuleFile[] = "smtp.so";
inline constexpr char kSmtpModuleEntry[] = "quirabel_smtp_module";

}  // namespace quirabel::mail
