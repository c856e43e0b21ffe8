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

namespace {

ui::TButton* AddButton(ui::TForm& form, const char* name, const char* caption,
                       ui::TModalResult result, ui::TRect bounds = {}) {
  auto* button = new ui::TButton(&form);
  button->SetBounds(bounds.left, bounds.top, bounds.Width(), bounds.Height());
  button->SetName(name);
  button->SetCaption(caption);
  button->SetModalResult(result);
  button->SetParent(&form);
  return button;
}

}  // namespace

NewPageWindow::NewPageWindow(ui::Component* owner) : ui::TForm(owner) {
  SetName("Form12");
  SetCaption("Neue Seite..");
  SetPosition(ui::TFormPosition::poScreenCenter);
  SetBounds(0, 0, 330, 150);
  questionLabel = new ui::TLabel(this);
  questionLabel->SetName("Label1");
  questionLabel->SetCaption(kNewPageQuestion);
  questionLabel->SetBounds(16, 12, 290, 18);
  questionLabel->SetParent(this);
  emptyPageChoice = new ui::TCheckBox(this);
  emptyPageChoice->SetName("RadioButton1");
  emptyPageChoice->SetCaption("Leere Seite");
  emptyPageChoice->SetChecked(true);
  emptyPageChoice->SetBounds(16, 40, 140, 22);
  emptyPageChoice->SetParent(this);
  fromTemplateChoice = new ui::TCheckBox(this);
  fromTemplateChoice->SetName("RadioButton2");
  fromTemplateChoice->SetCaption("Aus Vorlage");
  fromTemplateChoice->SetBounds(16, 70, 120, 22);
  fromTemplateChoice->SetParent(this);
  // One of the two is always ticked, as with radio buttons.
  emptyPageChoice->OnClick = [this](ui::Control&) {
    emptyPageChoice->SetChecked(true);
    fromTemplateChoice->SetChecked(false);
  };
  fromTemplateChoice->OnClick = [this](ui::Control&) {
    fromTemplateChoice->SetChecked(true);
    emptyPageChoice->SetChecked(false);
  };
  templateList = new ui::TComboBox(this);
  templateList->SetName("ComboBox1");
  templateList->SetStyle(ui::TComboBoxStyle::csDropDownList);
  templateList->SetBounds(140, 68, 174, 26);
  templateList->SetParent(this);
  // Choosing a template ticks "Aus Vorlage".
  templateList->OnChange = [this](ui::Control&) {
    fromTemplateChoice->SetChecked(true);
    emptyPageChoice->SetChecked(false);
  };
  AddButton(*this, "Button1", "Ja", ui::mrOk, {70, 110, 150, 138});
  AddButton(*this, "Button2", "Nein", ui::mrNo, {170, 110, 250, 138});
}

void NewPageWindow::Prepare(bool templatesAllowed) {
  emptyPageChoice->SetChecked(true);
  fromTemplateChoice->SetChecked(false);
  fromTemplateChoice->SetEnabled(templatesAllowed);
  templateList->SetEnabled(templatesAllowed);
  templateList->SetItems({});
  templatePaths.clear();
  if (templatesAllowed) templateList->SetText(kChooseTemplatePrompt);
}

std::string NewPageWindow::ChosenTemplatePath() const {
  const int index = templateList->ItemIndex();
  if (!fromTemplateChoice->Enabled() || !fromTemplateChoice->Checked() || index < 0 ||
      static_cast<std::size_t>(index) >= templatePaths.size()) {
    return {};
  }
  return templatePaths[static_cast<std::size_t>(index)];
}

TemplateNameWindow::TemplateNameWindow(ui::Component* owner) : ui::TForm(owner) {
  SetName("Form25");
  SetCaption("In Vorlageordner speichern....");
  auto* text = new ui::TLabel(this);
  text->SetName("Label2");
  text->SetCaption(
      "Die aktuelle Seite wird als Vorlage gespeichert und steht beim Anlegen einer neuen Seite "
      "zur Auswahl.");
  text->SetParent(this);
  nameEdit = new ui::TEdit(this);
  nameEdit->SetName("Edit1");
  nameEdit->SetHint("Name der Vorlage:");
  nameEdit->SetParent(this);
  AddButton(*this, "Button1", "OK", ui::mrOk);
  AddButton(*this, "Button2", "Abbrechen", ui::mrCancel);
}

ReplaceTemplateWindow::ReplaceTemplateWindow(ui::Component* owner) : ui::TForm(owner) {
  SetName("FormReplaceTemplate");
  SetCaption("Vorlage ersetzen?");
  questionLabel = new ui::TLabel(this);
  questionLabel->SetName("Label1");
  questionLabel->SetParent(this);
  AddButton(*this, "Button1", "Ja", ui::mrYes);
  AddButton(*this, "Button2", "Nein", ui::mrNo);
}

}  // namespace quirabel::dialogs
