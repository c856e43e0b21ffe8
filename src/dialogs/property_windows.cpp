#include "dialogs/property_windows.h"

#include <algorithm>
#include <cmath>

#include "designer/document_window.h"
#include "designer/element_kinds.h"
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

std::optional<double> ElementWindow::FieldNumber(const ui::TEdit& field, const NumberRange& range) {
  std::string error;
  std::optional<double> value = ReadNumber(field.Text(), range, error);
  if (!value) {
    if (ui::Platform* platform = GetPlatform()) platform->ShowMessage(error);
  }
  return value;
}

std::optional<graphics::TColor> ElementWindow::ChooseColor(graphics::TColor initial) {
  ui::Platform* platform = GetPlatform();
  return platform != nullptr ? platform->ColorDialog(initial) : std::nullopt;
}

void ElementWindow::TakeNumber(ui::TEdit& field, ui::TUpDown& upDown, const NumberRange& range,
                               float current, const std::function<void(float)>& apply) {
  std::string error;
  const std::optional<double> typed = ReadNumber(field.Text(), range, error);
  if (!typed) {
    // The field shows the element's value again before the message takes the focus, so that
    // losing the focus to the message does not tell it twice.
    ShowTypedNumber(field, upDown, current);
    if (ui::Platform* platform = GetPlatform()) platform->ShowMessage(error);
    return;
  }
  if (static_cast<float>(*typed) != current) apply(static_cast<float>(*typed));
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
  for (const auto& take : typedNumbers_) take();
}

