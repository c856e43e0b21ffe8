#include "mail/transport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <thread>

#include "base/atomic_file.h"
#include "base/module.h"
#include "mail/smtp_module.h"

namespace quirabel::mail {

namespace {

bool IsHostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_' || c == ':' || c == '[' || c == ']';
}

// The SMTP module, opened on first use.
const ModuleTable<SmtpModule>& Smtp() {
  static const ModuleTable<SmtpModule> loaded =
      OpenModuleTable<SmtpModule>(kSmtpModuleFile, kSmtpModuleEntry, kSmtpModuleAbi);
  return loaded;
}

}  // namespace

std::string SmtpProblem() {
  const ModuleTable<SmtpModule>& smtp = Smtp();
  return smtp.problem.empty() ? std::string() : "Der Mailversand geht nicht: " + smtp.problem + ".";
}

std::string ServerUrl(const MailSettings& server) {
  if (server.host.empty() || server.host.size() > 253 || server.port < 1 || server.port > 65535)
    return {};
  for (char c : server.host) {
    if (!IsHostChar(c)) return {};
  }
  // An IPv6 address stands in brackets; any other colon would be a port of its own.
  const bool bracketed = server.host.front() == '[' && server.host.back() == ']';
  if (!bracketed && server.host.find_first_of(":[]") != std::string::npos) return {};
  const char* scheme = server.security == Security::SslTls ? "smtps://" : "smtp://";
  return scheme + server.host + ":" + std::to_string(server.port);
}

SmtpTransport::SmtpTransport(const MailSettings& server, TimeLimits limits,
                             const std::atomic<bool>* cancel)
    : server_(server), limits_(limits), cancel_(cancel) {
  if (const SmtpModule* module = Smtp().table; module != nullptr) session_ = module->openSession();
}

SmtpTransport::~SmtpTransport() {
  if (session_ != nullptr) Smtp().table->closeSession(session_);
}

SendResult SmtpTransport::Send(const MailMessage& message) {
  using Kind = SendResult::Kind;
  if (const std::string header = InjectedHeader(message); !header.empty())
    return {Kind::Refused, "Zeilenumbruch im Feld " + header};
  const std::string url = ServerUrl(server_);
  if (url.empty()) return {Kind::Fatal, "Der Mailserver \"" + server_.host + "\" ist ungültig."};
  if (const std::string problem = SmtpProblem(); !problem.empty()) return {Kind::Fatal, problem};
  if (session_ == nullptr) return {Kind::Fatal, "libcurl konnte nicht gestartet werden."};
  if (cancel_ != nullptr && cancel_->load()) return {Kind::Cancelled, "abgebrochen"};
  return Smtp().table->send(session_, url, server_, limits_, cancel_, message,
                            HeaderLines(message));
}

namespace {

// Plays a mail server on one end of a socket pair and keeps what arrives after DATA, without the
// dot-stuffing, until the other end closes.
void StandInServer(int fd, std::string& mail) {
  auto reply = [fd](std::string_view text) {
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      done += static_cast<std::size_t>(n);
    }
  };
  reply("220 preview\r\n");
  std::string pending;
  bool inData = false;
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t start = 0;
    for (;;) {
      const std::size_t end = pending.find("\r\n", start);
      if (end == std::string::npos) break;
      std::string_view line(pending.data() + start, end - start);
      start = end + 2;
      if (inData) {
        if (line == ".") {
          inData = false;
          reply("250 kept\r\n");
          continue;
        }
        if (line.starts_with(".")) line.remove_prefix(1);
        mail.append(line);
        mail += "\r\n";
        continue;
      }
      if (line.starts_with("DATA")) {
        inData = true;
        reply("354 go on\r\n");
      } else if (line.starts_with("QUIT")) {
        reply("221 bye\r\n");
      } else {
        reply("250 ok\r\n");
      }
    }
    pending.erase(0, start);
  }
}

}  // namespace

std::string RenderMail(const MailMessage& message) {
  if (const std::string header = InjectedHeader(message); !header.empty())
    throw std::invalid_argument("Zeilenumbruch im Feld " + header);
  const SmtpModule* module = Smtp().table;
  if (module == nullptr)
    throw std::runtime_error("Die Vorschau konnte nicht erstellt werden: " + Smtp().problem + ".");
  // The stand-in listens on a port of the loopback address that the system picks.
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener < 0 ||
      ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 1) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    const int error = errno;
    if (listener >= 0) ::close(listener);
    throw FileError("Die Vorschau konnte nicht erstellt werden.", error);
  }
  std::string mail;
  std::thread server([listener, &mail] {
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    StandInServer(fd, mail);
    ::close(fd);
  });
  const std::string url = "smtp://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  const std::string problem = module->render(url, message, HeaderLines(message));
  // Wakes the stand-in when libcurl never came.
  ::shutdown(listener, SHUT_RDWR);
  server.join();
  ::close(listener);
  if (!problem.empty())
    throw std::runtime_error("Die Vorschau konnte nicht erstellt werden: " + problem);
  return mail;
}

SendResult EmlTransport::Send(const MailMessage& message) {
  using Kind = SendResult::Kind;
  if (const std::string header = InjectedHeader(message); !header.empty())
    return {Kind::Refused, "Zeilenumbruch im Feld " + header};
  std::string stem = message.attachmentName;
  if (stem.size() > 4 && stem.ends_with(".pdf")) stem.resize(stem.size() - 4);
  try {
    const std::string mail = RenderMail(message);
    std::filesystem::create_directories(folder_);
    WriteFileAtomic(folder_ / (stem + ".eml"), mail);
  } catch (const FileError& e) {
    return {Kind::Fatal, e.Reason()};
  } catch (const std::exception& e) {
    return {Kind::Fatal, e.what()};
  }
  return {Kind::Sent, {}};
}

}  // namespace quirabel::mail
