#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dialogs/property_windows.h"
#include "report/pr_code.h"

namespace quirabel::dialogs {

// Why a code cannot take a content at its size (German), none when it can. Content with
// data-field markers is checked row by row when printed, not here.
std::optional<std::string> CodeContentRefusal(const report::TPRCode& code,
                                              const std::string& content);

// The vCard 3.0 template of chosen values: a data field's marker "<name>" or a text as it is; an
// empty choice leaves its line out. A family name chosen without a given name is the whole name,
// split at its last space (for a marker when the row fills it).
struct VCardFieldChoice {
  std::string familyName, givenName, organisation, phone, email, url;
};
std::string VCardTemplate(const VCardFieldChoice& choice);

// "Eigenschaften Code": kind, error correction, colour and content of the pressed code, and a
// vCard template from data fields. The content goes into the code with "Übernehmen"; content the
// kind cannot hold at the code's size is refused with the reason.
class CodePropertiesWindow : public ElementWindow {
 public:
  CodePropertiesWindow(ui::Component* owner, DocumentSource document,
                       const std::vector<std::string>& dataFields);
  std::string ClassName() const override { return "CodePropertiesWindow"; }

  ui::TComboBox* kindChoice;
  ui::TComboBox* correctionChoice;
  ui::TColorButton* colorButton;
  ui::TMemo* contentMemo;
  ui::TButton* applyButton;       // "Übernehmen"
  ui::TLabel* smallModulesLabel;  // shown while modules would be below 0.25 mm
  ui::TLabel* replacedLabel;      // why a change of kind replaced the content by an example
  // "Inhalt ersetzen?": asked before a change of kind replaces content the new kind cannot hold.
  ui::TForm* replaceQuestion;
  ui::TLabel* replaceQuestionLabel;
  // The values of the vCard: Nachname (or the whole name), Vorname, Firma, Telefon, E-Mail,
  // Internet; each a data field, or a text line or text field of the page without one („…“).
  ui::TComboBox* vcardChoices[6];
  ui::TButton* vcardButton;  // "vCard aus Datenfeldern…"

  void OnWindowShown();
  void OnKindChange();
  void OnCorrectionChange();
  void OnColorClick();
  // Takes the memo's content. Content the kind cannot hold raises a UserError with the reason;
  // the code keeps what it had.
  void OnApplyClick();
  void OnVCardClick();

  report::TPRCode* PressedCode() const;
  const report::TPRItem* Target() const override { return PressedCode(); }

 private:
  const std::vector<std::string>& dataFields_;
  // What each item of the vCard choices puts into the vCard: nothing, a marker, or a text.
  std::vector<std::string> vcardValues_;
  void ShowModuleWarning();
};

}  // namespace quirabel::dialogs
