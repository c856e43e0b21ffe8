#include "serial/csv_table.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>

#include <array>
#include <cerrno>
#include <memory>

#include "base/atomic_file.h"
#include "base/cp1252.h"
#include "serial/serial_error.h"

namespace quirabel::serial {

bool IsEmptyRow(const std::vector<std::string>& cells) {
  for (const std::string& cell : cells)
    if (!cell.empty()) return false;
  return true;
}

namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// The end of the record that starts at `start` (where its line end begins, or the text's end).
// Quotes count only at the start of a field.
// `unclosed` tells whether the text ended inside a quoted field.
std::size_t RecordEnd(std::string_view text, std::size_t start, char separator,
                      bool* unclosed = nullptr) {
  if (unclosed != nullptr) *unclosed = false;
  std::size_t i = start;
  bool fieldStart = true;
  while (i < text.size()) {
    const char c = text[i];
    if (fieldStart && c == '"') {
      // A quoted field: runs to the quote that is not doubled.
      ++i;
      while (i < text.size()) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            i += 2;
            continue;
          }
          break;
        }
        ++i;
      }
      if (i < text.size()) {
        ++i;  // the closing quote
      } else if (unclosed != nullptr) {
        *unclosed = true;
      }
      fieldStart = false;
      continue;
    }
    if (IsLineEnd(c)) return i;
    fieldStart = c == separator;
    ++i;
  }
  return i;
}

// Past the line end (CR LF, LF or CR) at i.
std::size_t SkipLineEnd(std::string_view text, std::size_t i) {
  if (i >= text.size()) return i;
  if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') return i + 2;
  return i + 1;
}

// The line (from 1) a position lies on, for messages.
std::size_t LineNumberAt(std::string_view text, std::size_t position) {
  std::size_t line = 1;
  for (std::size_t i = 0; i < position; ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
      ++line;
  }
  return line;
}

std::vector<std::string> SplitRecord(std::string_view record, char separator) {
  std::vector<std::string> cells;
  std::string cell;
  std::size_t i = 0;
  bool fieldStart = true;
  while (i < record.size()) {
    const char c = record[i];
    if (fieldStart && c == '"') {
      ++i;
      while (i < record.size()) {
        if (record[i] == '"') {
          if (i + 1 < record.size() && record[i + 1] == '"') {
            cell += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        cell += record[i++];
      }
      fieldStart = false;
      continue;
    }
    if (c == separator) {
      cells.push_back(std::move(cell));
      cell.clear();
      fieldStart = true;
    } else {
      cell += c;
      fieldStart = false;
    }
    ++i;
  }
  cells.push_back(std::move(cell));
  return cells;
}

constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-16 text after its byte-order mark as UTF-8; a lone surrogate or an odd last byte becomes
// U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size());
  auto unit = [&](std::size_t i) -> char16_t {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
  };
  std::size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    const char16_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
      const char16_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
  }
  if (i < bytes.size()) AppendUtf8(out, 0xFFFD);
  return out;
}

}  // namespace

std::string_view EncodingName(CsvEncoding encoding) {
  switch (encoding) {
    case CsvEncoding::Utf8:
      return "UTF-8";
    case CsvEncoding::Utf8WithBom:
      return "UTF-8 mit BOM";
    case CsvEncoding::Windows1252:
      return "Windows-1252";
    case CsvEncoding::Utf16Le:
      return "UTF-16 LE";
    case CsvEncoding::Utf16Be:
      return "UTF-16 BE";
  }
  return "";
}

char DetectSeparator(std::string_view text) {
  if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
  // Empty lines are no rows: the first line is the first that has something.
  const std::size_t first = text.find_first_not_of("\r\n");
  if (first == std::string_view::npos) return ';';
  text.remove_prefix(first);
  std::array<std::size_t, kCsvSeparators.size()> counts{};
  bool fieldStart = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (fieldStart && c == '"') {
      // Separators inside a quoted field are text.
      for (++i; i < text.size(); ++i) {
        if (text[i] != '"') continue;
        if (i + 1 < text.size() && text[i + 1] == '"') {
          ++i;
          continue;
        }
        break;
      }
      fieldStart = false;
      continue;
    }
    if (IsLineEnd(c)) break;
    const std::size_t which = kCsvSeparators.find(c);
    fieldStart = which != std::string_view::npos;
    if (fieldStart) ++counts[which];
  }
  const auto most = std::max_element(counts.begin(), counts.end());  // the first of equals wins
  if (*most == 0) return ';';
  return kCsvSeparators[static_cast<std::size_t>(most - counts.begin())];
}

// Where the rows' bytes are read from when they are asked for: the bytes given, or the file.
class CsvTable::Source {
 public:
  explicit Source(std::string bytes) : bytes_(std::move(bytes)) {}
  explicit Source(int fd) : fd_(fd) {}
  ~Source() {
    if (fd_ >= 0) ::close(fd_);
  }
  Source(const Source&) = delete;
  Source& operator=(const Source&) = delete;

