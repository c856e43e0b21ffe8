#pragma once

#include <cstddef>
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
// … before ".pdf". A row's name depends only on the rows before it, so a part of a run names its
// files as the whole run does.
std::vector<std::string> PdfFileNames(const CsvTable& table, const Naming& naming,
                                      std::size_t count);

// The names of a run's rows, as PdfFileNames gives them. Names from the identifier and the row
// number cannot repeat (as long as they need no shortening), so they are made when asked for
// and a run of many rows keeps no list of them.
class PdfFileNamer {
 public:
  PdfFileNamer(const CsvTable& table, Naming naming, std::size_t count);
  // The name of row 1 … count.
  std::string NameOfRow(std::size_t row) const;

 private:
  Naming naming_;
  std::vector<std::string> names_;  // empty when made per row
};

}  // namespace quirabel::serial
