#include "dialogs/page_windows.h"

namespace quirabel::dialogs {

GoToPageWindow::GoToPageWindow(ui::Component* owner) : ui::TForm(owner) {
  SetName("Form20");
  SetCaption("Gehe zur Seite");
  pageNumberEdit = new ui::TEdit(this);
  pageNumberEdit->SetName("Edit1");
  pageNumberEdit->SetHint("Seiten Nr.:");
  pageNumberEdit->SetParent(this);
  goButton = new ui::TButton(this);
  goButton->SetName("Button1");
  goButton->SetCaption("go->");
  goButton->SetModalResult(ui::mrOk);
  goButton->SetParent(this);
}

DeletePageWindow::DeletePageWindow(ui::Component* owner) : ui::TForm(owner) {
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
