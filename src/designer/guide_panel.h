#pragma once

#include "ui/controls.h"
#include "ui/input_controls.h"

namespace quirabel::designer {

// What the side panel's groups switch; the guide lines of the page answer it.
class GuideSwitches {
 public:
  // `fold`: the "Pfalze" group (fold lines), else "Perforation".
  virtual void SetLinesVisible(bool fold, bool visible) = 0;
  virtual void SetHandlesVisible(bool fold, bool visible) = 0;
  virtual void SetLabelsVisible(bool fold, bool visible) = 0;
  virtual void LinesToFront(bool fold) = 0;
  virtual void LinesToBack(bool fold) = 0;

 protected:
  ~GuideSwitches() = default;
};

// The two groups beside the page of an orderable document, "Pfalze" for the fold lines and
// "Perforation" for the perforation lines: whether lines, handles and distance labels show, and
// the lines in front of or behind the elements, and the ink check. A small tool window of the
// document window.
class GuidePanel : public ui::TForm {
 public:
  GuidePanel(ui::Component* owner, GuideSwitches& guides);
  std::string ClassName() const override { return "GuidePanel"; }

  struct Group {
    ui::TCheckBox* lines;    // "Lines"
    ui::TCheckBox* handles;  // "Maker"
    ui::TCheckBox* labels;   // "Size"
    ui::TButton* front;      // "Front"
    ui::TButton* back;       // "Back"
  };
  Group folds;
  Group perforations;
  // "Check CMYK": how many inks the print needs; the document window answers it.
  ui::TButton* checkInks;

 private:
  Group MakeGroup(bool fold, int top, const char* heading, const char* names[5]);
  GuideSwitches& guides_;
};

}  // namespace quirabel::designer
