#include "serial/run_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "base/atomic_file.h"
#include "base/sha256.h"
#include "serial/csv_table.h"
#include "serial/run_record.h"
#include "serial/serial_error.h"

namespace quirabel::serial {

namespace {

// A PDF of a serial run is not expected to pass this; one in an older record (without its size)
// is read no further.
constexpr std::uint64_t kMaxCheckedPdfBytes = 4ull * 1024 * 1024 * 1024;

// What is wrong with a written row's PDF, or nothing. A name that is a link is not followed: the
// record's PDF is the file the run wrote there.
std::string PdfProblem(const std::filesystem::path& file, const RunRecordRow& row) {
  switch (CheckRecordedPdf(file, row, kMaxCheckedPdfBytes)) {
    case PdfState::Same:
      return {};
    case PdfState::Changed:
      return "PDF-Datei wurde nach dem Druck verändert";
    case PdfState::Missing:
      return "PDF-Datei fehlt";
    case PdfState::NotRegular:
      return "keine gewöhnliche Datei";
    case PdfState::TooLarge:
      return "PDF-Datei ist zu groß";
    case PdfState::Unreadable:
      break;
  }
  return "PDF-Datei nicht lesbar";
}

template <typename Item>
void Keep(std::vector<Item>& list, std::uint64_t& count, Item item) {
  ++count;
  if (list.size() < kRunCheckListed) list.push_back(std::move(item));
}

std::string RowRange(std::uint64_t first, std::uint64_t last) {
  return first == last ? std::to_string(first) : std::to_string(first) + "–" + std::to_string(last);
}

}  // namespace

RunCheck CheckRuns(const std::filesystem::path& folder, const std::optional<LinkFile>& link) {
  RunCheck check;
  const std::vector<std::filesystem::path> records = RunRecordFiles(folder);
  check.recordCount = records.size();
  if (records.empty()) {
    check.problems.push_back("Keine Serien-PDF-Liste in " + folder.string() + ".");
    return check;
  }

  // Which CSV file: the link's, else the one every record names.
  std::optional<char> separator;
  if (link) {
    check.csvFile = link->csvPath;
    separator = link->separator;
  }
  std::vector<RunRecordHeader> headers;
  for (const auto& file : records) {
    try {
      headers.push_back(ReadRunRecordFile(file, [](const RunRecordRow&) {}));
    } catch (const std::exception& error) {
      check.problems.push_back(file.filename().string() + ": " + error.what());
      headers.emplace_back();
    }
  }
  for (std::size_t i = 0; i < headers.size(); ++i) {
    if (!headers[i].stopped.empty())
      check.problems.push_back(records[i].filename().string() +
                               ": der Lauf endete vor seiner letzten Zeile: " + headers[i].stopped);
  }
  for (const auto& header : headers) {
    if (header.csvFile.empty()) continue;
    if (check.csvFile.empty()) check.csvFile = header.csvFile;
    if (!link && header.csvFile != check.csvFile.string()) {
      check.problems.push_back("Die Serien-PDF-Listen nennen verschiedene CSV-Dateien: " +
                               check.csvFile.string() + " und " + header.csvFile + ".");
      return check;
    }
  }
  std::optional<CsvTable> table;
  try {
    table = ReadCsvFile(check.csvFile, separator);
  } catch (const std::exception& error) {
    check.problems.push_back(error.what());
    return check;
  }
  check.csvRows = table->RowCount();

  // One byte a row: how many records wrote it (saturating), and whether one failed it.
  std::vector<std::uint8_t> written(check.csvRows, 0);
  std::vector<bool> failedOnce(check.csvRows, false);
  std::vector<std::pair<std::uint64_t, std::string>> failures;
  std::uint64_t beyond = 0;
  // A row written twice is counted below; one file named for two rows is a problem of the records.
  RecordedRowsCheck rowsCheck;
  std::uint64_t sharedFiles = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::string recordName = records[i].filename().string();
    try {
      ReadRunRecordFile(records[i], [&](const RunRecordRow& row) {
        if (row.row > check.csvRows) {
          ++beyond;
          return;
        }
        if (const auto conflict = rowsCheck.Note(row, recordName);
            conflict && conflict->sharedFile && ++sharedFiles <= kRunCheckListed) {
          check.problems.push_back(conflict->text + ".");
        }
        const std::size_t index = row.row - 1;
        if (row.skipped) {  // an empty row: nothing to print, done
          if (written[index] < 255) ++written[index];
          return;
        }
        if (!row.Written()) {
          if (!failedOnce[index] && failures.size() < 4 * kRunCheckListed) {
            failures.emplace_back(row.row, row.error);
          }
          failedOnce[index] = true;
          return;
        }
        if (written[index] < 255) ++written[index];
        std::string problem = PdfProblem(folder / row.file, row);
        if (problem.empty() && CellsSha256(table->Row(index)) != row.cellsSha256) {
          problem = "die CSV-Zeile hat sich seit dem Druck geändert";
        }
        if (!problem.empty()) {
          Keep(check.mismatched, check.mismatchedCount,
               {row.row, row.file + ": " + std::move(problem)});
        }
      });
    } catch (const std::exception&) {
      // Told above with the header.
    }
  }
  if (sharedFiles > kRunCheckListed) {
    check.problems.push_back("… und " + std::to_string(sharedFiles - kRunCheckListed) +
                             " weitere Zeilen mit der PDF-Datei einer anderen Zeile.");
  }
  if (beyond > 0) {
    check.problems.push_back(std::to_string(beyond) +
                             " Einträge nennen Zeilen, die die CSV-Datei nicht hat.");
  }

