#pragma once

#include "ui/controls.h"

namespace quirabel::dialogs {

// "Gehe zur Seite": the number of the page to show.
class TForm20 : public ui::TForm {
 public:
  explicit TForm20(ui::Component* owner);
  std::string ClassName() const override { return "TForm20"; }

  ui::TEdit* Edit1;      // "Seiten Nr.:"
  ui::TButton* Button1;  // "go->"
};

// "Seite löschen?": whether to delete the page on screen, "Ja" or "Nein".
class TForm21 : public ui::TForm {
 public:
  explicit TForm21(ui::Component* owner);
  std::string ClassName() const override { return "TForm21"; }
};

inline constexpr const char* kOnlyOnePage =
    "Das Projekt besitzt nur eine Seite. Diese kann nicht gelöscht werden.";
inline constexpr const char* kNoSuchPage =
    "Die Seite existiert nicht oder Sie haben eine ungültige Eingabe gemacht";

}  // namespace quirabel::dialogs
