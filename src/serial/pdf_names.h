#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "serial/csv_table.h"

namespace quirabel::serial {

inline constexpr std::string_view kDefaultIdentifier = "pdf-file";
inline constexpr std::size_t kMaxFileStemBytes = 200;

// How the PDFs of a run are named: after the cell of a column (from 1), or, with column 0, after
// the identifier and the row number (pdf-file1.pdf, pdf-file2.pdf, …).
struct Naming {
  int column = 0;
  std::string identifier = std::string(kDefaultIdentifier);
};

// A text made safe as a file name inside the target folder: no '/', '\' or control characters,
// trimmed, at most kMaxFileStemBytes bytes (whole characters), and neither "." nor "..". Empty
// when nothing is left.
std::string SafeFileStem(std::string_view text);

// The file names (with ".pdf") of the rows 1 … count. A cell that gives no name falls back to
// the identifier and the row number; a name that an earlier row has already got gets "-2", "-3",
// … before ".pdf". Names count as equal as a case-insensitive disk compares them (case folded,
// NFC): "Anna", "anna", "ANNA" give Anna.pdf, anna-2.pdf, ANNA-3.pdf, so no disk lets one row's
// file replace another's. A row's name depends only on the rows before it, so a part of a run
// names its files as the whole run does.
std::vector<std::string> PdfFileNames(const CsvTable& table, const Naming& naming,
                                      std::size_t count);

// The names of a run's rows, as PdfFileNames gives them. Names from the identifier and the row
// number cannot repeat (as long as they need no shortening), so they are made when asked for.
// Names from a column keep no strings either: only a hash of each folded name while the rows are
// counted through, and per row the number its name got ("-2"), so a million rows cost a few
// megabytes, not the names.
class PdfFileNamer {
 public:
  // Names the rows 1 … count; only the names of the rows from `first` on can be asked for (a
  // part of a run keeps nothing for the rows before it).
  PdfFileNamer(const CsvTable& table, Naming naming, std::size_t count, std::size_t first = 1);
  // The name of row first … count (reads the row again when named by column); empty for others.
  std::string NameOfRow(std::size_t row) const;

 private:
  std::string StemOfRow(std::size_t row) const;
  // The stem a cell gives, or the identifier's for the row when it gives none.
  std::string StemOf(std::string_view cell, std::size_t row) const;

  const CsvTable* table_;
  Naming naming_;
  std::size_t count_ = 0;
  std::size_t first_ = 1;
  bool perRow_ = true;
  std::vector<std::uint32_t> repeats_;  // per row from first_: 0, or the number after '-'
};

}  // namespace quirabel::serial
