#include "app/printing.h"

#include <limits>

#include "app/application.h"
#include "app/command_boundary.h"
#include "base/module.h"
#include "base/shared_bytes.h"

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
                                 PrintOptions options) {
  if (options.title.empty())
    options.title = std::filesystem::path(application.State().projectFileName).filename().string();
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

std::optional<int> PrintPdfFile(Application& application, const std::filesystem::path& file,
                                const PrintOptions& options) {
  std::optional<int> job;
  RunCommand(*application.GetPlatform(), [&] {
    const SharedBytes pdf = MapFile(file, std::numeric_limits<std::size_t>::max());
    job = PrintPdfBytes(application, pdf, options);
    return job.has_value();
  });
  return job;
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
