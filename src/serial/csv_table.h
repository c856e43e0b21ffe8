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
// Only where every few rows begin is kept; a row is read, decoded and split when asked for, so a
// file of a million rows costs some hundred kilobytes, not its size.
// Whether every cell of a row is empty: such a row prints nothing.
bool IsEmptyRow(const std::vector<std::string>& cells);

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
  std::size_t RowCount() const { return rowCount_; }
  // The number of cells in the first row; the columns Feld1 … FeldN.
  int ColumnCount() const { return columnCount_; }
  // The cells of a row (0-based), UTF-8. Safe to call from several threads.
  std::vector<std::string> Row(std::size_t index) const;
  // The cells of the rows first … last (0-based, clamped to the table) in order, each group of
  // rows read once: for a pass over many rows.
  void ForEachRow(
      std::size_t first, std::size_t last,
      const std::function<void(std::size_t index, std::vector<std::string>& cells)>& onRow) const;

 private:
  class Source;
  friend CsvTable ReadCsvFile(const std::filesystem::path&, std::optional<char>);
  // How much is read at a time. Only the record being read on is held, so memory does not grow
  // with the file.
  static constexpr std::size_t kReadAhead = 64 * 1024;

  // Finds the rows in bytes that `readMore` appends piece by piece (false once there are no
  // more), keeping only where each row lies.
  void Index(const std::function<bool(std::string&)>& readMore, std::optional<char> separator);

  // A group starts at a row and holds at most kGroupRows rows; it ends where the next begins,
  // or at the last row's end. Beyond kGroupBytes the next row starts a group of its own, so a
  // row costs reading a few kilobytes at most besides its own bytes.
  static constexpr std::size_t kGroupRows = 32;
  static constexpr std::uint64_t kGroupBytes = 16 * 1024;
  struct Group {
    std::uint64_t start;  // of its first row's bytes in the source
    std::uint64_t firstRow;
  };
  // The group's rows' bytes, as read and decoded; each row's bytes in turn go to onRecord with
  // its index, until it answers false.
  void ReadGroup(
      std::size_t group,
      const std::function<bool(std::size_t index, std::string_view record)>& onRecord) const;
  std::vector<std::string> Cells(std::string_view record) const;

  std::shared_ptr<const Source> source_;
  std::vector<Group> groups_;
  std::uint64_t end_ = 0;  // of the last row's bytes
  std::size_t rowCount_ = 0;
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
