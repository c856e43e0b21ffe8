#include "app/printing.h"

#include "app/application.h"
#include "base/module.h"

namespace quirabel::app {

namespace {

// The printing module, opened on first use: only printing needs the printing library.
const ModuleTable<PrintModule>& Printing() {
  static const ModuleTable<PrintModule> loaded =
      OpenModuleTable<PrintModule>(kPrintModuleFile, kPrintModuleEntry, kPrintModuleAbi);
  return loaded;
}

}  // namespace

std::optional<int> PrintPdfBytes(Application& application, std::string_view pdf,
                                 const PrintOptions& options) {
  const ModuleTable<PrintModule>& printing = Printing();
  if (printing.table == nullptr) {
    application.GetPlatform()->ShowMessage("Drucken ging nicht: " + printing.problem + ".");
    return std::nullopt;
  }
  const PrintResult result = printing.table->printPdf(pdf, options, kPrintTimeoutSeconds);
  if (result.job == 0) {
    application.GetPlatform()->ShowMessage("Drucken ging nicht: " + result.problem + ".");
    return std::nullopt;
  }
  return result.job;
}

std::optional<int> PrintDocument(Application& application, const PrintOptions& options,
                                 const std::optional<report::SheetRequest>& sheets) {
  // The module first: without it nothing is made that could not be sent.
  if (Printing().table == nullptr) return PrintPdfBytes(application, {}, options);
  const std::optional<std::string> pdf =
      sheets ? application.ExportSheetPdfBytes(*sheets) : application.ExportPdfBytes();
  if (!pdf) return std::nullopt;
  return PrintPdfBytes(application, *pdf, options);
}

std::optional<std::vector<std::string>> ListPrinters(Application& application) {
  const ModuleTable<PrintModule>& printing = Printing();
  if (printing.table == nullptr) {
    application.GetPlatform()->ShowMessage("Drucken ging nicht: " + printing.problem + ".");
    return std::nullopt;
  }
  std::string problem;
  std::vector<std::string> printers = printing.table->listPrinters(kPrintTimeoutSeconds, problem);
  if (!problem.empty()) {
    application.GetPlatform()->ShowMessage("Drucken ging nicht: " + problem + ".");
    return std::nullopt;
  }
  return printers;
}

}  // namespace quirabel::app
