#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "serial/csv_table.h"
#include "serial/link_file.h"
#include "serial/pdf_names.h"
#include "serial/serial_run.h"

namespace quirabel::app {

class Application;

inline constexpr const char* kNoDataLink =
    "Mindestens zum Dokument Seite 1 besteht keine Datenverknüpfung. Stellen Sie über "
    "\"PDF-Serienbrief Einstellugen\" eine Verbindung zu einer CSV Datei her";

// What a serial run is asked for besides the link and the CSV rows.
struct SerialRequest {
  serial::Naming naming;
  std::filesystem::path folder;
  std::size_t firstRow = 1;
  std::size_t lastRow = std::numeric_limits<std::size_t>::max();
  unsigned jobs = 1;
};

// Serial PDF for the open project, written once for the designer, the batch tool and the tests:
// the link file, reading the CSV file it names, and the run. Failures are told through the
// application's platform.
class SerialPdf {
 public:
  explicit SerialPdf(Application& application);

  // The open project's link file in the program folder.
  std::filesystem::path ProjectLinkFile() const;
  // Reads a link file; none (after the message) when it is missing or damaged.
  std::optional<serial::LinkFile> ReadLink(const std::filesystem::path& file);
  // Reads the CSV file a link names, split at its separator; none (after a message that names
  // the file) when it is missing or refused.
  std::optional<serial::CsvTable> ReadCsv(const serial::LinkFile& link);
  // Writes a link file: the CSV file, its separator and the assignments of data fields to
  // columns. False after a message when it cannot be stored.
  bool WriteLink(const std::filesystem::path& file, const serial::LinkFile& link);
  // Prints the rows into one PDF each. The page on screen is stored first; the project and the
  // page on screen stay as they were. A failure is told and returned in the outcome.
  serial::SerialOutcome Print(const serial::LinkFile& link, const serial::CsvTable& table,
                              const SerialRequest& request,
                              const std::function<bool(std::size_t written)>& onWritten = {});

 private:
  Application& application_;
};

}  // namespace quirabel::app
