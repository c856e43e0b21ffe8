#include "dialogs/project_windows.h"

namespace quirabel::dialogs {

namespace {

template <class T>
T* Make(ui::Component* owner, ui::Control* parent, const char* name, const char* caption) {
  auto* control = new T(owner);
  control->SetName(name);
  control->SetCaption(caption);
  control->SetParent(parent);
  return control;
}

}  // namespace

ProjectInfoWindow::ProjectInfoWindow(ui::Component* owner) : ui::TForm(owner) {
  SetName("Form24");
  SetCaption("Projektinfos");
  titleEdit = Make<ui::TEdit>(this, this, "Edit1", "");
  titleEdit->SetHint("Titel");
  subjectEdit = Make<ui::TEdit>(this, this, "Edit2", "");
  subjectEdit->SetHint("Thema");
  authorEdit = Make<ui::TEdit>(this, this, "Edit3", "");
  authorEdit->SetHint("Autor");
  keywordsEdit = Make<ui::TEdit>(this, this, "Edit5", "");
  keywordsEdit->SetHint("Stichwörter");
  programEdit = Make<ui::TEdit>(this, this, "Edit6", designer::kProgramText);
  programEdit->SetHint("Programm");
  programEdit->SetReadOnly(true);
  applyButton = Make<ui::TButton>(this, this, "Button1", "Übernehmen");
  applyButton->SetModalResult(ui::mrOk);
  skipButton = Make<ui::TButton>(this, this, "Button2", "Weglassen");
  skipButton->SetModalResult(ui::mrIgnore);
}

void ProjectInfoWindow::Refresh(const designer::ProjectInfo& info) {
  titleEdit->SetText(info.title);
  subjectEdit->SetText(info.subject);
  authorEdit->SetText(info.author);
  keywordsEdit->SetText(info.keywords);
  programEdit->SetText(info.creator);
}

designer::ProjectInfo ProjectInfoWindow::Info() const {
  return {titleEdit->Text(), subjectEdit->Text(), authorEdit->Text(), keywordsEdit->Text(),
          programEdit->Text()};
}

SaveQuestionWindow::SaveQuestionWindow(ui::Component* owner) : ui::TForm(owner) {
  SetName("Form26");
  SetCaption("Sichern..");
  auto* question = Make<ui::TLabel>(this, this, "Label1", "Projekt speichern?");
  (void)question;
  // The way back to the work, besides the two answers.
  Make<ui::TLabel>(this, this, "Label2",
                   "Esc oder Fenster schließen: zurück zum Projekt, nichts wird gespeichert "
                   "oder verworfen.");
  Make<ui::TButton>(this, this, "Button1", "Ja")->SetModalResult(ui::mrOk);
  Make<ui::TButton>(this, this, "Button2", "Nein")->SetModalResult(ui::mrNo);
}

FormatWindow::FormatWindow(ui::Component* owner) : ui::TForm(owner) {
  SetName("form9");
  SetCaption("Format");
  widthEdit = Make<ui::TEdit>(this, this, "Edit1", "150");
  heightEdit = Make<ui::TEdit>(this, this, "Edit2", "150");
}

std::optional<designer::PageFormat> FormatWindow::ChosenFormat() {
  designer::PageFormat format;
  if (printFormat != nullptr) {
    format = designer::PageFormatOf(*printFormat);
  } else if (DinChosen) {
    format = designer::DinFormat(Din, Landscape);
  } else {
    if (!designer::IsWholeMillimetres(widthEdit->Text()) ||
        !designer::IsWholeMillimetres(heightEdit->Text())) {
      return std::nullopt;
    }
    format = {"", designer::PlainDecimal(widthEdit->Text()),
              designer::PlainDecimal(heightEdit->Text())};
  }
  // A size that gives no page (0 mm, or past the largest PDF page) is no valid size either.
  if (!designer::WidthPixels(format.widthMm) || !designer::HeightPixels(format.heightMm)) {
    return std::nullopt;
  }
  widthEdit->SetText(format.widthMm);
  heightEdit->SetText(format.heightMm);
  return format;
}

}  // namespace quirabel::dialogs
