// The SMTP module: everything that talks to libcurl, behind the table in mail/smtp_module.h.
#include "mail/smtp_module.h"

#include <curl/curl.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>

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
  bool Prepare(const MailMessage& message, const std::vector<std::string>& headerLines) {
    for (const std::string& line : headerLines) {
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

// One connection kept over the mails of a run.
struct Session {
  CURL* curl = nullptr;
  char errorBuffer[CURL_ERROR_SIZE] = {};
};

void* OpenSession() {
  InitCurlOnce();
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return nullptr;
  auto* session = new Session;
  session->curl = curl;
  return session;
}

void CloseSession(void* opened) {
  auto* session = static_cast<Session*>(opened);
  if (session == nullptr) return;
  curl_easy_cleanup(session->curl);
  delete session;
}

SendResult Send(void* opened, const std::string& url, const MailSettings& server,
                const TimeLimits& limits, const std::atomic<bool>* cancel,
                const MailMessage& message, const std::vector<std::string>& headerLines) {
  using Kind = SendResult::Kind;
  auto* session = static_cast<Session*>(opened);
  CURL* curl = session->curl;
  session->errorBuffer[0] = '\0';
  SetCommonOptions(curl, limits, session->errorBuffer);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USE_SSL,
                   server.security == Security::StartTls ? static_cast<long>(CURLUSESSL_ALL)
                                                         : static_cast<long>(CURLUSESSL_NONE));
  if (!server.user.empty()) {
    curl_easy_setopt(curl, CURLOPT_USERNAME, server.user.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, server.password.c_str());
  }
  TransferWatch watch;
  watch.curl = curl;
  watch.cancel = cancel;
  watch.limits = limits;
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &WatchTransfer);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &watch);
  curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, &WatchLines);
  curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &watch);
  curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);

  Transfer transfer(curl);
  if (!transfer.Prepare(message, headerLines))
    return {Kind::Fatal, "Die Mail konnte nicht erstellt werden."};
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

std::string Render(const std::string& url, const MailMessage& message,
                   const std::vector<std::string>& headerLines) {
  InitCurlOnce();
  CURLcode code = CURLE_FAILED_INIT;
  char errorBuffer[CURL_ERROR_SIZE] = {};
  if (CURL* curl = curl_easy_init(); curl != nullptr) {
    SetCommonOptions(curl, TimeLimits{10, 10, 10, 10, 10, 10}, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    {
      Transfer transfer(curl);
      if (transfer.Prepare(message, headerLines)) code = curl_easy_perform(curl);
    }
    curl_easy_cleanup(curl);
  }
  return code == CURLE_OK ? std::string() : CurlText(code, errorBuffer);
}

constexpr SmtpModule kModule{kSmtpModuleAbi, &OpenSession, &CloseSession, &Send, &Render};

}  // namespace

}  // namespace quirabel::mail

extern "C" __attribute__((visibility("default"))) const quirabel::mail::SmtpModule*
quirabel_smtp_module() {
  return &quirabel::mail::kModule;
}
