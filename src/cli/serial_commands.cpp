#include "cli/serial_commands.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <set>
#include <stdexcept>
#include <thread>

#include "app/printing.h"
#include "app/program_folder.h"
#include "app/serial_pdf.h"
#include "cli/batch_commands.h"
#include "cli/progress_line.h"
#include "base/scratch_folder.h"
#include "base/shared_bytes.h"
#include "designer/element_kinds.h"
#include "designer/projectfile/page_text.h"
#include "serial/run_check.h"
#include "serial/series_settings.h"

namespace quirabel::cli {

char CsvSeparatorOf(const std::string& text) {
  if (text == "\\t" || text == "Tab" || text == "tab") return '\t';
  if (text.size() != 1 || text[0] == '"' || text[0] == '\r' || text[0] == '\n')
    throw std::invalid_argument("--sep braucht ein Zeichen (oder Tab)");
  return text[0];
}

namespace {

// A whole number from 1 on, or none.
std::optional<std::size_t> Positive(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  std::size_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::size_t>(c - '0');
  }
  if (value == 0) return std::nullopt;
  return value;
}

// The data fields of every page of the open project, read from the stored pages without building
// any of them. A page that cannot be read is told and left out.
std::set<std::string> ProjectDataFields(app::Application& application) {
  std::set<std::string> fields;
  for (const SharedBytes& text : application.State().pageTexts) {
    try {
      for (std::string& field : designer::DataFieldsOf(designer::projectfile::ReadPageText(text)))
        fields.insert(std::move(field));
    } catch (const designer::projectfile::ProjectFileError& e) {
      application.GetPlatform()->ShowMessage(e.what());
    }
  }
  return fields;
}

}  // namespace

std::string DesignerProgramFolder() { return app::ProgramFolderPath().string(); }

int RunLinkCall(const LinkCall& call, app::Application& application, BatchPlatform& platform) {
  if (call.csv.empty()) throw std::invalid_argument("link braucht --csv DATEI");
  if (call.maps.empty()) throw std::invalid_argument("link braucht --map FELD=SPALTE");
  std::optional<char> separator;
  if (!call.separator.empty()) separator = CsvSeparatorOf(call.separator);
  std::vector<std::pair<std::string, std::size_t>> maps;
  for (const std::string& map : call.maps) {
    const std::size_t equals = map.rfind('=');
    if (equals == std::string::npos || equals == 0)
      throw std::invalid_argument("--map braucht FELD=SPALTE, nicht " + map);
    const std::optional<std::size_t> column = Positive(map.substr(equals + 1));
    if (!column) throw std::invalid_argument("--map braucht eine Spaltennummer ab 1: " + map);
    maps.emplace_back(map.substr(0, equals), *column);
  }

  app::SerialPdf serialPdf(application);
  if (call.output.empty() && !serialPdf.CheckProjectNumber()) return kExitFailed;
  serial::LinkFile link;
  std::error_code error;
  link.csvPath = std::filesystem::absolute(call.csv, error).lexically_normal().string();
  if (error) link.csvPath = call.csv;
  // The file is read as the run will read it: it must be there, and its columns tell the range.
  serial::LinkFile probe = link;
  probe.separator = separator.value_or('\0');
  std::optional<serial::CsvTable> table;
  if (separator) {
    table = serialPdf.ReadCsv(probe);
  } else {
    std::error_code missing;
    if (!std::filesystem::exists(link.csvPath, missing)) {
      platform.ShowMessage("Die CSV-Datei gibt es nicht: " + link.csvPath);
      return kExitFailed;
    }
    try {
      table = serial::ReadCsvFile(link.csvPath);
    } catch (const std::exception& e) {
      platform.ShowMessage(e.what());
      return kExitFailed;
    }
  }
  if (!table) return kExitFailed;
  link.separator = table->Separator();

  const std::set<std::string> fields = ProjectDataFields(application);
  for (const auto& [field, column] : maps) {
    if (!fields.contains(field)) {
      platform.ShowMessage("Das Projekt hat kein Datenfeld " + field + ".");
      return kExitFailed;
    }
    if (column > static_cast<std::size_t>(table->ColumnCount())) {
      platform.ShowMessage("Die CSV-Datei hat nur " + std::to_string(table->ColumnCount()) +
                           " Spalten; Spalte " + std::to_string(column) + " gibt es nicht.");
      return kExitFailed;
    }
    // A field named twice takes the last column given.
    const std::string entryStart = field + "  ->";
    std::erase_if(link.assignments, [&entryStart](const std::string& entry) {
      return entry.starts_with(entryStart);
    });
    link.assignments.push_back(serial::AssignmentEntry(field, static_cast<int>(column)));
  }
  const std::filesystem::path file =
      call.output.empty() ? serialPdf.ProjectLinkFile() : std::filesystem::path(call.output);
  if (!serialPdf.WriteLink(file, link)) return kExitFailed;
  std::cout << "Verknüpfungsdatei geschrieben: " << file.string() << "\n";
  return kExitOk;
}

