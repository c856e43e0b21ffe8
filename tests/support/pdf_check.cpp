#include "support/pdf_check.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace quirabel::testing {
namespace {

// Garbage input must not exhaust the stack or flood the test log.
constexpr int kMaxNesting = 64;
constexpr int kMaxPageTreeDepth = 64;
constexpr int kMaxLoadDepth = 16;  // chains of /Length references to other streams
constexpr int kMaxColorSpaceDepth = 8;
constexpr size_t kMaxProblems = 200;
constexpr long long kMaxObjectNumber = 10'000'000;
constexpr long long kMaxImageSide = 1 << 24;

bool IsWhite(unsigned char c) {
  return c == 0 || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}
bool IsDelimiter(unsigned char c) {
  return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' ||
         c == '}' || c == '/' || c == '%';
}
bool IsRegular(unsigned char c) { return !IsWhite(c) && !IsDelimiter(c); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Shows bytes of the file in a problem message: printable ASCII as is, the rest escaped.
std::string Excerpt(std::string_view data, size_t pos, size_t n = 24) {
  std::string out = "\"";
  for (size_t i = pos; i < data.size() && i < pos + n; ++i) {
    unsigned char c = data[i];
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 32 && c < 127) {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    }
  }
  if (pos >= data.size()) return "end of file";
  return out + "\"";
}

struct Obj {
  enum class Kind { kNull, kBool, kInt, kReal, kString, kName, kArray, kDict, kRef, kStream };
  Kind kind = Kind::kNull;
  bool boolean = false;
  long long integer = 0;
  double real = 0;
  std::string text;               // string bytes or name (decoded)
  std::vector<std::string> keys;  // dictionary keys; keys[i] belongs to items[i]
  std::vector<Obj> items;         // array elements or dictionary values
  int refNum = 0;
  int refGen = 0;
  size_t dataStart = 0;  // stream data: offset and length in the file
  size_t dataLength = 0;

  bool IsDict() const { return kind == Kind::kDict || kind == Kind::kStream; }
  bool IsNumber() const { return kind == Kind::kInt || kind == Kind::kReal; }
  bool IsName(std::string_view n) const { return kind == Kind::kName && text == n; }
  const Obj* Get(std::string_view key) const {
    if (!IsDict()) return nullptr;
    for (size_t i = 0; i < keys.size(); ++i) {
      if (keys[i] == key) return &items[i];
    }
    return nullptr;
  }
};

std::string RefText(int num, int gen) {
  return std::to_string(num) + " " + std::to_string(gen) + " R";
}

struct Token {
  enum class Type {
    kEnd,
    kError,
    kInt,
    kReal,
    kString,
    kName,
    kKeyword,
    kArrayOpen,
    kArrayClose,
    kDictOpen,
    kDictClose,
    kBraceOpen,
    kBraceClose,
  };
  Type type = Type::kEnd;
  std::string text;  // keyword, name or string bytes; the message for kError
  long long integer = 0;
  double real = 0;
  size_t pos = 0;
};

class Lexer {
 public:
  Lexer(std::string_view data, size_t pos) : data_(data), pos_(pos) {}
  size_t pos() const { return pos_; }
  void set_pos(size_t pos) { pos_ = pos; }

  void SkipWhitespaceAndComments() {
    while (pos_ < data_.size()) {
      unsigned char c = data_[pos_];
      if (IsWhite(c)) {
        ++pos_;
      } else if (c == '%') {
        while (pos_ < data_.size() && data_[pos_] != '\r' && data_[pos_] != '\n') ++pos_;
      } else {
        break;
      }
    }
  }

  Token Next() {
    SkipWhitespaceAndComments();
    Token t;
    t.pos = pos_;
    if (pos_ >= data_.size()) return t;
    unsigned char c = data_[pos_];
    auto single = [&](Token::Type type) {
      ++pos_;
      t.type = type;
      return t;
    };
    switch (c) {
      case '[':
        return single(Token::Type::kArrayOpen);
      case ']':
        return single(Token::Type::kArrayClose);
      case '{':
        return single(Token::Type::kBraceOpen);
      case '}':
        return single(Token::Type::kBraceClose);
      case '(':
        return LiteralString();
      case '/':
        return Name();
      case '<':
        if (pos_ + 1 < data_.size() && data_[pos_ + 1] == '<') {
          pos_ += 2;
          t.type = Token::Type::kDictOpen;
          return t;
        }
        return HexString();
      case '>':
        if (pos_ + 1 < data_.size() && data_[pos_ + 1] == '>') {
          pos_ += 2;
          t.type = Token::Type::kDictClose;
          return t;
        }
        return Error("stray '>'");
      case ')':
        return Error("unbalanced ')'");
      default:
        break;
    }
    size_t end = pos_;
    while (end < data_.size() && IsRegular(data_[end])) ++end;
    std::string_view word = data_.substr(pos_, end - pos_);
    if (IsDigit(c) || c == '+' || c == '-' || c == '.') {
      if (!ParseNumber(word, t))
        return Error("malformed number " + Excerpt(data_, pos_, end - pos_));
      pos_ = end;
      return t;
    }
    t.type = Token::Type::kKeyword;
    t.text = std::string(word);
    pos_ = end;
    return t;
  }

 private:
  Token Error(std::string message) {
    Token t;
    t.type = Token::Type::kError;
    t.pos = pos_;
    t.text = std::move(message) + " at offset " + std::to_string(pos_);
    return t;
  }

  static bool ParseNumber(std::string_view word, Token& t) {
    size_t i = 0;
    bool negative = false;
    if (i < word.size() && (word[i] == '+' || word[i] == '-')) negative = word[i++] == '-';
    size_t intDigits = 0, fracDigits = 0;
    bool dot = false;
    long long value = 0;
    bool big = false;
    for (; i < word.size(); ++i) {
      char c = word[i];
      if (IsDigit(c)) {
        if (dot) {
          ++fracDigits;
        } else {
          ++intDigits;
          if (value > 100'000'000'000'000LL) big = true;
          if (!big) value = value * 10 + (c - '0');
        }
      } else if (c == '.' && !dot) {
        dot = true;
      } else {
        return false;
      }
    }
    if (intDigits + fracDigits == 0) return false;
    if (!dot && !big) {
      t.type = Token::Type::kInt;
      t.integer = negative ? -value : value;
      return true;
    }
    t.type = Token::Type::kReal;
    t.real = strtod(std::string(word).c_str(), nullptr);
    return true;
  }

