#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "designer/element_kinds.h"
#include "dialogs/property_windows.h"
#include "ui/controls.h"
#include "ui/input_controls.h"

namespace quirabel::dialogs {

inline constexpr const char* kEmptyFieldName = "Bitte geben Sie einen Feldnamen ein.";
inline constexpr const char* kNoTextSelected =
    "Bitte wählen Sie zuerst eine Textzeile aus, die das Datenfeld werden soll.";
// "Der Feldname „Kunde“ ist schon vergeben."
std::string FieldNameTaken(std::string_view name);

using designer::DataFieldMarker;

// "Datenfeld erstellen": gives the selected text line a data-field name for serial PDFs. Its
// list box shows the data-field list of the page on screen, entry for entry; the two change
// together.
class DataFieldWindow : public ElementWindow {
 public:
  // `fields` is the application's data-field list, which the window keeps in step.
  DataFieldWindow(ui::Component* owner, std::vector<std::string>& fields, DocumentSource document);
  std::string ClassName() const override { return "DataFieldWindow"; }

  ui::TLabel* promptLabel;   // "Vergeben Sie einen Feldnamen:"
  ui::TEdit* fieldNameEdit;  // the name to give
  ui::TButton* addButton;    // "Hinzufügen ->"
  ui::TButton* okButton;     // "ok"
  ui::TListBox* fieldList;   // the data-field list

  // The text windows whose data-field boxes follow what this window does.
  void SetPropertyWindows(LabelPropertiesWindow* labels, TextPropertiesWindow* texts);

  // A text window's box was ticked: shows the window with a name proposed.
  void Propose(std::string name);
  // "Hinzufügen ->": the name goes into the list and the selected text line (or text field)
  // becomes its data field. A name that is empty or already in the list is refused with a
  // message, as is adding while no text is selected; list and element then stay as they were.
  void OnAddClick();
  void OnOkClick() { Hide(); }

  // Takes the entry that is exactly this name off the list; false when there is none.
  bool RemoveField(std::string_view name);
  // The list box anew from the list, after a page was rebuilt.
  void RefillList();

 private:
  void AddToList(std::string name);

  std::vector<std::string>& fields_;
  ui::ComponentRef<LabelPropertiesWindow> labelWindow_;
  ui::ComponentRef<TextPropertiesWindow> textWindow_;
};

}  // namespace quirabel::dialogs
