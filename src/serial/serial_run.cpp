#include "serial/serial_run.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>

#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <unordered_map>

#include "base/atomic_file.h"
#include "base/name_folding.h"
#include "base/random.h"
#include "base/regular_file.h"
#include "base/sha256.h"
#include "designer/element_kinds.h"
#include "designer/guide_lines.h"
#include "designer/page_model.h"
#include "designer/print_formats.h"
#include "designer/projectfile/guide_line_string.h"
#include "designer/projectfile/records.h"
#include "graphics/code_symbol.h"
#include "pdf/pdf_errors.h"
#include "serial/output_folder.h"
#include "serial/run_record.h"
#include "serial/serial_error.h"
#include "ui/headless_platform.h"
#include "ui/platform.h"

namespace quirabel::serial {

// The platform of a worker: nobody to show anything to. The run reports what went wrong itself;
// the messages are kept for that.
class WorkerPlatform : public ui::HeadlessPlatform {
 public:
  using HeadlessPlatform::HeadlessPlatform;
};

SerialPrinter::SerialPrinter(const designer::ProjectState& project, const LinkFile& link,
                             const Clock& clock)
    : platform_(std::make_unique<WorkerPlatform>(clock)),
      root_(std::make_unique<ui::Component>()),
      state_(project) {
  root_->SetPlatform(platform_.get());
  for (int page = 1; page <= state_.pageCount; ++page) {
    // Each page has an owner of its own: the pages' components carry the same names.
    auto* owner = new ui::Component(root_.get());
    pages_.push_back(std::make_unique<designer::PageModel>(*owner, state_));
    designer::PageModel& model = *pages_.back();
    model.LoadPage(page);
    for (const designer::PageElement& element : model.Elements()) {
      for (std::string& field : designer::DataFieldsOf(*element.item)) {
        if (const std::optional<int> column = AssignedColumn(link.assignments, field))
          dataFields_.push_back({element.item, std::move(field), *column});
      }
    }
  }
  if (pages_.empty()) throw SerialError("Das Projekt hat keine Seite.");
  // Orderable documents print as an export does: every page with the guide lines of page 1, the
  // back side (page 2) mirrored.
  if (state_.orderDocument) {
    designer::GuideLines& front = pages_.front()->Guides();
    const std::string positions = front.Write();
    for (std::size_t i = 1; i < pages_.size(); ++i) {
      designer::PageModel& model = *pages_[i];
      model.Guides().Apply(designer::projectfile::ReadGuideLineString(
          positions,
          {static_cast<std::uint8_t>(state_.verticalFolds),
           static_cast<std::uint8_t>(state_.horizontalFolds),
           static_cast<std::uint8_t>(state_.verticalPerforations),
           static_cast<std::uint8_t>(state_.horizontalPerforations)},
          model.PagePanel().Width(), model.PagePanel().Height()));
      if (i == 1) model.Guides().ShowBackSide();
    }
    front.ShowFrontSide();
  }
  report::TPReport& report = pages_.front()->Report();
  report.SetAuthor(designer::kProgramText);
  report.SetTitle(project.info.title);
  report.SetSubject(project.info.subject);
  report.SetKeywords(project.info.keywords);
  report.SetCreator(project.info.creator);
}

SerialPrinter::~SerialPrinter() = default;

void SerialPrinter::PrintPages(const std::vector<std::string>& cells) {
  for (const DataField& field : dataFields_)
    designer::FillField(*field.item, field.name, CellAt(cells, field.column));
  report::TPReport& report = pages_.front()->Report();
  for (const auto& page : pages_) page->PrintInto(report);
}

void SerialPrinter::Print(const std::vector<std::string>& cells,
                          const std::filesystem::path& file) {
  designer::PageModel& first = *pages_.front();
  report::TPReport& report = first.Report();
  report.SetFileName(file.string());
  first.BeginPdf();
  try {
    PrintPages(cells);
    // Written here rather than through EndDoc, which tells the person itself: the caller tells
    // why, with the row.
    report.Doc()->SaveToFile(file.string(), AtomicFileWriter::Leftovers::Skip);
  } catch (...) {
    report.Abort();
    throw;
  }
  report.Abort();
}

void SerialPrinter::PrintTo(const std::vector<std::string>& cells, std::string& text,
                            std::vector<std::string_view>& pieces) {
  designer::PageModel& first = *pages_.front();
  report::TPReport& report = first.Report();
  report.Abort();  // the last row's document, kept for its pieces
  first.BeginPdf();
  try {
    PrintPages(cells);
    // The document stays until the next print begins (or the printer goes): the pieces point
    // into it.
    report.Doc()->SaveToPieces(text, pieces, true);
  } catch (...) {
    report.Abort();
    throw;
  }
}

void SerialPrinter::StartSeries(const std::filesystem::path& file,
                                const std::optional<report::SheetRequest>& sheets) {
  designer::PageModel& first = *pages_.front();
  first.BeginPdf();
  pdf::TPdfDoc& doc = *first.Report().Doc();
  doc.StartFile(file);
  cardsPerSheet_.clear();
  sheets_.reset();
  // The card is the page inside the bleed the report gives orderable documents.
  if (sheets)
    sheets_ = std::make_unique<report::SheetSeries>(
        doc, *sheets, state_.orderDocument ? designer::kBleedPoints : 0);
}

void SerialPrinter::PrintRow(const std::vector<std::string>& cells) {
  pdf::TPdfDoc& doc = *pages_.front()->Report().Doc();
  const std::size_t firstPage = doc.PageCount();
  PrintPages(cells);
  if (sheets_) {
    sheets_->AddCard(firstPage);
  } else {
    doc.FlushPages();
  }
}

std::uint64_t SerialPrinter::FinishSeries() {
  report::TPReport& report = pages_.front()->Report();
  pdf::TPdfDoc& doc = *report.Doc();
  if (sheets_) {
    sheets_->Finish();
    cardsPerSheet_ = sheets_->CardsPerSheet();
    sheets_.reset();
  }
  doc.FinishFile();
  const std::uint64_t bytes = doc.FileBytes();
  report.Abort();
  return bytes;
}

namespace {

// Keeps the first kListedRows rows, by row (they come in any order from the workers).
void ListRow(std::vector<std::size_t>& listed, std::size_t row) {
  listed.insert(std::upper_bound(listed.begin(), listed.end(), row), row);
  if (listed.size() > kListedRows) listed.pop_back();
}

std::string Plural(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " PDF-Datei wurde" : " PDF-Dateien wurden");
}

std::string UtcText(std::chrono::system_clock::time_point time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  std::tm parts{};
  ::gmtime_r(&seconds, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

// The header of the run's record: what it was made from.
RunRecordHeader HeaderOf(const SerialRun& run, std::size_t last) {
  RunRecordHeader header;
  header.runId = NewRunId();
  header.time = UtcText(std::chrono::system_clock::now());
  header.projectFile = run.projectFile;
  header.projectNumber = run.project->projectNumber;
  header.csvFile = run.link.csvPath;
  struct stat info {};
  if (!run.link.csvPath.empty() && ::stat(run.link.csvPath.c_str(), &info) == 0) {
    header.csvSize = static_cast<std::uint64_t>(info.st_size);
    header.csvModified = UtcText(std::chrono::system_clock::from_time_t(info.st_mtime));
  }
  header.csvRows = run.table->RowCount();
  header.linkFile = run.linkFile;
  header.assignments = run.link.assignments;
  header.firstRow = run.firstRow;
  header.lastRow = last;
  return header;
}

std::uint64_t SizeOf(std::span<const std::string_view> pieces) {
  std::uint64_t size = 0;
  for (std::string_view piece : pieces) size += piece.size();
  return size;
}

std::uint64_t FoldedKey(std::string_view name) {
  return std::hash<std::string>{}(FoldedFileName(name));
}

// What an earlier run wrote under a name: a hundred bytes or so a row.
struct OwnFile {
  std::array<char, 64> pdfSha256{};
  std::optional<std::uint64_t> pdfSize;
};
using OwnFileMap = std::unordered_multimap<std::uint64_t, OwnFile>;

// The files earlier runs of this project wrote into the folder, by their run records: each name
// (folded) with what the run wrote under it. A record that cannot be read gives nothing.
OwnFileMap OwnFiles(const OutputFolder& folder, const std::string& projectNumber) {
  OwnFileMap own;
  for (const std::filesystem::path& file : RunRecordFiles(folder.Path())) {
    if (folder.Look(file.filename().string()) != OutputFolder::Entry::RegularFile) continue;
    std::vector<std::pair<std::uint64_t, OwnFile>> rows;
    try {
      const RunRecordHeader header = ReadRunRecordFile(file, [&](const RunRecordRow& row) {
        if (!row.Written()) return;
        OwnFile written{.pdfSha256 = {}, .pdfSize = row.pdfSize};
        std::copy_n(row.pdfSha256.begin(), written.pdfSha256.size(), written.pdfSha256.begin());
        rows.emplace_back(FoldedKey(row.file), written);
      });
      if (header.projectNumber != projectNumber) continue;
    } catch (const std::exception&) {
      continue;
    }
    own.insert(rows.begin(), rows.end());
  }
  return own;
}

// Whether the file under `name` is one an earlier run wrote and nobody changed since: its size
// and its SHA-256 as that run recorded them.
bool IsOwnUnchanged(const OutputFolder& folder, const std::string& name, const OwnFileMap& own) {
  const auto [first, last] = own.equal_range(FoldedKey(name));
  for (auto it = first; it != last; ++it) {
    RunRecordRow written;
    written.pdfSha256.assign(it->second.pdfSha256.begin(), it->second.pdfSha256.end());
    written.pdfSize = it->second.pdfSize;
    if (CheckRecordedPdf(folder.Path() / name, written, kAnySize) == PdfState::Same) return true;
  }
  return false;
}

// Whether the folder holds anything besides run records and temporary files; an empty folder
// needs no look at every name.
bool HoldsOtherFiles(const std::filesystem::path& folder) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (!IsRunRecordFileName(name) && !(name.starts_with('.') && name.find(".tmp") != name.npos))
      return true;
  }
  return false;
}

}  // namespace

