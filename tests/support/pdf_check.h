#pragma once

// Test helpers that check PDF files written by our writer: a structural checker of our own for
// what the usual tools do not look at (xref layout, stream lengths, page tree, resources used by
// content streams, image sizes) plus a run of `qpdf --check`.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace quirabel::testing {

struct PdfCheckResult {
  std::vector<std::string> problems;
  bool ok() const { return problems.empty(); }
};

// Checks the file structure; never crashes on garbage, every fault becomes a problem string.
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

// Runs CheckPdfStructure and `qpdf --check` on the bytes, ADD_FAILUREs with every problem (and
// qpdf's output) and returns whether all was clean. A missing qpdf is a failure, not a skip:
// scripts/setup.sh installs it. The temp file is removed when clean and kept otherwise.
::testing::AssertionResult IsValidPdf(std::string_view bytes);

// Writes bytes to a new file under ::testing::TempDir() and returns its path ("" on failure,
// after an ADD_FAILURE).
std::string WriteTempFile(std::string_view bytes, const std::string& suffix = ".pdf");

// Quotes a string for the POSIX shell.
std::string ShellQuote(std::string_view s);

}  // namespace quirabel::testing
