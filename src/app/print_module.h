#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quirabel::app {

// How a job prints on both sides of the paper.
enum class Duplex { printerDefault, off, longEdge, shortEdge };

// What a print job asks of the printer beside the document.
struct PrintOptions {
  std::string printer;  // empty: the system's default printer
  int copies = 1;
  Duplex duplex = Duplex::printerDefault;
  std::string title;  // the job's name in the printer's queue
};

// The answer of the print module: the job's number, or why there is none (a German sentence
// without its full stop).
struct PrintResult {
  int job = 0;
  std::string problem;
};

// The printing module (print.so, over libcups), opened on first use, so that no other command
// loads the printing library. It comes from the same build as the programs; `abi` turns away a
// copy of another.
struct PrintModule {
  int abi;
  // Sends `pdf` unchanged as one job of type application/pdf. Gives up after `timeoutSeconds`
  // without an answer from the print service.
  PrintResult (*printPdf)(std::string_view pdf, const PrintOptions& options, int timeoutSeconds);
  // The printers the print service offers, the default first; `problem` when there is no service.
  std::vector<std::string> (*listPrinters)(int timeoutSeconds, std::string& problem);
};

inline constexpr int kPrintModuleAbi = 1;
inline constexpr char kPrintModuleFile[] = "print.so";
inline constexpr char kPrintModuleEntry[] = "quirabel_print_module";

}  // namespace quirabel::app
