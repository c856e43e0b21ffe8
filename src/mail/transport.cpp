#include "mail/transport.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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

// Where an SMTP dialogue stands, as seen from the lines that go back and forth.
enum class Step { Connect, Greeting, Command, Mail, Recipient, Data, Body, End, Done };

// What the callbacks see of a transfer: the cancel flag, the step, the server's last reply line,
// how much of the mail has gone out, and when anything last moved.
struct TransferWatch {
  CURL* curl = nullptr;
  const std::atomic<bool>* cancel = nullptr;
  TimeLimits limits;
  Step step = Step::Connect;
  bool connected = false;
  bool gotGoAhead = false;  // the server said 354: the mail itself is on its way
  std::string lastReply;
  std::string errorReply;  // the first 4xx or 5xx reply, and the step it answered
  Step errorStep = Step::Connect;
  std::string replyAfterData;
  curl_off_t uploaded = 0;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point moved = start;
  bool timedOut = false;
  bool cancelled = false;
};

std::string CurlText(CURLcode code, const char* buffer) {
  return buffer != nullptr && *buffer != '\0' ? std::string(buffer) : curl_easy_strerror(code);
}

void Moved(TransferWatch& watch) {
  watch.connected = true;
  if (watch.step == Step::Connect) watch.step = Step::Greeting;
  watch.moved = std::chrono::steady_clock::now();
}

int WatchLines(CURL*, curl_infotype type, char* data, std::size_t size, void* state) {
  auto& watch = *static_cast<TransferWatch*>(state);
  std::string_view text(data, size);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  switch (type) {
    case CURLINFO_TEXT:
      if (text.find("Connected to") != std::string_view::npos ||
          text.find("existing connection") != std::string_view::npos)
        Moved(watch);
      break;
    case CURLINFO_HEADER_IN:
      Moved(watch);
      // A reply of several lines ("250-…") counts by its last.
      if (text.size() >= 3) watch.lastReply = std::string(text);
      if (text.size() >= 4 && text[3] == '-') break;
      if (watch.errorReply.empty() && (text[0] == '4' || text[0] == '5')) {
        watch.errorReply = std::string(text);
        watch.errorStep = watch.step;
      }
      if (watch.step == Step::Connect || watch.step == Step::Greeting) {
        watch.step = Step::Command;
      } else if (watch.step == Step::Data && text.starts_with("354")) {
        watch.step = Step::Body;
        watch.gotGoAhead = true;
      } else if (watch.step == Step::Body || watch.step == Step::End) {
        watch.replyAfterData = std::string(text);
        watch.step = Step::Done;
      }
      break;
    case CURLINFO_HEADER_OUT:
      Moved(watch);
      if (text.starts_with("MAIL FROM")) {
        watch.step = Step::Mail;
      } else if (text.starts_with("RCPT TO")) {
        watch.step = Step::Recipient;
      } else if (text.starts_with("DATA")) {
        watch.step = Step::Data;
      } else if (watch.step != Step::Body && watch.step != Step::End) {
        watch.step = Step::Command;
      }
      break;
    case CURLINFO_DATA_OUT:
    case CURLINFO_DATA_IN:
    case CURLINFO_SSL_DATA_IN:
    case CURLINFO_SSL_DATA_OUT:
      Moved(watch);
      break;
    default:
      break;
  }
  return 0;
}

