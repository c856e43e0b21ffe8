#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "graphics/picture.h"
#include "ui/controls.h"

namespace quirabel::ui {

// Which side of a check box its caption stands on.
enum class TLeftRight { taLeftJustify, taRightJustify };

// A box with a tick and a caption. Setting the tick from code runs no handler; only the person's
// click (Toggle) flips it and then runs OnClick.
class TCheckBox : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TCheckBox"; }
  void Accept(ControlVisitor& visitor) override;
  bool Checked() const { return checked_; }
  void SetChecked(bool value);
  const TFont& Font() const { return font_; }
  void SetFont(const TFont& font);
  // taLeftJustify puts the caption left of the box.
  TLeftRight Alignment() const { return alignment_; }
  void SetAlignment(TLeftRight value);

  // The person clicks the box: the tick flips, then OnClick runs. A disabled box ignores it.
  void Toggle();

 private:
  bool checked_ = false;
  TFont font_;
  TLeftRight alignment_ = TLeftRight::taRightJustify;
};

enum class TComboBoxStyle {
  csDropDown,     // an entry line that may hold any text, with the list below it
  csDropDownList  // the list only
};

// A choice box: a list of entries and a shown text. The shown text may be none of the entries
// (a prompt like "Schriftart", or a state shown in other words than the entries); the item index
// is then -1. Setting anything from code runs no handler; the person's choice (Choose) or typing
// (TypeText) changes the box and then runs OnChange.
class TComboBox : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TComboBox"; }
  void Accept(ControlVisitor& visitor) override;

  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(std::vector<std::string> items);
  void AddItem(std::string item);
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle value);

  // The chosen entry, -1 for none. Setting a valid index shows that entry; any other value shows
  // no entry and an empty text.
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);
  // The shown text. The item index follows it: the first entry equal to it, else -1.
  const std::string& Text() const { return text_; }
  void SetText(std::string text);

  TNotifyEvent OnChange;

  // The person picks an entry from the list; an index outside the list does nothing.
  void Choose(int index);
  // The person types into the entry line (csDropDown only).
  void TypeText(std::string text);

 private:
  void Show(int index, std::string text);

  std::vector<std::string> items_;
  int itemIndex_ = -1;
  std::string text_;
  TComboBoxStyle style_ = TComboBoxStyle::csDropDown;
};

// A list of entries, one of which may be selected. The person's selection (Select) runs
// OnClick; setting the selection from code does not.
class TListBox : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TListBox"; }
  void Accept(ControlVisitor& visitor) override;

  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(std::vector<std::string> items);
  void AddItem(std::string item);
  // Removes one entry (an index outside the list does nothing); the selection stays on the
  // entry it was on, or goes when that entry goes.
  void DeleteItem(int index);
  void Clear() { SetItems({}); }
  // The entries joined by line breaks, as the list's text.
  std::string Text() const;

  int ItemIndex() const { return itemIndex_; }
  // -1, or an index outside the list, selects nothing.
  void SetItemIndex(int index);

  // The person selects an entry.
  void Select(int index);

 private:
  std::vector<std::string> items_;
  int itemIndex_ = -1;
};

enum class TUpDownDirection { updUp, updDown };

// The two arrows beside a number field. The position stays between Min and Max and is written
// into the associated edit field as a whole number. Before each step the position is read back
// from that field, so that a number typed there counts: the step goes from it. A field holding
// no whole number leaves the position as it was.
//
// An arrow press (Step) runs, in this order: OnChanging with the direction and the position the
// step leads to (it may refuse the step), the new position and its text in the field, then
// OnClick. At an end the position stays where it is; both events still run, as the arrow was
// pressed.
class TUpDown : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TUpDown"; }
  void Accept(ControlVisitor& visitor) override;

  int Min() const { return min_; }
  int Max() const { return max_; }
  // Sets both ends at once (Min above Max is taken the other way round); the position is kept
  // inside them.
  void SetRange(int min, int max);
  int Increment() const { return increment_; }
  void SetIncrement(int value);
  int Position() const { return position_; }
  // Kept inside the range and written into the associated field; runs no handler.
  void SetPosition(int value);

  // The edit field that shows the position; none when it was freed.
  TEdit* Associate() const { return associate_.Get(); }
  // Writes the position into the field at once.
  void SetAssociate(TEdit* edit);

  // Position the step leads to (after the range), whether the step may happen.
  using TChangingEvent = std::function<void(TUpDown& sender, TUpDownDirection direction,
                                            int newPosition, bool& allowChange)>;
  using TArrowEvent = std::function<void(TUpDown& sender, TUpDownDirection direction)>;
  TChangingEvent OnChanging;
  TArrowEvent OnArrowClick;

  // The person presses an arrow.
  void Step(TUpDownDirection direction);

 private:
  void WritePosition();
  void ReadBackPosition();

  int min_ = 0;
  int max_ = 100;
  int increment_ = 1;
  int position_ = 0;
  ComponentRef<TEdit> associate_;
};

