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

ui::TLabel* AddLabel(ui::TForm* form, const char* name, std::string caption, int left, int top) {
  auto* label = new ui::TLabel(form);
  label->SetName(name);
  label->SetCaption(std::move(caption));
  label->SetBounds(left, top, 0, 0);  // sized by its text
  label->SetParent(form);
  return label;
}

}  // namespace

SerialSettingsWindow::SerialSettingsWindow(ui::Component* owner) : ui::TForm(owner) {
  SetName("Form30");
  SetCaption("SerienPDF");
  SetBounds(0, 0, 706, 510);
  SetPosition(ui::TFormPosition::poScreenCenter);
  dataGrid = new ui::TStringGrid(this);
  dataGrid->SetName("StringGrid1");
  dataGrid->SetBounds(8, 8, 690, 200);
  dataGrid->SetParent(this);

  AddLabel(this, "Label4", "Die Dateinamen werden gebildet aus..", 8, 220);
  AddLabel(this, "Gruppenname", "Dateinamen nach: (Feldinhalt.pdf)", 8, 248);
  namingBox = new ui::TComboBox(this);
  namingBox->SetName("ComboBox1");
  namingBox->SetStyle(ui::TComboBoxStyle::csDropDownList);
  namingBox->SetText(kChooseNaming);
  namingBox->SetBounds(220, 244, 200, 26);
  namingBox->OnChange = [this](ui::Control&) { OnNamingChange(); };
  namingBox->SetParent(this);
  AddLabel(this, "Label2", "Bezeichner:", 8, 282);
  identifierEdit = new ui::TEdit(this);
  identifierEdit->SetName("Edit2");
  identifierEdit->SetHint("Bezeichner:");
  identifierEdit->SetText(std::string(serial::kDefaultIdentifier));
  identifierEdit->SetBounds(220, 278, 200, 26);
  identifierEdit->SetParent(this);
  assignmentList = new ui::TListBox(this);
  assignmentList->SetName("ListBox1");
  assignmentList->SetBounds(440, 216, 258, 124);
  assignmentList->SetParent(this);
  oneFileBox = new ui::TCheckBox(this);
  oneFileBox->SetName("CheckBoxOneFile");
  oneFileBox->SetCaption(kOneFile);
  oneFileBox->SetBounds(8, 314, 412, 24);
  oneFileBox->OnClick = [this](ui::Control&) { OnOneFileClick(); };
  oneFileBox->SetParent(this);

  AddLabel(this, "Label1", "Bitte wählen Sie ein Zielverzeichnis:", 8, 352);
  targetFolderLabel = new ui::TLabel(this);
  targetFolderLabel->SetName("Label3");
  targetFolderLabel->SetBounds(8, 374, 690, 20);
  targetFolderLabel->SetParent(this);
  otherFolderButton = AddButton(this, "BitBtn2", "Anderes Verzeichnis", ui::mrNone);
  otherFolderButton->SetBounds(8, 398, 200, 30);
  mailBox = new ui::TCheckBox(this);
  mailBox->SetName("CheckBox1");
  mailBox->SetCaption("Dokumente sollen nach dem Druck per eMail versendet werden? (Attatchment)");
  mailBox->SetBounds(8, 438, 690, 24);
  mailBox->SetParent(this);
  printButton = AddButton(this, "BitBtn1", "Serien-PDF drucken / senden ->", ui::mrOk);
  printButton->SetBounds(440, 470, 258, 32);
  EnableWhatApplies();
}

void SerialSettingsWindow::Fill(const serial::LinkFile& link, const serial::CsvTable& table) {
  assignmentList->SetItems(link.assignments);
  std::vector<std::string> entries{kNamingByCounter};
  std::vector<std::vector<std::string>> rows;
  const int columns = table.ColumnCount();
  std::vector<std::string> captions;
  for (int c = 1; c <= columns; ++c) {
    captions.push_back("Feld" + std::to_string(c));
    entries.push_back(captions.back());
  }
  rows.push_back(std::move(captions));
  const std::size_t shown = std::min(table.RowCount(), kShownRows);
  for (std::size_t r = 0; r < shown; ++r) rows.push_back(table.Row(r));
  dataGrid->SetRows(std::move(rows));
  namingBox->SetItems(std::move(entries));
  namingBox->SetText(kChooseNaming);
  // Opens with the identifier off, whatever the box shows.
  identifierEdit->SetEnabled(false);
  identifierEdit->SetColor(kSilver);
}

