#include "serial/serial_run.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>

#include "base/atomic_file.h"
#include "base/random.h"
#include "designer/document_window.h"
#include "designer/element_kinds.h"
#include "designer/guide_lines.h"
#include "designer/projectfile/guide_line_string.h"
#include "designer/projectfile/records.h"
#include "pdf/pdf_errors.h"
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
    auto* window = new designer::DocumentWindow(root_.get(), state_);
    pages_.push_back(window);
    window->LoadPage(page);
    for (const designer::PageElement& element : window->Elements()) {
      const std::string field = designer::TextOf(*element.item).dataField;
      if (field.empty()) continue;
      if (const std::optional<int> column = AssignedColumn(link.assignments, field))
        dataFields_.push_back({element.item, *column});
    }
  }
  if (pages_.empty()) throw SerialError("Das Projekt hat keine Seite.");
  // Orderable documents print as an export does: every page with the guide lines of page 1, the
  // back side (page 2) mirrored.
  if (state_.orderDocument) {
    designer::GuideLines& front = pages_.front()->Guides();
    const std::string positions = front.Write();
    for (std::size_t i = 1; i < pages_.size(); ++i) {
      designer::DocumentWindow& window = *pages_[i];
      window.Guides().Apply(designer::projectfile::ReadGuideLineString(
          positions,
          {static_cast<std::uint8_t>(state_.verticalFolds),
           static_cast<std::uint8_t>(state_.horizontalFolds),
           static_cast<std::uint8_t>(state_.verticalPerforations),
           static_cast<std::uint8_t>(state_.horizontalPerforations)},
          window.pagePanel->Width(), window.pagePanel->Height()));
      if (i == 1) window.Guides().ShowBackSide();
    }
    front.ShowFrontSide();
  }
  report::TPReport& report = *pages_.front()->pdfReport;
  report.SetAuthor(designer::kProgramText);
  report.SetTitle(project.info.title);
  report.SetSubject(project.info.subject);
  report.SetKeywords(project.info.keywords);
  report.SetCreator(project.info.creator);
}

SerialPrinter::~SerialPrinter() = default;

void SerialPrinter::Print(const std::vector<std::string>& cells,
                          const std::filesystem::path& file) {
  for (const DataField& field : dataFields_) {
    const std::string_view cell = CellAt(cells, field.column);
    if (field.item->Kind() == report::ElementKind::Label) {
      static_cast<report::TPRLabel*>(field.item)->SetCaption(std::string(cell));
    } else if (field.item->Kind() == report::ElementKind::Text) {
      static_cast<report::TPRText*>(field.item)->SetText(cell);
    }
  }
  designer::DocumentWindow& first = *pages_.front();
  report::TPReport& report = *first.pdfReport;
  report.SetFileName(file.string());
  first.BeginPdf();
  try {
    for (designer::DocumentWindow* page : pages_) report.Print(*page->pagePanel);
    // Written here rather than through EndDoc, which tells the person itself: the run tells why,
    // with the row.
    // The run tidied its folder once at its start; a scan of the folder for every PDF would make
    // each PDF slower than the one before.
    report.Doc()->SaveToFile(file.string(), AtomicFileWriter::Leftovers::Skip);
  } catch (...) {
    report.Abort();
    throw;
  }
  report.Abort();
}

namespace {

std::string Plural(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " PDF-Datei wurde" : " PDF-Dateien wurden");
}

}  // namespace

SerialOutcome RunSerial(const SerialRun& run, const Clock& clock,
                        const std::function<bool(std::size_t written)>& onWritten) {
  SerialOutcome outcome;
  const std::size_t last = std::min(run.lastRow, run.table->RowCount());
  if (run.firstRow < 1 || run.firstRow > last) return outcome;
  outcome.total = last - run.firstRow + 1;
  const PdfFileNamer names(*run.table, run.naming, last);

  std::error_code folderError;
  std::filesystem::create_directories(run.folder, folderError);
  if (!std::filesystem::is_directory(run.folder)) {
    outcome.failure = "Der Zielordner kann nicht angelegt werden: " + run.folder.string();
    return outcome;
  }
  // Leftovers of killed saves into this folder go once, here, not with every PDF.
  RemoveStaleTemporaryFiles(run.folder);

  std::mutex mutex;  // guards the outcome, the failure row and onWritten
  std::atomic<std::size_t> nextRow{run.firstRow};
  std::atomic<bool> stop{false};
  std::size_t failedRow = 0;
  // Rows whose text no installed font can print: each fails alone, the run goes on.
  std::vector<std::pair<std::size_t, std::string>> rowFailures;

  auto fail = [&](std::size_t row, const std::string& text) {
    std::lock_guard lock(mutex);
    stop = true;
    if (failedRow == 0 || row < failedRow) {
      failedRow = row;
      outcome.failure = text;
    }
  };

  auto work = [&]() {
    std::optional<SerialPrinter> printer;
    try {
      printer.emplace(*run.project, run.link, clock);
    } catch (const std::exception& e) {
      fail(run.firstRow, std::string("Die Serien-PDFs können nicht erstellt werden: ") + e.what());
      return;
    }
    while (!stop) {
      const std::size_t row = nextRow++;
      if (row > last) break;
      const std::filesystem::path file = run.folder / names.NameOfRow(row);
      try {
        printer->Print(run.table->Row(row - 1), file);
      } catch (const pdf::EPdfMissingCharacters& e) {
        std::lock_guard lock(mutex);
        rowFailures.emplace_back(row, "Zeile " + std::to_string(row) + " (" +
                                          file.filename().string() + "): " + e.what());
        continue;
      } catch (const FileError& e) {
        fail(row, "Die PDF-Datei für Zeile " + std::to_string(row) + " (" + file.string() +
                      ") kann nicht geschrieben werden: " + e.Reason());
        break;
      } catch (const std::exception& e) {
        fail(row, "Die PDF-Datei für Zeile " + std::to_string(row) +
                      " kann nicht erstellt werden: " + e.what());
        break;
      }
      std::lock_guard lock(mutex);
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
  if (!outcome.failure.empty()) {
    outcome.failure += "\nDer Lauf wurde angehalten; " + Plural(outcome.written) + " geschrieben.";
  }
  if (!rowFailures.empty()) {
    std::sort(rowFailures.begin(), rowFailures.end());
    std::string rows;
    for (const auto& [row, text] : rowFailures) rows += text + "\n";
    if (outcome.failure.empty()) {
      outcome.failure = rows + Plural(outcome.written) + " geschrieben; " +
                        std::to_string(rowFailures.size()) +
                        (rowFailures.size() == 1 ? " Zeile konnte" : " Zeilen konnten") +
                        " nicht gedruckt werden.";
    } else {
      outcome.failure = rows + outcome.failure;
    }
  }
  return outcome;
}

}  // namespace quirabel::serial
