#include "support/pdf_check.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
#include <qpdf/BufferInputSource.hh>
#include <qpdf/Pl_Discard.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFTokenizer.hh>
#include <qpdf/QPDFWriter.hh>

#include <cerrno>
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

// libqpdf parses the file; what is left here are the checks no tool makes. Garbage input must not
// exhaust the stack or flood the test log.
constexpr int kMaxPageTreeDepth = 64;
constexpr int kMaxColorSpaceDepth = 8;
constexpr size_t kMaxProblems = 200;
constexpr long long kMaxObjectNumber = 10'000'000;
constexpr long long kMaxImageSide = 1 << 24;

bool IsWhite(unsigned char c) {
  return c == 0 || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsRegular(unsigned char c) { return !IsWhite(c) && !std::strchr("()<>[]{}/%", c); }

// Shows bytes of the file in a problem message: printable ASCII as is, the rest escaped.
std::string Excerpt(std::string_view data, size_t pos, size_t n = 24) {
  if (pos >= data.size()) return "end of file";
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
  return out + "\"";
}

// Reads an unsigned decimal number after white space; pos moves past it.
bool ReadNumber(std::string_view d, size_t& pos, long long& value) {
  while (pos < d.size() && IsWhite(d[pos])) ++pos;
  size_t start = pos;
  value = 0;
  while (pos < d.size() && IsDigit(d[pos]) && pos - start < 12)
    value = value * 10 + (d[pos++] - '0');
  return pos > start && (pos == d.size() || !IsRegular(d[pos]));
}

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

int DeviceComponents(QPDFObjectHandle cs) {
  if (!cs.isName()) return 0;
  const std::string name = cs.getName();
  if (name == "/DeviceGray" || name == "/G" || name == "/CalGray") return 1;
  if (name == "/DeviceRGB" || name == "/RGB") return 3;
  if (name == "/DeviceCMYK" || name == "/CMYK") return 4;
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

std::string RefText(QPDFObjGen og) { return og.unparse(' ') + " R"; }

// Every entry of a dictionary (or a stream's), keys with null or dangling values included.
std::map<std::string, QPDFObjectHandle> Entries(QPDFObjectHandle o) {
  if (o.isStream()) o = o.getDict();
  return o.isDictionary() ? o.getDictAsMap() : std::map<std::string, QPDFObjectHandle>{};
}

std::string Keys(const std::map<std::string, QPDFObjectHandle>& dict) {
  std::string out;
  for (const auto& [key, value] : dict) out += (out.empty() ? "" : ", ") + key;
  return out.empty() ? "none" : out;
}

// Reads page contents to the end, as `qpdf --check` does; faults become qpdf warnings.
class DiscardContent : public QPDFObjectHandle::ParserCallbacks {
 public:
  void handleObject(QPDFObjectHandle) override {}
  void handleEOF() override {}
};

class Checker {
 public:
  explicit Checker(std::string_view bytes) : b_(bytes) { qpdf_.setSuppressWarnings(true); }

  // With qpdfCheck, also what `qpdf --check` does: write the file with every stream decoded and
  // read every page's contents.
  PdfCheckResult Run(bool qpdfCheck) {
    CheckHeaderAndEnd();
    size_t xrefPos = FindXref();
    bool haveXref = xrefPos != std::string_view::npos && ReadXref(xrefPos);
    Guarded("qpdf", [&] {
      qpdf_.processMemoryFile("PDF", b_.data(), b_.size());
      opened_ = true;
      if (haveXref) {
        CheckObjects();
        CheckTrailer();
      }
    });
    if (qpdfCheck && opened_) QpdfCheck();
    for (const QPDFExc& w : qpdf_.getWarnings()) Problem(std::string("qpdf: ") + w.what());
    return {std::move(problems_)};
  }

 private:
  struct XrefEntry {
    long long offset = 0;
    int gen = 0;
    bool inUse = false;
  };

  void Problem(std::string message) {
    if (problems_.size() < kMaxProblems) {
      problems_.push_back(std::move(message));
    } else if (problems_.size() == kMaxProblems) {
      problems_.push_back("too many problems; the rest are not listed");
    }
  }

  // Runs f; what libqpdf throws becomes a problem about `where`.
  template <typename F>
  void Guarded(const std::string& where, F&& f) {
    try {
      f();
    } catch (const std::exception& e) {
      Problem(where + ": " + e.what());
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
    long long offset = 0;
    size_t p = sx + 9;
    if (sx == std::string_view::npos) {
      Problem("no 'startxref' near the end of the file");
    } else if (!ReadNumber(b_, p, offset)) {
      Problem("'startxref' is not followed by a byte offset");
    } else if (static_cast<unsigned long long>(offset) + 4 > b_.size() ||
               b_.substr(offset, 4) != "xref") {
      Problem("startxref offset " + std::to_string(offset) +
              " does not point at the 'xref' keyword (found " +
              Excerpt(b_, std::min<size_t>(offset, b_.size())) + ")");
    } else {
      return static_cast<size_t>(offset);
    }
    for (size_t x = b_.rfind("xref"); x != std::string_view::npos && x > 0;
         x = b_.rfind("xref", x - 1)) {
      if (IsWhite(b_[x - 1])) return x;
    }
    Problem("no xref table found");
    return std::string_view::npos;
  }

  // Reads the table as our writer lays it out: subsections of 20-byte lines.
  bool ReadXref(size_t pos) {
    size_t p = pos + 4;
    if (p >= b_.size() || !IsWhite(b_[p])) {
      Problem("'xref' keyword at offset " + std::to_string(pos) + " is not followed by a line end");
      return false;
    }
    bool first = true;
    long long highest = 0;
    for (;;) {
      while (p < b_.size() && IsWhite(b_[p])) ++p;
      if (b_.substr(p, 7) == "trailer") break;
      size_t header = p;
      long long start = 0, count = 0;
      if (!ReadNumber(b_, p, start) || !ReadNumber(b_, p, count) ||
          start + count > kMaxObjectNumber) {
        Problem("xref subsection header at offset " + std::to_string(header) +
                " is not two numbers 'first count' (found " + Excerpt(b_, header) + ")");
        return false;
      }
      if (first && start != 0) {
        Problem("the first xref subsection starts at object " + std::to_string(start) + ", not 0");
      }
      first = false;
      highest = std::max(highest, start + count);
      // Entries begin on the line after the header.
      size_t e = p;
      if (e < b_.size() && b_[e] == '\r') ++e;
      if (e < b_.size() && b_[e] == '\n') ++e;
      if (e == p) {
        Problem("xref subsection header '" + std::to_string(start) + " " + std::to_string(count) +
                "' is not followed by a line end");
      }
      for (long long i = 0; i < count; ++i) {
        if (e + 20 > b_.size()) {
          Problem("xref table ends after " + std::to_string(i) + " of " + std::to_string(count) +
                  " entries");
          return false;
        }
        if (!ReadXrefEntry(static_cast<int>(start + i), e)) return false;
      }
      p = e;
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
    for (const auto& [num, entry] : xref_) {
      if (entry.inUse) CheckObjectStart(num, entry);
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

  // qpdf quietly rebuilds the table when an offset is off; our writer must get them right.
  void CheckObjectStart(int num, const XrefEntry& entry) {
    std::string where = "object " + std::to_string(num) + " " + std::to_string(entry.gen);
    std::string expect = std::to_string(num) + " " + std::to_string(entry.gen) + " obj";
    size_t at = static_cast<size_t>(entry.offset);
    if (entry.offset < 0 || at >= b_.size()) {
      Problem(where + ": xref offset " + std::to_string(entry.offset) +
              " is past the end of the file");
    } else if (b_.substr(at, expect.size()) != expect || (at > 0 && IsRegular(b_[at - 1])) ||
               (at + expect.size() < b_.size() && IsRegular(b_[at + expect.size()]))) {
      Problem(where + ": xref offset " + std::to_string(at) + " does not land on '" + expect +
              "' (found " + Excerpt(b_, at) + ")");
    }
  }

  bool RefExists(QPDFObjGen og) {
    auto it = xref_.find(og.getObj());
    return it != xref_.end() && it->second.inUse && it->second.gen == og.getGen();
  }

  // Reports every reference held directly in o (not in the objects it refers to) that names no
  // object of the xref table: libqpdf reads those as null without a word.
  void CheckRefs(const std::string& where, QPDFObjectHandle o) {
    std::vector<QPDFObjectHandle> items;
    if (o.isArray()) {
      items = o.getArrayAsVector();
    } else {
      for (auto& [key, value] : Entries(o)) items.push_back(value);
    }
    for (QPDFObjectHandle& item : items) {
      if (item.isIndirect()) {
        if (!RefExists(item.getObjGen())) {
          Problem(where + " refers to " + RefText(item.getObjGen()) +
                  ", which is not an object in the xref table");
        }
      } else {
        CheckRefs(where, item);
      }
    }
  }

  void CheckObjects() {
    for (const auto& [number, xrefEntry] : xref_) {
      if (!xrefEntry.inUse) continue;
      const int num = number;
      const XrefEntry entry = xrefEntry;
      std::string where = "object " + std::to_string(num) + " " + std::to_string(entry.gen);
      Guarded(where, [&] {
        QPDFObjectHandle obj = qpdf_.getObject(num, entry.gen);
        CheckRefs("object " + std::to_string(num), obj);
        if (!obj.isStream()) return;
        CheckStreamLength(where, obj);
        QPDFObjectHandle subtype = obj.getDict().getKey("/Subtype");
        if (subtype.isNameAndEquals("/Image")) CheckImage(num, obj);
      });
    }
  }

  // libqpdf measures a stream with a wrong /Length up to its "endstream" and goes on.
  void CheckStreamLength(const std::string& where, QPDFObjectHandle stream) {
    QPDFObjectHandle length = stream.getDict().getKey("/Length");
    if (!length.isInteger()) {
      Problem(where + ": stream has no /Length that is an integer or a reference to one");
      return;
    }
    std::shared_ptr<Buffer> data = stream.getRawStreamData();
    size_t found = data->getSize();
    if (static_cast<long long>(found) == length.getIntValue()) return;
    // Measured data ends with the line end before "endstream", which /Length does not count.
    const unsigned char* bytes = data->getBuffer();
    if (found > 0 && bytes[found - 1] == '\n') --found;
    if (found > 0 && bytes[found - 1] == '\r') --found;
    Problem(where + ": stream /Length is " + std::to_string(length.getIntValue()) +
            " but the data before 'endstream' is " + std::to_string(found) + " bytes");
  }

  void CheckTrailer() {
    QPDFObjectHandle trailer = qpdf_.getTrailer();
    std::map<std::string, QPDFObjectHandle> entries = Entries(trailer);
    QPDFObjectHandle size = trailer.getKey("/Size");
    if (!size.isInteger()) {
      Problem("trailer has no integer /Size");
    } else if (size.getIntValue() != xrefSize_) {
      Problem("trailer /Size is " + std::to_string(size.getIntValue()) +
              " but the xref table has " + std::to_string(xrefSize_) + " entries");
    }
    if (entries.count("/Prev")) Problem("trailer has /Prev: only a single xref table is checked");
    if (entries.count("/Encrypt")) Problem("file is encrypted: its contents cannot be checked");
    CheckRefs("trailer", trailer);
    if (entries.count("/Info")) {
      QPDFObjectHandle info = entries["/Info"];
      if (!info.isIndirect()) {
        Problem("trailer /Info is not an indirect reference");
      } else if (!info.isDictionary()) {
        Problem("trailer /Info " + RefText(info.getObjGen()) + " does not refer to a dictionary");
      }
    }
    QPDFObjectHandle root = trailer.getKey("/Root");
    if (!root.isIndirect()) {
      Problem("trailer has no /Root reference");
      return;
    }
    if (!root.isDictionary() || !root.getKey("/Type").isNameAndEquals("/Catalog")) {
      Problem("trailer /Root " + RefText(root.getObjGen()) +
              " does not refer to a dictionary with /Type /Catalog");
      return;
    }
    QPDFObjectHandle pages = root.getKey("/Pages");
    if (!pages.isIndirect()) {
      Problem("catalog (object " + std::to_string(root.getObjectID()) +
              ") has no /Pages reference");
      return;
    }
    if (!pages.isDictionary() || !pages.getKey("/Type").isNameAndEquals("/Pages")) {
      Problem("catalog /Pages " + RefText(pages.getObjGen()) +
              " does not refer to a /Type /Pages node");
      return;
    }
    std::set<QPDFObjGen> visited;
    WalkPages(pages, QPDFObjGen(), Inherited{}, 0, visited);
  }

  // Attributes a page inherits from its ancestors in the page tree.
  struct Inherited {
    QPDFObjectHandle mediaBox = QPDFObjectHandle::newNull();
    QPDFObjectHandle resources = QPDFObjectHandle::newNull();
  };

  // Returns the number of leaf pages below node (or 1 for a page).
  long long WalkPages(QPDFObjectHandle node, QPDFObjGen parent, Inherited inherited, int depth,
                      std::set<QPDFObjGen>& visited) {
    const QPDFObjGen og = node.getObjGen();
    std::string where = "page tree node " + std::to_string(og.getObj());
    if (depth > kMaxPageTreeDepth) {
      Problem(where + ": page tree nested too deeply");
      return 0;
    }
    if (!visited.insert(og).second) {
      Problem(where + " appears twice in the page tree");
      return 0;
    }
    if (!RefExists(og)) {
      Problem(where + " cannot be read");
      return 0;
    }
    if (!node.isDictionary()) {
      Problem(where + " is not a dictionary");
      return 0;
    }
    QPDFObjectHandle parentRef = node.getKey("/Parent");
    if (parent.getObj() != 0 && (!parentRef.isIndirect() || parentRef.getObjGen() != parent)) {
      Problem(where + ": /Parent does not point back to object " + std::to_string(parent.getObj()));
    }
    std::map<std::string, QPDFObjectHandle> entries = Entries(node);
    if (entries.count("/MediaBox")) inherited.mediaBox = entries["/MediaBox"];
    if (entries.count("/Resources")) inherited.resources = entries["/Resources"];
    QPDFObjectHandle type = node.getKey("/Type");
    if (type.isNameAndEquals("/Page")) {
      ++pageIndex_;
      CheckPage(og.getObj(), node, inherited);
      return 1;
    }
    if (!type.isNameAndEquals("/Pages")) {
      Problem(where + " is neither /Type /Page nor /Type /Pages");
      return 0;
    }
    QPDFObjectHandle kids = node.getKey("/Kids");
    if (!kids.isArray()) {
      Problem(where + " has no /Kids array");
      return 0;
    }
    long long leaves = 0;
    for (QPDFObjectHandle& kid : kids.getArrayAsVector()) {
      if (!kid.isIndirect()) {
        Problem(where + ": a /Kids entry is not a reference");
        continue;
      }
      leaves += WalkPages(kid, og, inherited, depth + 1, visited);
    }
    QPDFObjectHandle count = node.getKey("/Count");
    if (!count.isInteger()) {
      Problem(where + " has no integer /Count");
    } else if (count.getIntValue() != leaves) {
      Problem(where + ": /Count is " + std::to_string(count.getIntValue()) + " but " +
              std::to_string(leaves) + " pages are below it");
    }
    return leaves;
  }

  void CheckPage(int num, QPDFObjectHandle page, const Inherited& inherited) {
    std::string where =
        "page " + std::to_string(pageIndex_) + " (object " + std::to_string(num) + ")";
    QPDFObjectHandle mb = inherited.mediaBox;
    bool boxOk = mb.isArray() && mb.getArrayNItems() == 4;
    for (int i = 0; boxOk && i < 4; ++i) boxOk = mb.getArrayItem(i).isNumber();
    if (!boxOk) Problem(where + " has no /MediaBox of four numbers (own or inherited)");

    QPDFObjectHandle resources = inherited.resources;
    if (!resources.isNull() && !resources.isDictionary()) {
      Problem(where + ": /Resources is not a dictionary");
    }
    QPDFObjectHandle fonts =
        resources.isDictionary() ? resources.getKey("/Font") : QPDFObjectHandle::newNull();
    QPDFObjectHandle xobjects =
        resources.isDictionary() ? resources.getKey("/XObject") : QPDFObjectHandle::newNull();
    CheckResourceEntries(where, fonts, "Font");
    CheckResourceEntries(where, xobjects, "XObject");

    QPDFObjectHandle contents = page.getKey("/Contents");
    if (contents.isNull()) return;  // an empty page
    std::vector<QPDFObjectHandle> streams;
    if (contents.isArray()) {
      for (QPDFObjectHandle& item : contents.getArrayAsVector()) {
        if (item.isIndirect()) {
          streams.push_back(item);
        } else {
          Problem(where + ": a /Contents entry is not a reference");
        }
      }
    } else if (contents.isIndirect()) {
      streams.push_back(contents);
    } else {
      Problem(where + ": /Contents is neither a stream reference nor an array of them");
      return;
    }
    std::string data;
    for (QPDFObjectHandle& s : streams) {
      if (!s.isStream()) {
        Problem(where + ": /Contents object " + std::to_string(s.getObjectID()) +
                " is not a stream");
        return;
      }
      std::shared_ptr<Buffer> decoded = s.getStreamData(qpdf_dl_generalized);
      data.append(reinterpret_cast<const char*>(decoded->getBuffer()), decoded->getSize());
      data += '\n';  // streams of one page join at token boundaries
    }
    CheckContent(where, data, Entries(fonts), Entries(xobjects));
  }

  void CheckResourceEntries(const std::string& where, QPDFObjectHandle dict, const char* kind) {
    if (dict.isNull()) return;
    if (!dict.isDictionary()) {
      Problem(where + ": /Resources /" + kind + " is not a dictionary");
      return;
    }
    for (auto& [key, value] : dict.getDictAsMap()) {
      if (value.isIndirect() && !checkedResources_.insert(value.getObjGen()).second) continue;
      std::string what = where + ": /" + kind + " " + key;
      if (std::string_view(kind) == "Font") {
        if (!value.isDictionary() || !value.getKey("/Type").isNameAndEquals("/Font")) {
          Problem(what + " is not a /Type /Font dictionary");
          continue;
        }
        QPDFObjectHandle subtype = value.getKey("/Subtype");
        if (!subtype.isName()) {
          Problem(what + " has no /Subtype");
        } else if (!subtype.isNameAndEquals("/Type3") && !value.getKey("/BaseFont").isName()) {
          Problem(what + " has no /BaseFont name");
        }
      } else if (!value.isStream()) {
        Problem(what + " is not a stream");
      }
    }
  }

  void CheckContent(const std::string& where, const std::string& data,
                    const std::map<std::string, QPDFObjectHandle>& fonts,
                    const std::map<std::string, QPDFObjectHandle>& xobjects) {
    auto input = std::make_shared<BufferInputSource>(where, data);
    QPDFTokenizer tokenizer;
    tokenizer.allowEOF();
    std::vector<QPDFTokenizer::Token> operands;
    int text = 0, saves = 0, compat = 0;
    const auto& known = ContentOperators();
    for (;;) {
      QPDFTokenizer::Token t = tokenizer.readToken(input, where, true);
      std::string at = " at content offset " + std::to_string(input->getLastOffset());
      if (t.getType() == QPDFTokenizer::tt_eof) break;
      if (t.getType() == QPDFTokenizer::tt_bad) {
        Problem(where + ": content stream: " + t.getErrorMessage() + at);
        return;
      }
      if (t.getType() != QPDFTokenizer::tt_word) {
        if (operands.size() > 1000) operands.clear();  // garbage; keep memory bounded
        operands.push_back(t);
        continue;
      }
      const std::string& op = t.getValue();
      auto nameOperand = [&](size_t fromEnd) {
        return operands.size() >= fromEnd &&
               operands[operands.size() - fromEnd].getType() == QPDFTokenizer::tt_name;
      };
      if (op == "BI") {
        if (!SkipInlineImage(tokenizer, input, where)) {
          Problem(where + ": inline image" + at + " is not closed by ID ... EI");
          return;
        }
      } else if (op == "Tf") {
        if (!nameOperand(2)) {
          Problem(where + ": Tf without a font name" + at);
        } else if (const std::string& f = operands[operands.size() - 2].getValue();
                   !fonts.count(f)) {
          Problem(where + ": font " + f + " used by Tf is not in the page's /Resources /Font (" +
                  Keys(fonts) + ")");
        }
      } else if (op == "Do") {
        if (!nameOperand(1)) {
          Problem(where + ": Do without an XObject name" + at);
        } else if (const std::string& x = operands.back().getValue(); !xobjects.count(x)) {
          Problem(where + ": XObject " + x +
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
  static bool SkipInlineImage(QPDFTokenizer& tokenizer, const std::shared_ptr<InputSource>& input,
                              const std::string& where) {
    for (;;) {
      QPDFTokenizer::Token t = tokenizer.readToken(input, where, true);
      if (t.getType() == QPDFTokenizer::tt_eof || t.getType() == QPDFTokenizer::tt_bad) {
        return false;
      }
      if (t.getType() == QPDFTokenizer::tt_word && t.getValue() == "ID") break;
    }
    char separator;
    if (input->read(&separator, 1) != 1) return false;  // one white-space byte before the data
    tokenizer.expectInlineImage(input);
    if (tokenizer.readToken(input, where, true).getType() != QPDFTokenizer::tt_inline_image) {
      return false;
    }
    QPDFTokenizer::Token ei = tokenizer.readToken(input, where, true);
    return ei.getType() == QPDFTokenizer::tt_word && ei.getValue() == "EI";
  }

  void CheckImage(int num, QPDFObjectHandle image) {
    std::string where = "image object " + std::to_string(num);
    QPDFObjectHandle dict = image.getDict();
    auto intValue = [&](const char* key, long long& out) {
      QPDFObjectHandle v = dict.getKey(key);
      if (!v.isInteger()) return false;
      out = v.getIntValue();
      return true;
    };
    long long width = 0, height = 0, bpc = 0;
    bool haveWidth = intValue("/Width", width), haveHeight = intValue("/Height", height);
    QPDFObjectHandle mask = dict.getKey("/ImageMask");
    bool isMask = mask.isBool() && mask.getBoolValue();
    bool haveBpc = intValue("/BitsPerComponent", bpc);
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
    QPDFObjectHandle filter = dict.getKey("/Filter");
    if (filter.isName()) {
      filters.push_back(filter.getName());
    } else if (filter.isArray()) {
      for (QPDFObjectHandle& f : filter.getArrayAsVector())
        filters.push_back(f.isName() ? f.getName() : "?");
    }

    QPDFObjectHandle cs = dict.getKey("/ColorSpace");
    if (cs.isNull() && !isMask && !(filters.size() == 1 && filters[0] == "/JPXDecode")) {
      Problem(where + " has no /ColorSpace");
    }
    int components = isMask ? 1 : 0;
    if (!cs.isNull() && !isMask) components = ColorSpaceComponents(where, cs, 0);

    std::shared_ptr<Buffer> raw = image.getRawStreamData();
    std::string_view data(reinterpret_cast<const char*>(raw->getBuffer()), raw->getSize());
    if (filters.size() == 1 && filters[0] == "/DCTDecode") {
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
      if (DeviceComponents(cs) != 0 && DeviceComponents(cs) != frame.components) {
        Problem(where + ": /ColorSpace " + cs.getName() + " but the JPEG has " +
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
  int ColorSpaceComponents(const std::string& where, QPDFObjectHandle cs, int depth) {
    if (int n = DeviceComponents(cs)) return n;
    if (depth > kMaxColorSpaceDepth || !cs.isArray() || cs.getArrayNItems() == 0 ||
        !cs.getArrayItem(0).isName()) {
      return 0;
    }
    const std::string family = cs.getArrayItem(0).getName();
    if (family == "/CalGray") return 1;
    if (family == "/CalRGB" || family == "/Lab") return 3;
    if (family == "/ICCBased" && cs.getArrayNItems() >= 2) {
      QPDFObjectHandle n = Entries(cs.getArrayItem(1))["/N"];
      return n.isInitialized() && n.isInteger() && n.getIntValue() >= 1 && n.getIntValue() <= 4
                 ? static_cast<int>(n.getIntValue())
                 : 0;
    }
    if (family != "/Indexed" && family != "/I") return 0;
    if (cs.getArrayNItems() != 4) {
      Problem(where + ": /Indexed color space must have base, hival and lookup");
      return 1;
    }
    QPDFObjectHandle hival = cs.getArrayItem(2);
    QPDFObjectHandle lookup = cs.getArrayItem(3);
    if (!hival.isInteger() || hival.getIntValue() < 0 || hival.getIntValue() > 255) {
      Problem(where + ": /Indexed hival is not an integer 0..255");
      return 1;
    }
    int baseComponents = ColorSpaceComponents(where, cs.getArrayItem(1), depth + 1);
    size_t table = 0;
    if (lookup.isString()) {
      table = lookup.getStringValue().size();
    } else if (lookup.isStream()) {
      table = lookup.getRawStreamData()->getSize();
    } else {
      Problem(where + ": /Indexed lookup is neither a string nor a stream");
      return 1;
    }
    size_t need = static_cast<size_t>(hival.getIntValue() + 1) * baseComponents;
    if (table < need) {
      Problem(where + ": /Indexed palette has " + std::to_string(table) + " bytes, needs " +
              std::to_string(need) + " for " + std::to_string(hival.getIntValue() + 1) +
              " colours");
    }
    return 1;
  }

  // What `qpdf --check` does after opening: linearization, a write with every stream decoded,
  // and every page's contents read. Its verdict is clean only without a single warning.
  void QpdfCheck() {
    Guarded("qpdf --check", [&] {
      if (qpdf_.isLinearized() && !qpdf_.checkLinearization()) {
        Problem("qpdf --check: the linearization data are wrong");
      }
      Pl_Discard discard;
      QPDFWriter writer(qpdf_);
      writer.setOutputPipeline(&discard);
      writer.setDecodeLevel(qpdf_dl_all);
      writer.write();
    });
    Guarded("qpdf --check", [&] {
      int number = 0;
      for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(qpdf_).getAllPages()) {
        ++number;
        DiscardContent discard;
        Guarded("qpdf --check: page " + std::to_string(number),
                [&] { page.parseContents(&discard); });
      }
    });
  }

  std::string_view b_;
  QPDF qpdf_;
  std::vector<std::string> problems_;
  std::map<int, XrefEntry> xref_;
  bool opened_ = false;
  long long xrefSize_ = 0;
  int pageIndex_ = 0;
  std::set<QPDFObjGen> checkedResources_;
};

}  // namespace

PdfCheckResult CheckPdfStructure(std::string_view bytes) { return Checker(bytes).Run(false); }

std::vector<PdfPage> PdfPages(std::string_view bytes) {
  std::vector<PdfPage> pages;
  try {
    QPDF qpdf;
    qpdf.setSuppressWarnings(true);
    qpdf.processMemoryFile("PDF", bytes.data(), bytes.size());
    for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(qpdf).getAllPages()) {
      QPDFObjectHandle::Rectangle box = page.getMediaBox().getArrayAsRectangle();
      pages.push_back({box.urx - box.llx, box.ury - box.lly});
    }
  } catch (const std::exception& e) {
    ADD_FAILURE() << "libqpdf cannot read the PDF: " << e.what();
    pages.clear();
  }
  return pages;
}

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
  PdfCheckResult result = Checker(bytes).Run(true);
  for (const std::string& p : result.problems) ADD_FAILURE() << "PDF: " << p;
  if (result.ok()) return ::testing::AssertionSuccess();
  std::string path = WriteTempFile(bytes);
  return ::testing::AssertionFailure()
         << "PDF is not valid: " << result.problems.size() << " problem(s); file kept at "
         << (path.empty() ? "(none)" : path);
}

}  // namespace quirabel::testing