int WatchTransfer(void* state, curl_off_t, curl_off_t, curl_off_t upTotal, curl_off_t upNow) {
  auto& watch = *static_cast<TransferWatch*>(state);
  if (upNow > watch.uploaded) {
    watch.uploaded = upNow;
    Moved(watch);
  }
  if (watch.step == Step::Body && upTotal > 0 && upNow >= upTotal) watch.step = Step::End;
  if (watch.cancel != nullptr && watch.cancel->load()) {
    watch.cancelled = true;
    return 1;
  }
  const auto now = std::chrono::steady_clock::now();
  if (!watch.connected) {
    // The local port is known once the connection stands, before the greeting.
    long localPort = 0;
    curl_off_t connectTime = 0;
    if ((curl_easy_getinfo(watch.curl, CURLINFO_LOCAL_PORT, &localPort) == CURLE_OK &&
         localPort > 0) ||
        (curl_easy_getinfo(watch.curl, CURLINFO_CONNECT_TIME_T, &connectTime) == CURLE_OK &&
         connectTime > 0)) {
      watch.connected = true;
      watch.moved = now;
      if (watch.step == Step::Connect) watch.step = Step::Greeting;
    }
  }
  long limit = watch.limits.commandSeconds;
  switch (watch.step) {
    case Step::Connect:
      limit = watch.limits.connectSeconds;
      break;
    case Step::Greeting:
      limit = watch.limits.greetingSeconds;
      break;
    case Step::Data:
      limit = watch.limits.dataSeconds;
      break;
    case Step::Body:
      limit = watch.limits.blockSeconds;
      break;
    case Step::End:
      limit = watch.limits.endSeconds;
      break;
    default:
      break;
  }
  const auto since = watch.connected ? watch.moved : watch.start;
  if (now - since > std::chrono::seconds(limit)) {
    watch.timedOut = true;
    return 1;
  }
  return 0;
}

// The options every transfer shares: protocols, time limits, no signals (we run on threads).
// libcurl's own limits are only the outer bounds; the steps' limits are watched above.
void SetCommonOptions(CURL* curl, const TimeLimits& limits, char* errorBuffer) {
  const long longest = std::max({limits.greetingSeconds, limits.commandSeconds, limits.dataSeconds,
                                 limits.blockSeconds, limits.endSeconds});
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT,
                   limits.connectSeconds + limits.greetingSeconds + 4 * limits.commandSeconds);
  curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, longest + 1);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, longest + 1);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
}

// The sentence for a failed transfer: German words for what went wrong, then the server's own
// reply line when there is one.
std::string WithReply(std::string sentence, const std::string& reply) {
  if (!reply.empty()) sentence += ": " + reply;
  return sentence;
}

