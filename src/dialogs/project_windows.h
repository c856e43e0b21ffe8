#pragma once

#include "designer/page_format.h"
#include "designer/project_state.h"
#include "ui/controls.h"

namespace quirabel::dialogs {

// "Projektinfos": title, subject, author, keywords of the project, and the program that made it.
class TForm24 : public ui::TForm {
 public:
  explicit TForm24(ui::Component* owner);
  std::string ClassName() const override { return "TForm24"; }

  ui::TEdit* Edit1;      // "Titel"
  ui::TEdit* Edit2;      // "Thema"
  ui::TEdit* Edit3;      // "Autor"
  ui::TEdit* Edit5;      // "Stichwörter"
  ui::TEdit* Edit6;      // "Programm", read-only
  ui::TButton* Button1;  // "Übernehmen"
  ui::TButton* Button2;  // "Weglassen"

  // The fields from the project state, and back.
  void Refresh(const designer::ProjectInfo& info);
  designer::ProjectInfo Info() const;
};

// "Sichern..": "Projekt speichern?" with "Ja" and "Nein".
class TForm26 : public ui::TForm {
 public:
  explicit TForm26(ui::Component* owner);
  std::string ClassName() const override { return "TForm26"; }
};

// "Format": a DIN format with an orientation, or free dimensions in millimetres.
class TForm9 : public ui::TForm {
 public:
  explicit TForm9(ui::Component* owner);
  std::string ClassName() const override { return "TForm9"; }

  bool DinChosen = true;  // RadioButton1 "DIN", else RadioButton2 "freie Maße "
  designer::DinSize Din = designer::DinSize::A4;
  bool Landscape = false;  // RadioButton8
  ui::TEdit* Edit1;        // "Breite (mm)"
  ui::TEdit* Edit2;        // "Höhe (mm)"

  // The chosen format, with the texts written back as plain decimals; none (and the message
  // "Keine gültige Millimeter-Angabe!" is due) when free dimensions are no whole millimetres or
  // give no page.
  std::optional<designer::PageFormat> ChosenFormat();
};

inline constexpr const char* kInvalidMillimetres = "Keine gültige Millimeter-Angabe!";

}  // namespace quirabel::dialogs
