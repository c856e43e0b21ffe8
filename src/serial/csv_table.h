#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quirabel::serial {

// Files and lines beyond these are refused rather than read.
inline constexpr std::uint64_t kMaxCsvFileBytes = 1024ull * 1024 * 1024;
inline constexpr std::size_t kMaxCsvLineBytes = 1024 * 1024;

// The separators the reader recognises, in the order that breaks ties.
inline constexpr std::string_view kCsvSeparators = ";,\t|";

inline constexpr std::uint64_t kMaxUtf16CsvFileBytes = 256ull * 1024 * 1024;

// UTF-16 is recognised by its byte-order mark only.
enum class CsvEncoding { Utf8, Utf8WithBom, Windows1252, Utf16Le, Utf16Be };
// "UTF-8", "UTF-8 mit BOM", "Windows-1252", "UTF-16 LE", "UTF-16 BE".
std::string_view EncodingName(CsvEncoding encoding);

// The separator of a CSV text: of ; , Tab | the one found most often in the first line outside
// quotes; ';' when none is there (the file then has one column).
char DetectSeparator(std::string_view text);

// A CSV file as rows of cells. There is no header line: the first line is data too. Fields that
// start with a quote are read as spreadsheet programs write them ("" inside, separators and line
// breaks inside); every other field runs to the next separator, so a file without quotes splits
// at every separator. CR LF, LF and CR end lines; empty lines are no rows.
//
// Only where each row lies is kept; a row is read, decoded and split when asked for, so a file of
// many rows costs a few bytes a row, not its size.
class CsvTable {
 public:
  CsvTable();
  ~CsvTable();
  CsvTable(CsvTable&&) noexcept;
  CsvTable& operator=(CsvTable&&) noexcept;

  // Decodes bytes (UTF-16 with BOM; UTF-8 with or without BOM; otherwise Windows-1252) and finds
  // the rows. The separator is detected when none is given. Raises SerialError for a line over
  // kMaxCsvLineBytes and for a quoted field that runs to the end of the file, naming its line.
  static CsvTable Parse(std::string_view bytes, std::optional<char> separator = std::nullopt);

  char Separator() const { return separator_; }
  CsvEncoding Encoding() const { return encoding_; }
  std::size_t RowCount() const { return starts_.size(); }
  // The number of cells in the first row; the columns Feld1 … FeldN.
  int ColumnCount() const { return columnCount_; }
  // The cells of a row (0-based), UTF-8. Safe to call from several threads.
  std::vector<std::string> Row(std::size_t index) const;

 private:
  class Source;
  friend CsvTable ReadCsvFile(const std::filesystem::path&, std::optional<char>);
  // How much is read at a time. Only the record being read on is held, so memory does not grow
  // with the file.
  static constexpr std::size_t kReadAhead = 64 * 1024;

  // Finds the rows in bytes that `readMore` appends piece by piece (false once there are no
  // more), keeping only where each row lies.
  void Index(const std::function<bool(std::string&)>& readMore, std::optional<char> separator);

  std::shared_ptr<const Source> source_;
  std::vector<std::uint64_t> starts_;   // of each row's bytes in the source
  std::vector<std::uint32_t> lengths_;  // at most kMaxCsvLineBytes
  char separator_ = ';';
  CsvEncoding encoding_ = CsvEncoding::Utf8;
  int columnCount_ = 0;
};

// The cell in a column counted from 1; empty beyond the row's cells.
std::string_view CellAt(const std::vector<std::string>& cells, int column);

// Reads a CSV file. SerialError names the file when it is missing, unreadable or over
// kMaxCsvFileBytes.
CsvTable ReadCsvFile(const std::filesystem::path& file,
                     std::optional<char> separator = std::nullopt);

}  // namespace quirabel::serial
