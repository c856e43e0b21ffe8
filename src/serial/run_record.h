#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quirabel {
class AtomicFileWriter;
}

namespace quirabel::serial {

// The run record: what a serial run wrote into its output folder, written once after the run's
// last PDF (and after the folder was synced), so a PDF counts as delivered only when its record
// lists it. The mailer pairs rows and PDFs only through it. A whole run writes
// "quirabel-serie.json"; a run over --rows A-B writes "quirabel-serie-A-B.json".
//
// The file is JSON, one row entry per line:
//   {"format":"quirabel-serie","version":1,"run_id":"…","time":"2026-12-07T21:00:00Z",
//    "project":{"file":"/abs/karte.kxp","number":"2014559123"},
//    "csv":{"file":"/abs/kunden.csv","size":1234,"modified":"2026-12-07T20:59:00Z","rows":4},
//    "link":{"file":"/abs/csv_db/2014559123._cv","assignments":["Name  ->  Feld2"]},
//    "range":{"first":1,"last":4},
//    "rows":[
//    {"row":1,"file":"Anna.pdf","cells_sha256":"…","pdf_sha256":"…","pdf_size":5120},
//    {"row":2,"error":"…"}
//    ],"stopped":"…"}                 ("stopped" only for a run that ended before its last row)
// Rows count from 1 as in --rows; "file" is a name inside the output folder. Records of older
// versions have no "pdf_size".

inline constexpr std::string_view kRunRecordFormat = "quirabel-serie";
inline constexpr int kRunRecordVersion = 1;
inline constexpr std::uint64_t kMaxRunRecordBytes = 4ull * 1024 * 1024 * 1024;
// The longest text a record may hold (paths, error texts); longer error texts are cut when
// written.
inline constexpr std::size_t kMaxRunRecordText = 4096;

struct RunRecordHeader {
  std::string runId;
  std::string time;  // UTC, ISO 8601
  std::string projectFile;
  std::string projectNumber;
  std::string csvFile;
  std::uint64_t csvSize = 0;
  std::string csvModified;  // UTC, ISO 8601
  std::uint64_t csvRows = 0;
  std::string linkFile;
  std::vector<std::string> assignments;  // the link file's entries ("Name  ->  Feld2")
  std::uint64_t firstRow = 1;
  std::uint64_t lastRow = 0;
  // Why the run stopped before its last row (German), read from the record's end; empty for a run
  // that went through.
  std::string stopped;
};

struct RunRecordRow {
  std::uint64_t row = 0;
  std::string file;         // written rows: the PDF's name in the folder
  std::string cellsSha256;  // written rows: CellsSha256 of the row's cells
  std::string pdfSha256;    // written rows: SHA-256 of the PDF's bytes
  std::string error;        // failed rows: why (German); empty for written rows
  std::optional<std::uint64_t> pdfSize;  // written rows: the PDF's bytes; none in older records
  // A row left out on purpose (all its cells empty): no PDF, yet done. It has an error text as
  // well, so that programs that do not know skipped rows take it for a row without a PDF.
  bool skipped = false;
  bool Written() const { return error.empty(); }
};

// Whether the PDF a record names is still the one the run wrote, by its size first (a file of
// another size is not read at all) and then its SHA-256. The name is not followed when it is a
// link. A PDF whose record has no size is read up to `maxBytes`.
enum class PdfState { Same, Changed, Missing, NotRegular, Unreadable, TooLarge };
PdfState CheckRecordedPdf(const std::filesystem::path& file, const RunRecordRow& row,
                          std::uint64_t maxBytes);

// The written rows of all records of a folder held against each other: a row written twice (by
// two records, or twice in one) or one file named for two rows. A tampered record could otherwise
// pair a person with another's PDF.
class RecordedRowsCheck {
 public:
  struct Conflict {
    bool sharedFile = false;  // else the row is written twice
    std::string text;         // German, without a full stop
  };
  // Notes a written row of the record `record` (its file name); returns what it contradicts
  // ("Zeile 2 nennt dieselbe PDF-Datei pdf-file1.pdf wie Zeile 1"), or nothing.
  std::optional<Conflict> Note(const RunRecordRow& row, const std::string& record);

 private:
  std::vector<std::string> records_;
  std::unordered_map<std::uint64_t, std::uint32_t> rows_;  // row → record
  std::unordered_map<std::string, std::uint64_t> files_;   // folded name → row
};

// The record's name for a whole run (no range) or for the rows first…last.
std::string RunRecordFileName(std::optional<std::pair<std::uint64_t, std::uint64_t>> range = {});
// Whether a file name is a run record's ("quirabel-serie.json", "quirabel-serie-A-B.json").
bool IsRunRecordFileName(std::string_view name);

// The hash of a row's cells, in CSV order, as read (UTF-8): for each cell its byte count as eight
// little-endian bytes, then its bytes. A row whose cells changed, moved or were split differently
// hashes differently.
std::string CellsSha256(const std::vector<std::string>& cells);

// A run id: 32 hexadecimal digits from the system's random source.
std::string NewRunId();

// Writes a record row by row, so a run of a million rows never holds them all. The rows may come
// in any order. Nothing is visible under the record's name before Commit(). Room for the rows is
// set aside on the disk at the start, so that a run stopped by a full disk still records the PDFs
// it wrote.
class RunRecordWriter {
 public:
  RunRecordWriter(const std::filesystem::path& file, const RunRecordHeader& header);
  ~RunRecordWriter();
  RunRecordWriter(const RunRecordWriter&) = delete;
  RunRecordWriter& operator=(const RunRecordWriter&) = delete;

  void Add(const RunRecordRow& row);
  // The same in two steps, so that workers make their rows' text side by side and only add it
  // one at a time.
  static std::string Entry(const RunRecordRow& row);
  void AddEntry(std::string_view entry);
  // Syncs and renames the record into place; `stopped` says why the run ended before its last
  // row. FileError when that fails.
  void Commit(std::string_view stopped = {});

 private:
  std::unique_ptr<AtomicFileWriter> writer_;
  bool first_ = true;
};

// Reads a record: returns its header and hands each row to `onRow` without keeping it. Raises
// SerialError ("Die Serien-PDF-Liste … ist beschädigt …") for anything that is not a record of
// this format, FileError (with a German what()) when the file cannot be read. The reading is
// bounded: no text longer than kMaxRunRecordText, nothing nested deeper than a record nests, keys
// it does not know are skipped, and only one row entry stands in memory at a time. The file is
// opened without following a link and must be a regular file.
RunRecordHeader ReadRunRecord(std::string_view bytes,
                              const std::function<void(const RunRecordRow&)>& onRow);
RunRecordHeader ReadRunRecordFile(const std::filesystem::path& file,
                                  const std::function<void(const RunRecordRow&)>& onRow);

// The run records in a folder, sorted by name.
std::vector<std::filesystem::path> RunRecordFiles(const std::filesystem::path& folder);

}  // namespace quirabel::serial