// A multi-line text area. The text is held as it was set; Lines splits it at line breaks (a
// final line break ends the last line and opens no new one). The person's typing arrives as the
// new text followed by Change, and each key as KeyDown/KeyUp.
class TMemo : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TMemo"; }
  void Accept(ControlVisitor& visitor) override;

  const std::string& Text() const { return text_; }
  void SetText(std::string text);
  std::vector<std::string> Lines() const;
  // Joins the lines with line breaks.
  void SetLines(const std::vector<std::string>& lines);

  // The font the text is edited in (not that of any element).
  const TFont& Font() const { return font_; }
  void SetFont(const TFont& font);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  bool Border() const { return border_; }
  void SetBorder(bool value);
  // Long lines break at the right edge, as they will on the page.
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  // Whether typing and pasting may put control characters other than line breaks into the text
  // (a code's content may need them; a printed text refuses them). One-line fields never take
  // them.
  bool TakesControlCharacters() const { return takesControlCharacters_; }
  void SetTakesControlCharacters(bool value) { takesControlCharacters_ = value; }

  TNotifyEvent OnChange;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;

  // The person's actions.
  void Change();
  void KeyDown(int key, TShiftState shift);
  void KeyUp(int key, TShiftState shift);

 private:
  std::string text_;
  TFont font_;
  bool readOnly_ = false;
  bool border_ = true;
  bool wordWrap_ = true;
  bool takesControlCharacters_ = false;
};

// A push button that shows a colour swatch or a small picture (glyph) beside or instead of its
// caption: the colour buttons of the property windows and the buttons of preset shapes. Its
// click runs OnClick (Control::Click); a window opens the colour dialog from there through the
// platform.
class TColorButton : public TButton {
 public:
  using TButton::TButton;
  std::string ClassName() const override { return "TColorButton"; }
  void Accept(ControlVisitor& visitor) override;
  // The swatch colour; clNone shows none.
  TColor SwatchColor() const { return swatchColor_; }
  void SetSwatchColor(TColor color);
  const graphics::Picture& Glyph() const { return glyph_; }
  void SetGlyph(const graphics::Picture& glyph);

 private:
  TColor swatchColor_ = graphics::clNone;
  graphics::Picture glyph_;
};

enum class TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };

// A drawn figure (a frame round an area, a marker): outlined with the pen, filled with the brush.
// Squares and circles take the smaller side, centred.
class TShape : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TShape"; }
  void Accept(ControlVisitor& visitor) override;
  TShapeType Shape() const { return shape_; }
  void SetShape(TShapeType value);
  const TPen& Pen() const { return pen_; }
  void SetPen(const TPen& pen);
  const TBrush& Brush() const { return brush_; }
  void SetBrush(const TBrush& brush);
  // The figure's outline box in the control's coordinates.
  TRect FigureRect() const;
  // Draws rectangles as such; the canvas has no curves, so round figures are drawn by their box
  // here and properly by the screen backend.
  void Paint(Canvas& canvas) override;

 private:
  TShapeType shape_ = TShapeType::stRectangle;
  TPen pen_;
  TBrush brush_;
};

// A grid of text cells to read: row 0 holds the column captions, the rows after it the data. The
// person scrolls it; nothing in it is edited.
class TStringGrid : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TStringGrid"; }
  void Accept(ControlVisitor& visitor) override;

  // Every row, the captions first. A row may hold fewer or more cells than there are captions.
  const std::vector<std::vector<std::string>>& Rows() const { return rows_; }
  void SetRows(std::vector<std::vector<std::string>> rows);
  // The columns: as many as there are captions.
  int ColCount() const { return rows_.empty() ? 0 : static_cast<int>(rows_.front().size()); }
  int RowCount() const { return static_cast<int>(rows_.size()); }
  // The text of a cell; empty outside the grid or beyond the end of a short row.
  const std::string& Cell(int column, int row) const;

 private:
  std::vector<std::vector<std::string>> rows_;
};

// The folders of the file system, one of them chosen (at first the folder it was given). Without
// a screen it is a list of the chosen folder's own folders, which the person enters (Enter) or
// leaves for the one above (Leave); a screen may show the whole tree and let the person choose
// any folder (Choose). Hidden folders (a name starting with a dot) are not listed. Each of the
// person's actions that changes the folder runs OnChange.
class TFolderTree : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TFolderTree"; }
  void Accept(ControlVisitor& visitor) override;

  // The folder chosen, absolute and without a trailing separator.
  const std::filesystem::path& Folder() const { return folder_; }
  // Chooses a folder from code (no handler) and reads its folders.
  void SetFolder(const std::filesystem::path& folder);
  // The names of the chosen folder's own folders, sorted.
  const std::vector<std::string>& Children() const { return children_; }
  // Reads the chosen folder's folders again (after one was made or removed).
  void Reread();

  TNotifyEvent OnChange;

  // The person's actions; each does nothing (and gives false) when the folder is not there.
  bool Choose(const std::filesystem::path& folder);
  bool Enter(const std::string& child);
  bool Leave();

 private:
  std::filesystem::path folder_;
  std::vector<std::string> children_;
};

}  // namespace quirabel::ui
