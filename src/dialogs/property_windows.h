#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/user_error.h"
#include "designer/memo_geometry.h"
#include "dialogs/number_fields.h"
#include "pdf/pdf_canvas.h"
#include "report/pr_labels.h"
#include "report/pr_shapes.h"
#include "ui/controls.h"
#include "ui/input_controls.h"

namespace quirabel::designer {
class DocumentWindow;
}

namespace quirabel::dialogs {

class DataFieldWindow;

// What the property windows can change of an element, in one string: two differ when an action
// changed something.
std::string Fingerprint(const report::TPRItem& item);

// The document window on screen; none while no document is open.
using DocumentSource = std::function<designer::DocumentWindow*()>;

// The choice boxes of the text windows and what their entries stand for. The same table serves
// filling a box from an element and setting the element from a choice.
inline constexpr const char* kFontChoices[] = {"Arial", "Fixed", "Times Roman"};
inline constexpr const char* kAlignmentChoices[] = {"Links", "Center", "Rechts"};
inline constexpr const char* kWeightChoices[] = {"Normal", "Fett"};
inline constexpr const char* kItalicChoices[] = {"on", "off"};
// A text line's text that would not fit its place in the project file.
inline constexpr const char* kCaptionTooLong =
    "Der Text ist zu lang für eine Textzeile: sie fasst 250 Zeichen, Buchstaben anderer Schriften "
    "(etwa ł, ş, Griechisch, Kyrillisch) zählen bis zu zehnfach. Längere Texte passen in ein "
    "Textfeld.";
std::string_view FontChoiceText(report::TPRFontName font);
std::optional<report::TPRFontName> FontOfChoice(std::string_view text);
std::string_view AlignmentChoiceText(pdf::TAlignment alignment);
std::optional<pdf::TAlignment> AlignmentOfChoice(std::string_view text);
std::optional<bool> BoldOfChoice(std::string_view text);
std::optional<bool> ItalicOfChoice(std::string_view text);
// What the boxes show for an element: the weight as an entry, the slant in words that are none
// of the entries ("on"/"off" are what the person chooses).
inline const char* WeightShown(bool bold) { return bold ? "Fett" : "Normal"; }
inline const char* ItalicShown(bool italic) { return italic ? "Kusriv" : "Normal"; }

// The ranges of the number fields, which their arrows keep to.
inline constexpr NumberRange kLabelSizeRange{1, 200, false};
inline constexpr NumberRange kLabelSpacingRange{0, 100, true};
inline constexpr NumberRange kTextSizeRange{1, 200, true};
inline constexpr NumberRange kLeadingRange{0, 400, true};
inline constexpr NumberRange kTextSpacingRange{0, 100, true};
inline constexpr NumberRange kBorderWidthRange{0, 100, false};

// The fine positioning: "-" and "+" beside "Top" and "Left"; each moves by one pixel.
struct NudgeButtons {
  ui::TButton* up;
  ui::TButton* down;
  ui::TButton* left;
  ui::TButton* right;
};

// What a property window needs of its surroundings: the document window on screen and the
// element the window acts on there.
class ElementWindow : public ui::TForm {
 public:
  ElementWindow(ui::Component* owner, DocumentSource document)
      : ui::TForm(owner), document_(std::move(document)) {
    // What was typed and not yet taken goes into the element as the window closes.
    OnClose = [this](ui::Control&) { TakeTypedNumbers(); };
  }

  // The element the window acts on, none when there is none on the page (or the window acts on
  // no element of its own).
  virtual const report::TPRItem* Target() const { return nullptr; }
  // Hides the window once the element it acted on is gone (deleted, its page left). Another
  // element pressed meanwhile, or a window that came up without one, leaves it as it is.
  void HideWhenElementGone();

