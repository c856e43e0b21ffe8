#include "mail/transport.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "base/atomic_file.h"

namespace quirabel::mail {

namespace {

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// "Content-Disposition: attachment; filename*=UTF-8''..." for a name that is not plain ASCII;
// empty for a plain one, which libcurl writes itself.
std::string AttachmentDisposition(std::string_view name) {
  bool plain = true;
  for (char c : name) {
    if (static_cast<unsigned char>(c) >= 0x80) plain = false;
  }
  if (plain) return {};
  std::string fallback;
  std::string encoded;
  for (char c : name) {
    const auto b = static_cast<unsigned char>(c);
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '-' || c == '_';
    if (keep) {
      encoded += c;
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", b);
      encoded += hex;
    }
    if (b < 0x80 && c != '"' && c != '\\') {
      fallback += c;
    } else if (b < 0x80 || (b & 0xC0) == 0xC0) {
      fallback += '_';  // one per character, not per byte
    }
  }
  // The encoded name first: readers that know both take the first.
  return "Content-Disposition: attachment; filename*=UTF-8''" + encoded + "; filename=\"" +
         fallback + "\"";
}

// Lists and the MIME tree of one transfer; libcurl only borrows them.
class Transfer {
 public:
  explicit Transfer(CURL* curl) : curl_(curl) {}
  ~Transfer() {
    curl_easy_setopt(curl_, CURLOPT_MIMEPOST, nullptr);
    curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(curl_, CURLOPT_MAIL_RCPT, nullptr);
    curl_mime_free(mime_);
    curl_slist_free_all(headers_);
    curl_slist_free_all(recipients_);
    curl_slist_free_all(textPart_);
    curl_slist_free_all(pdfHeaders_);
  }
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  // Sets the envelope, the headers and the two parts. False when libcurl refuses a piece.
  bool Prepare(const MailMessage& message) {
    for (const std::string& line : HeaderLines(message)) {
      headers_ = curl_slist_append(headers_, line.c_str());
      if (headers_ == nullptr) return false;
    }
    recipients_ = curl_slist_append(recipients_, ("<" + message.to + ">").c_str());
    mime_ = curl_mime_init(curl_);
    if (recipients_ == nullptr || mime_ == nullptr) return false;

    // Line breaks of the text as mail wants them, CR LF.
    std::string text;
    for (std::size_t i = 0; i < message.text.size(); ++i) {
      const char c = message.text[i];
      if (c == '\r') continue;
      if (c == '\n') text += '\r';
      text += c;
    }
    curl_mimepart* textPart = curl_mime_addpart(mime_);
    textPart_ = curl_slist_append(nullptr, "Content-Disposition: inline");
    if (textPart == nullptr || textPart_ == nullptr ||
        curl_mime_data(textPart, text.data(), text.size()) != CURLE_OK ||
        curl_mime_type(textPart, "text/plain; charset=utf-8") != CURLE_OK ||
        curl_mime_encoder(textPart, "quoted-printable") != CURLE_OK ||
        curl_mime_headers(textPart, textPart_, 1) != CURLE_OK) {
      return false;
    }
    textPart_ = nullptr;  // the part owns it now
    curl_mimepart* pdfPart = curl_mime_addpart(mime_);
    // libcurl would write a name with umlauts as raw UTF-8, which receivers garble; such a name
    // goes as an RFC 2231 parameter (with a plain fallback), and libcurl then adds no disposition
    // of its own.
    if (const std::string disposition = AttachmentDisposition(message.attachmentName);
        !disposition.empty()) {
      pdfHeaders_ = curl_slist_append(nullptr, disposition.c_str());
      if (pdfPart == nullptr || pdfHeaders_ == nullptr ||
          curl_mime_headers(pdfPart, pdfHeaders_, 1) != CURLE_OK)
        return false;
      pdfHeaders_ = nullptr;  // the part owns it now
    }
    if (pdfPart == nullptr ||
        curl_mime_data(pdfPart, message.attachmentBytes.data(), message.attachmentBytes.size()) !=
            CURLE_OK ||
        curl_mime_type(pdfPart, "application/pdf") != CURLE_OK ||
        curl_mime_filename(pdfPart, message.attachmentName.c_str()) != CURLE_OK ||
        curl_mime_encoder(pdfPart, "base64") != CURLE_OK) {
      return false;
    }
    return curl_easy_setopt(curl_, CURLOPT_MAIL_FROM, ("<" + message.fromAddress + ">").c_str()) ==
               CURLE_OK &&
           curl_easy_setopt(curl_, CURLOPT_MAIL_RCPT, recipients_) == CURLE_OK &&
           curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers_) == CURLE_OK &&
           curl_easy_setopt(curl_, CURLOPT_MIMEPOST, mime_) == CURLE_OK;
  }

 private:
  CURL* curl_;
  curl_slist* headers_ = nullptr;
  curl_slist* recipients_ = nullptr;
  curl_slist* textPart_ = nullptr;
  curl_slist* pdfHeaders_ = nullptr;
  curl_mime* mime_ = nullptr;
};

std::string CurlText(CURLcode code, const char* buffer) {
  return buffer != nullptr && *buffer != '\0' ? std::string(buffer) : curl_easy_strerror(code);
}

// The options every transfer shares: protocols, time limits, no signals (we run on threads).
void SetCommonOptions(CURL* curl, const TimeLimits& limits, char* errorBuffer) {
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
  curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, limits.answerSeconds);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, limits.answerSeconds);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
}

