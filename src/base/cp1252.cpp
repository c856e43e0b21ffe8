#include "base/cp1252.h"

#include <cstdint>
#include <cstring>

namespace quirabel {
namespace {

// Code points of the bytes 0x80-0x9F. The five bytes Windows-1252 leaves undefined map to the C1
// control of the same value so that arbitrary byte strings survive a round trip.
constexpr char16_t kHighRow[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr int kNoByte = -1;

int ByteForCodePoint(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  if (cp < 0xA0) {
    // Of the C1 controls only the five stand-ins for undefined bytes have a byte.
    return kHighRow[cp - 0x80] == cp ? static_cast<int>(cp) : kNoByte;
  }
  for (int i = 0; i < 32; ++i) {
    if (kHighRow[i] == cp) return 0x80 + i;
  }
  return kNoByte;
}

// Length of the run of ASCII bytes starting at `from`.
std::size_t AsciiRun(const unsigned char* p, std::size_t from, std::size_t n) {
  std::size_t i = from;
  while (n - i >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p + i, 8);
    if (word & 0x8080808080808080ULL) break;
    i += 8;
  }
  while (i < n && p[i] < 0x80) ++i;
  return i - from;
}

// Shared by Utf8ToCp1252 and FitsCp1252. With `out` null it stops at the first loss.
// Returns whether anything was replaced.
bool Convert(std::string_view utf8, std::string* out) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t n = utf8.size();
  bool lossy = false;
  auto replace = [&] {
    lossy = true;
    if (out != nullptr) out->push_back('?');
  };

  std::size_t i = 0;
  while (i < n) {
    const std::size_t run = AsciiRun(p, i, n);
    if (run > 0) {
      if (out != nullptr) out->append(utf8.substr(i, run));
      i += run;
      continue;
    }

    // Valid lead bytes and the narrowed range of the first continuation byte exclude overlong
    // forms, surrogates and values above U+10FFFF, so a failing byte ends a maximal subpart.
    const unsigned char lead = p[i];
    int need;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    char32_t cp;
    if (lead >= 0xC2 && lead <= 0xDF) {
      need = 1;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      need = 2;
      cp = lead & 0x0F;
      if (lead == 0xE0) lo = 0xA0;
      if (lead == 0xED) hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      need = 3;
      cp = lead & 0x07;
      if (lead == 0xF0) lo = 0x90;
      if (lead == 0xF4) hi = 0x8F;
    } else {
      replace();
      ++i;
      if (out == nullptr) return true;
      continue;
    }

    std::size_t j = i + 1;
    bool complete = true;
    for (int k = 0; k < need; ++k) {
      if (j >= n || p[j] < lo || p[j] > hi) {
        complete = false;
        break;
      }
      cp = (cp << 6) | (p[j] & 0x3F);
      ++j;
      lo = 0x80;
      hi = 0xBF;
    }
    i = j;  // on failure the offending byte is looked at again as a new lead
    const int byte = complete ? ByteForCodePoint(cp) : kNoByte;
    if (byte == kNoByte) {
      replace();
      if (out == nullptr) return true;
    } else if (out != nullptr) {
      out->push_back(static_cast<char>(byte));
    }
  }
  return lossy;
}

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

std::string Utf8ToCp1252(std::string_view utf8, bool* lossy) {
  std::string out;
  out.reserve(utf8.size());
  const bool lost = Convert(utf8, &out);
  if (lossy != nullptr) *lossy = lost;
  return out;
}

bool FitsCp1252(std::string_view utf8) { return !Convert(utf8, nullptr); }

std::string Cp1252ToUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::string out;
  out.reserve(n);
  std::size_t i = 0;
  while (i < n) {
    const std::size_t run = AsciiRun(p, i, n);
    if (run > 0) {
      out.append(bytes.substr(i, run));
      i += run;
      continue;
    }
    const unsigned char b = p[i++];
    AppendUtf8(b < 0xA0 ? kHighRow[b - 0x80] : b, &out);
  }
  return out;
}

bool IsUtf8(std::string_view bytes) {
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (n - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto c = static_cast<unsigned char>(bytes[i + k]);
      if (k == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF)) return false;
    }
    i += length;
  }
  return true;
}

std::string TextFileToUtf8(std::string_view bytes) {
  if (bytes.starts_with(kUtf8Bom)) bytes.remove_prefix(kUtf8Bom.size());
  return IsUtf8(bytes) ? std::string(bytes) : Cp1252ToUtf8(bytes);
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

}  // namespace quirabel