 protected:
  designer::DocumentWindow* Document() const { return document_ ? document_() : nullptr; }
  // The selected element when it is of a kind and its name carries the kind's prefix.
  report::TPRItem* SelectedOf(report::ElementKind kind) const;
  report::TPRItem* PressedOf(report::ElementKind kind) const;
  // The number a field holds within its range; a UserError saying why when it holds none.
  double FieldNumber(const ui::TEdit& field, const NumberRange& range);
  // An arrow steps from the number in its field; a field that holds none, or one outside the
  // range, refuses the step with a UserError, so the element keeps its value.
  void GuardArrow(ui::TUpDown& upDown, ui::TEdit& field, const NumberRange& range);
  // Runs the colour dialog at a colour; none when cancelled.
  std::optional<graphics::TColor> ChooseColor(graphics::TColor initial);
  void ProcessMessages();
  // Runs a change of an element. When it changed anything the document window hears of it (an
  // undo step, and work that is not saved); changes of one element with the same merge key in a
  // row make one step (typing, repeated arrows).
  template <class Change>
  void Edit(report::TPRItem& element, std::string_view mergeKey, Change&& change) {
    const std::string before = Fingerprint(element);
    change();
    if (Fingerprint(element) != before) ElementChanged(element, mergeKey);
  }
  void ElementChanged(const report::TPRItem& element, std::string_view mergeKey);
  // A number typed into a field goes into the element when the person is done with the field
  // (Enter, Tab, a click elsewhere) and when the window closes. `element` is the element the
  // window acts on (none: nothing happens), `value` reads the element's value and `apply` sets
  // it. A text that is no number or lies outside the range is refused (a UserError saying
  // why); the element keeps its value and the field shows it again.
  template <class Element, class Value, class Apply>
  void TakeTypedNumber(ui::TEdit& field, ui::TUpDown& upDown, const NumberRange& range,
                       const char* mergeKey, Element element, Value value, Apply apply) {
    auto take = [this, &field, &upDown, range, mergeKey, element, value,
                 apply]() -> std::optional<std::string> {
      auto* item = element();
      if (item == nullptr) return std::nullopt;
      std::optional<std::string> refused =
          TakeNumber(field, upDown, range, static_cast<float>(value(*item)),
                     [&](float typed) { Edit(*item, mergeKey, [&] { apply(*item, typed); }); });
      ShowTypedNumber(field, upDown, static_cast<float>(value(*item)));
      return refused;
    };
    field.OnEditingDone = [take](ui::Control&) {
      if (std::optional<std::string> refused = take()) throw UserError(*refused);
    };
    typedNumbers_.push_back(take);
  }
  // The fine positioning: moves an element within the page margins, its handles and markers
  // with it.
  void MoveBy(report::TPRItem& element, int dx, int dy);
  // Takes what every number field holds (the window is closing); what was refused is told in one
  // UserError at the end, a paragraph a field.
  void TakeTypedNumbers();

  // A few controls every window has.
  ui::TLabel* AddLabel(const char* name, const char* caption, int left, int top, bool bold = false);
  ui::TButton* AddButton(const char* name, const char* caption, int left, int top, int width,
                         int height);
  ui::TEdit* AddEdit(const char* name, int left, int top, int width);
  ui::TUpDown* AddUpDown(const char* name, ui::TEdit& field, int min, int max, int position);
  ui::TComboBox* AddChoice(const char* name, std::initializer_list<const char*> entries,
                           const char* shown, int left, int top, int width);
  NudgeButtons AddNudgeButtons(const char* upName, const char* downName, const char* leftName,
                               const char* rightName, int top,
                               const std::function<void(int dx, int dy)>& nudge);

 private:
  // The element the window acted on last; it expires when the element is freed.
  ui::ComponentRef<const report::TPRItem> actedOn_;
  bool actedOnAny_ = false;
  // Why the field's text was refused, none when it was taken.
  std::optional<std::string> TakeNumber(ui::TEdit& field, ui::TUpDown& upDown,
                                        const NumberRange& range, float current,
                                        const std::function<void(float)>& apply);
  static void ShowTypedNumber(ui::TEdit& field, ui::TUpDown& upDown, float value);

  DocumentSource document_;
  std::vector<std::function<std::optional<std::string>()>> typedNumbers_;
};

// What "Eigenschaften Label" and "Eigenschaften Text" share, written once for both and typed on
// the element they edit (a text line or a text field): font, weight, slant, colour, the size and
// spacing fields with their arrows, the fine positioning and the data-field box.
template <class Element>
class TextElementWindow : public ElementWindow {
 public:
  ui::TColorButton* colorButton = nullptr;
  ui::TEdit* fontSizeEdit = nullptr;  // "Grösse"
  ui::TUpDown* fontSizeUpDown = nullptr;
  ui::TEdit* charSpaceEdit = nullptr;
  ui::TUpDown* charSpaceUpDown = nullptr;
  ui::TComboBox* fontChoice = nullptr;
  ui::TComboBox* weightChoice = nullptr;
  ui::TComboBox* italicChoice = nullptr;
  NudgeButtons nudgeButtons{};
  ui::TCheckBox* dataFieldBox = nullptr;

  void SetDataFieldWindow(DataFieldWindow* window) { dataFieldWindow_ = window; }
  // A data field's text is its marker, changed only through the data-field window: the text
  // entry is off while the element is one.
  virtual void SetDataFieldMode(bool dataField) = 0;

  void OnFontChosen();
  void OnWeightChosen();
  void OnItalicChosen();
  void OnColorClick();
  void OnFontSizeArrow();
  void OnCharSpaceArrow();
  void Nudge(int dx, int dy);
  void OnDataFieldClick();

  // The selected element when it is of the window's kind.
  Element* SelectedElement() const;
  const report::TPRItem* Target() const override { return SelectedElement(); }

 protected:
  // What differs between the two windows besides their own controls.
  struct Words {
    NumberRange sizeRange;
    NumberRange spacingRange;
    const char* proposedField;  // the name the data-field window proposes
    const char* plainText;      // the text an element gets back when it stops being a data field
  };
  TextElementWindow(ui::Component* owner, DocumentSource document, const Words& words)
      : ElementWindow(owner, std::move(document)), words_(words) {}

  // Gives the shared controls their handlers; the window's constructor calls it once it made them.
  void WireSharedControls();
  // Shows what the shared controls show of an element.
  void FillShared(const Element& element);