  std::uint64_t gapStart = 0;
  for (std::uint64_t row = 1; row <= check.csvRows; ++row) {
    const std::uint8_t count = written[row - 1];
    if (count == 1) ++check.printedOnce;
    if (count > 1) Keep(check.twice, check.twiceCount, row);
    if (count == 0 && failedOnce[row - 1]) {
      ++check.failedCount;
    }
    if (count == 0 && gapStart == 0) gapStart = row;
    if (count != 0 && gapStart != 0) {
      check.missing.emplace_back(gapStart, row - 1);
      gapStart = 0;
    }
  }
  if (gapStart != 0) check.missing.emplace_back(gapStart, check.csvRows);
  for (auto& failure : failures) {
    if (written[failure.first - 1] == 0 && check.failed.size() < kRunCheckListed) {
      check.failed.push_back(std::move(failure));
    }
  }
  return check;
}

std::string DescribeRunCheck(const RunCheck& check) {
  std::string text;
  for (const auto& problem : check.problems) text += problem + "\n";
  if (!check.missing.empty()) {
    std::uint64_t rows = 0;
    for (const auto& [first, last] : check.missing) rows += last - first + 1;
    text += "Nicht gedruckt: " + std::to_string(rows) + " Zeilen (";
    for (std::size_t i = 0; i < check.missing.size() && i < kRunCheckListed; ++i) {
      if (i > 0) text += ", ";
      text += RowRange(check.missing[i].first, check.missing[i].second);
    }
    if (check.missing.size() > kRunCheckListed) text += ", …";
    text += ").\n";
  }
  if (check.twiceCount > 0) {
    text +=
        "Mehrfach gedruckt (überlappende Teile): " + std::to_string(check.twiceCount) + " Zeilen (";
    for (std::size_t i = 0; i < check.twice.size(); ++i) {
      text += (i > 0 ? ", " : "") + std::to_string(check.twice[i]);
    }
    text += check.twiceCount > check.twice.size() ? ", …).\n" : ").\n";
  }
  for (const auto& [row, reason] : check.failed) {
    text += "Zeile " + std::to_string(row) + " fehlgeschlagen: " + reason + "\n";
  }
  for (const auto& [row, what] : check.mismatched) {
    text += "Zeile " + std::to_string(row) + ": " + what + "\n";
  }
  if (check.mismatchedCount > check.mismatched.size()) {
    text += "… und " + std::to_string(check.mismatchedCount - check.mismatched.size()) +
            " weitere abweichende PDF-Dateien.\n";
  }
  if (check.Complete()) {
    text += "Serie vollständig: " + std::to_string(check.csvRows) + " von " +
            std::to_string(check.csvRows) + " Zeilen, jede genau einmal (" +
            std::to_string(check.recordCount) +
            (check.recordCount == 1 ? " Serien-PDF-Liste).\n" : " Serien-PDF-Listen).\n");
  } else if (check.recordCount == 0) {
    text += "Serie unvollständig: keine Serien-PDF-Liste.\n";
  } else {
    text += "Serie unvollständig: " + std::to_string(check.printedOnce) + " von " +
            std::to_string(check.csvRows) + " Zeilen genau einmal gedruckt.\n";
  }
  return text;
}

}  // namespace quirabel::serial