  Token LiteralString() {
    size_t start = pos_;
    ++pos_;
    Token t;
    t.type = Token::Type::kString;
    t.pos = start;
    int depth = 1;
    while (pos_ < data_.size()) {
      char c = data_[pos_++];
      if (c == '(') {
        ++depth;
      } else if (c == ')') {
        if (--depth == 0) return t;
      } else if (c == '\\') {
        if (pos_ >= data_.size()) break;
        char e = data_[pos_++];
        switch (e) {
          case 'n':
            c = '\n';
            break;
          case 'r':
            c = '\r';
            break;
          case 't':
            c = '\t';
            break;
          case 'b':
            c = '\b';
            break;
          case 'f':
            c = '\f';
            break;
          case '\r':
            if (pos_ < data_.size() && data_[pos_] == '\n') ++pos_;
            continue;
          case '\n':
            continue;
          default:
            if (e >= '0' && e <= '7') {
              int v = e - '0';
              for (int k = 0;
                   k < 2 && pos_ < data_.size() && data_[pos_] >= '0' && data_[pos_] <= '7'; ++k) {
                v = v * 8 + (data_[pos_++] - '0');
              }
              c = static_cast<char>(v & 0xFF);
            } else {
              c = e;  // \( \) \\ and unknown escapes stand for the character itself
            }
        }
      }
      t.text += c;
    }
    pos_ = start;
    return Error("unterminated literal string");
  }

  Token HexString() {
    size_t start = pos_;
    ++pos_;
    Token t;
    t.type = Token::Type::kString;
    t.pos = start;
    int high = -1;
    while (pos_ < data_.size()) {
      unsigned char c = data_[pos_++];
      if (c == '>') {
        if (high >= 0) t.text += static_cast<char>(high << 4);
        return t;
      }
      if (IsWhite(c)) continue;
      int v = HexValue(c);
      if (v < 0) {
        --pos_;
        return Error("bad character in hex string");
      }
      if (high < 0) {
        high = v;
      } else {
        t.text += static_cast<char>(high << 4 | v);
        high = -1;
      }
    }
    pos_ = start;
    return Error("unterminated hex string");
  }

  Token Name() {
    Token t;
    t.type = Token::Type::kName;
    t.pos = pos_;
    ++pos_;
    while (pos_ < data_.size() && IsRegular(data_[pos_])) {
      char c = data_[pos_];
      if (c == '#') {
        int h1 = pos_ + 1 < data_.size() ? HexValue(data_[pos_ + 1]) : -1;
        int h2 = pos_ + 2 < data_.size() ? HexValue(data_[pos_ + 2]) : -1;
        if (h1 < 0 || h2 < 0) return Error("bad #-escape in name");
        t.text += static_cast<char>(h1 << 4 | h2);
        pos_ += 3;
      } else {
        t.text += c;
        ++pos_;
      }
    }
    return t;
  }

  std::string_view data_;
  size_t pos_;
};

// Builds objects from tokens. References ("n g R") are recognised only where allowRefs is set:
// content streams have none.
class Parser {
 public:
  Parser(std::string_view data, size_t pos, bool allowRefs) : lex_(data, pos), refs_(allowRefs) {}
  Lexer& lexer() { return lex_; }

  bool Parse(Obj& out, std::string& error) { return FromToken(lex_.Next(), out, error, 0); }

  bool FromToken(const Token& t, Obj& out, std::string& error, int depth) {
    if (depth > kMaxNesting) {
      error = "objects nested too deeply at offset " + std::to_string(t.pos);
      return false;
    }
    switch (t.type) {
      case Token::Type::kEnd:
        error = "unexpected end of data";
        return false;
      case Token::Type::kError:
        error = t.text;
        return false;
      case Token::Type::kInt:
        out.kind = Obj::Kind::kInt;
        out.integer = t.integer;
        if (refs_) TryReference(out);
        return true;
      case Token::Type::kReal:
        out.kind = Obj::Kind::kReal;
        out.real = t.real;
        return true;
      case Token::Type::kString:
        out.kind = Obj::Kind::kString;
        out.text = t.text;
        return true;
      case Token::Type::kName:
        out.kind = Obj::Kind::kName;
        out.text = t.text;
        return true;
      case Token::Type::kKeyword:
        if (t.text == "true" || t.text == "false") {
          out.kind = Obj::Kind::kBool;
          out.boolean = t.text == "true";
          return true;
        }
        if (t.text == "null") {
          out.kind = Obj::Kind::kNull;
          return true;
        }
        error = "unexpected keyword '" + t.text + "' at offset " + std::to_string(t.pos);
        return false;
      case Token::Type::kArrayOpen:
        out.kind = Obj::Kind::kArray;
        for (;;) {
          Token n = lex_.Next();
          if (n.type == Token::Type::kArrayClose) return true;
          if (n.type == Token::Type::kEnd) {
            error = "array opened at offset " + std::to_string(t.pos) + " is never closed";
            return false;
          }
          out.items.emplace_back();
          if (!FromToken(n, out.items.back(), error, depth + 1)) return false;
        }
      case Token::Type::kDictOpen:
        out.kind = Obj::Kind::kDict;
        for (;;) {
          Token k = lex_.Next();
          if (k.type == Token::Type::kDictClose) return true;
          if (k.type == Token::Type::kEnd) {
            error = "dictionary opened at offset " + std::to_string(t.pos) + " is never closed";
            return false;
          }
          if (k.type == Token::Type::kError) {
            error = k.text;
            return false;
          }
          if (k.type != Token::Type::kName) {
            error = "dictionary key at offset " + std::to_string(k.pos) + " is not a name";
            return false;
          }
          Token v = lex_.Next();
          if (v.type == Token::Type::kDictClose) {
            error = "dictionary key /" + k.text + " has no value";
            return false;
          }
          out.keys.push_back(k.text);
          out.items.emplace_back();
          if (!FromToken(v, out.items.back(), error, depth + 1)) return false;
        }
      default:
        error = "unexpected delimiter at offset " + std::to_string(t.pos);
        return false;
    }
  }

 private:
  void TryReference(Obj& out) {
    size_t save = lex_.pos();
    Token gen = lex_.Next();
    if (gen.type == Token::Type::kInt && gen.integer >= 0 && gen.integer <= 65535) {
      Token r = lex_.Next();
      if (r.type == Token::Type::kKeyword && r.text == "R" && out.integer > 0 &&
          out.integer <= kMaxObjectNumber) {
        out.kind = Obj::Kind::kRef;
        out.refNum = static_cast<int>(out.integer);
        out.refGen = static_cast<int>(gen.integer);
        return;
      }
    }
    lex_.set_pos(save);
  }

