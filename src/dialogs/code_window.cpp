#include "dialogs/code_window.h"

#include "base/user_error.h"

#include <tuple>

#include "designer/document_window.h"
#include "designer/element_kinds.h"
#include "graphics/code_symbol.h"
#include "report/vcard_name.h"
#include "ui/platform.h"

namespace quirabel::dialogs {

using report::ElementKind;

namespace {

constexpr const char* kNoField = "–";
constexpr const char* kSmallModules =
    "Module unter 0,25 mm: Telefone lesen den Code dann oft nicht. Bitte vergrößern.";

// A content every kind holds at its usual size.
std::string ExampleOf(graphics::CodeKind kind) {
  switch (kind) {
    case graphics::CodeKind::Ean13:
      return "400638133393";
    case graphics::CodeKind::Code128:
    case graphics::CodeKind::DataMatrix:
      return "12345678";
    case graphics::CodeKind::QrCode:
      break;
  }
  return "https://";
}

}  // namespace

std::optional<std::string> CodeContentRefusal(const report::TPRCode& code,
                                              const std::string& content) {
  if (!report::CodeFieldsOf(content).empty()) return std::nullopt;
  try {
    bool fits = false;
    report::LayOutCode(graphics::EncodeCode(code.CodeKind(), content, code.Correction()),
                       code.Width(), code.Height(), &fits);
    if (!fits) {
      return std::string(
          "Der Inhalt ist für diese Größe zu lang; die Module wären kleiner als "
          "0,25 mm. Bitte den Code vergrößern oder den Inhalt kürzen.");
    }
  } catch (const graphics::CodeError& e) {
    return std::string(e.what());
  }
  return std::nullopt;
}

std::string VCardTemplate(const VCardFieldChoice& choice) {
  return report::VCardWithNameSplit(
      graphics::VCard3({choice.familyName, choice.givenName, choice.organisation, choice.phone,
                        choice.email, choice.url}));
}

CodePropertiesWindow::CodePropertiesWindow(ui::Component* owner, DocumentSource document,
                                           const std::vector<std::string>& dataFields)
    : ElementWindow(owner, std::move(document)), dataFields_(dataFields) {
  SetName("CodePropertiesWindow");
  SetCaption("Eigenschaften Code");
  SetToolWindow(true);
  SetColor(graphics::clWhite);
  SetBounds(0, 0, 260, 500);

  AddLabel("KindLabel", "Art", 8, 11);
  kindChoice = AddChoice("KindChoice", {"QR-Code", "Data Matrix", "Code 128", "EAN-13"}, "QR-Code",
                         110, 8, 142);
  kindChoice->SetStyle(ui::TComboBoxStyle::csDropDownList);
  AddLabel("CorrectionLabel", "Fehlerkorrektur", 8, 39);
  correctionChoice = AddChoice("CorrectionChoice", {"L (7 %)", "M (15 %)", "Q (25 %)", "H (30 %)"},
                               "M (15 %)", 110, 36, 142);
  correctionChoice->SetStyle(ui::TComboBoxStyle::csDropDownList);
  colorButton = new ui::TColorButton(this);
  colorButton->SetName("ColorButton");
  colorButton->SetCaption("Farbe");
  colorButton->SetBounds(8, 64, 244, 25);
  colorButton->SetParent(this);

  AddLabel("ContentLabel", "Inhalt (Datenfelder als <Name>)", 8, 96, true);
  contentMemo = new ui::TMemo(this);
  contentMemo->SetName("ContentMemo");
  contentMemo->SetTakesControlCharacters(true);  // a code may hold separators such as GS
  contentMemo->SetBounds(8, 114, 244, 110);
  contentMemo->SetParent(this);
  applyButton = AddButton("ApplyButton", "Übernehmen", 8, 228, 244, 25);
  // The notes take the window's width and as many lines as they need.
  smallModulesLabel = AddLabel("SmallModulesLabel", kSmallModules, 8, 258);
  smallModulesLabel->SetBounds(8, 258, 244, 30);
  smallModulesLabel->SetWordWrap(true);
  smallModulesLabel->SetVisible(false);
  replacedLabel = AddLabel("ReplacedLabel", "Der Inhalt wurde durch ein Beispiel ersetzt.", 8, 290);
  replacedLabel->SetBounds(8, 290, 244, 60);
  replacedLabel->SetWordWrap(true);
  replacedLabel->SetVisible(false);

  replaceQuestion = new ui::TForm(this);
  replaceQuestion->SetName("ReplaceContentQuestion");
  replaceQuestion->SetCaption("Inhalt ersetzen?");
  replaceQuestionLabel = new ui::TLabel(replaceQuestion);
  replaceQuestionLabel->SetName("Label1");
  replaceQuestionLabel->SetParent(replaceQuestion);
  for (const auto& [name, caption, result] :
       {std::tuple{"Button1", "Ja", ui::mrYes}, std::tuple{"Button2", "Nein", ui::mrNo}}) {
    auto* button = new ui::TButton(replaceQuestion);
    button->SetName(name);
    button->SetCaption(caption);
    button->SetModalResult(result);
    button->SetParent(replaceQuestion);
  }

  AddLabel("VCardLabel", "vCard aus Datenfeldern", 8, 356, true);
  const char* roles[] = {"Nachname", "Vorname", "Firma", "Telefon", "E-Mail", "Internet"};
  for (int i = 0; i < 6; ++i) {
    const int column = i % 2, row = i / 2;
    const std::string name = "VCardChoice" + std::to_string(i + 1);
    vcardChoices[i] = AddChoice(name.c_str(), {}, roles[i], 8 + column * 124, 374 + row * 26, 120);
    vcardChoices[i]->SetStyle(ui::TComboBoxStyle::csDropDownList);
    vcardChoices[i]->SetHint(roles[i]);
  }
  vcardChoices[0]->SetHint("Nachname, oder der ganze Name, wenn kein Vorname gewählt ist");
  vcardButton = AddButton("VCardButton", "vCard aus Datenfeldern…", 8, 454, 244, 25);

  OnShow = [this](ui::Control&) { OnWindowShown(); };
  kindChoice->OnChange = [this](ui::Control&) { OnKindChange(); };
  correctionChoice->OnChange = [this](ui::Control&) { OnCorrectionChange(); };
  colorButton->OnClick = [this](ui::Control&) { OnColorClick(); };
  applyButton->OnClick = [this](ui::Control&) { OnApplyClick(); };
  vcardButton->OnClick = [this](ui::Control&) { OnVCardClick(); };
}

report::TPRCode* CodePropertiesWindow::PressedCode() const {
  return static_cast<report::TPRCode*>(PressedOf(ElementKind::Code));
}

void CodePropertiesWindow::ShowModuleWarning() {
  const report::TPRCode* code = PressedCode();
  smallModulesLabel->SetVisible(code != nullptr && report::CodeFieldsOf(code->Content()).empty() &&
                                !code->ModulesReadable());
}

void CodePropertiesWindow::OnWindowShown() {
  replacedLabel->SetVisible(false);
  // Each box shows its role until a field is chosen; "–" leaves the role out again. The data
  // fields come first, then the page's texts without one, in quotes.
  std::vector<std::string> fields{kNoField};
  vcardValues_ = {std::string()};
  for (const std::string& field : dataFields_) {
    fields.push_back(field);
    vcardValues_.push_back(designer::DataFieldMarker(field));
  }
  if (designer::DocumentWindow* document = Document()) {
    for (const designer::PageElement& element : document->Page().Elements()) {
      const designer::ElementText text = designer::TextOf(*element.item);
      if (!text.dataField.empty() || text.text.empty()) continue;
      std::string shown = text.text;
      while (shown.ends_with("\r\n")) shown.resize(shown.size() - 2);
      for (char& c : shown)
        if (c == '\r' || c == '\n') c = ' ';
      if (shown.empty()) continue;
      fields.push_back("„" + shown + "“");
      vcardValues_.push_back(text.text);
    }
  }
  for (ui::TComboBox* choice : vcardChoices) {
    const std::string shown = choice->Text();
    choice->SetItems(fields);
    choice->SetText(shown);
  }
  if (const report::TPRCode* code = PressedCode()) {
    kindChoice->SetItemIndex(static_cast<int>(code->CodeKind()));
    correctionChoice->SetItemIndex(static_cast<int>(code->Correction()));
    correctionChoice->SetEnabled(code->CodeKind() == graphics::CodeKind::QrCode);
    colorButton->SetSwatchColor(code->Color());
    contentMemo->SetText(code->Content());
  }
  ShowModuleWarning();
}

void CodePropertiesWindow::OnKindChange() {
  report::TPRCode* code = PressedCode();
  if (code == nullptr || kindChoice->ItemIndex() < 0) return;
  const auto kind = static_cast<graphics::CodeKind>(kindChoice->ItemIndex());
  report::TPRCode trial;
  trial.SetBounds(0, 0, code->Width(), code->Height());
  trial.SetCodeKind(kind);
  trial.SetCorrection(code->Correction());
  // Content the new kind holds stays. Content it cannot hold gives way to an example of the kind
  // only when the person says so (an undo step brings it back), so the code on the page always
  // prints; "Nein" keeps the kind and the content as they were.
  std::string content = code->Content();
  const auto refusal = CodeContentRefusal(trial, content);
  if (refusal) {
    replaceQuestionLabel->SetCaption(*refusal + "\n\nDen Inhalt durch ein Beispiel für " +
                                     kindChoice->Text() + " ersetzen?");
    if (replaceQuestion->ShowModal() != ui::mrYes) {
      kindChoice->SetItemIndex(static_cast<int>(code->CodeKind()));
      return;
    }
    content = ExampleOf(kind);
  }
  // The window says so below the content, until the content is taken or the window shown anew.
  replacedLabel->SetCaption(refusal ? "Der Inhalt wurde durch ein Beispiel ersetzt: " + *refusal
                                    : std::string("Der Inhalt wurde durch ein Beispiel ersetzt."));
  replacedLabel->SetHint(refusal ? *refusal : std::string());
  replacedLabel->SetVisible(refusal.has_value());
  Edit(*code, "", [&] {
    code->SetCodeKind(kind);
    code->SetContent(content);
  });
  contentMemo->SetText(code->Content());
  correctionChoice->SetEnabled(kind == graphics::CodeKind::QrCode);
  ShowModuleWarning();
}

void CodePropertiesWindow::OnCorrectionChange() {
  report::TPRCode* code = PressedCode();
  if (code == nullptr || correctionChoice->ItemIndex() < 0) return;
  const auto correction = static_cast<graphics::QrErrorCorrection>(correctionChoice->ItemIndex());
  report::TPRCode trial;
  trial.SetBounds(0, 0, code->Width(), code->Height());
  trial.SetCodeKind(code->CodeKind());
  trial.SetCorrection(correction);
  if (const auto refusal = CodeContentRefusal(trial, code->Content())) {
    correctionChoice->SetItemIndex(static_cast<int>(code->Correction()));
    throw UserError(*refusal);
  }
  Edit(*code, "", [&] { code->SetCorrection(correction); });
  ShowModuleWarning();
}

void CodePropertiesWindow::OnColorClick() {
  report::TPRCode* code = PressedCode();
  const auto color = ChooseColor(code != nullptr ? code->Color() : graphics::clBlack);
  if (color && (code = PressedCode()) != nullptr) {
    Edit(*code, "", [&] { code->SetColor(*color); });
    colorButton->SetSwatchColor(code->Color());
  }
}

void CodePropertiesWindow::OnApplyClick() {
  report::TPRCode* code = PressedCode();
  if (code == nullptr) return;
  const std::string content = contentMemo->Text();
  if (content.empty()) throw UserError("Ein Code braucht einen Inhalt.");
  if (const auto refusal = CodeContentRefusal(*code, content)) throw UserError(*refusal);
  Edit(*code, "", [&] { code->SetContent(content); });
  replacedLabel->SetVisible(false);
  // The markers of the content are data fields of the page, as a text line's is.
  if (designer::DocumentWindow* document = Document()) document->Page().NoteDataFields(*code);
  ShowModuleWarning();
}

void CodePropertiesWindow::OnVCardClick() {
  const auto chosen = [this](int role) {
    const auto index = static_cast<std::size_t>(vcardChoices[role]->ItemIndex());
    return index < vcardValues_.size() ? vcardValues_[index] : std::string();
  };
  VCardFieldChoice choice{chosen(0), chosen(1), chosen(2), chosen(3), chosen(4), chosen(5)};
  if (choice.familyName.empty() && choice.givenName.empty())
    throw UserError("Bitte mindestens ein Feld für Nachname oder Vorname wählen.");
  contentMemo->SetText(VCardTemplate(choice));
  OnApplyClick();
}

}  // namespace quirabel::dialogs
