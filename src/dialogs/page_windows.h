#pragma once

#include "ui/controls.h"

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

inline constexpr const char* kOnlyOnePage =
    "Das Projekt besitzt nur eine Seite. Diese kann nicht gelöscht werden.";
inline constexpr const char* kNoSuchPage =
    "Die Seite existiert nicht oder Sie haben eine ungültige Eingabe gemacht";

}  // namespace quirabel::dialogs