  Lexer lex_;
  bool refs_;
};

// The size a JPEG declares in its SOFn segment.
struct JpegFrame {
  int width = 0, height = 0, components = 0, precision = 0;
};

bool ReadJpegFrame(std::string_view d, JpegFrame& frame, std::string& error) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(d[i]); };
  if (d.size() < 2 || byte(0) != 0xFF || byte(1) != 0xD8) {
    error = "data does not start with a JPEG SOI marker";
    return false;
  }
  size_t p = 2;
  while (p < d.size()) {
    if (byte(p) != 0xFF) {
      error = "no JPEG marker at byte " + std::to_string(p);
      return false;
    }
    while (p < d.size() && byte(p) == 0xFF) ++p;  // fill bytes
    if (p >= d.size()) break;
    unsigned char m = byte(p++);
    if (m == 0xD8 || m == 0x01 || (m >= 0xD0 && m <= 0xD7)) continue;  // no length field
    if (m == 0xD9) {
      error = "JPEG ends (EOI) before any SOF marker";
      return false;
    }
    if (p + 2 > d.size()) break;
    size_t len = byte(p) << 8 | byte(p + 1);
    if (len < 2 || p + len > d.size()) {
      error = "JPEG segment at byte " + std::to_string(p - 2) + " runs past the end of the data";
      return false;
    }
    bool sof = m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
    if (sof) {
      if (len < 8) {
        error = "JPEG SOF segment too short";
        return false;
      }
      frame.precision = byte(p + 2);
      frame.height = byte(p + 3) << 8 | byte(p + 4);
      frame.width = byte(p + 5) << 8 | byte(p + 6);
      frame.components = byte(p + 7);
      return true;
    }
    if (m == 0xDA) {
      error = "JPEG scan (SOS) before any SOF marker";
      return false;
    }
    p += len;
  }
  error = "JPEG data ends without an SOF marker";
  return false;
}

int DeviceComponents(const Obj& cs) {
  if (cs.IsName("DeviceGray") || cs.IsName("G") || cs.IsName("CalGray")) return 1;
  if (cs.IsName("DeviceRGB") || cs.IsName("RGB")) return 3;
  if (cs.IsName("DeviceCMYK") || cs.IsName("CMYK")) return 4;
  return 0;
}

const std::set<std::string>& ContentOperators() {
  static const std::set<std::string> ops = {
      "b",  "B",  "b*", "B*", "BDC", "BI",  "BMC", "BT", "BX", "c",  "cm", "CS", "cs", "d",  "d0",
      "d1", "Do", "DP", "EI", "EMC", "ET",  "EX",  "f",  "F",  "f*", "G",  "g",  "gs", "h",  "i",
      "ID", "j",  "J",  "K",  "k",   "l",   "m",   "M",  "MP", "n",  "q",  "Q",  "re", "RG", "rg",
      "ri", "s",  "S",  "SC", "sc",  "SCN", "scn", "sh", "T*", "Tc", "Td", "TD", "Tf", "Tj", "TJ",
      "TL", "Tm", "Tr", "Ts", "Tw",  "Tz",  "v",   "w",  "W",  "W*", "y",  "'",  "\""};
  return ops;
}

class Checker {
 public:
  explicit Checker(std::string_view bytes) : b_(bytes) {}

  PdfCheckResult Run() {
    CheckHeaderAndEnd();
    size_t xrefPos = FindXref();
    if (xrefPos != std::string_view::npos && ReadXref(xrefPos)) {
      CheckObjects();
      CheckTrailer();
    }
    return {std::move(problems_)};
  }

 private:
  struct XrefEntry {
    long long offset = 0;
    int gen = 0;
    bool inUse = false;
  };
  struct Loaded {
    bool loading = true;
    bool ok = false;
    Obj obj;
  };

  void Problem(std::string message) {
    if (problems_.size() < kMaxProblems) {
      problems_.push_back(std::move(message));
    } else if (problems_.size() == kMaxProblems) {
      problems_.push_back("too many problems; the rest are not listed");
    }
  }

  void CheckHeaderAndEnd() {
    if (b_.size() < 8 || b_.substr(0, 7) != "%PDF-1." || !IsDigit(b_[7])) {
      Problem("no '%PDF-1.x' header at byte 0 (found " + Excerpt(b_, 0, 8) + ")");
    }
    size_t eof = b_.rfind("%%EOF");
    if (eof == std::string_view::npos) {
      Problem("no '%%EOF' marker at the end of the file");
      return;
    }
    for (size_t i = eof + 5; i < b_.size(); ++i) {
      if (!IsWhite(b_[i])) {
        Problem(std::to_string(b_.size() - eof - 5) + " bytes follow '%%EOF' (" +
                Excerpt(b_, eof + 5) + "); only white space may");
        break;
      }
    }
  }

  // Returns the offset of the "xref" keyword: the one startxref names, or if that is broken the
  // last one in the file so the rest can still be checked.
  size_t FindXref() {
    size_t sx = b_.rfind("startxref");
    if (sx == std::string_view::npos) {
      Problem("no 'startxref' near the end of the file");
    } else {
      Lexer lex(b_, sx + 9);
      Token t = lex.Next();
      if (t.type != Token::Type::kInt || t.integer < 0) {
        Problem("'startxref' is not followed by a byte offset");
      } else if (static_cast<unsigned long long>(t.integer) + 4 > b_.size() ||
                 b_.substr(t.integer, 4) != "xref") {
        Problem("startxref offset " + std::to_string(t.integer) +
                " does not point at the 'xref' keyword (found " +
                Excerpt(b_, std::min<size_t>(t.integer, b_.size())) + ")");
      } else {
        return static_cast<size_t>(t.integer);
      }
    }
    for (size_t p = b_.rfind("xref"); p != std::string_view::npos && p > 0;
         p = b_.rfind("xref", p - 1)) {
      if (IsWhite(b_[p - 1])) return p;
    }
    Problem("no xref table found");
    return std::string_view::npos;
  }

