#pragma once

#include "designer/page_format.h"
#include "designer/print_formats.h"
#include "designer/project_state.h"
#include "ui/controls.h"

namespace quirabel::dialogs {

// "Projektinfos": title, subject, author, keywords of the project, and the program that made it.
class ProjectInfoWindow : public ui::TForm {
 public:
  explicit ProjectInfoWindow(ui::Component* owner);
  std::string ClassName() const override { return "ProjectInfoWindow"; }

  ui::TEdit* titleEdit;      // "Titel"
  ui::TEdit* subjectEdit;    // "Thema"
  ui::TEdit* authorEdit;     // "Autor"
  ui::TEdit* keywordsEdit;   // "Stichwörter"
  ui::TEdit* programEdit;    // "Programm", read-only
  ui::TButton* applyButton;  // "Übernehmen"
  ui::TButton* skipButton;   // "Weglassen"

  // The fields from the project state, and back.
  void Refresh(const designer::ProjectInfo& info);
  designer::ProjectInfo Info() const;
};

// "Sichern..": "Projekt speichern?" with "Ja" and "Nein"; Escape and the close button answer
// neither and go back to the work, as the window's second line says.
class SaveQuestionWindow : public ui::TForm {
 public:
  explicit SaveQuestionWindow(ui::Component* owner);
  std::string ClassName() const override { return "SaveQuestionWindow"; }
};

// "Format": a DIN format with an orientation, free dimensions in millimetres, or a print format.
class FormatWindow : public ui::TForm {
 public:
  explicit FormatWindow(ui::Component* owner);
  std::string ClassName() const override { return "FormatWindow"; }

  bool DinChosen = true;  // RadioButton1 "DIN", else RadioButton2 "freie Maße "
  designer::DinSize Din = designer::DinSize::A4;
  bool Landscape = false;  // RadioButton8
  // "Druckformat (bestellfähig)": the print format chosen from the list, which makes an orderable
  // document; none for DIN or free dimensions.
  const designer::PrintFormat* printFormat = nullptr;
  ui::TEdit* widthEdit;   // "Breite (mm)"
  ui::TEdit* heightEdit;  // "Höhe (mm)"

  // The chosen format, with the texts written back as plain decimals; none (and the message
  // "Keine gültige Millimeter-Angabe!" is due) when free dimensions are no whole millimetres or
  // give no page.
  std::optional<designer::PageFormat> ChosenFormat();
};

inline constexpr const char* kInvalidMillimetres = "Keine gültige Millimeter-Angabe!";

}  // namespace quirabel::dialogs