std::string SkippedRowsText(std::size_t count, const std::vector<std::size_t>& listed) {
  if (count == 0) return {};
  std::string text = std::to_string(count) +
                     (count == 1 ? " leere Zeile übersprungen: " : " leere Zeilen übersprungen: ");
  for (std::size_t i = 0; i < listed.size(); ++i)
    text += (i > 0 ? ", " : "") + std::to_string(listed[i]);
  if (count > listed.size()) text += ", …";
  return text;
}

SerialOutcome RunSerial(const SerialRun& run, const Clock& clock,
                        const std::function<bool(std::size_t written)>& onWritten) {
  SerialOutcome outcome;
  const std::size_t last = std::min(run.lastRow, run.table->RowCount());
  if (run.firstRow < 1 || run.firstRow > last) return outcome;
  outcome.total = last - run.firstRow + 1;
  // The checksums are made on the workers, where an exception would end the program: without the
  // checksum module the run does not start.
  if (std::string problem = Sha256Problem(); !problem.empty()) {
    outcome.failure = std::move(problem);
    return outcome;
  }

  std::optional<OutputFolder> folder;
  try {
    folder.emplace(run.folder);
  } catch (const FileError& e) {
    outcome.failure =
        "Der Zielordner kann nicht angelegt werden: " + run.folder.string() + "\n" + e.Reason();
    return outcome;
  }
  const bool whole = run.firstRow == 1 && last == run.table->RowCount();
  // Two runs at once into one folder would replace each other's files and records.
  if (!folder->Claim(whole)) {
    outcome.failure = "In den Zielordner " + run.folder.string() +
                      " schreibt gerade ein anderer Serienlauf; es wurde nichts geschrieben.";
    return outcome;
  }
  // Leftovers of killed runs: a temporary file whose writer's lock is free is a dead writer's.
  RemoveUnlockedTemporaryFiles(run.folder);

  const PdfFileNamer names(*run.table, run.naming, last, run.firstRow);
  const std::string recordName =
      whole ? RunRecordFileName()
            : RunRecordFileName(std::pair<std::uint64_t, std::uint64_t>(run.firstRow, last));
  const std::string& number = run.project->projectNumber;

  // Nothing is replaced that this project's runs did not write, unless asked for.
  const OutputFolder::Entry recordEntry = folder->Look(recordName);
  if (recordEntry == OutputFolder::Entry::Other) {
    outcome.failure = "Die Serien-PDF-Liste " + (run.folder / recordName).string() +
                      " ist eine Verknüpfung oder keine gewöhnliche Datei; sie wird nicht "
                      "überschrieben.";
    return outcome;
  }
  if (!run.overwrite) {
    auto foreign = [&](const std::string& name) {
      if (outcome.foreignFiles.size() < kListedRows) outcome.foreignFiles.push_back(name);
      ++outcome.foreignCount;
    };
    if (recordEntry == OutputFolder::Entry::RegularFile) {
      try {
        if (ReadRunRecordFile(run.folder / recordName, [](const RunRecordRow&) {}).projectNumber !=
            number)
          foreign(recordName);
      } catch (const std::exception&) {
        foreign(recordName);
      }
    }
    if (HoldsOtherFiles(run.folder)) {
      // A file of an earlier run that changed since (a PDF edited by hand) is no longer the run's
      // to replace.
      const auto own = OwnFiles(*folder, number);
      for (std::size_t row = run.firstRow; row <= last; ++row) {
        const std::string name = names.NameOfRow(row);
        // Links and other non-regular names are refused row by row below.
        if (folder->Look(name) == OutputFolder::Entry::RegularFile &&
            !IsOwnUnchanged(*folder, name, own))
          foreign(name);
      }
    }
    if (outcome.foreignCount > 0) return outcome;
  }

  std::optional<RunRecordWriter> record;
  try {
    record.emplace(run.folder / recordName, HeaderOf(run, last));
  } catch (const FileError& e) {
    outcome.failure =
        "Die Serien-PDF-Liste kann nicht angelegt werden: " + (run.folder / recordName).string() +
        "\n" + e.Reason();
    return outcome;
  }

  std::mutex mutex;  // guards the outcome, the record, the failure row and onWritten
  std::atomic<std::size_t> nextRow{run.firstRow};
  std::atomic<bool> stop{false};
  std::size_t failedRow = 0;
  std::string recordFailure;

  auto addToRecord = [&](std::string_view entry) {
    if (!recordFailure.empty()) return;
    try {
      record->AddEntry(entry);
    } catch (const FileError& e) {
      recordFailure = e.Reason();
      stop = true;
    }
  };
  auto fail = [&](std::size_t row, const std::string& text) {
    std::lock_guard lock(mutex);
    stop = true;
    if (failedRow == 0 || row < failedRow) {
      failedRow = row;
      outcome.failure = text;
    }
  };
  auto refuse = [&](std::size_t row, const std::string& text) {
    std::lock_guard lock(mutex);
    ++outcome.failedCount;
    outcome.failedRows.push_back({row, text});
    std::sort(outcome.failedRows.begin(), outcome.failedRows.end(),
              [](const FailedRow& a, const FailedRow& b) { return a.row < b.row; });
    if (outcome.failedRows.size() > kListedRows) outcome.failedRows.pop_back();
    addToRecord(RunRecordWriter::Entry(
        {.row = row, .file = {}, .cellsSha256 = {}, .pdfSha256 = {}, .error = text, .pdfSize = {}}));
  };

  auto skip = [&](std::size_t row) {
    std::lock_guard lock(mutex);
    ++outcome.skippedCount;
    ListRow(outcome.skippedRows, row);
    addToRecord(RunRecordWriter::Entry({.row = row,
                                        .file = {},
                                        .cellsSha256 = {},
                                        .pdfSha256 = {},
                                        .error = "leere Zeile übersprungen",
                                        .pdfSize = std::nullopt,
                                        .skipped = true}));
  };

  auto work = [&]() {
    std::optional<SerialPrinter> printer;
    try {
      printer.emplace(*run.project, run.link, clock);
    } catch (const std::exception& e) {
      fail(run.firstRow, std::string("Die Serien-PDFs können nicht erstellt werden: ") + e.what());
      return;
    }
    std::string text;
    std::vector<std::string_view> pdf;
    // The PDFs begin with the background picture, the same in every row: hashed once.
    PrefixSha256 pdfHash;
    while (!stop) {
      const std::size_t row = nextRow++;
      if (row > last) break;
      const std::string name = names.NameOfRow(row);
      const std::filesystem::path file = run.folder / name;
      const std::vector<std::string> cells = run.table->Row(row - 1);
      if (IsEmptyRow(cells)) {
        skip(row);
        continue;
      }
      try {
        printer->PrintTo(cells, text, pdf);
        folder->Write(name, pdf);
      } catch (const graphics::CodeError& e) {
        // So does a code its kind cannot encode with the row's data.
        refuse(row, "Zeile " + std::to_string(row) + " (" + name + "): " + e.what());
        continue;
      } catch (const pdf::EPdfMissingCharacters& e) {
        // Text that no installed font can print fails its row alone; the run goes on.
        refuse(row, "Zeile " + std::to_string(row) + " (" + name + "): " + e.what());
        continue;
      } catch (const FileError& e) {
        const int error = e.error_number();
        if (error == ELOOP || error == EINVAL || error == EISDIR) {
          refuse(row, "Die PDF-Datei für Zeile " + std::to_string(row) + " (" + file.string() +
                          ") wird nicht geschrieben: " +
                          (error == ELOOP
                               ? std::string("Der Name ist eine Verknüpfung (symbolischer Link).")
                               : e.Reason()));
          continue;
        }
        fail(row, "Die PDF-Datei für Zeile " + std::to_string(row) + " (" + file.string() +
                      ") kann nicht geschrieben werden: " + e.Reason());
        break;
      } catch (const std::exception& e) {
        fail(row, "Die PDF-Datei für Zeile " + std::to_string(row) +
                      " kann nicht erstellt werden: " + e.what());
        break;
      }
      // The row's checksums and its line in the record are made before the lock.
      const std::string entry = RunRecordWriter::Entry({.row = row,
                                                        .file = name,
                                                        .cellsSha256 = CellsSha256(cells),
                                                        .pdfSha256 = pdfHash.HexDigest(pdf),
                                                        .error = {},
                                                        .pdfSize = SizeOf(pdf)});
      std::lock_guard lock(mutex);
      addToRecord(entry);
      ++outcome.written;
      if (onWritten && !onWritten(outcome.written)) {
        outcome.cancelled = true;
        stop = true;
      }
    }
  };

  const unsigned jobs = static_cast<unsigned>(std::clamp<std::size_t>(run.jobs, 1, outcome.total));
  if (jobs == 1) {
    work();
  } else {
    std::vector<std::jthread> workers;
    for (unsigned i = 0; i < jobs; ++i) workers.emplace_back(work);
  }

  // One sync for all PDFs, then the record that names them: a PDF counts as delivered only when
  // the record lists it.
  if (recordFailure.empty() &&
      (outcome.written > 0 || outcome.failedCount > 0 || outcome.skippedCount > 0)) {
    try {
      folder->Sync();
      // A run that stopped early says so in its record, which still lists what it wrote.
      record->Commit(!outcome.failure.empty() ? outcome.failure
                     : outcome.cancelled      ? std::string("Der Lauf wurde abgebrochen.")
                                              : std::string());
      outcome.record = run.folder / recordName;
    } catch (const FileError& e) {
      recordFailure = e.Reason();
    }
  }
  if (!recordFailure.empty() && outcome.failure.empty()) {
    outcome.failure = "Die Serien-PDF-Liste " + (run.folder / recordName).string() +
                      " kann nicht geschrieben werden: " + recordFailure;
  }
  if (!outcome.failure.empty()) {
    outcome.failure += "\nDer Lauf wurde angehalten; " + Plural(outcome.written) + " geschrieben.";
  }
  return outcome;
}

