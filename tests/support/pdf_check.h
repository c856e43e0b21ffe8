#pragma once

// Test helpers that check PDF files written by our writer. libqpdf reads the file; on top of it a
// few checks of our own for what the usual tools do not look at (xref layout, stream lengths, page
// tree, resources used by content streams, image sizes), plus what `qpdf --check` does.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace quirabel::testing {

struct PdfCheckResult {
  std::vector<std::string> problems;
  bool ok() const { return problems.empty(); }
};

// Checks the file structure; never crashes on garbage, every fault becomes a problem string, and
// so does every warning libqpdf gives while reading the objects ("qpdf: ...").
PdfCheckResult CheckPdfStructure(std::string_view bytes);

// Runs a command line via the shell with stdin from /dev/null, capturing exit code, stdout and
// stderr. exitCode is 128 + signal number if the command was killed, -1 if it could not start.
struct ToolRun {
  int exitCode;
  std::string out;
  std::string err;
};
ToolRun RunTool(const std::string& commandLine);

// Whether `name` is a command found on PATH, e.g. "qpdf" or "pdftotext".
bool ToolAvailable(const std::string& name);

// Runs CheckPdfStructure and, in process, what `qpdf --check` does (a write with every stream
// decoded, every page's contents read; any warning fails it, as the program's exit code 3 does),
// ADD_FAILUREs with every problem and returns whether all was clean. A failing file is kept in a
// temp file named in the result.
::testing::AssertionResult IsValidPdf(std::string_view bytes);

// The size of each page (its media box, own or inherited) as libqpdf reads the file; none, after
// an ADD_FAILURE, when it cannot read it.
struct PdfPage {
  double width;
  double height;
  // Spelled out: this header is also compiled as C++17 (see tests/CMakeLists.txt).
  friend bool operator==(const PdfPage& a, const PdfPage& b) {
    return a.width == b.width && a.height == b.height;
  }
  friend void PrintTo(const PdfPage& page, std::ostream* out) {
    *out << page.width << " x " << page.height;
  }
};
std::vector<PdfPage> PdfPages(std::string_view bytes);

// Writes bytes to a new file under ::testing::TempDir() and returns its path ("" on failure,
// after an ADD_FAILURE).
std::string WriteTempFile(std::string_view bytes, const std::string& suffix = ".pdf");

// Quotes a string for the POSIX shell.
std::string ShellQuote(std::string_view s);

}  // namespace quirabel::testing
