#include "mail/message.h"

#include <array>
#include <cstdio>

namespace quirabel::mail {

namespace {

bool IsPlainAscii(std::string_view text) {
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x80 || (b < 0x20 && c != '\t') || b == 0x7F) return false;
  }
  return text.find("=?") == std::string_view::npos;
}

// The characters that may stand for themselves in an encoded word anywhere in a header, also
// inside a display name.
bool IsQSafe(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '!' ||
         c == '*' || c == '+' || c == '-' || c == '/';
}

// The length of the UTF-8 sequence that starts with byte b (1 for stray bytes).
std::size_t SequenceLength(unsigned char b) {
  if (b >= 0xF0 && b < 0xF8) return 4;
  if (b >= 0xE0) return b < 0xF0 ? 3 : 1;
  if (b >= 0xC0) return 2;
  return 1;
}

}  // namespace

std::string FillFields(std::string_view text, const std::vector<std::string>& cells) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, 5, "<Feld") == 0) {
      std::size_t end = i + 5;
      std::size_t column = 0;
      while (end < text.size() && end - i < 14 && text[end] >= '0' && text[end] <= '9') {
        column = column * 10 + static_cast<std::size_t>(text[end] - '0');
        ++end;
      }
      if (end > i + 5 && end < text.size() && text[end] == '>' && column >= 1) {
        if (column <= cells.size()) out += cells[column - 1];
        i = end + 1;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

namespace {

// A plain text folded at its blanks into lines of at most 76 characters (the header's name
// before it included); empty when a word is too long for a line of its own.
std::string FoldPlain(std::string_view text) {
  constexpr std::size_t kMaxLine = 76;
  constexpr std::size_t kNameRoom = 10;  // "Subject: "
  std::string out;
  std::size_t line = kNameRoom;
  std::size_t i = 0;
  while (i < text.size()) {
    // A word with the blanks before it.
    std::size_t end = i;
    while (end < text.size() && (text[end] == ' ' || text[end] == '\t')) ++end;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
    const std::string_view word = text.substr(i, end - i);
    if (line + word.size() > kMaxLine && i > 0 && (word[0] == ' ' || word[0] == '\t')) {
      out += "\r\n";
      line = 0;
    }
    if (line + word.size() > kMaxLine) return {};
    out += word;
    line += word.size();
    i = end;
  }
  return out;
}

}  // namespace

std::string EncodeHeaderText(std::string_view text) {
  if (IsPlainAscii(text)) {
    if (text.size() <= 66) return std::string(text);
    // A long subject is folded, so no line of the header grows past what servers take.
    if (std::string folded = FoldPlain(text); !folded.empty()) return folded;
  }
  constexpr std::string_view kOpen = "=?UTF-8?Q?";
  constexpr std::string_view kClose = "?=";
  constexpr std::size_t kMaxWord = 75;
  std::string out;
  std::string word;
  auto finish = [&] {
    if (word.empty()) return;
    if (!out.empty()) out += "\r\n ";
    out += kOpen;
    out += word;
    out += kClose;
    word.clear();
  };
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t length =
        std::min(SequenceLength(static_cast<unsigned char>(text[i])), text.size() - i);
    std::string encoded;
    for (std::size_t k = 0; k < length; ++k) {
      const char c = text[i + k];
      if (c == ' ') {
        encoded += '_';
      } else if (IsQSafe(c)) {
        encoded += c;
      } else {
        char hex[4];
        std::snprintf(hex, sizeof hex, "=%02X", static_cast<unsigned char>(c));
        encoded += hex;
      }
    }
    if (kOpen.size() + word.size() + encoded.size() + kClose.size() > kMaxWord) finish();
    word += encoded;
    i += length;
  }
  finish();
  return out;
}

std::string MailboxText(std::string_view name, std::string_view address) {
  const std::string bracketed = "<" + std::string(address) + ">";
  if (name.empty()) return bracketed;
  if (!IsPlainAscii(name)) return EncodeHeaderText(name) + " " + bracketed;
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\" " + bracketed;
}

std::string DateHeaderValue(std::time_t when) {
  static constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed",
                                                       "Thu", "Fri", "Sat"};
  static constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm local{};
  if (::localtime_r(&when, &local) == nullptr) return "Thu, 01 Jan 1970 00:00:00 +0000";
  const long offset = local.tm_gmtoff / 60;
  const long magnitude = offset < 0 ? -offset : offset;
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                kDays[static_cast<std::size_t>(local.tm_wday % 7)], local.tm_mday,
                kMonths[static_cast<std::size_t>(local.tm_mon % 12)], local.tm_year + 1900,
                local.tm_hour, local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', magnitude / 60,
                magnitude % 60);
  return text;
}

std::string InjectedHeader(const MailMessage& message) {
  const std::pair<const char*, const std::string*> values[] = {
      {"Absendername", &message.fromName},    {"Absenderadresse", &message.fromAddress},
      {"Empfängeradresse", &message.to},      {"Betreff", &message.subject},
      {"Dateiname", &message.attachmentName}, {"Message-ID", &message.messageId}};
  for (const auto& entry : values) {
    if (entry.second->find_first_of("\r\n") != std::string::npos) return entry.first;
  }
  return {};
}

std::vector<std::string> HeaderLines(const MailMessage& message) {
  return {"Date: " + DateHeaderValue(message.date),
          "From: " + MailboxText(message.fromName, message.fromAddress), "To: <" + message.to + ">",
          "Subject: " + EncodeHeaderText(message.subject),
          "Message-ID: <" + message.messageId + ">"};
}

std::string MakeMessageId(std::string_view unique, std::time_t when, std::string_view fromAddress) {
  const std::size_t at = fromAddress.rfind('@');
  const std::string_view domain = at == std::string_view::npos
                                      ? std::string_view("quirabel.invalid")
                                      : fromAddress.substr(at + 1);
  return std::to_string(static_cast<long long>(when)) + "." + std::string(unique) + "@" +
         std::string(domain);
}

}  // namespace quirabel::mail
