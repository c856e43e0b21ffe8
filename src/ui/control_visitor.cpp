#include "ui/control_visitor.h"

#include "ui/input_controls.h"

namespace quirabel::ui {

void ControlVisitor::Visit(TForm& form) { Visit(static_cast<Control&>(form)); }
void ControlVisitor::Visit(TLabel& label) { Visit(static_cast<Control&>(label)); }
void ControlVisitor::Visit(TEdit& edit) { Visit(static_cast<Control&>(edit)); }
void ControlVisitor::Visit(TButton& button) { Visit(static_cast<Control&>(button)); }
void ControlVisitor::Visit(TPanel& panel) { Visit(static_cast<Control&>(panel)); }
void ControlVisitor::Visit(TImage& image) { Visit(static_cast<Control&>(image)); }
void ControlVisitor::Visit(TCheckBox& checkBox) { Visit(static_cast<Control&>(checkBox)); }
void ControlVisitor::Visit(TComboBox& comboBox) { Visit(static_cast<Control&>(comboBox)); }
void ControlVisitor::Visit(TListBox& listBox) { Visit(static_cast<Control&>(listBox)); }
void ControlVisitor::Visit(TUpDown& upDown) { Visit(static_cast<Control&>(upDown)); }
void ControlVisitor::Visit(TMemo& memo) { Visit(static_cast<Control&>(memo)); }
void ControlVisitor::Visit(TColorButton& colorButton) { Visit(static_cast<TButton&>(colorButton)); }
void ControlVisitor::Visit(TShape& shape) { Visit(static_cast<Control&>(shape)); }
void ControlVisitor::Visit(TStringGrid& grid) { Visit(static_cast<Control&>(grid)); }
void ControlVisitor::Visit(TFolderTree& tree) { Visit(static_cast<Control&>(tree)); }

// Each kind names itself to the visitor.
void Control::Accept(ControlVisitor& visitor) { visitor.Visit(*this); }
void TForm::Accept(ControlVisitor& visitor) { visitor.Visit(*this); }
void TLabel::Accept(ControlVisitor& visitor) { visitor.Visit(*this); }
void TEdit::Accept(ControlVisitor& visitor) { visitor.Visit(*this); }
void TButton::Accept(ControlVisitor& visitor) { visitor.Visit(*this); }
void TPanel::Accept(ControlVisitor& visitor) { visitor.Visit(*this); }
void TImage::Accept(ControlVisitor& visitor) { visitor.Visit(*this); }
void TCheckBox::Accept(ControlVisitor& visitor) { visitor.Visit(*this); }
void TComboBox::Accept(ControlVisitor& visitor) { visitor.Visit(*this); }
void TListBox::Accept(ControlVisitor& visitor) { visitor.Visit(*this); }
void TUpDown::Accept(ControlVisitor& visitor) { visitor.Visit(*this); }
void TMemo::Accept(ControlVisitor& visitor) { visitor.Visit(*this); }
void TColorButton::Accept(ControlVisitor& visitor) { visitor.Visit(*this); }
void TShape::Accept(ControlVisitor& visitor) { visitor.Visit(*this); }
void TStringGrid::Accept(ControlVisitor& visitor) { visitor.Visit(*this); }
void TFolderTree::Accept(ControlVisitor& visitor) { visitor.Visit(*this); }

}  // namespace quirabel::ui
