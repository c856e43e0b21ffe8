#pragma once

#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/input_controls.h"

namespace quirabel::dialogs {

// "Gehe zur Seite": the number of the page to show.
class GoToPageWindow : public ui::TForm {
 public:
  explicit GoToPageWindow(ui::Component* owner);
  std::string ClassName() const override { return "GoToPageWindow"; }

  ui::TEdit* pageNumberEdit;  // "Seiten Nr.:"
  ui::TButton* goButton;      // "go->"
};

// "Seite löschen?": whether to delete the page on screen, "Ja" or "Nein".
class DeletePageWindow : public ui::TForm {
 public:
  explicit DeletePageWindow(ui::Component* owner);
  std::string ClassName() const override { return "DeletePageWindow"; }
};

// "Neue Seite..": an empty page or one from a template ("Ja" OK, "Nein").
class NewPageWindow : public ui::TForm {
 public:
  explicit NewPageWindow(ui::Component* owner);
  std::string ClassName() const override { return "NewPageWindow"; }

  ui::TLabel* questionLabel;
  // Two choices of which one is ticked: the person's click on one clears the other.
  ui::TCheckBox* emptyPageChoice;     // "Leere Seite"
  ui::TCheckBox* fromTemplateChoice;  // "Aus Vorlage"
  ui::TComboBox* templateList;        // the templates' display names
  // The index path of each entry of the template list, by position.
  std::vector<std::string> templatePaths;

  // Empties the template list and shows the prompt; enabled as asked.
  void Prepare(bool templatesAllowed);
  // The path of the chosen template, empty for an empty page.
  std::string ChosenTemplatePath() const;
};

// "In Vorlageordner speichern....": the name of the new template.
class TemplateNameWindow : public ui::TForm {
 public:
  explicit TemplateNameWindow(ui::Component* owner);
  std::string ClassName() const override { return "TemplateNameWindow"; }
  ui::TEdit* nameEdit;  // "Name der Vorlage:"
};

// "Vorlage ersetzen?": a template of that name exists ("Ja" yes, "Nein").
class ReplaceTemplateWindow : public ui::TForm {
 public:
  explicit ReplaceTemplateWindow(ui::Component* owner);
  std::string ClassName() const override { return "ReplaceTemplateWindow"; }
  ui::TLabel* questionLabel;
};

inline constexpr const char* kOnlyOnePage =
    "Das Projekt besitzt nur eine Seite. Diese kann nicht gelöscht werden.";
inline constexpr const char* kNoSuchPage =
    "Die Seite existiert nicht oder Sie haben eine ungültige Eingabe gemacht";

inline constexpr const char* kNewPageQuestion = "Neue Seite anlegen?";
inline constexpr const char* kChooseTemplatePrompt = "Aus Vorlagen wählen..";
inline constexpr const char* kTemplateDocumentNoPages =
    "Dieses Dokument wurde durch ein Template(Vorlage) erstellt und kann keine weiteren Seiten "
    "aufnehmen.";
inline constexpr const char* kOrderDocumentTwoPages =
    "Keine weitere Seite möglich!\r\n\r\nEin bestellfähiges Projekt kann nur zwei Seiten haben. "
    "Eine Rück sowie Vorderseite oder eine Innen und Aussenseite";
inline constexpr const char* kSaveTemplateHint =
    "Seite in den Vorlageorder übernehmen. (nicht bei Bestelldokumenten)";

}  // namespace quirabel::dialogs
