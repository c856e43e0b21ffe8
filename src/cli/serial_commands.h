#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/print_module.h"
#include "cli/batch_platform.h"
#include "report/sheet_output.h"

namespace quirabel::cli {

// `link`: what the command line asks for.
struct LinkCall {
  std::string csv;
  std::string separator;          // empty: detected from the file
  std::vector<std::string> maps;  // FELD=SPALTE
  std::string output;             // empty: the project's link file in the program folder
};

// `serial`: what the command line asks for.
struct SerialCall {
  std::string folder;
  std::string link;  // empty: the project's link file
  std::string column;
  std::string prefix;
  std::string rows;
  std::string jobs;
  std::string verify;  // --verify ORDNER: check the folder's run records instead of printing
  std::string onePdf;  // --one-pdf FILE: every row into this one PDF instead of a folder
  // --sheet and its options with --one-pdf: the rows as cards on printing sheets
  std::optional<report::SheetRequest> sheets;
  bool overwrite = false;
  bool quiet = false;  // no progress line
  // --print: every row (as with --one-pdf, into a scratch file) as one job to a printer
  bool print = false;
  app::PrintOptions printOptions;
};

// The designer's program folder, where the projects' link files live: $QUIRABEL_HOME, else
// $XDG_DATA_HOME/quirabel (~/.local/share/quirabel).
std::string DesignerProgramFolder();

// Both raise std::invalid_argument for a wrong call (the text in the words of the usage text);
// they give kExitOk or kExitFailed otherwise. The project is open in `application`.
// The value of "--sep": one character, or "\t", "Tab" or "tab" for a tab; std::invalid_argument
// (with the usage text's words) for anything else.
char CsvSeparatorOf(const std::string& text);

// The printer a job went to, as a sentence names it: "„Buero“", or "den Standarddrucker".
std::string PrinterText(const app::PrintOptions& options);

int RunLinkCall(const LinkCall& call, app::Application& application, BatchPlatform& platform);
int RunSerialCall(const SerialCall& call, app::Application& application);
// `serial --verify ORDNER [--link F]`: whether the run records in the folder cover every row of
// the CSV file exactly once, with the PDFs they name; kExitOk only then.
int RunVerifyCall(const SerialCall& call, BatchPlatform& platform);

}  // namespace quirabel::cli