std::string ConnectionText(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
      return "Den Mailserver gibt es nicht (der Name ist unbekannt)";
    case CURLE_COULDNT_CONNECT:
      return "Der Mailserver ist nicht erreichbar";
    case CURLE_OPERATION_TIMEDOUT:
      return "Der Mailserver antwortet nicht";
    case CURLE_WEIRD_SERVER_REPLY:
      return "Der Mailserver antwortet unverständlich";
    default:
      return "Die Verbindung zum Mailserver brach ab";
  }
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
  if (cancel_ != nullptr && cancel_->load()) return {Kind::Cancelled, "abgebrochen"};
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
  TransferWatch watch;
  watch.curl = curl;
  watch.cancel = cancel_;
  watch.limits = limits_;
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &WatchTransfer);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &watch);
  curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, &WatchLines);
  curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &watch);
  curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);

  Transfer transfer(curl);
  if (!transfer.Prepare(message)) return {Kind::Fatal, "Die Mail konnte nicht erstellt werden."};
  const CURLcode code = curl_easy_perform(curl);
  curl_easy_setopt(curl, CURLOPT_VERBOSE, 0L);
  if (code == CURLE_OK) return {Kind::Sent, {}};
  // A connection that failed is not used again: its state is unknown, and closing it keeps
  // the end of the transport from waiting on a server that holds its answer back.
  curl_socket_t socket = CURL_SOCKET_BAD;
  if (curl_easy_getinfo(curl, CURLINFO_ACTIVESOCKET, &socket) == CURLE_OK &&
      socket != CURL_SOCKET_BAD)
    ::shutdown(socket, SHUT_RDWR);
  const std::string& reply = watch.errorReply.empty() ? watch.lastReply : watch.errorReply;
  long answer = 0;
  if (reply.size() >= 3) answer = std::atol(reply.substr(0, 3).c_str());

  // The whole mail went out and no final answer came (or 421, the server closing): it may have
  // arrived. A mail cut off before its end is dropped by the server.
  curl_off_t uploaded = 0;
  curl_easy_getinfo(curl, CURLINFO_SIZE_UPLOAD_T, &uploaded);
  uploaded = std::max(uploaded, watch.uploaded);
  const auto attachmentEncoded =
      static_cast<curl_off_t>(4 * ((message.attachmentBytes.size() + 2) / 3));
  const bool dataOut = watch.gotGoAhead && uploaded > 0 && uploaded >= attachmentEncoded;
  const bool noFinalAnswer =
      watch.replyAfterData.empty() || watch.replyAfterData.starts_with("421");
  if (dataOut && noFinalAnswer) {
    if (watch.cancelled)
      return {Kind::Uncertain, "abgebrochen, nachdem die Mail übertragen war", true};
    if (watch.timedOut)
      return {Kind::Uncertain, WithReply("Der Mailserver hat das Ende der Mail nicht bestätigt, "
                                         "die Mail ist vielleicht angekommen",
                                         watch.replyAfterData)};
    return {Kind::Uncertain,
            WithReply("Die Verbindung brach nach der Übertragung ab, die Mail ist vielleicht "
                      "angekommen",
                      watch.replyAfterData)};
  }
  if (watch.cancelled || (code == CURLE_ABORTED_BY_CALLBACK && !watch.timedOut))
    return {Kind::Cancelled, "abgebrochen"};
  if (code == CURLE_LOGIN_DENIED)
    return {Kind::Fatal, WithReply("Der Mailserver nimmt Benutzer oder Passwort nicht an", reply)};
  if (code == CURLE_USE_SSL_FAILED || code == CURLE_SSL_CONNECT_ERROR ||
      code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_SSL_CACERT_BADFILE ||
      code == CURLE_UNSUPPORTED_PROTOCOL || code == CURLE_URL_MALFORMAT) {
    const char* why =
        code == CURLE_USE_SSL_FAILED             ? "Der Mailserver bietet keine Verschlüsselung an"
        : code == CURLE_PEER_FAILED_VERIFICATION ? "Das Zertifikat des Mailservers ist nicht gültig"
        : code == CURLE_SSL_CONNECT_ERROR
            ? "Die verschlüsselte Verbindung zum Mailserver kam nicht zustande"
            : "Keine sichere Verbindung zum Mailserver";
    return {Kind::Fatal, WithReply(why, reply)};
  }
  // 421: the server is closing the connection, which is worth another try.
  if (answer >= 400 && answer < 600 && answer != 421 && !watch.timedOut) {
    const bool temporary = answer < 500;
    const char* again = temporary ? " – wird beim nächsten Lauf erneut versucht" : "";
    switch (watch.errorReply.empty() ? watch.step : watch.errorStep) {
      case Step::Mail:
        return {Kind::Fatal, WithReply("Der Server nimmt den Absender nicht an", reply)};
      case Step::Recipient:
        return {Kind::Refused,
                WithReply(std::string(temporary ? "Der Server lehnt die Adresse vorübergehend ab"
                                                : "Der Server lehnt die Adresse ab") +
                              again,
                          reply)};
      case Step::Data:
      case Step::Body:
      case Step::End:
      case Step::Done:
        return {Kind::Refused,
                WithReply(std::string(temporary ? "Die Mail wurde vorübergehend abgelehnt"
                                                : "Die Mail wurde abgelehnt") +
                              again,
                          reply)};
      default:
        return {Kind::Fatal, WithReply("Der Mailserver verweigert die Verbindung", reply)};
    }
  }
  const std::string why =
      watch.timedOut ? std::string("Der Mailserver antwortet nicht") : ConnectionText(code);
  return {Kind::ConnectionLost, WithReply(why, reply)};
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
    SetCommonOptions(curl, TimeLimits{10, 10, 10, 10, 10, 10}, errorBuffer);
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