  bool ReadXref(size_t pos) {
    size_t p = pos + 4;
    if (p >= b_.size() || !IsWhite(b_[p])) {
      Problem("'xref' keyword at offset " + std::to_string(pos) + " is not followed by a line end");
      return false;
    }
    Lexer lex(b_, p);
    bool first = true;
    long long highest = 0;
    for (;;) {
      Token t = lex.Next();
      if (t.type == Token::Type::kKeyword && t.text == "trailer") {
        trailerPos_ = lex.pos();
        break;
      }
      Token count = lex.Next();
      if (t.type != Token::Type::kInt || count.type != Token::Type::kInt || t.integer < 0 ||
          count.integer < 0 || t.integer + count.integer > kMaxObjectNumber) {
        Problem("xref subsection header at offset " + std::to_string(t.pos) +
                " is not two numbers 'first count' (found " + Excerpt(b_, t.pos) + ")");
        return false;
      }
      if (first && t.integer != 0) {
        Problem("the first xref subsection starts at object " + std::to_string(t.integer) +
                ", not 0");
      }
      first = false;
      highest = std::max(highest, t.integer + count.integer);
      // Entries begin on the line after the header.
      size_t e = lex.pos();
      if (e < b_.size() && b_[e] == '\r') ++e;
      if (e < b_.size() && b_[e] == '\n') ++e;
      if (e == lex.pos()) {
        Problem("xref subsection header '" + std::to_string(t.integer) + " " +
                std::to_string(count.integer) + "' is not followed by a line end");
      }
      for (long long i = 0; i < count.integer; ++i) {
        int num = static_cast<int>(t.integer + i);
        if (e + 20 > b_.size()) {
          Problem("xref table ends after " + std::to_string(i) + " of " +
                  std::to_string(count.integer) + " entries");
          return false;
        }
        if (!ReadXrefEntry(num, e)) return false;
      }
      lex.set_pos(e);
    }
    if (xref_.empty()) {
      Problem("xref table has no entries");
      return false;
    }
    xrefSize_ = highest;
    auto zero = xref_.find(0);
    if (zero == xref_.end() || zero->second.inUse || zero->second.gen != 65535) {
      Problem("xref entry 0 must be free ('f') with generation 65535");
    }
    return true;
  }

  // Reads one 20-byte entry at e and moves e past it; on a malformed entry resynchronises on the
  // next line end. Returns false if the table cannot be followed any further.
  bool ReadXrefEntry(int num, size_t& e) {
    std::string_view line = b_.substr(e, 20);
    bool digits = true;
    for (int k = 0; k < 10; ++k) digits = digits && IsDigit(line[k]);
    for (int k = 11; k < 16; ++k) digits = digits && IsDigit(line[k]);
    std::string_view tail = line.substr(18, 2);
    bool eol = tail == "\r\n" || tail == " \n" || tail == " \r";
    bool fields =
        digits && line[10] == ' ' && line[16] == ' ' && (line[17] == 'n' || line[17] == 'f');
    if (fields) {
      // Keep the entry even when its line end is wrong, so only the line itself is reported.
      XrefEntry entry;
      entry.offset = std::stoll(std::string(line.substr(0, 10)));
      entry.gen = std::stoi(std::string(line.substr(11, 5)));
      entry.inUse = line[17] == 'n';
      if (!xref_.emplace(num, entry).second) {
        Problem("object " + std::to_string(num) + " appears twice in the xref table");
      }
      if (eol) {
        e += 20;
        return true;
      }
    }
    size_t end = e;
    while (end < b_.size() && end < e + 40 && b_[end] != '\r' && b_[end] != '\n') ++end;
    if (end >= b_.size() || end >= e + 40) {
      Problem("xref entry " + std::to_string(num) + " is malformed: " + Excerpt(b_, e, 20));
      return false;
    }
    size_t next = end + 1;
    if (b_[end] == '\r' && next < b_.size() && b_[next] == '\n') ++next;
    size_t length = next - e;
    if (length != 20) {
      Problem("xref entry " + std::to_string(num) + " is " + std::to_string(length) +
              " bytes long, not 20: " + Excerpt(b_, e, length));
    } else {
      Problem("xref entry " + std::to_string(num) + " is malformed: " + Excerpt(b_, e, length) +
              " (want 10 digits, space, 5 digits, space, n or f, and CR LF, space LF or space CR)");
    }
    e = next;
    return true;
  }

  // Parses the indirect object num once; later calls return the cached result.
  const Obj* Load(int num) {
    auto it = cache_.find(num);
    if (it != cache_.end()) {
      return it->second->ok && !it->second->loading ? &it->second->obj : nullptr;
    }
    auto entry = xref_.find(num);
    if (entry == xref_.end() || !entry->second.inUse) return nullptr;
    if (loadDepth_ >= kMaxLoadDepth) {
      Problem("object " + std::to_string(num) +
              " is reached through too long a chain of references");
      return nullptr;
    }
    ++loadDepth_;
    Loaded* slot = cache_.emplace(num, std::make_unique<Loaded>()).first->second.get();
    std::string where = "object " + std::to_string(num) + " " + std::to_string(entry->second.gen);
    Obj obj;
    std::string error;
    if (ParseIndirect(num, entry->second, obj, error)) {
      slot->ok = true;
      slot->obj = std::move(obj);
    } else {
      Problem(where + ": " + error);
    }
    slot->loading = false;
    --loadDepth_;
    return slot->ok ? &slot->obj : nullptr;
  }

  bool ParseIndirect(int num, const XrefEntry& entry, Obj& obj, std::string& error) {
    if (entry.offset < 0 || static_cast<size_t>(entry.offset) >= b_.size()) {
      error = "xref offset " + std::to_string(entry.offset) + " is past the end of the file";
      return false;
    }
    size_t at = static_cast<size_t>(entry.offset);
    std::string expect = std::to_string(num) + " " + std::to_string(entry.gen) + " obj";
    auto notHere = [&] {
      error = "xref offset " + std::to_string(at) + " does not land on '" + expect + "' (found " +
              Excerpt(b_, at) + ")";
      return false;
    };
    if (!IsDigit(b_[at]) || (at > 0 && IsRegular(b_[at - 1]))) return notHere();
    Parser parser(b_, at, false);
    Lexer& lex = parser.lexer();
    Token n = lex.Next(), g = lex.Next(), kw = lex.Next();
    if (n.type != Token::Type::kInt || n.integer != num || g.type != Token::Type::kInt ||
        g.integer != entry.gen || kw.type != Token::Type::kKeyword || kw.text != "obj") {
      return notHere();
    }
    Parser body(b_, lex.pos(), true);
    if (!body.Parse(obj, error)) return false;
    Token after = body.lexer().Next();
    if (after.type == Token::Type::kKeyword && after.text == "stream") {
      if (obj.kind != Obj::Kind::kDict) {
        error = "'stream' follows an object that is not a dictionary";
        return false;
      }
      size_t next = 0;
      std::string where = "object " + std::to_string(num) + " " + std::to_string(entry.gen);
      if (!ReadStream(where, obj, after.pos + 6, next, error)) return false;
      after = Lexer(b_, next).Next();
    }
    if (after.type != Token::Type::kKeyword || after.text != "endobj") {
      error = "object does not end with 'endobj' (found " + Excerpt(b_, after.pos) + ")";
      return false;
    }
    return true;
  }

