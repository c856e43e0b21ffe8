#include "designer/guide_panel.h"

namespace quirabel::designer {

GuidePanel::GuidePanel(ui::Component* owner, GuideSwitches& guides)
    : ui::TForm(owner), guides_(guides) {
  SetName("GuidePanel");
  SetCaption("Hilfslinien");
  SetToolWindow(true);
  SetBounds(0, 0, 190, 270);
  const char* foldNames[5] = {"CheckBox1", "CheckBox2", "CheckBox3", "Button5", "Button8"};
  const char* perforationNames[5] = {"CheckBox4", "CheckBox5", "CheckBox6", "Button1", "Button6"};
  folds = MakeGroup(true, 8, "Pfalze", foldNames);
  perforations = MakeGroup(false, 122, "Perforation", perforationNames);
  checkInks = new ui::TButton(this);
  checkInks->SetName("checkInksButton");
  checkInks->SetCaption("Check CMYK");
  checkInks->SetBounds(10, 236, 170, 26);
  checkInks->SetParent(this);
}

GuidePanel::Group GuidePanel::MakeGroup(bool fold, int top, const char* heading,
                                        const char* names[5]) {
  auto* title = new ui::TLabel(this);
  title->SetName(fold ? "Label5" : "Label6");
  title->SetCaption(heading);
  ui::TFont font = title->Font();
  font.bold = true;
  title->SetFont(font);
  title->SetBounds(10, top, 170, 18);
  title->SetParent(this);

  auto box = [this, top](const char* name, const char* caption, int row, auto apply) {
    auto* check = new ui::TCheckBox(this);
    check->SetName(name);
    check->SetCaption(caption);
    check->SetHint(row == 0   ? "Linien ausblenden"
                   : row == 1 ? "Maker ausblenden"
                              : "Maße ausblenden");
    check->SetChecked(true);
    check->SetBounds(10, top + 22 + row * 22, 80, 20);
    check->OnClick = [check, apply](ui::Control&) { apply(check->Checked()); };
    check->SetParent(this);
    return check;
  };
  auto button = [this, top](const char* name, const char* caption, const char* hint, int row,
                            auto action) {
    auto* b = new ui::TButton(this);
    b->SetName(name);
    b->SetCaption(caption);
    b->SetHint(hint);
    b->SetBounds(100, top + 22 + row * 30, 80, 26);
    b->OnClick = [action](ui::Control&) { action(); };
    b->SetParent(this);
    return b;
  };
  GuideSwitches& g = guides_;
  Group group;
  group.lines = box(names[0], "Lines", 0, [&g, fold](bool on) { g.SetLinesVisible(fold, on); });
  group.handles = box(names[1], "Maker", 1, [&g, fold](bool on) { g.SetHandlesVisible(fold, on); });
  group.labels = box(names[2], "Size", 2, [&g, fold](bool on) { g.SetLabelsVisible(fold, on); });
  group.front =
      button(names[3], "Front", "In den Vordergrund", 0, [&g, fold] { g.LinesToFront(fold); });
  group.back =
      button(names[4], "Back", "In den Hintergrund", 1, [&g, fold] { g.LinesToBack(fold); });
  return group;
}

}  // namespace quirabel::designer