OnePdfOutcome RunSerialOnePdf(const SerialRun& run, const std::filesystem::path& file,
                              const Clock& clock,
                              const std::function<bool(std::size_t written)>& onWritten) {
  OnePdfOutcome outcome;
  const std::size_t last = std::min(run.lastRow, run.table->RowCount());
  if (run.firstRow < 1 || run.firstRow > last) {
    outcome.failure = "Die CSV-Datei hat keine Zeile für die PDF-Datei.";
    return outcome;
  }
  std::size_t row = run.firstRow;
  try {
    SerialPrinter printer(*run.project, run.link, clock);
    printer.StartSeries(file, run.sheets);
    for (; row <= last; ++row) {
      const std::vector<std::string> cells = run.table->Row(row - 1);
      if (IsEmptyRow(cells)) {
        ++outcome.skippedCount;
        ListRow(outcome.skippedRows, row);
        continue;
      }
      printer.PrintRow(cells);
      ++outcome.rows;
      if (onWritten && !onWritten(outcome.rows)) {
        outcome.cancelled = true;
        return outcome;  // the printer goes, and the unfinished file with it
      }
    }
    if (outcome.rows == 0) {
      outcome.failure =
          "Alle Zeilen der CSV-Datei sind leer: es wurde keine PDF-Datei geschrieben.";
      return outcome;  // the printer goes, and the unfinished file with it
    }
    outcome.bytes = printer.FinishSeries();
    outcome.cardsPerSheet = printer.CardsPerSheet();
    outcome.pages = run.sheets ? outcome.cardsPerSheet.size()
                               : outcome.rows * static_cast<std::size_t>(run.project->pageCount);
  } catch (const report::SheetError& e) {
    // The card, not a row: it does not fit the sheets asked for.
    outcome.failure = std::string(e.what()) + "\nEs wurde keine PDF-Datei geschrieben.";
  } catch (const FileError& e) {
    outcome.failure = "Die PDF-Datei " + file.string() +
                      " kann nicht geschrieben werden: " + e.Reason() +
                      "\nEs wurde keine PDF-Datei geschrieben.";
  } catch (const std::exception& e) {
    outcome.failure = (row <= last ? "Zeile " + std::to_string(row) + ": " : std::string()) +
                      e.what() + "\nEs wurde keine PDF-Datei geschrieben.";
  }
  return outcome;
}

}  // namespace quirabel::serial