  // Locates the stream data after the "stream" keyword (at pos) and checks it against /Length;
  // sets next to the offset after "endstream".
  bool ReadStream(const std::string& where, Obj& obj, size_t pos, size_t& next,
                  std::string& error) {
    obj.kind = Obj::Kind::kStream;
    if (pos + 1 < b_.size() && b_[pos] == '\r' && b_[pos + 1] == '\n') {
      pos += 2;
    } else if (pos < b_.size() && b_[pos] == '\n') {
      pos += 1;
    } else {
      Problem(where + ": 'stream' at offset " + std::to_string(pos - 6) +
              " is not followed by CR LF or LF (found " + Excerpt(b_, pos, 4) + ")");
      if (pos < b_.size() && b_[pos] == '\r') ++pos;
    }
    obj.dataStart = pos;
    long long length = -1;
    const Obj* len = obj.Get("Length");
    if (len && len->kind == Obj::Kind::kRef) len = Load(len->refNum);
    if (!len || len->kind != Obj::Kind::kInt) {
      Problem(where + ": stream has no /Length that is an integer or a reference to one");
    } else {
      length = len->integer;
    }
    if (length >= 0 && static_cast<unsigned long long>(length) <= b_.size() - pos) {
      size_t end = pos + static_cast<size_t>(length);
      size_t eol = 0;
      if (b_.substr(end, 2) == "\r\n") {
        eol = 2;
      } else if (end < b_.size() && (b_[end] == '\n' || b_[end] == '\r')) {
        eol = 1;
      }
      if (b_.substr(end + eol, 9) == "endstream") {
        obj.dataLength = static_cast<size_t>(length);
        next = end + eol + 9;
        return true;
      }
    }
    // Wrong or missing /Length: measure to the next "endstream" to report and go on.
    size_t found = b_.find("endstream", pos);
    if (found == std::string_view::npos) {
      error = "stream data has no 'endstream'";
      return false;
    }
    size_t eol = 0;
    if (found >= pos + 2 && b_.substr(found - 2, 2) == "\r\n") {
      eol = 2;
    } else if (found >= pos + 1 && (b_[found - 1] == '\n' || b_[found - 1] == '\r')) {
      eol = 1;
    }
    obj.dataLength = found - eol - pos;
    next = found + 9;
    if (length >= 0) {
      Problem(where + ": stream /Length is " + std::to_string(length) +
              " but the data before 'endstream' is " + std::to_string(obj.dataLength) + " bytes");
    }
    return true;
  }

  static void CollectRefs(const Obj& o, std::vector<const Obj*>& out) {
    if (o.kind == Obj::Kind::kRef) out.push_back(&o);
    for (const Obj& item : o.items) CollectRefs(item, out);
  }

  // Follows one reference; direct objects are returned as they are.
  const Obj* Resolve(const Obj* o) {
    if (o && o->kind == Obj::Kind::kRef) return Load(o->refNum);
    return o;
  }

  bool RefExists(const Obj& ref) {
    auto it = xref_.find(ref.refNum);
    return it != xref_.end() && it->second.inUse && it->second.gen == ref.refGen;
  }

  void CheckObjects() {
    for (const auto& [num, entry] : xref_) {
      if (!entry.inUse) continue;
      const Obj* obj = Load(num);
      if (!obj) continue;
      std::vector<const Obj*> refs;
      CollectRefs(*obj, refs);
      for (const Obj* r : refs) {
        if (!RefExists(*r)) {
          Problem("object " + std::to_string(num) + " refers to " + RefText(r->refNum, r->refGen) +
                  ", which is not an object in the xref table");
        }
      }
      if (obj->kind == Obj::Kind::kStream) {
        const Obj* subtype = Resolve(obj->Get("Subtype"));
        if (subtype && subtype->IsName("Image")) CheckImage(num, *obj);
      }
    }
  }

  void CheckTrailer() {
    if (trailerPos_ == 0) {
      Problem("no 'trailer' after the xref table");
      return;
    }
    Parser parser(b_, trailerPos_, true);
    Obj trailer;
    std::string error;
    if (!parser.Parse(trailer, error) || trailer.kind != Obj::Kind::kDict) {
      Problem("trailer is not a dictionary" + (error.empty() ? "" : ": " + error));
      return;
    }
    const Obj* size = trailer.Get("Size");
    if (!size || size->kind != Obj::Kind::kInt) {
      Problem("trailer has no integer /Size");
    } else if (size->integer != xrefSize_) {
      Problem("trailer /Size is " + std::to_string(size->integer) + " but the xref table has " +
              std::to_string(xrefSize_) + " entries");
    }
    if (trailer.Get("Prev")) Problem("trailer has /Prev: only a single xref table is checked");
    if (trailer.Get("Encrypt")) Problem("file is encrypted: its contents cannot be checked");
    std::vector<const Obj*> refs;
    CollectRefs(trailer, refs);
    for (const Obj* r : refs) {
      if (!RefExists(*r)) {
        Problem("trailer refers to " + RefText(r->refNum, r->refGen) +
                ", which is not an object in the xref table");
      }
    }
    if (const Obj* info = trailer.Get("Info")) {
      const Obj* dict = info->kind == Obj::Kind::kRef ? Load(info->refNum) : nullptr;
      if (info->kind != Obj::Kind::kRef) {
        Problem("trailer /Info is not an indirect reference");
      } else if (!dict || dict->kind != Obj::Kind::kDict) {
        Problem("trailer /Info " + RefText(info->refNum, info->refGen) +
                " does not refer to a dictionary");
      }
    }
    const Obj* root = trailer.Get("Root");
    if (!root || root->kind != Obj::Kind::kRef) {
      Problem("trailer has no /Root reference");
      return;
    }
    const Obj* catalog = Load(root->refNum);
    const Obj* type = catalog ? catalog->Get("Type") : nullptr;
    if (!catalog || catalog->kind != Obj::Kind::kDict || !type || !type->IsName("Catalog")) {
      Problem("trailer /Root " + RefText(root->refNum, root->refGen) +
              " does not refer to a dictionary with /Type /Catalog");
      return;
    }
    CheckPageTree(root->refNum, *catalog);
  }

  // Attributes a page inherits from its ancestors in the page tree.
  struct Inherited {
    const Obj* mediaBox = nullptr;
    const Obj* resources = nullptr;
  };

  void CheckPageTree(int catalogNum, const Obj& catalog) {
    const Obj* pages = catalog.Get("Pages");
    if (!pages || pages->kind != Obj::Kind::kRef) {
      Problem("catalog (object " + std::to_string(catalogNum) + ") has no /Pages reference");
      return;
    }
    const Obj* rootNode = Load(pages->refNum);
    const Obj* type = rootNode ? rootNode->Get("Type") : nullptr;
    if (!type || !type->IsName("Pages")) {
      Problem("catalog /Pages " + RefText(pages->refNum, pages->refGen) +
              " does not refer to a /Type /Pages node");
      return;
    }
    std::set<int> visited;
    WalkPages(pages->refNum, 0, Inherited{}, 0, visited);
  }