// What the progress callback sees of a transfer: the cancel flag, and how much of the mail has
// gone out.
struct TransferWatch {
  const std::atomic<bool>* cancel = nullptr;
  curl_off_t uploaded = 0;
};

int WatchTransfer(void* watch, curl_off_t, curl_off_t, curl_off_t, curl_off_t now) {
  auto* state = static_cast<TransferWatch*>(watch);
  state->uploaded = now;
  return state->cancel != nullptr && state->cancel->load() ? 1 : 0;
}

bool IsHostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_' || c == ':' || c == '[' || c == ']';
}

}  // namespace

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

struct SmtpTransport::Handle {
  CURL* curl = nullptr;
  char errorBuffer[CURL_ERROR_SIZE] = {};
  ~Handle() {
    if (curl != nullptr) curl_easy_cleanup(curl);
  }
};

SmtpTransport::SmtpTransport(const MailSettings& server, TimeLimits limits,
                             const std::atomic<bool>* cancel)
    : handle_(std::make_unique<Handle>()), server_(server), limits_(limits), cancel_(cancel) {
  InitCurlOnce();
  handle_->curl = curl_easy_init();
}

SmtpTransport::~SmtpTransport() = default;

SendResult SmtpTransport::Send(const MailMessage& message) {
  using Kind = SendResult::Kind;
  if (const std::string header = InjectedHeader(message); !header.empty())
    return {Kind::Refused, "Zeilenumbruch im Feld " + header};
  const std::string url = ServerUrl(server_);
  if (url.empty()) return {Kind::Fatal, "Der Mailserver \"" + server_.host + "\" ist ungültig."};
  CURL* curl = handle_->curl;
  if (curl == nullptr) return {Kind::Fatal, "libcurl konnte nicht gestartet werden."};
  handle_->errorBuffer[0] = '\0';
  SetCommonOptions(curl, limits_, handle_->errorBuffer);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USE_SSL,
                   server_.security == Security::StartTls ? static_cast<long>(CURLUSESSL_ALL)
                                                          : static_cast<long>(CURLUSESSL_NONE));
  if (!server_.user.empty()) {
    curl_easy_setopt(curl, CURLOPT_USERNAME, server_.user.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, server_.password.c_str());
  }
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  TransferWatch watch{cancel_, 0};
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &WatchTransfer);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &watch);

  Transfer transfer(curl);
  if (!transfer.Prepare(message)) return {Kind::Fatal, "Die Mail konnte nicht erstellt werden."};
  const CURLcode code = curl_easy_perform(curl);
  if (code == CURLE_OK) return {Kind::Sent, {}};
  const std::string why = CurlText(code, handle_->errorBuffer);
  if (code == CURLE_ABORTED_BY_CALLBACK) return {Kind::Cancelled, "abgebrochen"};
  if (code == CURLE_LOGIN_DENIED)
    return {Kind::Fatal, "Der Mailserver nimmt Benutzer oder Passwort nicht an (" + why + ")."};
  if (code == CURLE_USE_SSL_FAILED || code == CURLE_SSL_CONNECT_ERROR ||
      code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_SSL_CACERT_BADFILE ||
      code == CURLE_UNSUPPORTED_PROTOCOL || code == CURLE_URL_MALFORMAT) {
    return {Kind::Fatal, "Keine sichere Verbindung zum Mailserver (" + why + ")."};
  }
  long answer = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer);
  // 421: the server is closing the connection, which is worth another try.
  if (answer >= 400 && answer != 421) {
    if (why.starts_with("MAIL failed"))
      return {Kind::Fatal, "Der Mailserver nimmt den Absender nicht an (" + why + ")."};
    return {Kind::Refused, "vom Server abgelehnt (" + why + ")"};
  }
  // A connection that broke while the mail was still on its way leaves nothing at the server,
  // which drops a mail without its end. Once as much went out as the attachment alone takes in
  // base64, the end may have arrived: such a mail is not sent again by itself.
  curl_off_t uploaded = 0;
  curl_easy_getinfo(curl, CURLINFO_SIZE_UPLOAD_T, &uploaded);
  uploaded = std::max(uploaded, watch.uploaded);
  const auto attachmentEncoded =
      static_cast<curl_off_t>(4 * ((message.attachmentBytes.size() + 2) / 3));
  if (uploaded > 0 && uploaded >= attachmentEncoded) {
    return {Kind::Uncertain,
            "Verbindung nach der Übertragung verloren, die Mail ist vielleicht angekommen (" + why +
                ")"};
  }
  return {Kind::ConnectionLost, "keine Verbindung zum Mailserver (" + why + ")"};
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
  InitCurlOnce();
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
  CURLcode code = CURLE_FAILED_INIT;
  char errorBuffer[CURL_ERROR_SIZE] = {};
  if (CURL* curl = curl_easy_init(); curl != nullptr) {
    SetCommonOptions(curl, TimeLimits{10, 10}, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    {
      Transfer transfer(curl);
      if (transfer.Prepare(message)) code = curl_easy_perform(curl);
    }
    curl_easy_cleanup(curl);
  }
  // Wakes the stand-in when libcurl never came.
  ::shutdown(listener, SHUT_RDWR);
  server.join();
  ::close(listener);
  if (code != CURLE_OK)
    throw std::runtime_error("Die Vorschau konnte nicht erstellt werden: " +
                             CurlText(code, errorBuffer));
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
