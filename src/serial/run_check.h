#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "serial/link_file.h"

namespace quirabel::serial {

// What the run records of one output folder say about a series, held against its CSV file and
// the PDFs in the folder: whether every row of the CSV is there exactly once. Shards of one
// series (--rows A-B on several machines or array tasks) write one record each into the same
// folder; a gap between them, an overlap, a failed row or a PDF changed after its run all show.
struct RunCheck {
  std::filesystem::path csvFile;
  std::uint64_t csvRows = 0;
  std::uint64_t recordCount = 0;
  std::uint64_t printedOnce = 0;
  // Rows no record lists as written, as ranges first…last.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> missing;
  // Rows listed as written by more than one record (overlapping shards).
  std::vector<std::uint64_t> twice;
  std::uint64_t twiceCount = 0;
  // Rows that failed and were not written by another record, with their reason.
  std::vector<std::pair<std::uint64_t, std::string>> failed;
  std::uint64_t failedCount = 0;
  // Written rows whose PDF is missing, not a regular file or not the bytes the record names,
  // or whose CSV row changed since: row and what is wrong (German).
  std::vector<std::pair<std::uint64_t, std::string>> mismatched;
  std::uint64_t mismatchedCount = 0;
  // Problems with the records themselves: unreadable, of another CSV file, rows beyond the CSV.
  std::vector<std::string> problems;

  bool Complete() const {
    return problems.empty() && missing.empty() && twiceCount == 0 && failedCount == 0 &&
           mismatchedCount == 0 && printedOnce == csvRows;
  }
};

// How many rows, reasons and PDFs a check keeps to tell; the counts are always whole.
inline constexpr std::size_t kRunCheckListed = 10;

// Checks a folder. The CSV file and its separator come from `link` when given, else from the
// records (all of which must then name the same file). Never throws for what it finds; a CSV
// file that cannot be read is a problem of the check.
RunCheck CheckRuns(const std::filesystem::path& folder, const std::optional<LinkFile>& link);

// The check in German: a line for each kind of finding (at most kRunCheckListed items each), then
// one last line that says whether the series is complete.
std::string DescribeRunCheck(const RunCheck& check);

}  // namespace quirabel::serial