  // Returns the number of leaf pages below node num (or 1 for a page).
  long long WalkPages(int num, int parentNum, Inherited inherited, int depth,
                      std::set<int>& visited) {
    std::string where = "page tree node " + std::to_string(num);
    if (depth > kMaxPageTreeDepth) {
      Problem(where + ": page tree nested too deeply");
      return 0;
    }
    if (!visited.insert(num).second) {
      Problem(where + " appears twice in the page tree");
      return 0;
    }
    const Obj* node = Load(num);
    if (!node) {
      Problem(where + " cannot be read");
      return 0;
    }
    if (node->kind != Obj::Kind::kDict) {
      Problem(where + " is not a dictionary");
      return 0;
    }
    const Obj* parent = node->Get("Parent");
    if (parentNum != 0 &&
        (!parent || parent->kind != Obj::Kind::kRef || parent->refNum != parentNum)) {
      Problem(where + ": /Parent does not point back to object " + std::to_string(parentNum));
    }
    if (const Obj* mb = node->Get("MediaBox")) inherited.mediaBox = mb;
    if (const Obj* res = node->Get("Resources")) inherited.resources = res;
    const Obj* type = node->Get("Type");
    if (type && type->IsName("Page")) {
      ++pageIndex_;
      CheckPage(num, *node, inherited);
      return 1;
    }
    if (!type || !type->IsName("Pages")) {
      Problem(where + " is neither /Type /Page nor /Type /Pages");
      return 0;
    }
    const Obj* kids = Resolve(node->Get("Kids"));
    if (!kids || kids->kind != Obj::Kind::kArray) {
      Problem(where + " has no /Kids array");
      return 0;
    }
    long long leaves = 0;
    for (const Obj& kid : kids->items) {
      if (kid.kind != Obj::Kind::kRef) {
        Problem(where + ": a /Kids entry is not a reference");
        continue;
      }
      leaves += WalkPages(kid.refNum, num, inherited, depth + 1, visited);
    }
    const Obj* count = node->Get("Count");
    if (!count || count->kind != Obj::Kind::kInt) {
      Problem(where + " has no integer /Count");
    } else if (count->integer != leaves) {
      Problem(where + ": /Count is " + std::to_string(count->integer) + " but " +
              std::to_string(leaves) + " pages are below it");
    }
    return leaves;
  }

  void CheckPage(int num, const Obj& page, const Inherited& inherited) {
    std::string where =
        "page " + std::to_string(pageIndex_) + " (object " + std::to_string(num) + ")";
    const Obj* mb = Resolve(inherited.mediaBox);
    bool boxOk = mb && mb->kind == Obj::Kind::kArray && mb->items.size() == 4;
    for (size_t i = 0; boxOk && i < 4; ++i) boxOk = mb->items[i].IsNumber();
    if (!boxOk) Problem(where + " has no /MediaBox of four numbers (own or inherited)");

    const Obj* resources = Resolve(inherited.resources);
    if (resources && !resources->IsDict()) {
      Problem(where + ": /Resources is not a dictionary");
      resources = nullptr;
    }
    const Obj* fonts = resources ? Resolve(resources->Get("Font")) : nullptr;
    const Obj* xobjects = resources ? Resolve(resources->Get("XObject")) : nullptr;
    CheckResourceEntries(where, fonts, "Font");
    CheckResourceEntries(where, xobjects, "XObject");

    const Obj* contents = page.Get("Contents");
    if (!contents) return;  // an empty page
    std::vector<int> streams;
    if (contents->kind == Obj::Kind::kRef) {
      const Obj* target = Load(contents->refNum);
      if (target && target->kind == Obj::Kind::kArray) {
        contents = target;
      } else {
        streams.push_back(contents->refNum);
      }
    }
    if (contents->kind == Obj::Kind::kArray) {
      for (const Obj& item : contents->items) {
        if (item.kind == Obj::Kind::kRef) {
          streams.push_back(item.refNum);
        } else {
          Problem(where + ": a /Contents entry is not a reference");
        }
      }
    } else if (contents->kind != Obj::Kind::kRef) {
      Problem(where + ": /Contents is neither a stream reference nor an array of them");
      return;
    }
    std::string data;
    for (int s : streams) {
      const Obj* stream = Load(s);
      if (!stream || stream->kind != Obj::Kind::kStream) {
        Problem(where + ": /Contents object " + std::to_string(s) + " is not a stream");
        return;
      }
      const Obj* filter = Resolve(stream->Get("Filter"));
      if (filter && !(filter->kind == Obj::Kind::kArray && filter->items.empty())) {
        Problem(where + ": content stream " + std::to_string(s) +
                " is filtered; this checker reads only unfiltered content");
        return;
      }
      data.append(b_.substr(stream->dataStart, stream->dataLength));
      data += '\n';  // streams of one page join at token boundaries
    }
    CheckContent(where, data, fonts, xobjects);
  }

  void CheckResourceEntries(const std::string& where, const Obj* dict, const char* kind) {
    if (!dict) return;
    if (!dict->IsDict()) {
      Problem(where + ": /Resources /" + kind + " is not a dictionary");
      return;
    }
    for (size_t i = 0; i < dict->keys.size(); ++i) {
      const Obj& value = dict->items[i];
      if (value.kind == Obj::Kind::kRef && !checkedResources_.insert(value.refNum).second) {
        continue;
      }
      const Obj* target = Resolve(&value);
      std::string what = where + ": /" + kind + " /" + dict->keys[i];
      if (std::string_view(kind) == "Font") {
        const Obj* type = target && target->IsDict() ? target->Get("Type") : nullptr;
        if (!type || !type->IsName("Font")) {
          Problem(what + " is not a /Type /Font dictionary");
          continue;
        }
        const Obj* subtype = target->Get("Subtype");
        const Obj* base = target->Get("BaseFont");
        if (!subtype || subtype->kind != Obj::Kind::kName) {
          Problem(what + " has no /Subtype");
        } else if (!subtype->IsName("Type3") && (!base || base->kind != Obj::Kind::kName)) {
          Problem(what + " has no /BaseFont name");
        }
      } else if (!target || target->kind != Obj::Kind::kStream) {
        Problem(what + " is not a stream");
      }
    }
  }

  static std::string Keys(const Obj* dict) {
    if (!dict || !dict->IsDict() || dict->keys.empty()) return "none";
    std::string out;
    for (const std::string& k : dict->keys) out += (out.empty() ? "/" : ", /") + k;
    return out;
  }

