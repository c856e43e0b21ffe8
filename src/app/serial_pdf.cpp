#include "app/serial_pdf.h"

#include "app/application.h"
#include "serial/serial_error.h"

namespace quirabel::app {

SerialPdf::SerialPdf(Application& application) : application_(application) {}

std::filesystem::path SerialPdf::ProjectLinkFile() const {
  const designer::ProjectState& state = application_.State();
  return serial::LinkFilePath(state.programFolder.empty() ? "." : state.programFolder,
                              state.projectNumber);
}

std::optional<serial::LinkFile> SerialPdf::ReadLink(const std::filesystem::path& file) {
  ui::Platform& platform = *application_.GetPlatform();
  std::error_code error;
  if (!std::filesystem::exists(file, error)) {
    platform.ShowMessage(kNoDataLink);
    return std::nullopt;
  }
  try {
    return serial::ReadLinkFile(file);
  } catch (const serial::SerialError& e) {
    platform.ShowMessage(e.what());
    return std::nullopt;
  }
}

std::optional<serial::CsvTable> SerialPdf::ReadCsv(const serial::LinkFile& link) {
  ui::Platform& platform = *application_.GetPlatform();
  std::error_code error;
  if (!std::filesystem::exists(link.csvPath, error)) {
    platform.ShowMessage("Die CSV-Datei der Datenverknüpfung gibt es nicht: " + link.csvPath);
    return std::nullopt;
  }
  try {
    return serial::ReadCsvFile(link.csvPath, link.separator);
  } catch (const serial::SerialError& e) {
    platform.ShowMessage(e.what());
    return std::nullopt;
  }
}

bool SerialPdf::WriteLink(const std::filesystem::path& file, const serial::LinkFile& link) {
  try {
    serial::WriteLinkFile(file, link);
    return true;
  } catch (const serial::SerialError& e) {
    application_.GetPlatform()->ShowMessage(e.what());
    return false;
  }
}

serial::SerialOutcome SerialPdf::Print(const serial::LinkFile& link, const serial::CsvTable& table,
                                       const SerialRequest& request,
                                       const std::function<bool(std::size_t)>& onWritten) {
  ui::Platform& platform = *application_.GetPlatform();
  if (designer::DocumentWindow* window = application_.DocumentWindow()) window->StoreCurrentPage();
  serial::SerialRun run;
  run.project = &application_.State();
  run.link = link;
  run.table = &table;
  run.naming = request.naming;
  run.folder = request.folder;
  run.firstRow = request.firstRow;
  run.lastRow = request.lastRow;
  run.jobs = request.jobs;
  serial::SerialOutcome outcome = serial::RunSerial(run, platform.GetClock(), onWritten);
  if (!outcome.failure.empty()) platform.ShowMessage(outcome.failure);
  return outcome;
}

}  // namespace quirabel::app
