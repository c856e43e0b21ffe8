#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/print_module.h"
#include "report/sheet_output.h"

namespace quirabel::app {

class Application;

// How long the print service may keep us waiting for an answer before printing gives up.
inline constexpr int kPrintTimeoutSeconds = 20;

// Sends a PDF made by us to a printer, unchanged; the job's number, or none after a message on
// the platform ("Drucken ging nicht: …"). A job without a title is named after the project file.
std::optional<int> PrintPdfBytes(Application& application, std::string_view pdf,
                                 PrintOptions options);
// The same for a PDF file we wrote (a series), sent from the file as it lies, without a copy.
std::optional<int> PrintPdfFile(Application& application, const std::filesystem::path& file,
                                const PrintOptions& options);

// Prints the open document: every page, or its card as copies on `sheets`, exactly the bytes the
// export would write. The job's number, or none after a message.
std::optional<int> PrintDocument(Application& application, const PrintOptions& options,
                                 const std::optional<report::SheetRequest>& sheets);

// The printers the print service offers, the default first; none after a message when there is
// no print service.
std::optional<std::vector<std::string>> ListPrinters(Application& application);

}  // namespace quirabel::app