std::string PrinterText(const app::PrintOptions& options) {
  return options.printer.empty() ? std::string("den Standarddrucker")
                                 : "„" + options.printer + "“";
}

int RunSerialCall(const SerialCall& call, app::Application& application) {
  if (call.folder.empty() && call.onePdf.empty() && !call.print)
    throw std::invalid_argument("serial braucht -o ORDNER");
  app::SerialRequest request;
  request.folder = call.folder;
  if (!call.column.empty() && !call.prefix.empty())
    throw std::invalid_argument("serial nimmt entweder --column oder --prefix");
  if (!call.column.empty()) {
    const auto column = Positive(call.column);
    if (!column) throw std::invalid_argument("--column braucht eine Spaltennummer ab 1");
    request.naming.column = static_cast<int>(*column);
  }
  if (!call.prefix.empty()) request.naming.identifier = call.prefix;
  if (!call.rows.empty()) {
    const std::size_t dash = call.rows.find('-');
    const auto first = Positive(call.rows.substr(0, dash));
    const auto last = dash == std::string::npos ? first : Positive(call.rows.substr(dash + 1));
    if (!first || !last || *last < *first)
      throw std::invalid_argument("--rows braucht A-B mit 1 <= A <= B");
    request.firstRow = *first;
    request.lastRow = *last;
  }
  request.jobs = std::max(1u, std::thread::hardware_concurrency());
  if (!call.jobs.empty()) {
    const auto jobs = Positive(call.jobs);
    if (!jobs || *jobs > 1024)
      throw std::invalid_argument("--jobs braucht eine Zahl von 1 bis 1024");
    request.jobs = static_cast<unsigned>(*jobs);
  }

  request.overwrite = call.overwrite;
  request.sheets = call.sheets;

  app::SerialPdf serialPdf(application);
  if (call.link.empty() && !serialPdf.CheckProjectNumber()) return kExitFailed;
  request.linkFile =
      call.link.empty() ? serialPdf.ProjectLinkFile() : std::filesystem::path(call.link);
  if (std::error_code error; !call.link.empty() && !std::filesystem::exists(call.link, error)) {
    // A link file named on the command line is named back, not taken for a project never linked.
    std::cerr << "quirabel-batch: Die Verknüpfungsdatei gibt es nicht: " << call.link << "\n";
    return kExitFailed;
  }
  const std::optional<serial::LinkFile> link = serialPdf.ReadLink(request.linkFile);
  if (!link) return kExitFailed;
  const std::optional<serial::CsvTable> table = serialPdf.ReadCsv(*link);
  if (!table) return kExitFailed;
  // Without a naming given, the PDFs are named as the project's last series was.
  const std::filesystem::path seriesFile = serial::SeriesSettingsPath(request.linkFile);
  if (call.column.empty() && call.prefix.empty() && call.onePdf.empty()) {
    if (const auto series = serial::ReadSeriesSettings(seriesFile);
        series && !series->naming.empty()) {
      const serial::Naming naming = serial::NamingFromText(series->naming);
      if (naming.column <= table->ColumnCount()) {
        request.naming = naming;
        std::cout << "Dateinamen nach " << series->naming
                  << " wie beim letzten Lauf (anders mit --column oder --prefix).\n";
      }
    }
  }
  if (request.naming.column > table->ColumnCount()) {
    throw std::invalid_argument("--column " + std::to_string(request.naming.column) +
                                ": die CSV-Datei hat nur " + std::to_string(table->ColumnCount()) +
                                " Spalten");
  }
  if (request.firstRow > table->RowCount()) {
    // A part of a split run past the end of the file: nothing to print, and nothing wrong.
    std::cout << (request.firstRow == request.lastRow
                      ? "Die Zeile " + std::to_string(request.firstRow) + " gibt"
                      : "Die Zeilen " + std::to_string(request.firstRow) + "–" +
                            std::to_string(request.lastRow) + " gibt")
              << " es nicht; die CSV-Datei hat " << table->RowCount()
              << (table->RowCount() == 1 ? " Zeile.\n" : " Zeilen.\n");
    return kExitOk;
  }

  // A progress line on a terminal, a few times a second at most.
  const std::size_t first = request.firstRow;
  const std::size_t total =
      first > table->RowCount() ? 0 : std::min(request.lastRow, table->RowCount()) - first + 1;
  std::optional<ProgressLine> progress;
  if (!call.onePdf.empty() || call.print) {
    // For a printer, the series goes into a scratch file of a folder of our own first, and is
    // sent from there: one job, without holding the whole series in memory.
    std::optional<ScratchFolder> scratch;
    std::filesystem::path output = call.onePdf;
    if (call.print) {
      scratch.emplace();
      output = scratch->Path() / "serie.pdf";
    }
    progress.emplace(std::cerr, StandardErrorIsTerminal() && !call.quiet, "Zeilen");
    const serial::OnePdfOutcome outcome =
        serialPdf.PrintOnePdf(*link, *table, request, output, [&](std::size_t written) {
          progress->Update(written, total);
          return true;
        });
    progress.reset();
    if (!outcome.failure.empty()) {
      std::cerr << "quirabel-batch: " << outcome.failure << "\n";
      return kExitFailed;
    }
    if (outcome.skippedCount > 0)
      std::cout << serial::SkippedRowsText(outcome.skippedCount, outcome.skippedRows) << "\n";
    if (call.sheets) {
      std::cout << report::SheetCountLines(outcome.cardsPerSheet,
                                           static_cast<std::size_t>(application.State().pageCount));
    }
    const std::string written =
        std::to_string(outcome.rows) + (outcome.rows == 1 ? " Zeile" : " Zeilen") + " auf " +
        std::to_string(outcome.pages) +
        (call.sheets ? (outcome.pages == 1 ? " Bogen" : " Bögen")
                     : (outcome.pages == 1 ? " Seite" : " Seiten"));
    if (call.print) {
      const auto job = app::PrintPdfFile(application, output, call.printOptions);
      if (!job) return kExitFailed;
      std::cout << written << " an " << PrinterText(call.printOptions) << " gesendet (Auftrag "
                << *job << ").\n";
      return kExitOk;
    }
    std::cout << written << " in " << call.onePdf << " geschrieben.\n";
    return kExitOk;
  }
  progress.emplace(std::cerr, StandardErrorIsTerminal() && !call.quiet, "PDF-Dateien");
  auto onWritten = [&](std::size_t written) {
    progress->Update(written, total);
    return true;
  };
  const serial::SerialOutcome outcome =
      serialPdf.Print(*link, *table, request, onWritten, /*tell=*/false);
  progress.reset();  // ends its line before the summary
  if (outcome.written > 0) {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(request.folder, error);
    serial::WriteSeriesSettings(seriesFile, {serial::NamingText(request.naming),
                                             (error ? request.folder : folder).string()});
  }
  if (outcome.foreignCount > 0) {
    std::cerr << "quirabel-batch: " << outcome.foreignCount
              << (outcome.foreignCount == 1 ? " Datei gibt" : " Dateien gibt")
              << " es schon im Zielordner, die kein Lauf dieses Projekts so geschrieben hat "
                 "(fremd oder seither geändert); es wurde nichts geschrieben (mit --overwrite "
                 "werden sie ersetzt):\n";
    for (const std::string& name : outcome.foreignFiles) std::cerr << "  " << name << "\n";
    if (outcome.foreignCount > outcome.foreignFiles.size()) std::cerr << "  …\n";
    return kExitFailed;
  }
  for (const serial::FailedRow& row : outcome.failedRows)
    std::cerr << "quirabel-batch: " << row.reason << "\n";
  if (outcome.failedCount > outcome.failedRows.size()) {
    std::cerr << "quirabel-batch: … und " << outcome.failedCount - outcome.failedRows.size()
              << " weitere";
    if (!outcome.record.empty()) std::cerr << ", alle in " << outcome.record.filename().string();
    std::cerr << ".\n";
  }
  if (!outcome.failure.empty()) std::cerr << "quirabel-batch: " << outcome.failure << "\n";
  std::cout << outcome.written << (outcome.written == 1 ? " PDF-Datei" : " PDF-Dateien")
            << " geschrieben.\n";
  if (outcome.skippedCount > 0)
    std::cout << serial::SkippedRowsText(outcome.skippedCount, outcome.skippedRows) << "\n";
  return outcome.failure.empty() && outcome.failedCount == 0 ? kExitOk : kExitFailed;
}

int RunVerifyCall(const SerialCall& call, BatchPlatform& platform) {
  std::optional<serial::LinkFile> link;
  if (!call.link.empty()) {
    try {
      link = serial::ReadLinkFile(call.link);
    } catch (const std::exception& e) {
      platform.ShowMessage(e.what());
      return kExitFailed;
    }
  }
  const serial::RunCheck check = serial::CheckRuns(call.verify, link);
  std::cout << serial::DescribeRunCheck(check);
  return check.Complete() ? kExitOk : kExitFailed;
}

}  // namespace quirabel::cli
