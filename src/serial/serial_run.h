#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/clock.h"
#include "designer/project_state.h"
#include "report/sheet_output.h"
#include "serial/csv_table.h"
#include "serial/link_file.h"
#include "serial/pdf_names.h"
#include "ui/component.h"

namespace quirabel::designer {
class PageModel;
}
namespace quirabel::report {
class TPRItem;
}

namespace quirabel::serial {

class WorkerPlatform;

// One worker of a serial run: every page of the project built once, with its data fields found.
// Each row then only changes the data fields' texts and prints the pages into a new PDF. A worker
// has its own page models and platform, so workers run side by side on threads.
class SerialPrinter {
 public:
  // Builds the pages. Raises ProjectFileError for a page that cannot be read and SerialError for
  // an assignment whose column is no number.
  SerialPrinter(const designer::ProjectState& project, const LinkFile& link, const Clock& clock);
  ~SerialPrinter();
  SerialPrinter(const SerialPrinter&) = delete;
  SerialPrinter& operator=(const SerialPrinter&) = delete;

  // Fills every assigned data field with its cell of the row (a data field without assignment
  // keeps its marker) and writes all pages into `file`, atomically. Raises FileError when the
  // file cannot be written; nothing is left behind then. A code whose filled content its kind
  // cannot encode raises graphics::CodeError.
  void Print(const std::vector<std::string>& cells, const std::filesystem::path& file);
  // The same for the run to write itself: the PDF is `pieces` one after the other, views into
  // `text` and into the pictures' bytes, which are not copied. They stay valid until the next
  // print.
  void PrintTo(const std::vector<std::string>& cells, std::string& text,
               std::vector<std::string_view>& pieces);

  // A whole series in one PDF: StartSeries begins `file`, each PrintRow adds the pages of a row
  // and writes them out at once (memory stays flat however many rows), FinishSeries completes the
  // file and gives its size. A series never finished leaves no file. The pictures that are the
  // same on every row are one object of the file. With `sheets`, each row is a card at the next
  // position of printing sheets instead (report::SheetSeries), a set of sheets written when full;
  // the first row raises report::SheetError when the card does not fit.
  void StartSeries(const std::filesystem::path& file,
                   const std::optional<report::SheetRequest>& sheets = std::nullopt);
  void PrintRow(const std::vector<std::string>& cells);
  std::uint64_t FinishSeries();
  // The cards on each sheet of the series finished last (none without sheets).
  const std::vector<int>& CardsPerSheet() const { return cardsPerSheet_; }

 private:
  struct DataField {
    report::TPRItem* item;
    std::string name;
    int column;
  };

  std::unique_ptr<WorkerPlatform> platform_;
  std::unique_ptr<ui::Component> root_;
  designer::ProjectState state_;
  std::vector<std::unique_ptr<designer::PageModel>> pages_;
  std::vector<DataField> dataFields_;
  std::unique_ptr<report::SheetSeries> sheets_;  // while a series on sheets is written
  std::vector<int> cardsPerSheet_;

  // Fills the row into the data fields and prints every page into the open document.
  void PrintPages(const std::vector<std::string>& cells);
};

// A run: the rows first…last (from 1; clamped to the table) into one PDF each in `folder`.
struct SerialRun {
  const designer::ProjectState* project = nullptr;
  LinkFile link;
  const CsvTable* table = nullptr;
  Naming naming;
  std::filesystem::path folder;
  std::size_t firstRow = 1;
  std::size_t lastRow = std::numeric_limits<std::size_t>::max();
  // Threads that render; 1 runs on the calling thread.
  unsigned jobs = 1;
  // Whether files in the folder that no earlier run of this project wrote may be replaced.
  bool overwrite = false;
  // For the run record: the project file and the link file the run was made from.
  std::string projectFile;
  std::string linkFile;
  // Into one PDF only: the rows as cards on printing sheets instead of a page each.
  std::optional<report::SheetRequest> sheets;
};

// A row that got no PDF, and why (German).
struct FailedRow {
  std::size_t row = 0;
  std::string reason;
};

struct SerialOutcome {
  std::size_t written = 0;  // PDFs written
  std::size_t total = 0;    // PDFs the run was to write
  bool cancelled = false;
  // Why the run stopped early (German, naming the row and how many PDFs were written); empty
  // when it did not fail.
  std::string failure;
  // Rows refused one by one (their name is a link or no regular file, their text has
  // characters no installed font has, or a code cannot encode their content); the run went on.
  // The
  // first kListedRows of them, by row, and how many there were.
  std::vector<FailedRow> failedRows;
  std::size_t failedCount = 0;
  // Rows whose cells are all empty: no PDF, in the record as skipped, and done all the same. The
  // first kListedRows of them, by row, and how many there were.
  std::vector<std::size_t> skippedRows;
  std::size_t skippedCount = 0;
  // Files in the folder the run would replace although no earlier run of the project wrote them:
  // the run wrote nothing then. The first kListedRows names and how many there were.
  std::vector<std::string> foreignFiles;
  std::size_t foreignCount = 0;
  // The run record written after the last PDF; empty when none was written.
  std::filesystem::path record;
  bool Complete() const {
    return failure.empty() && !cancelled && written + skippedCount == total && failedCount == 0 &&
           foreignCount == 0;
  }
};

inline constexpr std::size_t kListedRows = 10;

// "2 leere Zeilen übersprungen: 15, 31" (the rows listed, "…" for more than those); empty for
// none.
std::string SkippedRowsText(std::size_t count, const std::vector<std::size_t>& listed);

// A series in one PDF file.
struct OnePdfOutcome {
  std::size_t rows = 0;
  std::size_t pages = 0;           // on sheets: the sheets
  std::vector<int> cardsPerSheet;  // on sheets: the cards on each sheet
  // Rows whose cells are all empty, left out: the first kListedRows and how many.
  std::vector<std::size_t> skippedRows;
  std::size_t skippedCount = 0;
  std::uint64_t bytes = 0;
  bool cancelled = false;
  // Why no file was written (German, naming the row); empty when it was.
  std::string failure;
};

// The rows of `run` (its folder and naming unused) into one PDF `file`, page after page (or card
// after card on the sheets `run.sheets`), on the calling thread. Any row that cannot be printed
// stops the run, and no file is left: a print shop gets the whole series or nothing. `onWritten`
// hears how many rows are done; false cancels (no file either).
OnePdfOutcome RunSerialOnePdf(const SerialRun& run, const std::filesystem::path& file,
                              const Clock& clock,
                              const std::function<bool(std::size_t written)>& onWritten = {});

// Runs the rows. Before anything is written, the names the run will use are checked: an existing
// file that no earlier run of the same project wrote (by the run records in the folder) stops the
// run unless `overwrite` (SerialOutcome::foreignFiles). Leftover temporary files of killed runs go
// first. After each PDF `onWritten` hears how many are written so far (from the worker threads,
// one at a time); when it answers false the run stops after the PDFs being written. A name that
// is a link or no regular file, or a row whose text no installed font can print, is refused
// for that row alone; any other PDF that cannot be written stops
// the run: the PDFs written so far stay. The folder is then synced once and the run record written
// (quirabel-serie.json, or quirabel-serie-A-B.json for a part of the rows), listing every PDF
// written with its checksums and every row refused.
SerialOutcome RunSerial(const SerialRun& run, const Clock& clock,
                        const std::function<bool(std::size_t written)>& onWritten = {});

}  // namespace quirabel::serial
