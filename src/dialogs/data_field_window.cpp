#include "dialogs/data_field_window.h"

#include <algorithm>

#include "ui/platform.h"

namespace quirabel::dialogs {

std::string FieldNameTaken(std::string_view name) {
  return "Der Feldname „" + std::string(name) + "“ ist schon vergeben.";
}

DataFieldWindow::DataFieldWindow(ui::Component* owner, std::vector<std::string>& fields,
                                 DocumentSource document)
    : ElementWindow(owner, std::move(document)), fields_(fields) {
  SetName("Form29");
  SetCaption("Datenfeld erstellen");
  SetToolWindow(true);
  SetPosition(ui::TFormPosition::poScreenCenter);
  SetColor(graphics::clWhite);
  SetBounds(0, 0, 315, 192);

  promptLabel = AddLabel("Label1", "Vergeben Sie einen Feldnamen:", 8, 12);
  promptLabel->SetWidth(160);
  fieldNameEdit = AddEdit("Edit1", 8, 32, 160);
  addButton = AddButton("BitBtn1", "Hinzufügen ->", 8, 62, 160, 25);
  okButton = AddButton("BitBtn2", "ok", 8, 158, 75, 25);
  fieldList = new ui::TListBox(this);
  fieldList->SetName("ListBox1");
  fieldList->SetBounds(178, 0, 137, 192);
  fieldList->SetParent(this);

  addButton->OnClick = [this](ui::Control&) { OnAddClick(); };
  okButton->OnClick = [this](ui::Control&) { OnOkClick(); };
  RefillList();
}

void DataFieldWindow::SetPropertyWindows(LabelPropertiesWindow* labels,
                                         TextPropertiesWindow* texts) {
  labelWindow_ = labels;
  textWindow_ = texts;
}

void DataFieldWindow::Propose(std::string name) {
  fieldNameEdit->SetText(std::move(name));
  Show();
}

void DataFieldWindow::OnAddClick() {
  ui::Platform* platform = GetPlatform();
  const auto tell = [platform](const std::string& text) {
    if (platform != nullptr) platform->ShowMessage(text);
  };
  const std::string name = fieldNameEdit->Text();
  if (name.empty()) return tell(kEmptyFieldName);
  if (std::find(fields_.begin(), fields_.end(), name) != fields_.end())
    return tell(FieldNameTaken(name));

  // A name without an element would leave the list out of step with the page.
  report::TPRItem* text = SelectedOf(report::ElementKind::Text);
  report::TPRItem* label = SelectedOf(report::ElementKind::Label);
  if (text == nullptr && label == nullptr) return tell(kNoTextSelected);

  // A selected text field goes before a selected text line.
  report::TPRItem& element = text != nullptr ? *text : *label;
  // An element has one field: a name it had before leaves the list.
  const std::string before = designer::TextOf(element).dataField;
  if (!before.empty()) RemoveField(before);
  AddToList(name);
  Edit(element, "", [&] { designer::ClassOf(element).BindDataField(element, name); });
  element.Invalidate();
  if (&element == text) {
    if (TextPropertiesWindow* window = textWindow_.Get()) {
      window->dataFieldBox->SetChecked(true);
      window->editor->SetText(DataFieldMarker(name));
      window->SetDataFieldMode(true);
    }
  } else if (LabelPropertiesWindow* window = labelWindow_.Get()) {
    window->dataFieldBox->SetChecked(true);
    window->textEdit->SetText(DataFieldMarker(name));
    window->SetDataFieldMode(true);
  }
}

void DataFieldWindow::AddToList(std::string name) {
  fieldList->AddItem(name);
  fields_.push_back(std::move(name));
}

bool DataFieldWindow::RemoveField(std::string_view name) {
  const auto entry = std::find(fields_.begin(), fields_.end(), name);
  if (entry == fields_.end()) return false;
  const auto index = entry - fields_.begin();
  fields_.erase(entry);
  fieldList->DeleteItem(static_cast<int>(index));
  return true;
}

void DataFieldWindow::RefillList() { fieldList->SetItems(fields_); }

}  // namespace quirabel::dialogs