  // The font, weight, slant or size of the element changed (its editing area follows).
  virtual void LookChanged(Element& /*element*/) {}
  // The font choice changed the element's font.
  virtual void FontChosen(report::TPRFontName /*font*/) {}
  // The element's own text, as it is set and shown when it stops being a data field.
  virtual void SetPlainText(Element& element, const char* text) = 0;
  virtual void ShowPlainText(const Element& element) = 0;

 private:
  Words words_;
  ui::ComponentRef<DataFieldWindow> dataFieldWindow_;
};

extern template class TextElementWindow<report::TPRLabel>;
extern template class TextElementWindow<report::TPRText>;

// "Eigenschaften Label": the text, font, alignment, weight, slant, size, character spacing and
// colour of the selected text line, its fine positioning, and whether it is a data field. Every
// change goes into the line at once.
class LabelPropertiesWindow : public TextElementWindow<report::TPRLabel> {
 public:
  LabelPropertiesWindow(ui::Component* owner, DocumentSource document);
  std::string ClassName() const override { return "LabelPropertiesWindow"; }

  ui::TEdit* textEdit;
  ui::TComboBox* alignmentChoice;

  // Shows a text line (a left press on it selected it).
  void Fill(const report::TPRLabel& label);
  void SetDataFieldMode(bool dataField) override;

  void OnTextKeyUp();
  void OnAlignmentChosen();

  // The selected element when it is a text line.
  report::TPRLabel* SelectedLabel() const { return SelectedElement(); }

 private:
  void SetPlainText(report::TPRLabel& label, const char* text) override;
  void ShowPlainText(const report::TPRLabel& label) override;
};

// "Eigenschaften Text": the text of the selected text field in an editing area of the field's
// own size (so lines break as on the page), its font, weight, slant, size, leading, character
// spacing and colour, its fine positioning, and a text import from a file. Its data-field box
// stays hidden: text fields become data fields only from a project.
class TextPropertiesWindow : public TextElementWindow<report::TPRText> {
 public:
  TextPropertiesWindow(ui::Component* owner, DocumentSource document);
  std::string ClassName() const override { return "TextPropertiesWindow"; }

  ui::TEdit* leadingEdit;  // "Zeilen"
  ui::TUpDown* leadingUpDown;
  ui::TButton* importButton;  // "Text-Import"
  ui::TShape* editorFrame;
  ui::TMemo* editor;

  static constexpr const char* kImportFilter = "TextFiles|*.txt";

  // Shows a text field (a left press on it selected it).
  void Fill(const report::TPRText& text);
  // The editing area takes a text field's size and font; the window grows to show it.
  void FitEditor(const designer::MemoGeometry& geometry);
  void FitEditorTo(const report::TPRText& text);
  void SetDataFieldMode(bool dataField) override;

  void OnEditorKeyUp();
  void OnLeadingArrow();
  void OnImportClick();

  report::TPRText* SelectedText() const { return SelectedElement(); }

 private:
  void LookChanged(report::TPRText& text) override { FitEditorTo(text); }
  void FontChosen(report::TPRFontName font) override;
  void SetPlainText(report::TPRText& text, const char* plain) override;
  void ShowPlainText(const report::TPRText& text) override;
};

// "Eigenschaften": border colour, fill colour and border width of the pressed rectangle or
// ellipse, preset shapes ("Autoform") and fine positioning.
class RectanglePropertiesWindow : public ElementWindow {
 public:
  RectanglePropertiesWindow(ui::Component* owner, DocumentSource document);
  std::string ClassName() const override { return "RectanglePropertiesWindow"; }

  ui::TColorButton* lineColorButton;  // "Randfarbe"
  ui::TColorButton* fillColorButton;  // "Füllfarbe"
  ui::TEdit* lineWidthEdit;           // "Rand-Stärke"
  ui::TUpDown* lineWidthUpDown;
  NudgeButtons nudgeButtons;

  // The preset shapes in the order of the window: a width (none: kept) and a height.
  struct PresetShape {
    const char* name;
    std::optional<int> width;
    int height;
  };
  static constexpr PresetShape kPresetShapes[] = {{"BitBtn3", 5, 5},
                                                  {"BitBtn4", 10, 10},
                                                  {"BitBtn5", 20, 20},
                                                  {"BitBtn6", 30, 30},
                                                  {"BitBtn10", 40, 40},
                                                  {"BitBtn7", std::nullopt, 2},
                                                  {"BitBtn8", std::nullopt, 5},
                                                  {"BitBtn9", std::nullopt, 7}};
  ui::TColorButton* presetButtons[std::size(kPresetShapes)];

  // The window came up: the width field shows the pressed shape's border width.
  void OnWindowShown();
  void OnLineColorClick();
  void OnFillColorClick();
  void OnLineWidthArrow();
  void OnPresetShape(const PresetShape& shape);
  void Nudge(int dx, int dy);

  // The pressed element when it is a shape (a rectangle or an ellipse).
  report::TPRShape* PressedShape() const;
  const report::TPRItem* Target() const override { return PressedShape(); }
};

}  // namespace quirabel::dialogs
