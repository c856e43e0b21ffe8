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

TForm24::TForm24(ui::Component* owner) : ui::TForm(owner) {
  SetName("Form24");
  SetCaption("Projektinfos");
  Edit1 = Make<ui::TEdit>(this, this, "Edit1", "");
  Edit1->SetHint("Titel");
  Edit2 = Make<ui::TEdit>(this, this, "Edit2", "");
  Edit2->SetHint("Thema");
  Edit3 = Make<ui::TEdit>(this, this, "Edit3", "");
  Edit3->SetHint("Autor");
  Edit5 = Make<ui::TEdit>(this, this, "Edit5", "");
  Edit5->SetHint("Stichwörter");
  Edit6 = Make<ui::TEdit>(this, this, "Edit6", designer::kProgramText);
  Edit6->SetHint("Programm");
  Edit6->SetReadOnly(true);
  Button1 = Make<ui::TButton>(this, this, "Button1", "Übernehmen");
  Button1->SetModalResult(ui::mrOk);
  Button2 = Make<ui::TButton>(this, this, "Button2", "Weglassen");
  Button2->SetModalResult(ui::mrIgnore);
}

void TForm24::Refresh(const designer::ProjectInfo& info) {
  Edit1->SetText(info.title);
  Edit2->SetText(info.subject);
  Edit3->SetText(info.author);
  Edit5->SetText(info.keywords);
  Edit6->SetText(info.creator);
}

designer::ProjectInfo TForm24::Info() const {
  return {Edit1->Text(), Edit2->Text(), Edit3->Text(), Edit5->Text(), Edit6->Text()};
}

TForm26::TForm26(ui::Component* owner) : ui::TForm(owner) {
  SetName("Form26");
  SetCaption("Sichern..");
  auto* question = Make<ui::TLabel>(this, this, "Label1", "Projekt speichern?");
  (void)question;
  Make<ui::TButton>(this, this, "Button1", "Ja")->SetModalResult(ui::mrOk);
  Make<ui::TButton>(this, this, "Button2", "Nein")->SetModalResult(ui::mrNo);
}

TForm9::TForm9(ui::Component* owner) : ui::TForm(owner) {
  SetName("form9");
  SetCaption("Format");
  Edit1 = Make<ui::TEdit>(this, this, "Edit1", "150");
  Edit2 = Make<ui::TEdit>(this, this, "Edit2", "150");
}

std::optional<designer::PageFormat> TForm9::ChosenFormat() {
  designer::PageFormat format;
  if (DinChosen) {
    format = designer::DinFormat(Din, Landscape);
  } else {
    if (!designer::IsWholeMillimetres(Edit1->Text()) ||
        !designer::IsWholeMillimetres(Edit2->Text())) {
      return std::nullopt;
    }
    format = {"", designer::PlainDecimal(Edit1->Text()), designer::PlainDecimal(Edit2->Text())};
  }
  // A size that gives no page (0 mm, or past the largest PDF page) is no valid size either.
  if (!designer::WidthPixels(format.widthMm) || !designer::HeightPixels(format.heightMm)) {
    return std::nullopt;
  }
  Edit1->SetText(format.widthMm);
  Edit2->SetText(format.heightMm);
  return format;
}

}  // namespace quirabel::dialogs
