#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "serial/csv_table.h"
#include "serial/link_file.h"
#include "serial/pdf_names.h"
#include "ui/controls.h"
#include "ui/input_controls.h"

namespace quirabel::dialogs {

inline constexpr const char* kNamingByCounter = "Bezeichner+Inkrement";
inline constexpr const char* kChooseNaming = "Datenfeld wählen";
inline constexpr graphics::TColor kSilver = 12632256;
inline constexpr const char* kFolderNotCreated = "Fehler beim erstellen des Verzeichnises.";

inline constexpr const char* kOneFile = "Alle in eine PDF-Datei";

// "SerienPDF": the CSV rows, how the PDFs are named, the field assignments of the link file, the
// target folder, whether the PDFs go on to the e-mail tool, and whether every row goes into one
// PDF file instead. The handlers of its buttons that open other windows are set by its owner
// (app::SerialPdf); the window itself keeps its controls consistent.
class SerialSettingsWindow : public ui::TForm {
 public:
  explicit SerialSettingsWindow(ui::Component* owner);
  std::string ClassName() const override { return "SerialSettingsWindow"; }

  // Row 0 holds the captions Feld1 … FeldN, then the CSV rows as far as shown.
  ui::TStringGrid* dataGrid;
  // "Bezeichner+Inkrement", then Feld1 … FeldN; shows "Datenfeld wählen" until one is chosen.
  ui::TComboBox* namingBox;
  ui::TEdit* identifierEdit;       // "Bezeichner:", "pdf-file"
  ui::TListBox* assignmentList;    // the field assignment list of the link file
  ui::TCheckBox* oneFileBox;       // "Alle in eine PDF-Datei"
  ui::TLabel* targetFolderLabel;   // the target folder
  ui::TButton* otherFolderButton;  // "Anderes Verzeichnis"
  ui::TCheckBox* mailBox;          // "Dokumente sollen nach dem Druck per eMail versendet werden?"
  ui::TButton* printButton;        // "Serien-PDF drucken / senden ->"

  // The rows the grid shows at most; the run prints them all.
  static constexpr std::size_t kShownRows = 500;

  // Refills the window from a link file and its CSV rows; the naming starts unchosen with the
  // identifier field off.
  void Fill(const serial::LinkFile& link, const serial::CsvTable& table);
  // The naming box changed: the identifier is wanted for "Bezeichner+Inkrement" or no choice.
  void OnNamingChange();
  // "Alle in eine PDF-Datei" ticked or not: naming, identifier and mail apply to one PDF per row
  // only, so they are off while it is ticked.
  void OnOneFileClick();
  // Ticks or clears "Alle in eine PDF-Datei" from code, with the controls that follow it.
  void SetOneFile(bool oneFile);
  bool OneFile() const { return oneFileBox->Checked(); }
  bool SendByMail() const { return mailBox->Checked() && !OneFile(); }
  // The naming chosen; without a choice the identifier and counter.
  serial::Naming ChosenNaming() const;
  // The text of the naming for the e-mail tool: "Feld2", or the identifier.
  std::string NamingText() const;

 private:
  // Turns naming, identifier and mail on or off as the choices made so far ask.
  void EnableWhatApplies();
};

// "Verzeichnisauswahl": a path field over a folder tree; "Übernehmen" hands the folder chosen to
// the settings.
class FolderChoiceWindow : public ui::TForm {
 public:
  explicit FolderChoiceWindow(ui::Component* owner);
  std::string ClassName() const override { return "FolderChoiceWindow"; }

  ui::TEdit* pathEdit;           // the folder chosen as a path, to type or paste into
  ui::TFolderTree* folderTree;   // starts in the program's current folder
  ui::TButton* newFolderButton;  // "Neues Verzeichniss"
  ui::TButton* applyButton;      // "Übernehmen"

  // The path field shows the folder chosen in the tree.
  void ShowFolder();
  // The path field was left: a folder typed there is chosen in the tree; one that is not there
  // is a UserError, and the field shows the tree's folder again.
  void OnPathTyped();
};

// "Neuer Order": the name of a new folder inside the one chosen.
class NewFolderWindow : public ui::TForm {
 public:
  explicit NewFolderWindow(ui::Component* owner);
  std::string ClassName() const override { return "NewFolderWindow"; }

  ui::TEdit* nameEdit;  // "Neuer Order"
  // "OK": makes the folder named inside `parent`; on failure (or a name that is no single folder
  // name) a UserError "Fehler beim erstellen des Verzeichnises.".
  void CreateIn(const std::filesystem::path& parent);
};

// "Dateien überschreiben?": files in the target folder that no run of the project wrote; "Ja"
// replaces them, "Nein" ends the command.
class OverwriteQuestionWindow : public ui::TForm {
 public:
  explicit OverwriteQuestionWindow(ui::Component* owner);
  std::string ClassName() const override { return "OverwriteQuestionWindow"; }

  ui::TLabel* questionLabel;
};

}  // namespace quirabel::dialogs
