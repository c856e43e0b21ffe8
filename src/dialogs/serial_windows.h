#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "serial/csv_table.h"
#include "serial/link_file.h"
#include "serial/pdf_names.h"
#include "ui/controls.h"

namespace quirabel::dialogs {

inline constexpr const char* kNamingByCounter = "Bezeichner+Inkrement";
inline constexpr const char* kChooseNaming = "Datenfeld wählen";
inline constexpr graphics::TColor kSilver = 12632256;
inline constexpr const char* kFolderNotCreated = "Fehler beim erstellen des Verzeichnises.";

// "SerienPDF": the CSV rows, how the PDFs are named, the field assignments of the link file, the
// target folder and whether the PDFs go on to the e-mail tool. The screen shows it as a dialog of
// its own; the choice is kept here.
class SerialSettingsWindow : public ui::TForm {
 public:
  explicit SerialSettingsWindow(ui::Component* owner);
  std::string ClassName() const override { return "SerialSettingsWindow"; }

  // The grid: row 0 holds the captions Feld1 … FeldN, then the CSV rows as far as shown.
  std::vector<std::vector<std::string>> gridRows;
  // "Bezeichner+Inkrement", then Feld1 … FeldN; the index chosen, -1 while the box still shows
  // "Datenfeld wählen".
  std::vector<std::string> namingEntries;
  int namingIndex = -1;
  ui::TEdit* identifierEdit;             // "Bezeichner:", "pdf-file"
  std::vector<std::string> assignments;  // the field assignment list of the link file
  ui::TLabel* targetFolderLabel;         // the target folder
  ui::TButton* otherFolderButton;        // "Anderes Verzeichnis"
  bool sendByMail = false;   // "Dokumente sollen nach dem Druck per eMail versendet werden?"
  ui::TButton* printButton;  // "Serien-PDF drucken / senden ->"

  // The rows the grid shows at most; the run prints them all.
  static constexpr std::size_t kShownRows = 500;

  // Refills the window from a link file and its CSV rows; the naming starts unchosen with the
  // identifier field off.
  void Fill(const serial::LinkFile& link, const serial::CsvTable& table);
  // The naming box changed: the identifier is wanted for "Bezeichner+Inkrement" or no choice.
  void OnNamingChange();
  // The naming chosen; without a choice the identifier and counter.
  serial::Naming ChosenNaming() const;
  // The text of the naming for the e-mail tool: "Feld2", or the identifier.
  std::string NamingText() const;
};

// "Verzeichnisauswahl": a folder tree; "Übernehmen" hands the folder chosen to the settings.
class FolderChoiceWindow : public ui::TForm {
 public:
  explicit FolderChoiceWindow(ui::Component* owner);
  std::string ClassName() const override { return "FolderChoiceWindow"; }

  std::filesystem::path currentFolder;  // the folder selected in the tree
  ui::TButton* newFolderButton;         // "Neues Verzeichniss"
  ui::TButton* applyButton;             // "Übernehmen"
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
