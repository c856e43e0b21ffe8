#include "dialogs/serial_windows.h"

#include <algorithm>
#include <system_error>

#include "base/user_error.h"
#include "serial/pdf_names.h"
#include "ui/platform.h"

namespace quirabel::dialogs {

namespace {

ui::TButton* AddButton(ui::TForm* form, const char* name, const char* caption, int modalResult) {
  auto* button = new ui::TButton(form);
  button->SetName(name);
  button->SetCaption(caption);
  button->SetModalResult(modalResult);
  button->SetParent(form);
  return button;
}

}  // namespace

SerialSettingsWindow::SerialSettingsWindow(ui::Component* owner) : ui::TForm(owner) {
  SetName("Form30");
  SetCaption("SerienPDF");
  SetBounds(0, 0, 706, 510);
  identifierEdit = new ui::TEdit(this);
  identifierEdit->SetName("Edit2");
  identifierEdit->SetHint("Bezeichner:");
  identifierEdit->SetText(std::string(serial::kDefaultIdentifier));
  identifierEdit->SetParent(this);
  targetFolderLabel = new ui::TLabel(this);
  targetFolderLabel->SetName("Label3");
  targetFolderLabel->SetParent(this);
  otherFolderButton = AddButton(this, "BitBtn2", "Anderes Verzeichnis", ui::mrNone);
  printButton = AddButton(this, "BitBtn1", "Serien-PDF drucken / senden ->", ui::mrOk);
  OnNamingChange();
}

void SerialSettingsWindow::Fill(const serial::LinkFile& link, const serial::CsvTable& table) {
  assignments = link.assignments;
  namingEntries = {kNamingByCounter};
  namingIndex = -1;
  identifierEdit->SetEnabled(false);
  identifierEdit->SetColor(kSilver);
  gridRows.clear();
  const int columns = table.ColumnCount();
  std::vector<std::string> captions;
  for (int c = 1; c <= columns; ++c) {
    captions.push_back("Feld" + std::to_string(c));
    namingEntries.push_back(captions.back());
  }
  gridRows.push_back(std::move(captions));
  const std::size_t shown = std::min(table.RowCount(), kShownRows);
  for (std::size_t r = 0; r < shown; ++r) gridRows.push_back(table.Row(r));
}

void SerialSettingsWindow::OnNamingChange() {
  const bool byCounter = namingIndex <= 0;
  identifierEdit->SetEnabled(byCounter);
  identifierEdit->SetColor(byCounter ? graphics::clWhite : kSilver);
}

serial::Naming SerialSettingsWindow::ChosenNaming() const {
  serial::Naming naming;
  naming.identifier = identifierEdit->Text();
  // Entry k (from 1) is Feld k.
  if (namingIndex > 0) naming.column = namingIndex;
  return naming;
}

std::string SerialSettingsWindow::NamingText() const {
  if (namingIndex > 0 && static_cast<std::size_t>(namingIndex) < namingEntries.size())
    return namingEntries[static_cast<std::size_t>(namingIndex)];
  return identifierEdit->Text();
}

FolderChoiceWindow::FolderChoiceWindow(ui::Component* owner) : ui::TForm(owner) {
  SetName("Form31");
  SetCaption("Verzeichnisauswahl");
  std::error_code error;
  currentFolder = std::filesystem::current_path(error);
  newFolderButton = AddButton(this, "BitBtn1", "Neues Verzeichniss", ui::mrNone);
  applyButton = AddButton(this, "BitBtn2", "Übernehmen", ui::mrOk);
}

NewFolderWindow::NewFolderWindow(ui::Component* owner) : ui::TForm(owner) {
  SetName("Form32");
  SetCaption("Neuer Order");
  nameEdit = new ui::TEdit(this);
  nameEdit->SetName("Edit1");
  nameEdit->SetText("Neuer Order");
  nameEdit->SetParent(this);
  AddButton(this, "Button1", "OK", ui::mrOk);
  AddButton(this, "Button2", "Abbruch", ui::mrCancel);
}

void NewFolderWindow::CreateIn(const std::filesystem::path& parent) {
  const std::string& name = nameEdit->Text();
  std::error_code error;
  // One folder inside the chosen one: no path of its own, nothing that climbs out.
  const bool plain = !name.empty() && serial::SafeFileStem(name) == name;
  if (!plain || !std::filesystem::create_directory(parent / name, error))
    throw UserError(kFolderNotCreated);
}

OverwriteQuestionWindow::OverwriteQuestionWindow(ui::Component* owner) : ui::TForm(owner) {
  SetName("FormOverwrite");
  SetCaption("Dateien überschreiben?");
  SetPosition(ui::TFormPosition::poScreenCenter);
  questionLabel = new ui::TLabel(this);
  questionLabel->SetName("Label1");
  questionLabel->SetParent(this);
  AddButton(this, "Button1", "Ja", ui::mrYes);
  AddButton(this, "Button2", "Nein", ui::mrNo);
}

}  // namespace quirabel::dialogs
