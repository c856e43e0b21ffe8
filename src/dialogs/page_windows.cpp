#include "dialogs/page_windows.h"

namespace quirabel::dialogs {

TForm20::TForm20(ui::Component* owner) : ui::TForm(owner) {
  SetName("Form20");
  SetCaption("Gehe zur Seite");
  Edit1 = new ui::TEdit(this);
  Edit1->SetName("Edit1");
  Edit1->SetHint("Seiten Nr.:");
  Edit1->SetParent(this);
  Button1 = new ui::TButton(this);
  Button1->SetName("Button1");
  Button1->SetCaption("go->");
  Button1->SetModalResult(ui::mrOk);
  Button1->SetParent(this);
}

TForm21::TForm21(ui::Component* owner) : ui::TForm(owner) {
  SetName("Form21");
  SetCaption("Seite löschen?");
  auto* text = new ui::TLabel(this);
  text->SetName("Memo1");
  text->SetCaption("Sie möchten die aktuell angezeigte \nSeite aus dem Projekt löschen?");
  text->SetParent(this);
  auto* yes = new ui::TButton(this);
  yes->SetName("Button1");
  yes->SetCaption("Ja");
  yes->SetModalResult(ui::mrYes);
  yes->SetParent(this);
  auto* no = new ui::TButton(this);
  no->SetName("Button2");
  no->SetCaption("Nein");
  no->SetModalResult(ui::mrNo);
  no->SetParent(this);
}

}  // namespace quirabel::dialogs
