#include "dialogs/property_windows.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "base/user_error.h"
#include "designer/document_window.h"
#include "designer/element_kinds.h"
#include "designer/page_margins.h"
#include "dialogs/data_field_window.h"
#include "dialogs/text_import.h"
#include "graphics/bitmap.h"
#include "ui/platform.h"

namespace quirabel::dialogs {

using report::ElementKind;
using report::TPRFontName;

namespace {

constexpr int kRowHeight = 21;

// The screen font the editing area shows a font choice in.
const char* EditorFontOfChoice(TPRFontName font) {
  switch (font) {
    case TPRFontName::fnFixedWidth:
      return "Courier";
    case TPRFontName::fnTimesRoman:
      return "Times New Roman";
    case TPRFontName::fnArial:
      break;
  }
  return "Arial";
}

// A text field's text as the editing area shows it: the lines joined, without blanks and line
// breaks at either end.
std::string EditorText(const report::TPRText& text) {
  std::string joined;
  for (std::size_t i = 0; i < text.Lines().size(); ++i) {
    if (i > 0) joined += '\n';
    joined += text.Lines()[i];
  }
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  const auto first = std::find_if_not(joined.begin(), joined.end(), blank);
  const auto last = std::find_if_not(joined.rbegin(), joined.rend(), blank).base();
  return first < last ? std::string(first, last) : std::string();
}

// A number field's up-down keeps a whole position near the value the field shows.
void ShowNumber(ui::TEdit& field, ui::TUpDown& upDown, float value) {
  if (std::isfinite(value)) upDown.SetPosition(static_cast<int>(std::lround(value)));
  field.SetText(ShortestDecimal(value));
}

// The picture on a preset button: a square growing with the preset, or a bar as high as the
// preset's line.
graphics::Picture PresetGlyph(const RectanglePropertiesWindow::PresetShape& shape) {
  constexpr int kSize = 17;
  graphics::Bitmap glyph(kSize, kSize, graphics::PixelFormat::pf24bit);
  glyph.FillRect(0, 0, kSize, kSize, graphics::clWhite);
  const graphics::TColor ink = graphics::RGB(64, 64, 64);
  if (shape.width) {
    const int side = std::clamp(*shape.width * 15 / 40, 3, 15);
    const int corner = (kSize - side) / 2;
    glyph.FillRect(corner, corner, corner + side, corner + side, ink);
  } else {
    const int top = (kSize - shape.height / 2) / 2;
    glyph.FillRect(1, top, kSize - 1, top + std::max(1, shape.height / 2), ink);
  }
  return graphics::Picture::FromBitmap(std::move(glyph));
}

}  // namespace

std::string_view FontChoiceText(TPRFontName font) {
  switch (font) {
    case TPRFontName::fnFixedWidth:
      return "Fixed";
    case TPRFontName::fnTimesRoman:
      return "Times Roman";
    case TPRFontName::fnArial:
      break;
  }
  return "Arial";
}

std::optional<TPRFontName> FontOfChoice(std::string_view text) {
  if (text == "Arial") return TPRFontName::fnArial;
  if (text == "Fixed") return TPRFontName::fnFixedWidth;
  if (text == "Times Roman") return TPRFontName::fnTimesRoman;
  return std::nullopt;
}

std::string_view AlignmentChoiceText(pdf::TAlignment alignment) {
  switch (alignment) {
    case pdf::TAlignment::taCenter:
      return "Center";
    case pdf::TAlignment::taRightJustify:
      return "Rechts";
    case pdf::TAlignment::taLeftJustify:
      break;
  }
  return "Links";
}

std::optional<pdf::TAlignment> AlignmentOfChoice(std::string_view text) {
  if (text == "Links") return pdf::TAlignment::taLeftJustify;
  if (text == "Center") return pdf::TAlignment::taCenter;
  if (text == "Rechts") return pdf::TAlignment::taRightJustify;
  return std::nullopt;
}

std::optional<bool> BoldOfChoice(std::string_view text) {
  if (text == "Normal") return false;
  if (text == "Fett") return true;
  return std::nullopt;
}

std::optional<bool> ItalicOfChoice(std::string_view text) {
  if (text == "on") return true;
  if (text == "off") return false;
  return std::nullopt;
}

// ---- what the windows share

namespace {

report::TPRItem* OfKind(report::TPRItem* item, ElementKind kind) {
  if (item == nullptr || item->Kind() != kind) return nullptr;
  // The kind is also told by the name's prefix; an element renamed out of it is not ours.
  if (item->Name().find(designer::ElementPrefix(kind)) == std::string::npos) return nullptr;
  return item;
}

}  // namespace

report::TPRItem* ElementWindow::SelectedOf(ElementKind kind) const {
  designer::DocumentWindow* document = Document();
  return document != nullptr ? OfKind(document->Selected().Selected(), kind) : nullptr;
}

report::TPRItem* ElementWindow::PressedOf(ElementKind kind) const {
  designer::DocumentWindow* document = Document();
  return document != nullptr ? OfKind(document->Selected().Pressed(), kind) : nullptr;
}

double ElementWindow::FieldNumber(const ui::TEdit& field, const NumberRange& range) {
  std::string error;
  const std::optional<double> value = ReadNumber(field.Text(), range, error);
  if (!value) throw UserError(error);
  return *value;
}

std::optional<graphics::TColor> ElementWindow::ChooseColor(graphics::TColor initial) {
  ui::Platform* platform = GetPlatform();
  return platform != nullptr ? platform->ColorDialog(initial) : std::nullopt;
}

std::optional<std::string> ElementWindow::TakeNumber(ui::TEdit& field, ui::TUpDown& upDown,
                                                     const NumberRange& range, float current,
                                                     const std::function<void(float)>& apply) {
  std::string error;
  const std::optional<double> typed = ReadNumber(field.Text(), range, error);
  if (!typed) {
    // The field shows the element's value again before the message takes the focus, so that
    // losing the focus to the message does not tell it twice.
    ShowTypedNumber(field, upDown, current);
    return error;
  }
  if (static_cast<float>(*typed) != current) apply(static_cast<float>(*typed));
  return std::nullopt;
}

void ElementWindow::ShowTypedNumber(ui::TEdit& field, ui::TUpDown& upDown, float value) {
  std::string unused;
  // A field that already says so, in the person's own way of writing it, stays as it is.
  if (ReadNumber(field.Text(), {value, value, false}, unused)) return;
  ShowNumber(field, upDown, value);
}

void ElementWindow::HideWhenElementGone() {
  if (const report::TPRItem* target = Target()) {
    actedOn_ = target;
    actedOnAny_ = true;
    return;
  }
  const bool gone = actedOnAny_ && actedOn_.Get() == nullptr;
  if (!gone) return;
  actedOnAny_ = false;
  if (Showing()) Hide();
}

void ElementWindow::MoveBy(report::TPRItem& element, int dx, int dy) {
  designer::DocumentWindow* document = Document();
  if (document == nullptr) return;
  // The margin rule of the mouse and the arrow keys.
  const int left = designer::ClampToPage(element.Left() + dx, document->Page().PagePanel().Width(),
                                         element.Width(), element.Left());
  const int top = designer::ClampToPage(element.Top() + dy, document->Page().PagePanel().Height(),
                                        element.Height(), element.Top());
  Edit(element, "nudge", [&] { element.SetBounds(left, top, element.Width(), element.Height()); });
  // Its handles and markers go with it.
  if (document->Selected().Pressed() == &element) document->PlaceHandlesAround(&element);
  document->MouseEditor().FollowWithMarkers(element);
  element.Invalidate();
}

void ElementWindow::TakeTypedNumbers() {
  // Every field is taken; what was refused is told at the end, one paragraph a field.
  std::string refused;
  for (const auto& take : typedNumbers_) {
    if (const std::optional<std::string> reason = take())
      refused += (refused.empty() ? "" : "\n\n") + *reason;
  }
  if (!refused.empty()) throw UserError(refused);
}

void ElementWindow::GuardArrow(ui::TUpDown& upDown, ui::TEdit& field, const NumberRange& range) {
  // A field without a number in range throws before the step is taken.
  upDown.OnChanging = [this, &field, range](ui::TUpDown&, ui::TUpDownDirection, int, bool&) {
    FieldNumber(field, range);
  };
}

std::string Fingerprint(const report::TPRItem& item) {
  return item.Name() + '|' + std::to_string(item.Left()) + ',' + std::to_string(item.Top()) + ',' +
         std::to_string(item.Width()) + ',' + std::to_string(item.Height()) + '|' + item.Caption() +
         '|' + designer::ClassOf(item).Settings(item);
}

void ElementWindow::ElementChanged(const report::TPRItem& element, std::string_view mergeKey) {
  designer::DocumentWindow* document = Document();
  if (document == nullptr) return;
  // Keys of one element only merge with each other: typing into two lines makes two steps.
  document->Changed(mergeKey.empty() ? std::string()
                                     : std::string(mergeKey) + ':' + element.Name());
}

void ElementWindow::ProcessMessages() {
  if (ui::Platform* platform = GetPlatform()) platform->ProcessMessages();
}

ui::TLabel* ElementWindow::AddLabel(const char* name, const char* caption, int left, int top,
                                    bool bold) {
  auto* label = new ui::TLabel(this);
  label->SetName(name);
  label->SetCaption(caption);
  ui::TFont font = label->Font();
  font.bold = bold;
  label->SetFont(font);
  label->SetBounds(left, top, 6 * static_cast<int>(std::string_view(caption).size()) + 4, 15);
  label->SetParent(this);
  return label;
}

ui::TButton* ElementWindow::AddButton(const char* name, const char* caption, int left, int top,
                                      int width, int height) {
  auto* button = new ui::TButton(this);
  button->SetName(name);
  button->SetCaption(caption);
  button->SetBounds(left, top, width, height);
  button->SetParent(this);
  return button;
}

ui::TEdit* ElementWindow::AddEdit(const char* name, int left, int top, int width) {
  auto* edit = new ui::TEdit(this);
  edit->SetName(name);
  edit->SetBounds(left, top, width, kRowHeight);
  edit->SetParent(this);
  return edit;
}

ui::TUpDown* ElementWindow::AddUpDown(const char* name, ui::TEdit& field, int min, int max,
                                      int position) {
  auto* upDown = new ui::TUpDown(this);
  upDown->SetName(name);
  upDown->SetBounds(field.Left() + field.Width(), field.Top(), 16, kRowHeight);
  upDown->SetRange(min, max);
  upDown->SetAssociate(&field);
  upDown->SetPosition(position);
  upDown->SetParent(this);
  return upDown;
}

ui::TComboBox* ElementWindow::AddChoice(const char* name,
                                        std::initializer_list<const char*> entries,
                                        const char* shown, int left, int top, int width) {
  auto* choice = new ui::TComboBox(this);
  choice->SetName(name);
  choice->SetItems(std::vector<std::string>(entries.begin(), entries.end()));
  choice->SetText(shown);
  choice->SetBounds(left, top, width, kRowHeight);
  choice->SetParent(this);
  return choice;
}

NudgeButtons ElementWindow::AddNudgeButtons(const char* upName, const char* downName,
                                            const char* leftName, const char* rightName, int top,
                                            const std::function<void(int dx, int dy)>& nudge) {
  AddLabel("Label5", "Feinausrichtung", 8, top, true);
  // Narrow enough for the smallest window (163 pixels).
  const int row = top + 20;
  AddLabel("Label6", "Top", 8, row + 3);
  AddLabel("Label7", "Left", 84, row + 3);
  NudgeButtons buttons{AddButton(upName, "-", 34, row, 22, kRowHeight),
                       AddButton(downName, "+", 57, row, 22, kRowHeight),
                       AddButton(leftName, "-", 110, row, 22, kRowHeight),
                       AddButton(rightName, "+", 133, row, 22, kRowHeight)};
  buttons.up->OnClick = [nudge](ui::Control&) { nudge(0, -1); };
  buttons.down->OnClick = [nudge](ui::Control&) { nudge(0, 1); };
  buttons.left->OnClick = [nudge](ui::Control&) { nudge(-1, 0); };
  buttons.right->OnClick = [nudge](ui::Control&) { nudge(1, 0); };
  return buttons;
}

// ---- what the two text windows share

namespace {

template <class Element>
constexpr ElementKind KindOfWindow() {
  return std::is_same_v<Element, report::TPRLabel> ? ElementKind::Label : ElementKind::Text;
}

}  // namespace

template <class Element>
Element* TextElementWindow<Element>::SelectedElement() const {
  return static_cast<Element*>(SelectedOf(KindOfWindow<Element>()));
}

template <class Element>
void TextElementWindow<Element>::WireSharedControls() {
  colorButton->OnClick = [this](ui::Control&) { OnColorClick(); };
  fontChoice->OnChange = [this](ui::Control&) { OnFontChosen(); };
  weightChoice->OnChange = [this](ui::Control&) { OnWeightChosen(); };
  italicChoice->OnChange = [this](ui::Control&) { OnItalicChosen(); };
  GuardArrow(*fontSizeUpDown, *fontSizeEdit, words_.sizeRange);
  GuardArrow(*charSpaceUpDown, *charSpaceEdit, words_.spacingRange);
  const auto element = [this] { return SelectedElement(); };
  TakeTypedNumber(
      *fontSizeEdit, *fontSizeUpDown, words_.sizeRange, "size", element,
      [](const Element& e) { return e.FontSize(); },
      [this](Element& e, float size) {
        e.SetFontSize(size);
        LookChanged(e);
      });
  TakeTypedNumber(
      *charSpaceEdit, *charSpaceUpDown, words_.spacingRange, "spacing", element,
      [](const Element& e) { return e.CharSpace(); },
      [](Element& e, float space) { e.SetCharSpace(space); });
  fontSizeUpDown->OnArrowClick = [this](ui::TUpDown&, ui::TUpDownDirection) { OnFontSizeArrow(); };
  charSpaceUpDown->OnArrowClick = [this](ui::TUpDown&, ui::TUpDownDirection) {
    OnCharSpaceArrow();
  };
  dataFieldBox->OnClick = [this](ui::Control&) { OnDataFieldClick(); };
}

template <class Element>
void TextElementWindow<Element>::FillShared(const Element& element) {
  colorButton->SetSwatchColor(element.FontColor());
  fontChoice->SetText(std::string(FontChoiceText(element.FontName())));
  ShowNumber(*fontSizeEdit, *fontSizeUpDown, element.FontSize());
  ShowNumber(*charSpaceEdit, *charSpaceUpDown, element.CharSpace());
  italicChoice->SetText(ItalicShown(element.FontItalic()));
  weightChoice->SetText(WeightShown(element.FontBold()));
  const bool dataField = !element.dbfieldname().empty();
  dataFieldBox->SetChecked(dataField);
  if (dataField) {
    if (DataFieldWindow* window = dataFieldWindow_.Get()) window->Hide();
  }
  SetDataFieldMode(dataField);
}

template <class Element>
void TextElementWindow<Element>::OnFontChosen() {
  Element* element = SelectedElement();
  const auto font = FontOfChoice(fontChoice->Text());
  if (element == nullptr || !font) return;
  Edit(*element, "", [&] { element->SetFontName(*font); });
  FontChosen(*font);
}

template <class Element>
void TextElementWindow<Element>::OnWeightChosen() {
  Element* element = SelectedElement();
  const auto bold = BoldOfChoice(weightChoice->Text());
  if (element == nullptr || !bold) return;
  Edit(*element, "", [&] { element->SetFontBold(*bold); });
  LookChanged(*element);
}

template <class Element>
void TextElementWindow<Element>::OnItalicChosen() {
  Element* element = SelectedElement();
  const auto italic = ItalicOfChoice(italicChoice->Text());
  if (element == nullptr || !italic) return;
  Edit(*element, "", [&] { element->SetFontItalic(*italic); });
  LookChanged(*element);
}

template <class Element>
void TextElementWindow<Element>::OnColorClick() {
  if (SelectedElement() == nullptr) return;
  ProcessMessages();
  Element* element = SelectedElement();
  if (element == nullptr) return;
  if (const auto color = ChooseColor(element->FontColor())) {
    // The dialog ran its own messages: the element may be gone.
    if ((element = SelectedElement()) != nullptr) {
      Edit(*element, "", [&] { element->SetFontColor(*color); });
      colorButton->SetSwatchColor(element->FontColor());
    }
  }
}

template <class Element>
void TextElementWindow<Element>::OnFontSizeArrow() {
  Element* element = SelectedElement();
  if (element == nullptr) return;
  // The arrow has put its position into the field.
  const double size = FieldNumber(*fontSizeEdit, words_.sizeRange);
  Edit(*element, "size", [&] { element->SetFontSize(static_cast<float>(size)); });
  LookChanged(*element);
}

template <class Element>
void TextElementWindow<Element>::OnCharSpaceArrow() {
  Element* element = SelectedElement();
  if (element == nullptr) return;
  const double space = FieldNumber(*charSpaceEdit, words_.spacingRange);
  Edit(*element, "spacing", [&] { element->SetCharSpace(static_cast<float>(space)); });
}

template <class Element>
void TextElementWindow<Element>::Nudge(int dx, int dy) {
  if (Element* element = SelectedElement()) MoveBy(*element, dx, dy);
}

template <class Element>
void TextElementWindow<Element>::OnDataFieldClick() {
  DataFieldWindow* window = dataFieldWindow_.Get();
  Element* element = SelectedElement();
  if (dataFieldBox->Checked()) {
    if (element != nullptr && window != nullptr) window->Propose(words_.proposedField);
    return;
  }
  if (element == nullptr || window == nullptr) return;
  if (!window->RemoveField(element->dbfieldname())) {
    // A name the list does not hold stays the element's: the box goes on showing it.
    dataFieldBox->SetChecked(!element->dbfieldname().empty());
    return;
  }
  Edit(*element, "", [&] {
    element->Setdbfieldname("");
    SetPlainText(*element, words_.plainText);
  });
  ShowPlainText(*element);
  SetDataFieldMode(false);
}

template class TextElementWindow<report::TPRLabel>;
template class TextElementWindow<report::TPRText>;

// ---- "Eigenschaften Label"

LabelPropertiesWindow::LabelPropertiesWindow(ui::Component* owner, DocumentSource document)
    : TextElementWindow(owner, std::move(document),
                        {kLabelSizeRange, kLabelSpacingRange, "TextLabel", "Text Label"}) {
  SetName("Form10");
  SetCaption("Eigenschaften Label");
  SetToolWindow(true);
  SetColor(graphics::clWhite);
  SetBounds(0, 0, 203, 223);

  textEdit = AddEdit("Edit1", 8, 8, 150);
  colorButton = new ui::TColorButton(this);
  colorButton->SetName("BitBtn1");
  colorButton->SetHint("Schriftfarbe");
  colorButton->SetSwatchColor(graphics::clBlack);
  colorButton->SetBounds(164, 8, 31, kRowHeight);
  colorButton->SetParent(this);

  AddLabel("Label1", "Grösse", 8, 34);
  AddLabel("Label2", "Zeichen Abstand", 100, 34);
  fontSizeEdit = AddEdit("Edit2", 8, 50, 40);
  fontSizeUpDown = AddUpDown("UpDown1", *fontSizeEdit, 1, 200, 12);
  charSpaceEdit = AddEdit("Edit3", 100, 50, 40);
  charSpaceUpDown = AddUpDown("UpDown2", *charSpaceEdit, 0, 100, 0);

  fontChoice = AddChoice("ComboBox1", {"Arial", "Fixed", "Times Roman"}, "Schriftart", 8, 78, 92);
  fontChoice->SetStyle(ui::TComboBoxStyle::csDropDownList);  // the standard fonts only
  alignmentChoice =
      AddChoice("ComboBox2", {"Links", "Center", "Rechts"}, "Ausrichtung", 104, 78, 91);
  weightChoice = AddChoice("ComboBox5", {"Normal", "Fett"}, "Style", 8, 104, 92);
  italicChoice = AddChoice("ComboBox6", {"on", "off"}, "Kursiv", 104, 104, 91);

  nudgeButtons = AddNudgeButtons("Button2", "Button1", "Button3", "Button4", 132,
                                 [this](int dx, int dy) { Nudge(dx, dy); });

  dataFieldBox = new ui::TCheckBox(this);
  dataFieldBox->SetName("CheckBox1");
  dataFieldBox->SetCaption("Datenfeld für Serien-PDF");
  dataFieldBox->SetAlignment(ui::TLeftRight::taLeftJustify);
  ui::TFont bold = dataFieldBox->Font();
  bold.bold = true;
  dataFieldBox->SetFont(bold);
  dataFieldBox->SetBounds(8, 190, 187, kRowHeight);
  dataFieldBox->SetParent(this);

  textEdit->OnKeyUp = [this](ui::Control&, int, ui::TShiftState) { OnTextKeyUp(); };
  alignmentChoice->OnChange = [this](ui::Control&) { OnAlignmentChosen(); };
  WireSharedControls();
}

void LabelPropertiesWindow::Fill(const report::TPRLabel& label) {
  textEdit->SetText(label.Caption());
  alignmentChoice->SetText(std::string(AlignmentChoiceText(label.Alignment())));
  FillShared(label);
}

void LabelPropertiesWindow::SetDataFieldMode(bool dataField) { textEdit->SetEnabled(!dataField); }

void LabelPropertiesWindow::SetPlainText(report::TPRLabel& label, const char* text) {
  label.SetCaption(text);
}

void LabelPropertiesWindow::ShowPlainText(const report::TPRLabel& label) {
  textEdit->SetText(label.Caption());
}

void LabelPropertiesWindow::OnTextKeyUp() {
  ProcessMessages();
  report::TPRLabel* label = SelectedLabel();
  // A data field's marker is not typed over, whatever state the entry is in.
  if (label == nullptr || !label->dbfieldname().empty()) return;
  if (!designer::CaptionFitsFile(textEdit->Text())) {
    // Taken, it would be cut off when the page is stored: the line keeps the text it has.
    textEdit->SetText(label->Caption());
    throw UserError(kCaptionTooLong);
  }
  Edit(*label, "text", [&] {
    label->SetCaption(textEdit->Text());
    label->SetWidth(label->ScreenTextWidth() + 50);
  });
  label->Invalidate();
  if (designer::DocumentWindow* document = Document()) document->PlaceHandlesAround(label);
}

void LabelPropertiesWindow::OnAlignmentChosen() {
  report::TPRLabel* label = SelectedLabel();
  const auto alignment = AlignmentOfChoice(alignmentChoice->Text());
  if (label != nullptr && alignment) Edit(*label, "", [&] { label->SetAlignment(*alignment); });
}

// ---- "Eigenschaften Text"

TextPropertiesWindow::TextPropertiesWindow(ui::Component* owner, DocumentSource document)
    : TextElementWindow(owner, std::move(document),
                        {kTextSizeRange, kTextSpacingRange, "Textfeld", "Text Feld"}) {
  SetName("Form11");
  SetCaption("Eigenschaften Text");
  SetToolWindow(true);
  SetPosition(ui::TFormPosition::poScreenCenter);
  SetColor(graphics::clWhite);
  SetBounds(0, 0, 362, 282);

  AddLabel("Label1", "Grösse", 8, 11);
  fontSizeEdit = AddEdit("Edit2", 50, 8, 36);
  fontSizeEdit->SetHint("Schriftgröße");
  fontSizeUpDown = AddUpDown("UpDown2", *fontSizeEdit, 1, 200, 10);
  AddLabel("Label2", "Zeilen", 112, 11);
  leadingEdit = AddEdit("Edit3", 156, 8, 36);
  leadingEdit->SetHint("Zeilenabstand");
  leadingUpDown = AddUpDown("UpDown3", *leadingEdit, 0, 400, 10);
  AddLabel("Label3", "Space", 218, 11);
  charSpaceEdit = AddEdit("Edit1", 262, 8, 36);
  charSpaceEdit->SetHint("Zeichenabstand");
  charSpaceUpDown = AddUpDown("UpDown1", *charSpaceEdit, 0, 100, 0);

  fontChoice = AddChoice("ComboBox1", {"Arial", "Fixed", "Times Roman"}, "Schriftart", 8, 34, 110);
  fontChoice->SetStyle(ui::TComboBoxStyle::csDropDownList);  // the standard fonts only
  weightChoice = AddChoice("ComboBox5", {"Normal", "Fett"}, "Style", 122, 34, 80);
  weightChoice->SetHint("Style: Normal / Fett");
  italicChoice = AddChoice("ComboBox6", {"on", "off"}, "Kursiv", 206, 34, 80);
  italicChoice->SetHint("Kursiv on /off");
  colorButton = new ui::TColorButton(this);
  colorButton->SetName("BitBtn1");
  colorButton->SetHint("Schriftfarbe");
  colorButton->SetSwatchColor(graphics::clBlack);
  colorButton->SetBounds(292, 34, 53, kRowHeight);
  colorButton->SetParent(this);

  // The fine positioning sits in one row with the import button.
  AddLabel("Label4", "Top", 8, 61);
  AddLabel("Label5", "Left", 96, 61);
  nudgeButtons = {AddButton("Button4", "-", 36, 58, 22, kRowHeight),
                  AddButton("Button1", "+", 60, 58, 22, kRowHeight),
                  AddButton("Button5", "-", 124, 58, 22, kRowHeight),
                  AddButton("Button6", "+", 148, 58, 22, kRowHeight)};
  nudgeButtons.up->SetHint("Lage von oben");
  nudgeButtons.down->SetHint("Lage von oben");
  nudgeButtons.left->SetHint("Lage von links");
  nudgeButtons.right->SetHint("Lage von links");
  importButton = AddButton("Button3", "Text-Import", 250, 57, 95, 22);
  importButton->SetHint("Textdatei importieren");

  dataFieldBox = new ui::TCheckBox(this);
  dataFieldBox->SetName("CheckBox1");
  dataFieldBox->SetCaption("Datenfeld für Serien-PDF");
  dataFieldBox->SetBounds(180, 60, 60, 17);
  dataFieldBox->SetVisible(false);
  dataFieldBox->SetParent(this);

  editorFrame = new ui::TShape(this);
  editorFrame->SetName("Shape1");
  editorFrame->SetBounds(4, 80, 345, 161);
  editorFrame->SetParent(this);
  editor = new ui::TMemo(this);
  editor->SetName("Memo1");
  editor->SetBorder(false);
  editor->SetBounds(8, 84, 337, 153);
  editor->SetParent(this);

  editor->OnKeyUp = [this](ui::Control&, int, ui::TShiftState) { OnEditorKeyUp(); };
  GuardArrow(*leadingUpDown, *leadingEdit, kLeadingRange);
  TakeTypedNumber(
      *leadingEdit, *leadingUpDown, kLeadingRange, "leading", [this] { return SelectedText(); },
      [](const report::TPRText& t) { return t.Leading(); },
      [](report::TPRText& t, float leading) { t.SetLeading(leading); });
  leadingUpDown->OnArrowClick = [this](ui::TUpDown&, ui::TUpDownDirection) { OnLeadingArrow(); };
  nudgeButtons.up->OnClick = [this](ui::Control&) { Nudge(0, -1); };
  nudgeButtons.down->OnClick = [this](ui::Control&) { Nudge(0, 1); };
  nudgeButtons.left->OnClick = [this](ui::Control&) { Nudge(-1, 0); };
  nudgeButtons.right->OnClick = [this](ui::Control&) { Nudge(1, 0); };
  importButton->OnClick = [this](ui::Control&) { OnImportClick(); };
  WireSharedControls();
  // The window's own area shows the default arrow.
  OnMouseMove = [this](ui::Control&, ui::TShiftState, int, int) {
    if (ui::Platform* platform = GetPlatform()) platform->SetScreenCursor(ui::crDefault);
  };
}

void TextPropertiesWindow::Fill(const report::TPRText& text) {
  editor->SetText(EditorText(text));
  ShowNumber(*leadingEdit, *leadingUpDown, text.Leading());
  FillShared(text);
}

void TextPropertiesWindow::FitEditor(const designer::MemoGeometry& geometry) {
  SetAutoScroll(geometry.autoScroll);
  const ui::TRect frame = editorFrame->BoundsRect();
  editorFrame->SetBounds(frame.left, frame.top, geometry.frameWidth, geometry.frameHeight);
  const ui::TRect area = editor->BoundsRect();
  editor->SetBounds(area.left, area.top, geometry.editorWidth, geometry.editorHeight);
  SetBounds(Left(), Top(), geometry.windowWidth, geometry.windowHeight);
  editor->SetBorder(false);
  // Size and colour stay as designed; only family and style follow the field.
  ui::TFont font = editor->Font();
  font.name = geometry.fontName;
  font.bold = geometry.bold;
  font.italic = geometry.italic;
  editor->SetFont(font);
}

void TextPropertiesWindow::FitEditorTo(const report::TPRText& text) {
  FitEditor(designer::CreateMemo(text.Width(), text.Height(), text.FontName(), text.FontBold(),
                                 text.FontItalic(), editorFrame->Top()));
}

void TextPropertiesWindow::SetDataFieldMode(bool dataField) {
  editor->SetEnabled(!dataField);
  importButton->SetEnabled(!dataField);
}

void TextPropertiesWindow::OnEditorKeyUp() {
  ProcessMessages();
  report::TPRText* text = SelectedText();
  if (text == nullptr || !text->dbfieldname().empty()) return;
  Edit(*text, "text", [&] { text->SetText(editor->Text()); });
  text->Invalidate();
}

void TextPropertiesWindow::FontChosen(TPRFontName font) {
  ui::TFont editorFont = editor->Font();
  editorFont.name = EditorFontOfChoice(font);
  editor->SetFont(editorFont);
}

void TextPropertiesWindow::SetPlainText(report::TPRText& text, const char* plain) {
  text.SetText(plain);
}

void TextPropertiesWindow::ShowPlainText(const report::TPRText& /*text*/) {
  editor->SetText("Text Feld");
}

void TextPropertiesWindow::OnLeadingArrow() {
  report::TPRText* text = SelectedText();
  if (text == nullptr) return;
  const double leading = FieldNumber(*leadingEdit, kLeadingRange);
  Edit(*text, "leading", [&] { text->SetLeading(static_cast<float>(leading)); });
}

void TextPropertiesWindow::OnImportClick() {
  report::TPRText* text = SelectedText();
  ui::Platform* platform = GetPlatform();
  if (text == nullptr || platform == nullptr || !text->dbfieldname().empty()) return;
  const auto file = platform->FileDialog({"", kImportFilter, "", false});
  if (!file) return;
  std::string error;
  const auto lines = ReadTextLines(*file, error);
  if (!lines) throw UserError(error);
  // The dialog ran its own messages: the field may be gone.
  if ((text = SelectedText()) == nullptr) return;
  editor->SetLines(*lines);
  Edit(*text, "", [&] { text->SetLines(*lines); });
  text->Invalidate();
  platform->ProcessMessages();
}

// ---- "Eigenschaften" of rectangles

RectanglePropertiesWindow::RectanglePropertiesWindow(ui::Component* owner, DocumentSource document)
    : ElementWindow(owner, std::move(document)) {
  SetName("Form28");
  SetCaption("Eigenschaften");
  SetToolWindow(true);
  SetColor(graphics::clWhite);
  SetBounds(0, 0, 163, 240);

  const auto colorButton = [this](const char* name, const char* caption, int top) {
    auto* button = new ui::TColorButton(this);
    button->SetName(name);
    button->SetCaption(caption);
    button->SetBounds(8, top, 147, 25);
    button->SetParent(this);
    return button;
  };
  lineColorButton = colorButton("BitBtn1", "Randfarbe", 8);
  fillColorButton = colorButton("BitBtn2", "Füllfarbe", 38);
  AddLabel("Label1", "Rand-Stärke", 8, 75);
  lineWidthEdit = AddEdit("Edit1", 96, 72, 40);
  lineWidthUpDown = AddUpDown("UpDown1", *lineWidthEdit, 0, 100, 0);

  AddLabel("Label2", "Autoform", 8, 102);
  for (std::size_t i = 0; i < std::size(kPresetShapes); ++i) {
    const PresetShape& shape = kPresetShapes[i];
    auto* button = new ui::TColorButton(this);
    button->SetName(shape.name);
    const int column = static_cast<int>(i % 5), row = static_cast<int>(i / 5);
    button->SetBounds(8 + column * 29, 120 + row * 29, 25, 25);
    button->SetHint(shape.width ? std::to_string(*shape.width) + " x " +
                                      std::to_string(shape.height) + " Pixel"
                                : "Höhe " + std::to_string(shape.height) + " Pixel");
    button->SetGlyph(PresetGlyph(shape));
    button->SetParent(this);
    button->OnClick = [this, &shape](ui::Control&) { OnPresetShape(shape); };
    presetButtons[i] = button;
  }
  nudgeButtons = AddNudgeButtons("Button2", "Button1", "Button3", "Button4", 182,
                                 [this](int dx, int dy) { Nudge(dx, dy); });

  OnShow = [this](ui::Control&) { OnWindowShown(); };
  lineColorButton->OnClick = [this](ui::Control&) { OnLineColorClick(); };
  fillColorButton->OnClick = [this](ui::Control&) { OnFillColorClick(); };
  GuardArrow(*lineWidthUpDown, *lineWidthEdit, kBorderWidthRange);
  TakeTypedNumber(
      *lineWidthEdit, *lineWidthUpDown, kBorderWidthRange, "border",
      [this] { return PressedShape(); }, [](const report::TPRShape& r) { return r.LineWidth(); },
      [](report::TPRShape& r, float width) { r.SetLineWidth(width); });
  lineWidthUpDown->OnArrowClick = [this](ui::TUpDown&, ui::TUpDownDirection) {
    OnLineWidthArrow();
  };
}

report::TPRShape* RectanglePropertiesWindow::PressedShape() const {
  // Every shape kind (rectangle, ellipse) has what this window sets.
  designer::DocumentWindow* document = Document();
  return document != nullptr ? dynamic_cast<report::TPRShape*>(document->Selected().Pressed())
                             : nullptr;
}

void RectanglePropertiesWindow::OnWindowShown() {
  if (report::TPRShape* rect = PressedShape()) {
    ShowNumber(*lineWidthEdit, *lineWidthUpDown, rect->LineWidth());
    lineColorButton->SetSwatchColor(rect->LineColor());
    fillColorButton->SetSwatchColor(rect->FillColor());
  }
}

void RectanglePropertiesWindow::OnLineColorClick() {
  report::TPRShape* rect = PressedShape();
  const auto color = ChooseColor(rect != nullptr ? rect->LineColor() : graphics::clBlack);
  if (color && (rect = PressedShape()) != nullptr) {
    Edit(*rect, "", [&] { rect->SetLineColor(*color); });
    lineColorButton->SetSwatchColor(rect->LineColor());
  }
}

void RectanglePropertiesWindow::OnFillColorClick() {
  report::TPRShape* rect = PressedShape();
  const auto color = ChooseColor(rect != nullptr ? rect->FillColor() : graphics::clWhite);
  if (color && (rect = PressedShape()) != nullptr) {
    Edit(*rect, "", [&] { rect->SetFillColor(*color); });
    fillColorButton->SetSwatchColor(rect->FillColor());
  }
}

void RectanglePropertiesWindow::OnLineWidthArrow() {
  report::TPRShape* rect = PressedShape();
  if (rect == nullptr) return;
  const double width = FieldNumber(*lineWidthEdit, kBorderWidthRange);
  Edit(*rect, "border", [&] { rect->SetLineWidth(static_cast<float>(width)); });
}

void RectanglePropertiesWindow::OnPresetShape(const PresetShape& shape) {
  report::TPRShape* rect = PressedShape();
  if (rect == nullptr) return;
  designer::DocumentWindow* document = Document();
  if (document == nullptr) return;
  const int width = shape.width.value_or(rect->Width());
  // The shape keeps its size and comes inside the page margins where it would reach past them.
  const int left = designer::PlaceOnPage(rect->Left(), document->Page().PagePanel().Width(), width);
  const int top =
      designer::PlaceOnPage(rect->Top(), document->Page().PagePanel().Height(), shape.height);
  Edit(*rect, "", [&] { rect->SetBounds(left, top, width, shape.height); });
  rect->Invalidate();
  document->PlaceHandlesAround(rect);
  document->MouseEditor().FollowWithMarkers(*rect);
}

void RectanglePropertiesWindow::Nudge(int dx, int dy) {
  report::TPRShape* rect = PressedShape();
  if (rect == nullptr) return;
  MoveBy(*rect, dx, dy);
}

}  // namespace quirabel::dialogs
