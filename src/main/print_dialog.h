#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "app/application.h"
#include "app/serial_pdf.h"
#include "report/sheet_output.h"

namespace quirabel::main {

// "Drucken…": the system's print dialog chooses the printer, the copies and both sides; the job
// is the export's own PDF (all pages, or the card on `sheets`) sent to that printer as it is.
// "Print to file" writes the same PDF to the file named there. `confirm` gets the line for the
// status bar when something was sent or written.
void PrintWithDialog(QWidget* parent, app::Application& application,
                     const std::optional<report::SheetRequest>& sheets,
                     const std::function<void(const QString&)>& confirm);

// The same for a PDF already made (the duplex test sheet).
void PrintPdfWithDialog(QWidget* parent, app::Application& application, const std::string& pdf,
                        const std::function<void(const QString&)>& confirm);

// "Serie drucken…": after the series' link and CSV file were read (SerialPdf::PrepareRun), every
// row as --one-pdf writes it, into a scratch folder, then as one job to the printer chosen; "Print
// to file" writes the series there.
void PrintSeriesWithDialog(QWidget* parent, app::Application& application,
                           app::SerialPdf& series,
                           const std::function<void(const QString&)>& confirm);

}  // namespace quirabel::main