  void CheckContent(const std::string& where, std::string_view data, const Obj* fonts,
                    const Obj* xobjects) {
    Parser parser(data, 0, false);
    Lexer& lex = parser.lexer();
    std::vector<Obj> operands;
    int text = 0, saves = 0, compat = 0;
    const auto& known = ContentOperators();
    auto has = [](const Obj* dict, const std::string& key) {
      return dict && dict->IsDict() && dict->Get(key) != nullptr;
    };
    for (;;) {
      Token t = lex.Next();
      if (t.type == Token::Type::kEnd) break;
      if (t.type != Token::Type::kKeyword || t.text == "true" || t.text == "false" ||
          t.text == "null") {
        if (operands.size() > 1000) operands.clear();  // garbage; keep memory bounded
        operands.emplace_back();
        std::string error;
        if (!parser.FromToken(t, operands.back(), error, 0)) {
          Problem(where + ": content stream: " + error);
          return;
        }
        continue;
      }
      const std::string& op = t.text;
      std::string at = " at content offset " + std::to_string(t.pos);
      if (op == "BI") {
        if (!SkipInlineImage(lex, parser, data)) {
          Problem(where + ": inline image" + at + " is not closed by ID ... EI");
          return;
        }
      } else if (op == "Tf") {
        if (operands.size() < 2 || operands[operands.size() - 2].kind != Obj::Kind::kName) {
          Problem(where + ": Tf without a font name" + at);
        } else if (const std::string& f = operands[operands.size() - 2].text; !has(fonts, f)) {
          Problem(where + ": font /" + f + " used by Tf is not in the page's /Resources /Font (" +
                  Keys(fonts) + ")");
        }
      } else if (op == "Do") {
        if (operands.empty() || operands.back().kind != Obj::Kind::kName) {
          Problem(where + ": Do without an XObject name" + at);
        } else if (!has(xobjects, operands.back().text)) {
          Problem(where + ": XObject /" + operands.back().text +
                  " drawn by Do is not in the page's /Resources /XObject (" + Keys(xobjects) + ")");
        }
      } else if (op == "BT") {
        if (text > 0) Problem(where + ": BT inside a text object" + at);
        ++text;
      } else if (op == "ET") {
        if (text == 0) {
          Problem(where + ": ET without a matching BT" + at);
        } else {
          --text;
        }
      } else if (op == "q") {
        ++saves;
      } else if (op == "Q") {
        if (saves == 0) {
          Problem(where + ": Q without a matching q" + at);
        } else {
          --saves;
        }
      } else if (op == "BX") {
        ++compat;
      } else if (op == "EX") {
        if (compat > 0) --compat;
      } else if (compat == 0 && !known.count(op)) {
        Problem(where + ": unknown operator '" + op + "'" + at);
      }
      operands.clear();
    }
    if (text != 0) Problem(where + ": content stream ends inside a text object (BT without ET)");
    if (saves != 0) {
      Problem(where + ": content stream ends with " + std::to_string(saves) +
              " unbalanced q (q without Q)");
    }
  }

  // Moves past the key/value pairs, ID, binary data and EI of an inline image.
  static bool SkipInlineImage(Lexer& lex, Parser& parser, std::string_view data) {
    for (;;) {
      Token t = lex.Next();
      if (t.type == Token::Type::kKeyword && t.text == "ID") break;
      Obj ignored;
      std::string error;
      if (t.type == Token::Type::kEnd || !parser.FromToken(t, ignored, error, 0)) return false;
    }
    size_t start = lex.pos() + 1;  // one white-space byte separates ID from the data
    for (size_t p = data.find("EI", start); p != std::string_view::npos;
         p = data.find("EI", p + 1)) {
      if (p > start && IsWhite(data[p - 1]) && (p + 2 == data.size() || !IsRegular(data[p + 2]))) {
        lex.set_pos(p + 2);
        return true;
      }
    }
    return false;
  }

  void CheckImage(int num, const Obj& image) {
    std::string where = "image object " + std::to_string(num);
    auto intValue = [&](const char* key, long long& out) {
      const Obj* v = Resolve(image.Get(key));
      if (!v || v->kind != Obj::Kind::kInt) return false;
      out = v->integer;
      return true;
    };
    long long width = 0, height = 0, bpc = 0;
    bool haveWidth = intValue("Width", width), haveHeight = intValue("Height", height);
    const Obj* mask = Resolve(image.Get("ImageMask"));
    bool isMask = mask && mask->kind == Obj::Kind::kBool && mask->boolean;
    bool haveBpc = intValue("BitsPerComponent", bpc);
    if (!haveWidth) Problem(where + " has no integer /Width");
    if (!haveHeight) Problem(where + " has no integer /Height");
    if (!haveBpc && isMask) {
      bpc = 1;
      haveBpc = true;
    }
    if (!haveBpc) Problem(where + " has no integer /BitsPerComponent");
    if (!haveWidth || !haveHeight || !haveBpc) return;
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide) {
      Problem(where + ": implausible size " + std::to_string(width) + " x " +
              std::to_string(height));
      return;
    }
    if (bpc != 1 && bpc != 2 && bpc != 4 && bpc != 8 && bpc != 16) {
      Problem(where + ": /BitsPerComponent " + std::to_string(bpc) + " is not 1, 2, 4, 8 or 16");
      return;
    }

    std::vector<std::string> filters;
    const Obj* filter = Resolve(image.Get("Filter"));
    if (filter && filter->kind == Obj::Kind::kName) {
      filters.push_back(filter->text);
    } else if (filter && filter->kind == Obj::Kind::kArray) {
      for (const Obj& f : filter->items)
        filters.push_back(f.kind == Obj::Kind::kName ? f.text : "?");
    }

    const Obj* cs = Resolve(image.Get("ColorSpace"));
    if (!cs && !isMask && !(filters.size() == 1 && filters[0] == "JPXDecode")) {
      Problem(where + " has no /ColorSpace");
    }
    int components = isMask ? 1 : 0;
    if (cs && !isMask) components = ColorSpaceComponents(where, *cs, 0);

