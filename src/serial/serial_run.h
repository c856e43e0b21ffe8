#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "designer/project_state.h"
#include "serial/csv_table.h"
#include "serial/link_file.h"
#include "serial/pdf_names.h"
#include "ui/component.h"

namespace quirabel::designer {
class DocumentWindow;
}
namespace quirabel::report {
class TPRItem;
}

namespace quirabel::serial {

class WorkerPlatform;

// One worker of a serial run: every page of the project built once, with its data fields found.
// Each row then only changes the data fields' texts and prints the pages into a new PDF. A worker
// has its own windows and platform, so workers run side by side on threads.
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
  // file cannot be written; nothing is left behind then.
  void Print(const std::vector<std::string>& cells, const std::filesystem::path& file);

 private:
  struct DataField {
    report::TPRItem* item;
    int column;
  };

  std::unique_ptr<WorkerPlatform> platform_;
  std::unique_ptr<ui::Component> root_;
  designer::ProjectState state_;
  std::vector<designer::DocumentWindow*> pages_;
  std::vector<DataField> dataFields_;
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
};

struct SerialOutcome {
  std::size_t written = 0;  // PDFs written
  std::size_t total = 0;    // PDFs the run was to write
  bool cancelled = false;
  // Why the run stopped early (German, naming the row and how many PDFs were written); empty
  // when it did not fail.
  std::string failure;
  bool Complete() const { return failure.empty() && !cancelled && written == total; }
};

// Runs the rows. After each PDF `onWritten` hears how many are written so far (from the worker
// threads, one at a time); when it answers false the run stops after the PDFs being written. A
// PDF that cannot be written stops the run: the PDFs written so far stay. A row with characters no
// installed font has fails alone (no PDF, its row and characters in `failure`) and the run goes on.
SerialOutcome RunSerial(const SerialRun& run, const Clock& clock,
                        const std::function<bool(std::size_t written)>& onWritten = {});

}  // namespace quirabel::serial
