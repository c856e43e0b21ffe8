#include "serial/csv_table.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include "base/atomic_file.h"
#include "base/cp1252.h"
#include "serial/serial_error.h"

namespace quirabel::serial {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    int length = 0;
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
    if (n - i < static_cast<std::size_t>(length)) return false;
    for (int k = 1; k < length; ++k) {
      const auto c = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if (k == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF)) return false;
    }
    i += static_cast<std::size_t>(length);
  }
  return true;
}

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// The end of the record that starts at `start` (where its line end begins, or the text's end).
// Quotes count only at the start of a field.
std::size_t RecordEnd(std::string_view text, std::size_t start, char separator) {
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
      if (i < text.size()) ++i;  // the closing quote
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

}  // namespace

std::string_view EncodingName(CsvEncoding encoding) {
  switch (encoding) {
    case CsvEncoding::Utf8:
      return "UTF-8";
    case CsvEncoding::Utf8WithBom:
      return "UTF-8 mit BOM";
    case CsvEncoding::Windows1252:
      return "Windows-1252";
  }
  return "";
}

char DetectSeparator(std::string_view text) {
  if (text.starts_with(kBom)) text.remove_prefix(kBom.size());
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

CsvTable CsvTable::Parse(std::string_view bytes, std::optional<char> separator) {
  CsvTable table;
  if (bytes.starts_with(kBom)) {
    table.encoding_ = CsvEncoding::Utf8WithBom;
    table.text_ = std::string(bytes.substr(kBom.size()));
  } else if (IsUtf8(bytes)) {
    table.encoding_ = CsvEncoding::Utf8;
    table.text_ = std::string(bytes);
  } else {
    table.encoding_ = CsvEncoding::Windows1252;
    table.text_ = Cp1252ToUtf8(bytes);
  }
  const std::string_view text = table.text_;
  table.separator_ = separator.value_or(DetectSeparator(text));

  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = RecordEnd(text, start, table.separator_);
    if (end - start > kMaxCsvLineBytes) {
      throw SerialError("Die CSV-Datei hat in Zeile " + std::to_string(LineNumberAt(text, start)) +
                        " mehr als 1 MB; sie wird nicht gelesen.");
    }
    if (end > start) table.rows_.emplace_back(start, end - start);
    start = SkipLineEnd(text, end);
  }
  table.rows_.shrink_to_fit();
  if (!table.rows_.empty()) table.columnCount_ = static_cast<int>(table.Row(0).size());
  return table;
}

std::vector<std::string> CsvTable::Row(std::size_t index) const {
  if (index >= rows_.size()) return {};
  const auto [start, length] = rows_[index];
  return SplitRecord(std::string_view(text_).substr(start, length), separator_);
}

std::string_view CellAt(const std::vector<std::string>& cells, int column) {
  if (column < 1 || static_cast<std::size_t>(column) > cells.size()) return {};
  return cells[static_cast<std::size_t>(column) - 1];
}

CsvTable ReadCsvFile(const std::filesystem::path& file, std::optional<char> separator) {
  std::string bytes;
  try {
    bytes = ReadFile(file, kMaxCsvFileBytes);
  } catch (const FileError& e) {
    if (e.error_number() == EFBIG) {
      throw SerialError("Die CSV-Datei ist größer als 1 GB und wird nicht gelesen: " +
                        file.string());
    }
    throw SerialError("Die CSV-Datei kann nicht gelesen werden: " + file.string() + "\n" +
                      e.Reason());
  }
  return CsvTable::Parse(bytes, separator);
}

}  // namespace quirabel::serial
