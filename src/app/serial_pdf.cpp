#include "app/serial_pdf.h"

#include "base/file_names.h"

#include <algorithm>

#include "app/application.h"
#include "designer/page_model.h"
#include "serial/serial_error.h"
#include "serial/series_settings.h"

namespace quirabel::app {

namespace {

// Runs `run` in a progress window "<what> n von <total>" with "Abbrechen", handing it the count to
// call after each item; the window goes however the run ends.
template <typename Run>
auto WithProgress(ui::Platform& platform, const std::string& what, std::size_t total, Run run) {
  struct EndProgress {
    ui::Platform& platform;
    ~EndProgress() { platform.EndProgress(); }
  } endProgress{platform};
  const auto counted = [&](std::size_t done) {
    return what + " " + std::to_string(done) + " von " + std::to_string(total);
  };
  platform.CancellableProgress(counted(0), 0, total);
  return run(std::function<bool(std::size_t)>([&](std::size_t written) {
    return platform.CancellableProgress(counted(written), written, total);
  }));
}

}  // namespace

std::string RunReport(const serial::SerialOutcome& outcome, const std::filesystem::path& folder) {
  std::string text = std::to_string(outcome.written) +
                     (outcome.written == 1 ? " PDF-Datei" : " PDF-Dateien") + " geschrieben nach " +
                     folder.string() + ".";
  if (outcome.total == 0)
    text = "Die CSV-Datei hat keine Zeilen: es wurde keine PDF-Datei geschrieben.";
  if (outcome.cancelled) text += "\nDer Lauf wurde abgebrochen.";
  if (outcome.skippedCount > 0)
    text += "\n" + serial::SkippedRowsText(outcome.skippedCount, outcome.skippedRows) + ".";
  if (outcome.failedCount > 0) {
    text += "\n" + std::to_string(outcome.failedCount) +
            (outcome.failedCount == 1 ? " Zeile ist" : " Zeilen sind") + " fehlgeschlagen:";
    for (const serial::FailedRow& row : outcome.failedRows) text += "\n" + row.reason;
    if (outcome.failedCount > outcome.failedRows.size()) {
      text += "\n… und " + std::to_string(outcome.failedCount - outcome.failedRows.size()) +
              " weitere";
      if (!outcome.record.empty()) text += ", alle in " + outcome.record.filename().string();
      text += ".";
    }
  }
  if (!outcome.failure.empty()) text += "\n" + outcome.failure;
  return text;
}

std::string OverwriteQuestion(const serial::SerialOutcome& outcome) {
  std::string text;
  for (const std::string& name : outcome.foreignFiles) text += name + "\n";
  if (outcome.foreignCount > outcome.foreignFiles.size()) text += "…\n";
  return text + "\n" + std::to_string(outcome.foreignCount) +
         (outcome.foreignCount == 1 ? " Datei gibt" : " Dateien gibt") +
         " es schon. Überschreiben?";
}

SerialPdf::SerialPdf(Application& application) : application_(application) {}

std::filesystem::path SerialPdf::ProjectLinkFile() const {
  const designer::ProjectState& state = application_.State();
  return serial::LinkFilePath(state.programFolder.empty() ? "." : state.programFolder,
                              state.projectNumber);
}

bool SerialPdf::CheckProjectNumber() {
  try {
    serial::CheckProjectNumber(application_.State().projectNumber);
    return true;
  } catch (const serial::SerialError& e) {
    application_.GetPlatform()->ShowMessage(e.what());
    return false;
  }
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

serial::SerialRun SerialPdf::RunOf(const serial::LinkFile& link, const serial::CsvTable& table,
                                   const SerialRequest& request) const {
  if (designer::PageModel* page = application_.Page()) page->StoreCurrentPage();
  serial::SerialRun run;
  run.project = &application_.State();
  run.link = link;
  run.table = &table;
  run.naming = request.naming;
  run.folder = request.folder;
  run.firstRow = request.firstRow;
  run.lastRow = request.lastRow;
  run.jobs = request.jobs;
  run.overwrite = request.overwrite;
  run.sheets = request.sheets;
  std::error_code error;
  const std::string& project = application_.State().projectFileName;
  run.projectFile = std::filesystem::absolute(project, error).lexically_normal().string();
  if (error) run.projectFile = project;
  run.linkFile = request.linkFile.string();
  if (run.linkFile.empty() && serial::IsProjectNumber(application_.State().projectNumber))
    run.linkFile = ProjectLinkFile().string();
  return run;
}

serial::SerialOutcome SerialPdf::Print(const serial::LinkFile& link, const serial::CsvTable& table,
                                       const SerialRequest& request,
                                       const std::function<bool(std::size_t)>& onWritten,
                                       bool tell) {
  ui::Platform& platform = *application_.GetPlatform();
  const serial::SerialRun run = RunOf(link, table, request);
  serial::SerialOutcome outcome = serial::RunSerial(run, platform.GetClock(), onWritten);
  if (tell && !outcome.failure.empty()) platform.ShowMessage(outcome.failure);
  return outcome;
}

serial::OnePdfOutcome SerialPdf::PrintOnePdf(const serial::LinkFile& link,
                                             const serial::CsvTable& table,
                                             const SerialRequest& request,
                                             const std::filesystem::path& file,
                                             const std::function<bool(std::size_t)>& onWritten,
                                             bool tell) {
  ui::Platform& platform = *application_.GetPlatform();
  const serial::SerialRun run = RunOf(link, table, request);
  serial::OnePdfOutcome outcome =
      serial::RunSerialOnePdf(run, file, platform.GetClock(), onWritten);
  if (tell && !outcome.failure.empty()) platform.ShowMessage(outcome.failure);
  return outcome;
}

dialogs::SerialSettingsWindow& SerialPdf::SettingsWindow() {
  if (settingsWindow_ == nullptr) {
    settingsWindow_ = new dialogs::SerialSettingsWindow(&application_);
    settingsWindow_->otherFolderButton->OnClick = [this](ui::Control&) { OtherFolderClick(); };
  }
  return *settingsWindow_;
}

dialogs::FolderChoiceWindow& SerialPdf::FolderWindow() {
  if (folderWindow_ == nullptr) {
    folderWindow_ = new dialogs::FolderChoiceWindow(&application_);
    folderWindow_->newFolderButton->OnClick = [this](ui::Control&) { NewFolderClick(); };
    folderWindow_->applyButton->OnClick = [this](ui::Control&) { ApplyChosenFolder(); };
  }
  return *folderWindow_;
}

dialogs::NewFolderWindow& SerialPdf::NewFolderWindow() {
  if (newFolderWindow_ == nullptr) newFolderWindow_ = new dialogs::NewFolderWindow(&application_);
  return *newFolderWindow_;
}

dialogs::OverwriteQuestionWindow& SerialPdf::OverwriteWindow() {
  if (overwriteWindow_ == nullptr)
    overwriteWindow_ = new dialogs::OverwriteQuestionWindow(&application_);
  return *overwriteWindow_;
}

void SerialPdf::StartTool(const char* path, const std::vector<std::string>& arguments) {
  const std::string program =
      toolFolder.empty() ? std::string(path) : (std::filesystem::path(toolFolder) / path).string();
  if (!application_.GetPlatform()->StartProgram(program, arguments))
    application_.GetPlatform()->ShowMessage("Das Programm kann nicht gestartet werden: " + program);
}

bool SerialPdf::LinkToolClick() {
  designer::PageModel* page = application_.Page();
  if (page == nullptr) return false;
  if (!CheckProjectNumber()) return false;
  // After "--" nothing is taken for an option, by Qt or by the tool.
  std::vector<std::string> arguments{"--", application_.State().projectNumber};
  // The data fields of the page on screen, as its elements carry them now.
  for (const designer::PageElement& element : page->Elements()) {
    for (std::string& field : designer::DataFieldsOf(*element.item))
      arguments.push_back(std::move(field));
  }
  StartTool(kLinkToolPath, arguments);
  return true;
}

bool SerialPdf::MailToolClick() {
  // With the open project's last series, the tool opens on it; else as it was left.
  std::vector<std::string> arguments;
  if (application_.DocumentWindow() != nullptr &&
      serial::IsProjectNumber(application_.State().projectNumber)) {
    const std::filesystem::path linkFile = ProjectLinkFile();
    const auto series = serial::ReadSeriesSettings(serial::SeriesSettingsPath(linkFile));
    std::error_code error;
    if (series && !series->naming.empty() && std::filesystem::is_regular_file(linkFile, error)) {
      try {
        const serial::LinkFile link = serial::ReadLinkFile(linkFile);
        arguments = MailToolArguments(link.csvPath, series->naming, link.separator, series->folder);
      } catch (const serial::SerialError&) {
        // A damaged link file: the tool opens as it was left.
      }
    }
  }
  StartTool(kMailToolPath, arguments);
  return true;
}

bool SerialPdf::PrepareRun() {
  if (application_.Page() == nullptr) return false;
  if (!CheckProjectNumber()) return false;
  link_ = ReadLink(ProjectLinkFile());
  if (!link_) return false;
  // A CSV file that is not there stops here: the rows of an earlier run are no stand-in.
  table_ = ReadCsv(*link_);
  if (!table_) return false;
  dialogs::SerialSettingsWindow& settings = SettingsWindow();
  settings.Fill(*link_, *table_);
  // The naming and folder of the project's last series come back.
  if (const auto series =
          serial::ReadSeriesSettings(serial::SeriesSettingsPath(ProjectLinkFile()))) {
    const serial::Naming naming = serial::NamingFromText(series->naming);
    if (naming.column > 0 && naming.column <= table_->ColumnCount()) {
      settings.namingBox->SetItemIndex(naming.column);
      settings.OnNamingChange();
    } else if (naming.column == 0 && !series->naming.empty()) {
      settings.namingBox->SetItemIndex(0);
      settings.OnNamingChange();
      settings.identifierEdit->SetText(naming.identifier);
    }
    std::error_code error;
    if (!series->folder.empty() && std::filesystem::is_directory(series->folder, error))
      settings.targetFolderLabel->SetCaption(series->folder);
  }
  if (settings.targetFolderLabel->Caption().empty())
    settings.targetFolderLabel->SetCaption(FolderWindow().folderTree->Folder().string());
  return true;
}

void SerialPdf::OtherFolderClick() {
  dialogs::FolderChoiceWindow& choice = FolderWindow();
  const std::string& target = SettingsWindow().targetFolderLabel->Caption();
  std::error_code error;
  if (!target.empty() && std::filesystem::is_directory(target, error))
    choice.folderTree->SetFolder(target);
  choice.ShowFolder();
  // "Übernehmen" writes the folder into the settings itself.
  application_.GetPlatform()->ShowModal(choice);
}

void SerialPdf::NewFolderClick() {
  dialogs::NewFolderWindow& named = NewFolderWindow();
  if (application_.GetPlatform()->ShowModal(named) != ui::mrOk) return;  // "Abbruch"
  ui::TFolderTree& tree = *FolderWindow().folderTree;
  const std::filesystem::path parent = tree.Folder();
  named.CreateIn(parent);
  tree.Reread();
  tree.SetFolder(parent / named.nameEdit->Text());
  FolderWindow().ShowFolder();
}

void SerialPdf::ApplyChosenFolder() {
  SettingsWindow().targetFolderLabel->SetCaption(FolderWindow().folderTree->Folder().string());
}

bool SerialPdf::PrintClick(bool oneFile) {
  SettingsWindow().SetOneFile(oneFile);
  if (!PrepareRun()) return false;
  if (application_.GetPlatform()->ShowModal(SettingsWindow()) != ui::mrOk) return false;
  return RunChosen();
}

bool SerialPdf::RunChosen() { return SettingsWindow().OneFile() ? RunIntoOneFile() : RunPerRow(); }

bool SerialPdf::RunIntoOneFile() {
  if (!link_ || !table_ || application_.Page() == nullptr) return false;
  ui::Platform& platform = *application_.GetPlatform();
  const std::string& target = SettingsWindow().targetFolderLabel->Caption();
  const std::string start =
      target.empty() ? std::string("serie") : (std::filesystem::path(target) / "serie").string();
  const auto file = platform.FileDialog({"", "PDF-Files|*.pdf", start, true});
  if (!file) return false;
  const serial::OnePdfOutcome outcome = RunIntoOneFileAt(WithExtension(*file, ".pdf"));
  if (!outcome.failure.empty() || outcome.cancelled) return false;
  platform.ShowMessage(
      std::to_string(outcome.rows) + " Zeilen auf " + std::to_string(outcome.pages) +
      " Seiten in die PDF-Datei " + WithExtension(*file, ".pdf") + " geschrieben." +
      (outcome.skippedCount > 0
           ? "\n" + serial::SkippedRowsText(outcome.skippedCount, outcome.skippedRows) + "."
           : std::string()));
  return true;
}

serial::OnePdfOutcome SerialPdf::RunIntoOneFileAt(const std::filesystem::path& file) {
  if (!link_ || !table_ || application_.Page() == nullptr) {
    serial::OnePdfOutcome nothing;
    nothing.cancelled = true;
    return nothing;
  }
  return WithProgress(*application_.GetPlatform(), "Zeile", table_->RowCount(),
                      [&](const std::function<bool(std::size_t)>& onWritten) {
                        return PrintOnePdf(*link_, *table_, SerialRequest{}, file, onWritten,
                                           /*tell=*/true);
                      });
}

bool SerialPdf::RunPerRow() {
  if (!link_ || !table_ || application_.Page() == nullptr) return false;
  ui::Platform& platform = *application_.GetPlatform();
  dialogs::SerialSettingsWindow& settings = SettingsWindow();
  SerialRequest request;
  request.naming = settings.ChosenNaming();
  request.folder = settings.targetFolderLabel->Caption();
  request.linkFile = ProjectLinkFile();
  auto run = [&] {
    return WithProgress(platform, "PDF", table_->RowCount(),
                        [&](const std::function<bool(std::size_t)>& onWritten) {
                          return Print(*link_, *table_, request, onWritten, /*tell=*/false);
                        });
  };
  serial::SerialOutcome outcome = run();
  if (outcome.foreignCount > 0) {
    dialogs::OverwriteQuestionWindow& question = OverwriteWindow();
    question.questionLabel->SetCaption(OverwriteQuestion(outcome));
    if (platform.ShowModal(question) != ui::mrYes) return false;
    request.overwrite = true;
    outcome = run();
  }
  platform.ShowMessage(RunReport(outcome, request.folder));
  if (outcome.written > 0) {
    // Kept for the next run and the e-mail tool; a file that cannot be written costs only that.
    serial::WriteSeriesSettings(serial::SeriesSettingsPath(request.linkFile),
                                {settings.NamingText(), request.folder.string()});
  }
  if (!outcome.failure.empty()) return false;
  if (settings.SendByMail() && !outcome.cancelled) StartTool(kMailToolPath, MailToolArguments());
  return outcome.Complete();
}

std::vector<std::string> SerialPdf::MailToolArguments() const {
  if (!link_ || settingsWindow_ == nullptr) return {};
  return MailToolArguments(link_->csvPath, settingsWindow_->NamingText(), link_->separator,
                           settingsWindow_->targetFolderLabel->Caption());
}

std::vector<std::string> SerialPdf::MailToolArguments(std::string csv, std::string naming,
                                                      char separator, std::string folder) {
  for (std::string* text : {&csv, &naming, &folder})
    std::replace(text->begin(), text->end(), ' ', '*');
  // After "--" nothing is taken for an option, by Qt or by the tool.
  return {"--", std::move(csv), std::move(naming), std::string(1, separator), std::move(folder)};
}

}  // namespace quirabel::app
