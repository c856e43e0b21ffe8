#include "pdf/pdf_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace quirabel::pdf {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendInteger(std::string& out, std::int64_t value) {
  std::array<char, 24> buffer{};
  auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  (void)ec;  // 24 characters always hold a 64-bit integer
  out.append(buffer.data(), end);
}

}  // namespace

void AppendReal(std::string& out, double x) {
  // Hundredths as a 32-bit count: the writer's own rounding. Out-of-range values and NaN would be
  // undefined in a plain conversion, so they are pinned first.
  double scaled = std::trunc(x * 100.0 + 0.5);
  std::int64_t hundredths;
  if (std::isnan(scaled)) {
    hundredths = 0;
  } else if (scaled >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    hundredths = std::numeric_limits<std::int32_t>::max();
  } else if (scaled <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
    hundredths = std::numeric_limits<std::int32_t>::min();
  } else {
    hundredths = static_cast<std::int64_t>(scaled);
  }
  // Printing the integer count directly gives the same digits as printing count * 0.01 with 15
  // significant digits: below 2^31 hundredths the product's error never reaches the 15th digit.
  if (hundredths < 0) {
    out.push_back('-');
    hundredths = -hundredths;
  }
  AppendInteger(out, hundredths / 100);
  int fraction = static_cast<int>(hundredths % 100);
  if (fraction != 0) {
    out.push_back('.');
    out.push_back(static_cast<char>('0' + fraction / 10));
    if (fraction % 10 != 0) out.push_back(static_cast<char>('0' + fraction % 10));
  }
}

std::string FormatReal(double x) {
  std::string out;
  AppendReal(out, x);
  return out;
}

std::string FormatDouble(double x) {
  if (!std::isfinite(x) || x == 0.0) return "0";
  // Round to 15 significant digits in scientific form, then lay the digits out in fixed notation.
  std::array<char, 64> buffer{};
  auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), x,
                                 std::chars_format::scientific, 14);
  (void)ec;
  std::string_view sci(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
  std::string out;
  std::size_t pos = 0;
  if (sci[pos] == '-') {
    out.push_back('-');
    ++pos;
  }
  std::string digits;
  for (; pos < sci.size() && sci[pos] != 'e'; ++pos) {
    if (sci[pos] != '.') digits.push_back(sci[pos]);
  }
  int exponent = 0;
  std::size_t expAt = pos + 1;
  if (expAt < sci.size() && sci[expAt] == '+') ++expAt;  // from_chars takes no plus sign
  std::from_chars(sci.data() + expAt, sci.data() + sci.size(), exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  int pointAt = exponent + 1;  // digits before the decimal point
  if (pointAt <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-pointAt), '0');
    out += digits;
  } else if (static_cast<std::size_t>(pointAt) >= digits.size()) {
    out += digits;
    out.append(static_cast<std::size_t>(pointAt) - digits.size(), '0');
  } else {
    out.append(digits, 0, static_cast<std::size_t>(pointAt));
    out.push_back('.');
    out.append(digits, static_cast<std::size_t>(pointAt));
  }
  return out;
}

void AppendEscapedText(std::string& out, std::string_view bytes) {
  for (char c : bytes) {
    switch (c) {
      case '(':
        out += "\\(";
        break;
      case ')':
        out += "\\)";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default:
        out.push_back(c);
    }
  }
}

std::string EscapeText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  AppendEscapedText(out, bytes);
  return out;
}

namespace {

// Whether a byte of a name goes out as #xx: white space, delimiters, the number sign and every
// byte outside printable ASCII.
constexpr bool NameEscapes(unsigned char b) {
  switch (b) {
    case '#':
    case '%':
    case '(':
    case ')':
    case '/':
    case '<':
    case '>':
    case '[':
    case ']':
    case '{':
    case '}':
      return true;
    default:
      return b < 33 || b > 126;
  }
}

}  // namespace

void AppendEscapedName(std::string& out, std::string_view bytes) {
  // Plain stretches go out at once; NUL bytes are left out.
  std::size_t plainFrom = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b != 0 && !NameEscapes(b)) continue;
    out.append(bytes, plainFrom, i - plainFrom);
    plainFrom = i + 1;
    if (b == 0) continue;
    const char escaped[3] = {'#', kHexDigits[b >> 4], kHexDigits[b & 15]};
    out.append(escaped, 3);
  }
  out.append(bytes, plainFrom, bytes.size() - plainFrom);
}

std::string EscapeName(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  AppendEscapedName(out, bytes);
  return out;
}

bool HasMultiByte(std::string_view /*bytes*/) { return false; }

std::string ToHex(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    out.push_back(kHexDigits[b >> 4]);
    out.push_back(kHexDigits[b & 15]);
  }
  return out;
}

int CharCount(std::string_view bytes) {
  // Single-byte code page: one byte, one character.
  return static_cast<int>(bytes.size());
}

std::string DateText(const LocalDateTime& when) { return PdfDateText(when); }

}  // namespace quirabel::pdf
