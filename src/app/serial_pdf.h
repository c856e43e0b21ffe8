#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/serial_windows.h"
#include "serial/csv_table.h"
#include "serial/link_file.h"
#include "serial/pdf_names.h"
#include "serial/serial_run.h"

namespace quirabel::app {

class Application;

// The sibling tools, started from the designer's own folder (SerialPdf::toolFolder).
inline constexpr const char* kLinkToolPath = "quirabel-link";
inline constexpr const char* kMailToolPath = "quirabel-mail";

inline constexpr const char* kNoDataLink =
    "Mindestens zum Dokument Seite 1 besteht keine Datenverknüpfung. Stellen Sie über "
    "\"PDF-Serienbrief Einstellugen\" eine Verbindung zu einer CSV Datei her";

// What a serial run is asked for besides the link and the CSV rows.
struct SerialRequest {
  serial::Naming naming;
  std::filesystem::path folder;
  std::size_t firstRow = 1;
  std::size_t lastRow = std::numeric_limits<std::size_t>::max();
  unsigned jobs = 1;
  // Whether files the project's runs did not write may be replaced.
  bool overwrite = false;
  // The link file the run was made from, for its record.
  std::filesystem::path linkFile;
  // Into one PDF only: the rows as cards on printing sheets.
  std::optional<report::SheetRequest> sheets;
};

// The designer's and the batch tool's account of a run: how many PDFs were written where, how
// many rows failed and why (the first ten), and why the run stopped, if it did.
std::string RunReport(const serial::SerialOutcome& outcome, const std::filesystem::path& folder);
// The question before replacing files no run of the project wrote: the first names and "N Dateien
// gibt es schon. Überschreiben?".
std::string OverwriteQuestion(const serial::SerialOutcome& outcome);

// Serial PDF for the open project, written once for the designer, the batch tool and the tests:
// the link file, reading the CSV file it names, and the run. Failures are told through the
// application's platform.
class SerialPdf {
 public:
  explicit SerialPdf(Application& application);

  // The folder of the sibling tools, the designer's own; empty: they are found on the PATH.
  std::string toolFolder;

  // Whether the open project's number may name its link file and go to the link tool; false
  // after the message when not.
  bool CheckProjectNumber();
  // The open project's link file in the program folder (SerialError for a project number that is
  // no number: CheckProjectNumber first).
  std::filesystem::path ProjectLinkFile() const;
  // Reads a link file; none (after the message) when it is missing or damaged.
  std::optional<serial::LinkFile> ReadLink(const std::filesystem::path& file);
  // Reads the CSV file a link names, split at its separator; none (after a message that names
  // the file) when it is missing or refused.
  std::optional<serial::CsvTable> ReadCsv(const serial::LinkFile& link);
  // Writes a link file: the CSV file, its separator and the assignments of data fields to
  // columns. False after a message when it cannot be stored.
  bool WriteLink(const std::filesystem::path& file, const serial::LinkFile& link);
  // Prints the rows into one PDF each. The page on screen is stored first; the project and the
  // page on screen stay as they were. A failure is returned in the outcome (and told when
  // `tell`); files in the way (SerialOutcome::foreignFiles) are left to the caller.
  // Every row into one PDF file, written page by page; a failure is in the outcome (and told
  // when `tell`), with no file left.
  serial::OnePdfOutcome PrintOnePdf(const serial::LinkFile& link, const serial::CsvTable& table,
                                    const SerialRequest& request, const std::filesystem::path& file,
                                    const std::function<bool(std::size_t)>& onWritten,
                                    bool tell = false);
  serial::SerialOutcome Print(const serial::LinkFile& link, const serial::CsvTable& table,
                              const SerialRequest& request,
                              const std::function<bool(std::size_t written)>& onWritten = {},
                              bool tell = true);

  // The designer's commands. "Serien-PDF Einstellung": starts the link tool with the project
  // number and the data fields of the page on screen.
  bool LinkToolClick();
  // "Serien-PDF ausgeben": reads the link file and its CSV file into the settings window, shows
  // it, and on "Serien-PDF drucken / senden ->" runs the series. "Alle in eine PDF-Datei" of the
  // Extras menu is the same with that choice ticked at the start (`oneFile`).
  bool PrintClick(bool oneFile = false);
  // The halves of it. False (after a message) when there is nothing to run.
  bool PrepareRun();
  // Runs what the settings window holds: one PDF per row (RunPerRow) or, with "Alle in eine
  // PDF-Datei" ticked, every row into one file (RunIntoOneFile).
  bool RunChosen();
  // Prints every row with the settings chosen, in a progress window with "Abbrechen" (asking
  // first when files no run of the project wrote are in the way), and ends with one message:
  // how many PDFs were written where, how many rows failed and why. Then starts the e-mail tool
  // when asked. True when every PDF was written.
  bool RunPerRow();
  // After PrepareRun, every row into one PDF file asked for (the file dialog starts in the target
  // folder); the outcome is told. False when nothing was written.
  bool RunIntoOneFile();
  // The same into a file named here, without asking and without the final message: for a
  // printer. The outcome (a failure told already).
  serial::OnePdfOutcome RunIntoOneFileAt(const std::filesystem::path& file);
  // "Anderes Verzeichnis": the folder choice, starting at the target folder.
  void OtherFolderClick();
  // "Neues Verzeichniss": asks for a name and makes that folder inside the one chosen in the
  // tree, which then chooses it; a failure is a UserError "Fehler beim erstellen des
  // Verzeichnises.".
  void NewFolderClick();
  // "Übernehmen" of the folder choice: its folder becomes the target folder.
  void ApplyChosenFolder();
  // "Serien Mailer starten.. (Single Attachments)": the e-mail tool, with the open project's last
  // series (its CSV file, naming and folder) when it has one, else without parameters.
  bool MailToolClick();

  dialogs::SerialSettingsWindow& SettingsWindow();
  dialogs::FolderChoiceWindow& FolderWindow();
  dialogs::NewFolderWindow& NewFolderWindow();
  dialogs::OverwriteQuestionWindow& OverwriteWindow();
  // The parameters the e-mail tool gets after a run: CSV file, naming text, separator and target
  // folder, blanks made "*" so that each stays one word.
  std::vector<std::string> MailToolArguments() const;
  static std::vector<std::string> MailToolArguments(std::string csv, std::string naming,
                                                    char separator, std::string folder);

 private:
  // The run of the open project (stored first) with these rows and settings.
  serial::SerialRun RunOf(const serial::LinkFile& link, const serial::CsvTable& table,
                          const SerialRequest& request) const;
  void StartTool(const char* path, const std::vector<std::string>& arguments);

  Application& application_;
  dialogs::SerialSettingsWindow* settingsWindow_ = nullptr;
  dialogs::FolderChoiceWindow* folderWindow_ = nullptr;
  dialogs::NewFolderWindow* newFolderWindow_ = nullptr;
  dialogs::OverwriteQuestionWindow* overwriteWindow_ = nullptr;
  std::optional<serial::LinkFile> link_;
  std::optional<serial::CsvTable> table_;
};

}  // namespace quirabel::app
