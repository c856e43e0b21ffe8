#include "main/print_dialog.h"

#include <QPrintDialog>
#include <QPrinter>
#include <filesystem>

#include "app/printing.h"

namespace quirabel::main {

void PrintWithDialog(QWidget* parent, app::Application& application,
                     const std::optional<report::SheetRequest>& sheets,
                     const std::function<void(const QString&)>& confirm) {
  QPrinter printer;
  QPrintDialog dialog(&printer, parent);
  dialog.setWindowTitle(QString::fromUtf8("Drucken"));
  // Always the whole document: the pages are our PDF's, not the dialog's.
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  if (dialog.exec() != QDialog::Accepted) return;

  if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
    const std::string file = printer.outputFileName().toStdString();
    const bool written = sheets ? application.ExportSheetPdfTo(file, *sheets).has_value()
                                : application.ExportPdfTo(file);
    if (written) {
      confirm(QString::fromUtf8("Exportiert: ") +
              QString::fromStdString(std::filesystem::path(file).filename().string()));
    }
    return;
  }
  app::PrintOptions options;
  options.printer = printer.printerName().toStdString();
  options.copies = printer.copyCount();
  switch (printer.duplex()) {
    case QPrinter::DuplexNone:
      options.duplex = app::Duplex::off;
      break;
    case QPrinter::DuplexLongSide:
      options.duplex = app::Duplex::longEdge;
      break;
    case QPrinter::DuplexShortSide:
      options.duplex = app::Duplex::shortEdge;
      break;
    case QPrinter::DuplexAuto:
      options.duplex = app::Duplex::printerDefault;
      break;
  }
  options.title = std::filesystem::path(application.State().projectFileName).filename().string();
  const auto job = app::PrintDocument(application, options, sheets);
  if (!job) return;
  confirm(QString::fromUtf8("An „%1“ gesendet (Auftrag %2)")
              .arg(QString::fromStdString(options.printer))
              .arg(*job));
}

}  // namespace quirabel::main
