#include "main/print_dialog.h"

#include <QPrintDialog>
#include <QPrinter>
#include <filesystem>
#include <optional>
#include <variant>

#include "app/command_boundary.h"
#include "app/printing.h"
#include "base/atomic_file.h"
#include "base/scratch_folder.h"

namespace quirabel::main {

namespace {

// What the person chose in the system's print dialog: a printer with its options, or a file to
// print to; nothing when the dialog was cancelled.
using PrintChoice = std::variant<std::monostate, app::PrintOptions, std::filesystem::path>;

PrintChoice AskHowToPrint(QWidget* parent) {
  QPrinter printer;
  QPrintDialog dialog(&printer, parent);
  dialog.setWindowTitle(QString::fromUtf8("Drucken"));
  // Always the whole document: the pages are our PDF's, not the dialog's.
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  if (dialog.exec() != QDialog::Accepted) return {};
  if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
    return std::filesystem::path(printer.outputFileName().toStdString());

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
  return options;
}

QString Sent(const app::PrintOptions& options, int job) {
  return QString::fromUtf8("An „%1“ gesendet (Auftrag %2)")
      .arg(QString::fromStdString(options.printer))
      .arg(job);
}

QString Written(const std::filesystem::path& file) {
  return QString::fromUtf8("Exportiert: ") + QString::fromStdString(file.filename().string());
}

}  // namespace

void PrintWithDialog(QWidget* parent, app::Application& application,
                     const std::optional<report::SheetRequest>& sheets,
                     const std::function<void(const QString&)>& confirm) {
  const PrintChoice choice = AskHowToPrint(parent);
  if (const auto* file = std::get_if<std::filesystem::path>(&choice)) {
    const bool written = sheets ? application.ExportSheetPdfTo(file->string(), *sheets).has_value()
                                : application.ExportPdfTo(file->string());
    if (written) confirm(Written(*file));
  } else if (const auto* options = std::get_if<app::PrintOptions>(&choice)) {
    if (const auto job = app::PrintDocument(application, *options, sheets))
      confirm(Sent(*options, *job));
  }
}

void PrintPdfWithDialog(QWidget* parent, app::Application& application, const std::string& pdf,
                        const std::function<void(const QString&)>& confirm) {
  const PrintChoice choice = AskHowToPrint(parent);
  if (const auto* file = std::get_if<std::filesystem::path>(&choice)) {
    const bool written = app::RunCommand(*application.GetPlatform(), [&] {
      WriteFileAtomic(*file, pdf);
      return true;
    });
    if (written) confirm(Written(*file));
  } else if (const auto* options = std::get_if<app::PrintOptions>(&choice)) {
    if (const auto job = app::PrintPdfBytes(application, pdf, *options))
      confirm(Sent(*options, *job));
  }
}

void PrintSeriesWithDialog(QWidget* parent, app::Application& application,
                           app::SerialPdf& series,
                           const std::function<void(const QString&)>& confirm) {
  const PrintChoice choice = AskHowToPrint(parent);
  if (const auto* file = std::get_if<std::filesystem::path>(&choice)) {
    const serial::OnePdfOutcome outcome = series.RunIntoOneFileAt(*file);
    if (outcome.failure.empty() && !outcome.cancelled) confirm(Written(*file));
    return;
  }
  const auto* options = std::get_if<app::PrintOptions>(&choice);
  if (options == nullptr) return;
  std::optional<ScratchFolder> scratch;
  const bool made = app::RunCommand(*application.GetPlatform(), [&] {
    scratch.emplace();
    return true;
  });
  if (!made) return;
  const std::filesystem::path file = scratch->Path() / "serie.pdf";
  const serial::OnePdfOutcome outcome = series.RunIntoOneFileAt(file);
  if (!outcome.failure.empty() || outcome.cancelled) return;
  if (const auto job = app::PrintPdfFile(application, file, *options)) {
    confirm(QString::fromUtf8("%1 Zeilen an „%2“ gesendet (Auftrag %3)")
                .arg(outcome.rows)
                .arg(QString::fromStdString(options->printer))
                .arg(*job));
  }
}

}  // namespace quirabel::main
