#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "mail/mail_settings.h"
#include "mail/message.h"

namespace quirabel::mail {

// How one attempt to hand a mail over ended.
struct SendResult {
  enum class Kind {
    Sent,            // the server took it
    Refused,         // the server refused this mail (its recipient, its size): the others go on
    ConnectionLost,  // no answer, connection failed or broke off: worth trying again
    Fatal,           // every mail would fail the same way (login, encryption, sender refused)
    Cancelled,       // the user stopped it while it was on its way
    Uncertain,       // the connection broke after the whole mail was handed over: the server
                     // may have taken it, so it is not sent again by itself
  };
  Kind kind = Kind::Sent;
  std::string text;        // why, in words for the user, with the server's reply; empty when sent
  bool cancelled = false;  // Uncertain: the user stopped it after the data had gone out
};

// Where mails go: a mail server, or files for a preview.
class Transport {
 public:
  virtual ~Transport() = default;
  virtual SendResult Send(const MailMessage& message) = 0;
};

// Time limits of the network steps, as RFC 5321 (4.5.3.2) asks of a client: how long to wait
// for the connection, the greeting, each command's answer (EHLO, MAIL, RCPT), the answer to
// DATA, each piece of the mail going out, and the answer after its end. A test shortens them.
struct TimeLimits {
  long connectSeconds = 30;
  long greetingSeconds = 300;
  long commandSeconds = 300;
  long dataSeconds = 120;
  long blockSeconds = 180;
  long endSeconds = 600;
};

// Sends through libcurl's SMTP with its MIME API: the text quoted-printable, the PDF base64. One
// connection is kept over the mails of a run. libcurl is in the SMTP module, opened by the first
// transport (SmtpProblem says when it cannot be). `cancel`, when given, stops a transfer under way
// within a second or two; when the mail had gone out by then it is Uncertain. Failures are one
// German sentence with the server's reply line as it came.
class SmtpTransport : public Transport {
 public:
  SmtpTransport(const MailSettings& server, TimeLimits limits,
                const std::atomic<bool>* cancel = nullptr);
  ~SmtpTransport() override;
  SmtpTransport(const SmtpTransport&) = delete;
  SmtpTransport& operator=(const SmtpTransport&) = delete;

  SendResult Send(const MailMessage& message) override;

 private:
  void* session_ = nullptr;  // the module's connection
  MailSettings server_;
  TimeLimits limits_;
  const std::atomic<bool>* cancel_;
};

// Why mails cannot go out through libcurl here, as a German sentence: the SMTP module is missing
// or broken. Empty when it is ready (it is opened on the first call).
std::string SmtpProblem();

// The exact bytes libcurl would send for a mail (its MIME rendering, after the SMTP dialogue),
// got by letting it talk to a stand-in server inside the process.
std::string RenderMail(const MailMessage& message);

// Writes each mail as "<PDF name without .pdf>.eml" into a folder instead of sending it.
class EmlTransport : public Transport {
 public:
  explicit EmlTransport(std::filesystem::path folder) : folder_(std::move(folder)) {}
  SendResult Send(const MailMessage& message) override;

 private:
  std::filesystem::path folder_;
};

// The server's address for libcurl: "smtp://host:port" or "smtps://host:port". Empty when the
// host is no host name or address (blanks, slashes, "@", control characters).
std::string ServerUrl(const MailSettings& server);

}  // namespace quirabel::mail
