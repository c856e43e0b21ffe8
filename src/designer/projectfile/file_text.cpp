#include "designer/projectfile/file_text.h"

#include <charconv>

#include "base/cp1252.h"

namespace quirabel::designer::projectfile {

namespace {

constexpr char32_t kLastCodePoint = 0x10FFFF;

// Decodes one well-formed UTF-8 sequence at pos; returns its length, or 0 when it is not one.
std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t& cp) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const std::size_t left = text.size() - pos;
  const unsigned char b0 = byte(0);
  std::size_t length = b0 < 0x80         ? 1
                       : (b0 >> 5) == 6  ? 2
                       : (b0 >> 4) == 14 ? 3
                       : (b0 >> 3) == 30 ? 4
                                         : 0;
  if (length == 0 || length > left) return 0;
  cp = length == 1 ? b0 : b0 & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i) & 0x3F);
  }
  return length;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// A reference "&#digits;" at pos: its length and value, or length 0.
std::size_t ParseReference(std::string_view bytes, std::size_t pos, char32_t& cp) {
  if (bytes.substr(pos, 2) != "&#") return 0;
  const std::size_t digits = pos + 2;
  std::size_t end = digits;
  while (end < bytes.size() && end - digits < 8 && bytes[end] >= '0' && bytes[end] <= '9') ++end;
  if (end == digits || end >= bytes.size() || bytes[end] != ';') return 0;
  std::uint32_t value = 0;
  std::from_chars(bytes.data() + digits, bytes.data() + end, value);
  cp = value;
  return end + 1 - pos;
}

bool IsSurrogate(char32_t cp) { return cp >= 0xD800 && cp <= 0xDFFF; }

}  // namespace

std::string ToFileText(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    if (utf8.substr(pos, 2) == "&#") {
      out += "&#38;#";
      pos += 2;
      continue;
    }
    char32_t cp = 0;
    const std::size_t length = DecodeUtf8(utf8, pos, cp);
    if (length == 0) {
      out += Utf8ToCp1252(utf8.substr(pos, 1));  // malformed: the converter's '?'
      ++pos;
      continue;
    }
    const std::string_view ch = utf8.substr(pos, length);
    if (FitsCp1252(ch)) {
      out += Utf8ToCp1252(ch);
    } else {
      out += "&#" + std::to_string(static_cast<std::uint32_t>(cp)) + ";";
    }
    pos += length;
  }
  return out;
}

std::string FromFileText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t start = 0;  // first byte not yet converted
  for (std::size_t pos = bytes.find("&#"); pos != std::string_view::npos;
       pos = bytes.find("&#", pos)) {
    char32_t cp = 0;
    const std::size_t length = ParseReference(bytes, pos, cp);
    std::string ch;
    if (length != 0 && cp <= kLastCodePoint && !IsSurrogate(cp)) AppendUtf8(ch, cp);
    // Only what the writer makes is resolved: "&#38;" and characters Windows-1252 lacks.
    if (length == 0 || ch.empty() || (cp != '&' && FitsCp1252(ch))) {
      pos += 2;
      continue;
    }
    out += Cp1252ToUtf8(bytes.substr(start, pos - start));
    out += ch;
    pos += length;
    start = pos;
  }
  out += Cp1252ToUtf8(bytes.substr(start));
  return out;
}

std::size_t CutFileText(std::string_view bytes, std::size_t maxLength) {
  if (bytes.size() <= maxLength) return bytes.size();
  // A reference is at most "&#" + 7 digits + ";"; one cut open is dropped whole.
  const std::size_t amp = bytes.rfind('&', maxLength - 1);
  if (amp != std::string_view::npos && maxLength - amp < 10) {
    char32_t cp = 0;
    const std::size_t length = ParseReference(bytes, amp, cp);
    if (length != 0 && amp + length > maxLength) return amp;
  }
  return maxLength;
}

}  // namespace quirabel::designer::projectfile