void ElementWindow::GuardArrow(ui::TUpDown& upDown, ui::TEdit& field, const NumberRange& range) {
  upDown.OnChanging = [this, &field, range](ui::TUpDown&, ui::TUpDownDirection, int, bool& allow) {
    allow = FieldNumber(field, range).has_value();
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

// ---- "Eigenschaften Label"

LabelPropertiesWindow::LabelPropertiesWindow(ui::Component* owner, DocumentSource document)
    : ElementWindow(owner, std::move(document)) {
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
  colorButton->OnClick = [this](ui::Control&) { OnColorClick(); };
  fontChoice->OnChange = [this](ui::Control&) { OnFontChosen(); };
  alignmentChoice->OnChange = [this](ui::Control&) { OnAlignmentChosen(); };
  weightChoice->OnChange = [this](ui::Control&) { OnWeightChosen(); };
  italicChoice->OnChange = [this](ui::Control&) { OnItalicChosen(); };
  GuardArrow(*fontSizeUpDown, *fontSizeEdit, kLabelSizeRange);
  GuardArrow(*charSpaceUpDown, *charSpaceEdit, kLabelSpacingRange);
  const auto label = [this] { return SelectedLabel(); };
  TakeTypedNumber(
      *fontSizeEdit, *fontSizeUpDown, kLabelSizeRange, "size", label,
      [](const report::TPRLabel& l) { return l.FontSize(); },
      [](report::TPRLabel& l, float size) { l.SetFontSize(size); });
  TakeTypedNumber(
      *charSpaceEdit, *charSpaceUpDown, kLabelSpacingRange, "spacing", label,
      [](const report::TPRLabel& l) { return l.CharSpace(); },
      [](report::TPRLabel& l, float space) { l.SetCharSpace(space); });
  fontSizeUpDown->OnArrowClick = [this](ui::TUpDown&, ui::TUpDownDirection) { OnFontSizeArrow(); };
  charSpaceUpDown->OnArrowClick = [this](ui::TUpDown&, ui::TUpDownDirection) {
    OnCharSpaceArrow();
  };
  dataFieldBox->OnClick = [this](ui::Control&) { OnDataFieldClick(); };
}

report::TPRLabel* LabelPropertiesWindow::SelectedLabel() const {
  return static_cast<report::TPRLabel*>(SelectedOf(ElementKind::Label));
}

void LabelPropertiesWindow::Fill(const report::TPRLabel& label) {
  textEdit->SetText(label.Caption());
  colorButton->SetSwatchColor(label.FontColor());
  fontChoice->SetText(std::string(FontChoiceText(label.FontName())));
  alignmentChoice->SetText(std::string(AlignmentChoiceText(label.Alignment())));
  ShowNumber(*fontSizeEdit, *fontSizeUpDown, label.FontSize());
  italicChoice->SetText(ItalicShown(label.FontItalic()));
  weightChoice->SetText(WeightShown(label.FontBold()));
  ShowNumber(*charSpaceEdit, *charSpaceUpDown, label.CharSpace());
  const bool dataField = !label.dbfieldname().empty();
  dataFieldBox->SetChecked(dataField);
  if (dataField) {
    if (DataFieldWindow* window = dataFieldWindow_.Get()) window->Hide();
  }
  SetDataFieldMode(dataField);
}

void LabelPropertiesWindow::SetDataFieldMode(bool dataField) { textEdit->SetEnabled(!dataField); }

void LabelPropertiesWindow::OnTextKeyUp() {
  ProcessMessages();
  report::TPRLabel* label = SelectedLabel();
  // A data field's marker is not typed over, whatever state the entry is in.
  if (label == nullptr || !label->dbfieldname().empty()) return;
  if (!designer::CaptionFitsFile(textEdit->Text())) {
    // Taken, it would be cut off when the page is stored: the line keeps the text it has.
    textEdit->SetText(label->Caption());
    if (ui::Platform* platform = GetPlatform()) platform->ShowMessage(kCaptionTooLong);
    return;
  }
  Edit(*label, "text", [&] {
    label->SetCaption(textEdit->Text());
    label->SetWidth(label->ScreenTextWidth() + 50);
  });
  label->Invalidate();
  if (designer::DocumentWindow* document = Document()) document->PlaceHandlesAround(label);
}

void LabelPropertiesWindow::OnFontChosen() {
  report::TPRLabel* label = SelectedLabel();
  const auto font = FontOfChoice(fontChoice->Text());
  if (label != nullptr && font) Edit(*label, "", [&] { label->SetFontName(*font); });
}

void LabelPropertiesWindow::OnAlignmentChosen() {
  report::TPRLabel* label = SelectedLabel();
  const auto alignment = AlignmentOfChoice(alignmentChoice->Text());
  if (label != nullptr && alignment) Edit(*label, "", [&] { label->SetAlignment(*alignment); });
}

void LabelPropertiesWindow::OnWeightChosen() {
  report::TPRLabel* label = SelectedLabel();
  const auto bold = BoldOfChoice(weightChoice->Text());
  if (label != nullptr && bold) Edit(*label, "", [&] { label->SetFontBold(*bold); });
}

void LabelPropertiesWindow::OnItalicChosen() {
  report::TPRLabel* label = SelectedLabel();
  const auto italic = ItalicOfChoice(italicChoice->Text());
  if (label != nullptr && italic) Edit(*label, "", [&] { label->SetFontItalic(*italic); });
}

void LabelPropertiesWindow::OnColorClick() {
  if (SelectedLabel() == nullptr) return;
  ProcessMessages();
  report::TPRLabel* label = SelectedLabel();
  if (label == nullptr) return;
  if (const auto color = ChooseColor(label->FontColor())) {
    // The dialog ran its own messages: the line may be gone.
    if ((label = SelectedLabel()) != nullptr) {
      Edit(*label, "", [&] { label->SetFontColor(*color); });
      colorButton->SetSwatchColor(label->FontColor());
    }
  }
}

void LabelPropertiesWindow::OnFontSizeArrow() {
  report::TPRLabel* label = SelectedLabel();
  if (label == nullptr) return;
  if (const auto size = FieldNumber(*fontSizeEdit, kLabelSizeRange))
    Edit(*label, "size", [&] { label->SetFontSize(static_cast<float>(*size)); });
}

void LabelPropertiesWindow::OnCharSpaceArrow() {
  report::TPRLabel* label = SelectedLabel();
  if (label == nullptr) return;
  if (const auto space = FieldNumber(*charSpaceEdit, kLabelSpacingRange))
    Edit(*label, "spacing", [&] { label->SetCharSpace(static_cast<float>(*space)); });
}

void LabelPropertiesWindow::Nudge(int dx, int dy) {
  report::TPRLabel* label = SelectedLabel();
  if (label == nullptr) return;
  MoveBy(*label, dx, dy);
}

void LabelPropertiesWindow::OnDataFieldClick() {
  DataFieldWindow* window = dataFieldWindow_.Get();
  report::TPRLabel* label = SelectedLabel();
  if (dataFieldBox->Checked()) {
    if (label != nullptr && window != nullptr) window->Propose("TextLabel");
    return;
  }
  if (label == nullptr || window == nullptr) return;
  if (!window->RemoveField(label->dbfieldname())) {
    // A name the list does not hold stays the line's: the box goes on showing it.
    dataFieldBox->SetChecked(!label->dbfieldname().empty());
    return;
  }
  Edit(*label, "", [&] {
    label->Setdbfieldname("");
    label->SetCaption("Text Label");
  });
  textEdit->SetText(label->Caption());
  SetDataFieldMode(false);
}

// ---- "Eigenschaften Text"

TextPropertiesWindow::TextPropertiesWindow(ui::Component* owner, DocumentSource document)
    : ElementWindow(owner, std::move(document)) {
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
  fontChoice->OnChange = [this](ui::Control&) { OnFontChosen(); };
  weightChoice->OnChange = [this](ui::Control&) { OnWeightChosen(); };
  italicChoice->OnChange = [this](ui::Control&) { OnItalicChosen(); };
  colorButton->OnClick = [this](ui::Control&) { OnColorClick(); };
  GuardArrow(*fontSizeUpDown, *fontSizeEdit, kTextSizeRange);
  GuardArrow(*leadingUpDown, *leadingEdit, kLeadingRange);
  GuardArrow(*charSpaceUpDown, *charSpaceEdit, kTextSpacingRange);
  const auto text = [this] { return SelectedText(); };
  TakeTypedNumber(
      *fontSizeEdit, *fontSizeUpDown, kTextSizeRange, "size", text,
      [](const report::TPRText& t) { return t.FontSize(); },
      [this](report::TPRText& t, float size) {
        t.SetFontSize(size);
        FitEditorTo(t);
      });
  TakeTypedNumber(
      *leadingEdit, *leadingUpDown, kLeadingRange, "leading", text,
      [](const report::TPRText& t) { return t.Leading(); },
      [](report::TPRText& t, float leading) { t.SetLeading(leading); });
  TakeTypedNumber(
      *charSpaceEdit, *charSpaceUpDown, kTextSpacingRange, "spacing", text,
      [](const report::TPRText& t) { return t.CharSpace(); },
      [](report::TPRText& t, float space) { t.SetCharSpace(space); });
  fontSizeUpDown->OnArrowClick = [this](ui::TUpDown&, ui::TUpDownDirection) { OnFontSizeArrow(); };
  leadingUpDown->OnArrowClick = [this](ui::TUpDown&, ui::TUpDownDirection) { OnLeadingArrow(); };
  charSpaceUpDown->OnArrowClick = [this](ui::TUpDown&, ui::TUpDownDirection) {
    OnCharSpaceArrow();
  };
  nudgeButtons.up->OnClick = [this](ui::Control&) { Nudge(0, -1); };
  nudgeButtons.down->OnClick = [this](ui::Control&) { Nudge(0, 1); };
  nudgeButtons.left->OnClick = [this](ui::Control&) { Nudge(-1, 0); };
  nudgeButtons.right->OnClick = [this](ui::Control&) { Nudge(1, 0); };
  importButton->OnClick = [this](ui::Control&) { OnImportClick(); };
  dataFieldBox->OnClick = [this](ui::Control&) { OnDataFieldClick(); };
  // The window's own area shows the default arrow.
  OnMouseMove = [this](ui::Control&, ui::TShiftState, int, int) {
    if (ui::Platform* platform = GetPlatform()) platform->SetScreenCursor(ui::crDefault);
  };
}

report::TPRText* TextPropertiesWindow::SelectedText() const {
  return static_cast<report::TPRText*>(SelectedOf(ElementKind::Text));
}

void TextPropertiesWindow::Fill(const report::TPRText& text) {
  editor->SetText(EditorText(text));
  colorButton->SetSwatchColor(text.FontColor());
  fontChoice->SetText(std::string(FontChoiceText(text.FontName())));
  ShowNumber(*fontSizeEdit, *fontSizeUpDown, text.FontSize());
  ShowNumber(*charSpaceEdit, *charSpaceUpDown, text.CharSpace());
  ShowNumber(*leadingEdit, *leadingUpDown, text.Leading());
  italicChoice->SetText(ItalicShown(text.FontItalic()));
  weightChoice->SetText(WeightShown(text.FontBold()));
  const bool dataField = !text.dbfieldname().empty();
  dataFieldBox->SetChecked(dataField);
  if (dataField) {
    if (DataFieldWindow* window = dataFieldWindow_.Get()) window->Hide();
  }
  SetDataFieldMode(dataField);
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

void TextPropertiesWindow::OnFontChosen() {
  report::TPRText* text = SelectedText();
  const auto font = FontOfChoice(fontChoice->Text());
  if (text == nullptr || !font) return;
  Edit(*text, "", [&] { text->SetFontName(*font); });
  ui::TFont editorFont = editor->Font();
  editorFont.name = EditorFontOfChoice(*font);
  editor->SetFont(editorFont);
}

void TextPropertiesWindow::OnWeightChosen() {
  report::TPRText* text = SelectedText();
  const auto bold = BoldOfChoice(weightChoice->Text());
  if (text == nullptr || !bold) return;
  Edit(*text, "", [&] { text->SetFontBold(*bold); });
  FitEditorTo(*text);
}

void TextPropertiesWindow::OnItalicChosen() {
  report::TPRText* text = SelectedText();
  const auto italic = ItalicOfChoice(italicChoice->Text());
  if (text == nullptr || !italic) return;
  Edit(*text, "", [&] { text->SetFontItalic(*italic); });
  FitEditorTo(*text);
}

void TextPropertiesWindow::OnColorClick() {
  if (SelectedText() == nullptr) return;
  ProcessMessages();
  report::TPRText* text = SelectedText();
  if (text == nullptr) return;
  if (const auto color = ChooseColor(text->FontColor())) {
    if ((text = SelectedText()) != nullptr) {
      Edit(*text, "", [&] { text->SetFontColor(*color); });
      colorButton->SetSwatchColor(text->FontColor());
    }
  }
}

void TextPropertiesWindow::OnFontSizeArrow() {
  report::TPRText* text = SelectedText();
  if (text == nullptr) return;
  Edit(*text, "size", [&] { text->SetFontSize(static_cast<float>(fontSizeUpDown->Position())); });
  FitEditorTo(*text);
}

void TextPropertiesWindow::OnLeadingArrow() {
  report::TPRText* text = SelectedText();
  if (text == nullptr) return;
  if (const auto leading = FieldNumber(*leadingEdit, kLeadingRange))
    Edit(*text, "leading", [&] { text->SetLeading(static_cast<float>(*leading)); });
}

void TextPropertiesWindow::OnCharSpaceArrow() {
  report::TPRText* text = SelectedText();
  if (text == nullptr) return;
  if (const auto space = FieldNumber(*charSpaceEdit, kTextSpacingRange))
    Edit(*text, "spacing", [&] { text->SetCharSpace(static_cast<float>(*space)); });
}

void TextPropertiesWindow::Nudge(int dx, int dy) {
  report::TPRText* text = SelectedText();
  if (text == nullptr) return;
  MoveBy(*text, dx, dy);
}

void TextPropertiesWindow::OnImportClick() {
  report::TPRText* text = SelectedText();
  ui::Platform* platform = GetPlatform();
  if (text == nullptr || platform == nullptr || !text->dbfieldname().empty()) return;
  const auto file = platform->FileDialog({"", kImportFilter, "", false});
  if (!file) return;
  std::string error;
  const auto lines = ReadTextLines(*file, error);
  if (!lines) {
    platform->ShowMessage(error);
    return;
  }
  // The dialog ran its own messages: the field may be gone.
  if ((text = SelectedText()) == nullptr) return;
  editor->SetLines(*lines);
  Edit(*text, "", [&] { text->SetLines(*lines); });
  text->Invalidate();
  platform->ProcessMessages();
}

void TextPropertiesWindow::OnDataFieldClick() {
  DataFieldWindow* window = dataFieldWindow_.Get();
  report::TPRText* text = SelectedText();
  if (dataFieldBox->Checked()) {
    if (text != nullptr && window != nullptr) window->Propose("Textfeld");
    return;
  }
  if (text == nullptr || window == nullptr) return;
  if (!window->RemoveField(text->dbfieldname())) {
    dataFieldBox->SetChecked(!text->dbfieldname().empty());
    return;
  }
  Edit(*text, "", [&] {
    text->Setdbfieldname("");
    text->SetText("Text Feld");
  });
  editor->SetText("Text Feld");
  SetDataFieldMode(false);
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
      [this] { return PressedRectangle(); }, [](const report::TPRRect& r) { return r.LineWidth(); },
      [](report::TPRRect& r, float width) { r.SetLineWidth(width); });
  lineWidthUpDown->OnArrowClick = [this](ui::TUpDown&, ui::TUpDownDirection) {
    OnLineWidthArrow();
  };
}

report::TPRRect* RectanglePropertiesWindow::PressedRectangle() const {
  return static_cast<report::TPRRect*>(PressedOf(ElementKind::Rect));
}

void RectanglePropertiesWindow::OnWindowShown() {
  if (report::TPRRect* rect = PressedRectangle()) {
    ShowNumber(*lineWidthEdit, *lineWidthUpDown, rect->LineWidth());
    lineColorButton->SetSwatchColor(rect->LineColor());
    fillColorButton->SetSwatchColor(rect->FillColor());
  }
}

void RectanglePropertiesWindow::OnLineColorClick() {
  report::TPRRect* rect = PressedRectangle();
  const auto color = ChooseColor(rect != nullptr ? rect->LineColor() : graphics::clBlack);
  if (color && (rect = PressedRectangle()) != nullptr) {
    Edit(*rect, "", [&] { rect->SetLineColor(*color); });
    lineColorButton->SetSwatchColor(rect->LineColor());
  }
}

void RectanglePropertiesWindow::OnFillColorClick() {
  report::TPRRect* rect = PressedRectangle();
  const auto color = ChooseColor(rect != nullptr ? rect->FillColor() : graphics::clWhite);
  if (color && (rect = PressedRectangle()) != nullptr) {
    Edit(*rect, "", [&] { rect->SetFillColor(*color); });
    fillColorButton->SetSwatchColor(rect->FillColor());
  }
}

void RectanglePropertiesWindow::OnLineWidthArrow() {
  report::TPRRect* rect = PressedRectangle();
  if (rect == nullptr) return;
  if (const auto width = FieldNumber(*lineWidthEdit, kBorderWidthRange))
    Edit(*rect, "border", [&] { rect->SetLineWidth(static_cast<float>(*width)); });
}

void RectanglePropertiesWindow::OnPresetShape(const PresetShape& shape) {
  report::TPRRect* rect = PressedRectangle();
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
  report::TPRRect* rect = PressedRectangle();
  if (rect == nullptr) return;
  MoveBy(*rect, dx, dy);
}

}  // namespace quirabel::dialogs
