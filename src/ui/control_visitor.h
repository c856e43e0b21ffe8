#pragma once

namespace quirabel::ui {

class Control;
class TForm;
class TLabel;
class TEdit;
class TButton;
class TPanel;
class TImage;
class TCheckBox;
class TComboBox;
class TListBox;
class TUpDown;
class TMemo;
class TColorButton;
class TShape;
class TStringGrid;
class TFolderTree;

// Tells a control's kind without casting: Control::Accept calls the Visit of the most derived
// kind listed here. A kind not overridden by a visitor falls back to the kind it derives from,
// so a visitor handles exactly the kinds it cares about.
class ControlVisitor {
 public:
  virtual ~ControlVisitor() = default;
  virtual void Visit(Control& control) = 0;
  virtual void Visit(TForm& form);
  virtual void Visit(TLabel& label);
  virtual void Visit(TEdit& edit);
  virtual void Visit(TButton& button);
  virtual void Visit(TPanel& panel);
  virtual void Visit(TImage& image);
  virtual void Visit(TCheckBox& checkBox);
  virtual void Visit(TComboBox& comboBox);
  virtual void Visit(TListBox& listBox);
  virtual void Visit(TUpDown& upDown);
  virtual void Visit(TMemo& memo);
  virtual void Visit(TColorButton& colorButton);
  virtual void Visit(TShape& shape);
  virtual void Visit(TStringGrid& grid);
  virtual void Visit(TFolderTree& tree);
};

}  // namespace quirabel::ui