  // A file that changed since it was indexed gives what is there now, never more than asked.
  std::string Read(std::uint64_t start, std::size_t length) const {
    if (fd_ < 0) {
      if (start >= bytes_.size()) return {};
      return bytes_.substr(static_cast<std::size_t>(start), length);
    }
    std::string out(length, '\0');
    std::size_t done = 0;
    while (done < length) {
      const ssize_t got =
          ::pread(fd_, out.data() + done, length - done, static_cast<off_t>(start + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      done += static_cast<std::size_t>(got);
    }
    out.resize(done);
    return out;
  }

 private:
  std::string bytes_;
  int fd_ = -1;
};

CsvTable::CsvTable() = default;
CsvTable::~CsvTable() = default;
CsvTable::CsvTable(CsvTable&&) noexcept = default;
CsvTable& CsvTable::operator=(CsvTable&&) noexcept = default;

void CsvTable::Index(const std::function<bool(std::string&)>& readMore,
                     std::optional<char> separator) {
  std::string pending;  // the bytes from the start of the record being read on
  std::uint64_t pendingStart = 0;
  bool atEnd = !readMore(pending);
  bool first = true;
  bool utf8 = true;
  std::size_t line = 1;
  for (;;) {
    // The byte-order mark and the separator are judged on a whole first piece.
    if (first && !atEnd && pending.size() < kReadAhead) {
      atEnd = !readMore(pending);
      continue;
    }
    if (first) {
      first = false;
      if (std::string_view(pending).starts_with(kUtf8Bom)) {
        encoding_ = CsvEncoding::Utf8WithBom;
        pending.erase(0, kUtf8Bom.size());
        pendingStart = kUtf8Bom.size();
      }
      separator_ = separator.value_or(DetectSeparator(pending));
    }
    std::size_t start = 0;
    while (start < pending.size()) {
      bool unclosed = false;
      const std::size_t end = RecordEnd(pending, start, separator_, &unclosed);
      // At the end of what is read so far the record, or its CR LF, may go on.
      if (!atEnd && (end == pending.size() || end + 1 == pending.size())) break;
      // A quote that is never closed would swallow the rest of the file into one cell.
      if (unclosed) {
        throw SerialError("Die CSV-Datei hat in Zeile " + std::to_string(line) + " (Datensatz " +
                          std::to_string(rowCount_ + 1) +
                          ") ein Anführungszeichen, das nicht geschlossen wird; sie wird nicht "
                          "gelesen.");
      }
      const std::string_view record = std::string_view(pending).substr(start, end - start);
      if (record.size() > kMaxCsvLineBytes) {
        throw SerialError("Die CSV-Datei hat in Zeile " + std::to_string(line) +
                          " mehr als 1 MB; sie wird nicht gelesen.");
      }
      if (!record.empty()) {
        const std::uint64_t at = pendingStart + start;
        if (groups_.empty() || rowCount_ - groups_.back().firstRow >= kGroupRows ||
            at - groups_.back().start > kGroupBytes)
          groups_.push_back({at, rowCount_});
        ++rowCount_;
        end_ = pendingStart + end;
        utf8 = utf8 && IsUtf8(record);
      }
      line += LineNumberAt(record, record.size());
      start = SkipLineEnd(pending, end);
    }
    if (pending.size() - start > kMaxCsvLineBytes + 1) {
      throw SerialError("Die CSV-Datei hat in Zeile " + std::to_string(line) +
                        " mehr als 1 MB; sie wird nicht gelesen.");
    }
    pending.erase(0, start);
    pendingStart += start;
    if (atEnd && pending.empty()) break;
    if (!atEnd) atEnd = !readMore(pending);
  }
  if (encoding_ != CsvEncoding::Utf8WithBom)
    encoding_ = utf8 ? CsvEncoding::Utf8 : CsvEncoding::Windows1252;
  groups_.shrink_to_fit();
  if (rowCount_ > 0) columnCount_ = static_cast<int>(Row(0).size());
}

CsvTable CsvTable::Parse(std::string_view bytes, std::optional<char> separator) {
  // Spreadsheet programs write "Unicode text" as UTF-16 with a byte-order mark: read as UTF-8.
  const bool le = bytes.starts_with(kUtf16LeBom);
  if (le || bytes.starts_with(kUtf16BeBom)) {
    CsvTable table = Parse(Utf16ToUtf8(bytes.substr(2), !le), separator);
    table.encoding_ = le ? CsvEncoding::Utf16Le : CsvEncoding::Utf16Be;
    return table;
  }
  CsvTable table;
  table.source_ = std::make_shared<const Source>(std::string(bytes));
  bool given = false;
  table.Index(
      [&](std::string& pending) {
        if (given) return false;
        given = true;
        pending.append(bytes);
        return false;
      },
      separator);
  return table;
}

void CsvTable::ReadGroup(
    std::size_t group,
    const std::function<bool(std::size_t index, std::string_view record)>& onRecord) const {
  const std::uint64_t start = groups_[group].start;
  const std::uint64_t end = group + 1 < groups_.size() ? groups_[group + 1].start : end_;
  const std::string bytes = source_->Read(start, static_cast<std::size_t>(end - start));
  const std::size_t stop = group + 1 < groups_.size() ? groups_[group + 1].firstRow : rowCount_;
  std::size_t index = groups_[group].firstRow;
  // The rows are found as the index found them: empty lines between them are no rows.
  for (std::size_t at = 0; at < bytes.size() && index < stop;) {
    const std::size_t recordEnd = RecordEnd(bytes, at, separator_);
    if (recordEnd > at && !onRecord(index++, std::string_view(bytes).substr(at, recordEnd - at)))
      return;
    at = SkipLineEnd(bytes, recordEnd);
  }
}

std::vector<std::string> CsvTable::Cells(std::string_view record) const {
  if (encoding_ == CsvEncoding::Windows1252) return SplitRecord(Cp1252ToUtf8(record), separator_);
  return SplitRecord(record, separator_);
}

std::vector<std::string> CsvTable::Row(std::size_t index) const {
  if (index >= rowCount_) return {};
  const auto after = std::upper_bound(groups_.begin(), groups_.end(), index,
                                      [](std::size_t i, const Group& g) { return i < g.firstRow; });
  std::vector<std::string> cells;
  ReadGroup(static_cast<std::size_t>(after - groups_.begin()) - 1,
            [&](std::size_t at, std::string_view record) {
              if (at < index) return true;
              cells = Cells(record);
              return false;
            });
  return cells;
}

void CsvTable::ForEachRow(
    std::size_t first, std::size_t last,
    const std::function<void(std::size_t index, std::vector<std::string>& cells)>& onRow) const {
  if (rowCount_ == 0) return;
  last = std::min(last, rowCount_ - 1);
  if (first > last) return;
  const auto after = std::upper_bound(groups_.begin(), groups_.end(), first,
                                      [](std::size_t i, const Group& g) { return i < g.firstRow; });
  for (auto group = static_cast<std::size_t>(after - groups_.begin()) - 1;
       group < groups_.size() && groups_[group].firstRow <= last; ++group) {
    ReadGroup(group, [&](std::size_t index, std::string_view record) {
      if (index < first) return true;
      if (index > last) return false;
      std::vector<std::string> cells = Cells(record);
      onRow(index, cells);
      return true;
    });
  }
}

std::string_view CellAt(const std::vector<std::string>& cells, int column) {
  if (column < 1 || static_cast<std::size_t>(column) > cells.size()) return {};
  return cells[static_cast<std::size_t>(column) - 1];
}

CsvTable ReadCsvFile(const std::filesystem::path& file, std::optional<char> separator) {
  int fd = -1;
  try {
    fd = OpenRegularFile(file);
  } catch (const FileError& error) {
    throw SerialError("Die CSV-Datei kann nicht gelesen werden: " + file.string() + "\n" +
                      error.Reason());
  }
  CsvTable table;
  table.source_ = std::make_shared<const CsvTable::Source>(fd);  // closes it
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    throw SerialError("Die CSV-Datei kann nicht gelesen werden: " + file.string() + "\n" +
                      FileErrorReason(errno, FileAccess::Read));
  }
  if (static_cast<std::uint64_t>(info.st_size) > kMaxCsvFileBytes) {
    throw SerialError("Die CSV-Datei ist größer als 1 GB und wird nicht gelesen: " + file.string());
  }
  // UTF-16 is decoded as a whole (spreadsheet exports of that kind are small); its rows are
  // then kept as UTF-8.
  if (const std::string mark = table.source_->Read(0, 2);
      mark == kUtf16LeBom || mark == kUtf16BeBom) {
    if (static_cast<std::uint64_t>(info.st_size) > kMaxUtf16CsvFileBytes) {
      throw SerialError("Die CSV-Datei in UTF-16 ist größer als 256 MB und wird nicht gelesen: " +
                        file.string());
    }
    try {
      return CsvTable::Parse(ReadFile(file, kMaxUtf16CsvFileBytes), separator);
    } catch (const FileError& error) {
      throw SerialError("Die CSV-Datei kann nicht gelesen werden: " + file.string() + "\n" +
                        error.Reason());
    }
  }
  // Read piecewise: only the rows' places are kept, their bytes are read again when asked for.
  std::uint64_t total = 0;
  table.Index(
      [&](std::string& pending) {
        const std::size_t before = pending.size();
        pending.resize(before + CsvTable::kReadAhead);
        ssize_t got;
        do {
          got = ::read(fd, pending.data() + before, CsvTable::kReadAhead);
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
          throw SerialError("Die CSV-Datei kann nicht gelesen werden: " + file.string() + "\n" +
                            FileErrorReason(errno, FileAccess::Read));
        }
        pending.resize(before + static_cast<std::size_t>(got));
        total += static_cast<std::uint64_t>(got);
        if (total > kMaxCsvFileBytes) {
          throw SerialError("Die CSV-Datei ist größer als 1 GB und wird nicht gelesen: " +
                            file.string());
        }
        return got > 0;
      },
      separator);
  return table;
}

}  // namespace quirabel::serial