    std::string_view data = b_.substr(image.dataStart, image.dataLength);
    if (filters.size() == 1 && filters[0] == "DCTDecode") {
      JpegFrame frame;
      std::string error;
      if (!ReadJpegFrame(data, frame, error)) {
        Problem(where + ": " + error);
        return;
      }
      if (frame.width != width || frame.height != height) {
        Problem(where + ": /Width " + std::to_string(width) + " /Height " + std::to_string(height) +
                " differ from the JPEG frame's " + std::to_string(frame.width) + " x " +
                std::to_string(frame.height));
      }
      if (frame.precision != bpc) {
        Problem(where + ": /BitsPerComponent " + std::to_string(bpc) + " but the JPEG has " +
                std::to_string(frame.precision) + "-bit samples");
      }
      if (cs && DeviceComponents(*cs) != 0 && DeviceComponents(*cs) != frame.components) {
        Problem(where + ": /ColorSpace /" + cs->text + " but the JPEG has " +
                std::to_string(frame.components) + " components");
      }
      return;
    }
    if (!filters.empty() || components == 0) return;  // other filters: data is not raw samples
    unsigned long long rowBytes =
        (static_cast<unsigned long long>(width) * components * bpc + 7) / 8;
    unsigned long long need = rowBytes * static_cast<unsigned long long>(height);
    if (data.size() < need) {
      Problem(where + ": " + std::to_string(data.size()) + " bytes of samples, but " +
              std::to_string(width) + " x " + std::to_string(height) + " x " +
              std::to_string(components) + " components x " + std::to_string(bpc) + " bits need " +
              std::to_string(need));
    }
  }

  // Number of samples per pixel, or 0 if unknown; checks the palette of indexed spaces.
  int ColorSpaceComponents(const std::string& where, const Obj& cs, int depth) {
    if (int n = DeviceComponents(cs)) return n;
    if (depth > kMaxColorSpaceDepth) return 0;
    if (cs.kind != Obj::Kind::kArray || cs.items.empty() || cs.items[0].kind != Obj::Kind::kName) {
      return 0;
    }
    const std::string& family = cs.items[0].text;
    if (family == "CalGray") return 1;
    if (family == "CalRGB" || family == "Lab") return 3;
    if (family == "ICCBased" && cs.items.size() >= 2) {
      const Obj* profile = Resolve(&cs.items[1]);
      const Obj* n = profile ? Resolve(profile->Get("N")) : nullptr;
      return n && n->kind == Obj::Kind::kInt && n->integer >= 1 && n->integer <= 4
                 ? static_cast<int>(n->integer)
                 : 0;
    }
    if (family != "Indexed" && family != "I") return 0;
    if (cs.items.size() != 4) {
      Problem(where + ": /Indexed color space must have base, hival and lookup");
      return 1;
    }
    const Obj* base = Resolve(&cs.items[1]);
    const Obj* hival = Resolve(&cs.items[2]);
    const Obj* lookup = Resolve(&cs.items[3]);
    if (!hival || hival->kind != Obj::Kind::kInt || hival->integer < 0 || hival->integer > 255) {
      Problem(where + ": /Indexed hival is not an integer 0..255");
      return 1;
    }
    int baseComponents = base ? ColorSpaceComponents(where, *base, depth + 1) : 0;
    size_t table = 0;
    if (lookup && lookup->kind == Obj::Kind::kString) {
      table = lookup->text.size();
    } else if (lookup && lookup->kind == Obj::Kind::kStream) {
      table = lookup->dataLength;
    } else {
      Problem(where + ": /Indexed lookup is neither a string nor a stream");
      return 1;
    }
    size_t need = static_cast<size_t>(hival->integer + 1) * baseComponents;
    if (table < need) {
      Problem(where + ": /Indexed palette has " + std::to_string(table) + " bytes, needs " +
              std::to_string(need) + " for " + std::to_string(hival->integer + 1) + " colours");
    }
    return 1;
  }

  std::string_view b_;
  std::vector<std::string> problems_;
  std::map<int, XrefEntry> xref_;
  long long xrefSize_ = 0;
  size_t trailerPos_ = 0;
  std::map<int, std::unique_ptr<Loaded>> cache_;
  int loadDepth_ = 0;
  int pageIndex_ = 0;
  std::set<int> checkedResources_;
};

}  // namespace

PdfCheckResult CheckPdfStructure(std::string_view bytes) { return Checker(bytes).Run(); }

std::string ShellQuote(std::string_view s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

ToolRun RunTool(const std::string& commandLine) {
  ToolRun run{-1, "", ""};
  std::string errPath = ::testing::TempDir() + "quirabel_stderr_XXXXXX";
  int fd = mkstemp(errPath.data());
  if (fd < 0) {
    run.err = "cannot create a temp file for stderr";
    return run;
  }
  close(fd);
  // Braces keep the redirections for the whole command line, whatever it ends with.
  std::string shell = "{ " + commandLine + "\n} </dev/null 2>" + ShellQuote(errPath);
  fflush(nullptr);
  FILE* pipe = popen(shell.c_str(), "r");
  if (pipe) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) run.out.append(buf, n);
    int status = pclose(pipe);
    if (status != -1 && WIFEXITED(status)) {
      run.exitCode = WEXITSTATUS(status);
    } else if (status != -1 && WIFSIGNALED(status)) {
      run.exitCode = 128 + WTERMSIG(status);
    }
  }
  std::ifstream err(errPath, std::ios::binary);
  std::ostringstream text;
  text << err.rdbuf();
  run.err = text.str();
  unlink(errPath.c_str());
  return run;
}

bool ToolAvailable(const std::string& name) {
  return RunTool("command -v " + ShellQuote(name) + " >/dev/null").exitCode == 0;
}

std::string WriteTempFile(std::string_view bytes, const std::string& suffix) {
  std::string path = ::testing::TempDir() + "quirabel_XXXXXX" + suffix;
  int fd = mkstemps(path.data(), static_cast<int>(suffix.size()));
  if (fd < 0) {
    ADD_FAILURE() << "cannot create a temp file " << path << ": " << strerror(errno);
    return "";
  }
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      ADD_FAILURE() << "cannot write " << path << ": " << strerror(errno);
      close(fd);
      return "";
    }
    done += static_cast<size_t>(n);
  }
  close(fd);
  return path;
}

::testing::AssertionResult IsValidPdf(std::string_view bytes) {
  PdfCheckResult structure = CheckPdfStructure(bytes);
  for (const std::string& p : structure.problems) ADD_FAILURE() << "PDF structure: " << p;
  bool clean = structure.ok();
  std::string qpdfNote = "qpdf not run";
  std::string path = WriteTempFile(bytes);
  if (path.empty()) {
    clean = false;
  } else if (!ToolAvailable("qpdf")) {
    ADD_FAILURE() << "qpdf is not installed (scripts/setup.sh installs it); cannot check PDF";
    clean = false;
  } else {
    ToolRun run = RunTool("qpdf --check " + ShellQuote(path));
    qpdfNote = "qpdf --check exit code " + std::to_string(run.exitCode);
    if (run.exitCode != 0) {
      ADD_FAILURE() << "qpdf --check " << path << " exited with " << run.exitCode << ":\n"
                    << run.out << run.err;
      clean = false;
    }
  }
  if (clean) {
    unlink(path.c_str());
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "PDF is not valid: " << structure.problems.size() << " structural problem(s), "
         << qpdfNote << "; file kept at " << (path.empty() ? "(none)" : path);
}

}  // namespace quirabel::testing