void SerialSettingsWindow::OnNamingChange() { EnableWhatApplies(); }

void SerialSettingsWindow::OnOneFileClick() { EnableWhatApplies(); }

void SerialSettingsWindow::SetOneFile(bool oneFile) {
  oneFileBox->SetChecked(oneFile);
  EnableWhatApplies();
}

void SerialSettingsWindow::EnableWhatApplies() {
  const bool perRow = !oneFileBox->Checked();
  const bool byCounter = perRow && namingBox->ItemIndex() <= 0;
  namingBox->SetEnabled(perRow);
  identifierEdit->SetEnabled(byCounter);
  identifierEdit->SetColor(byCounter ? graphics::clWhite : kSilver);
  mailBox->SetEnabled(perRow);
}

serial::Naming SerialSettingsWindow::ChosenNaming() const {
  serial::Naming naming;
  naming.identifier = identifierEdit->Text();
  // Entry k (from 1) is Feld k.
  if (namingBox->ItemIndex() > 0) naming.column = namingBox->ItemIndex();
  return naming;
}

std::string SerialSettingsWindow::NamingText() const {
  if (namingBox->ItemIndex() > 0) return namingBox->Text();
  return identifierEdit->Text();
}

FolderChoiceWindow::FolderChoiceWindow(ui::Component* owner) : ui::TForm(owner) {
  SetName("Form31");
  SetCaption("Verzeichnisauswahl");
  SetBounds(0, 0, 420, 480);
  SetPosition(ui::TFormPosition::poScreenCenter);
  // A path typed or pasted beside the tree, taken when the field is left.
  pathEdit = new ui::TEdit(this);
  pathEdit->SetName("PathEdit");
  pathEdit->SetHint("Pfad");
  pathEdit->SetBounds(8, 8, 404, 24);
  pathEdit->SetParent(this);
  folderTree = new ui::TFolderTree(this);
  folderTree->SetName("DirectoryListBox1");
  folderTree->SetBounds(8, 38, 404, 390);
  std::error_code error;
  folderTree->SetFolder(std::filesystem::current_path(error));
  folderTree->SetParent(this);
  newFolderButton = AddButton(this, "BitBtn1", "Neues Verzeichniss", ui::mrNone);
  newFolderButton->SetBounds(8, 438, 180, 32);
  applyButton = AddButton(this, "BitBtn2", "Übernehmen", ui::mrOk);
  applyButton->SetBounds(292, 438, 120, 32);
  folderTree->OnChange = [this](ui::Control&) { ShowFolder(); };
  pathEdit->OnEditingDone = [this](ui::Control&) { OnPathTyped(); };
  OnShow = [this](ui::Control&) { ShowFolder(); };
}

void FolderChoiceWindow::ShowFolder() { pathEdit->SetText(folderTree->Folder().string()); }

void FolderChoiceWindow::OnPathTyped() {
  const std::string typed = pathEdit->Text();
  if (typed.empty() || typed == folderTree->Folder().string()) return;
  std::error_code error;
  if (!std::filesystem::is_directory(typed, error)) {
    ShowFolder();
    throw UserError("Den Ordner gibt es nicht: " + typed);
  }
  folderTree->SetFolder(std::filesystem::absolute(typed, error).lexically_normal());
  ShowFolder();
}

NewFolderWindow::NewFolderWindow(ui::Component* owner) : ui::TForm(owner) {
  SetName("Form32");
  SetCaption("Neuer Order");
  nameEdit = new ui::TEdit(this);
  nameEdit->SetName("Edit1");
  nameEdit->SetText("Neuer Order");
  nameEdit->SetHint("Name:");
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
