#include "ui/input_controls.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace quirabel::ui {
namespace {

// Counts what its controls tell it, to prove that every change reaches the screen.
class CountingObserver : public ControlObserver {
 public:
  void ControlChanged(Control&) override { ++changes; }
  void ControlFreed(Control&) override { ++freed; }
  int changes = 0;
  int freed = 0;
};

TEST(UpDown, StopsAtItsEndsAndWritesItsField) {
  TEdit edit;
  TUpDown size;
  size.SetRange(1, 200);
  size.SetAssociate(&edit);
  size.SetPosition(12);
  EXPECT_EQ(edit.Text(), "12");

  std::vector<std::string> log;
  size.OnChanging = [&](TUpDown& s, TUpDownDirection d, int next, bool&) {
    log.push_back("changing " + std::string(d == TUpDownDirection::updUp ? "up " : "down ") +
                  std::to_string(next) + " field " + edit.Text() + " at " +
                  std::to_string(s.Position()));
  };
  size.OnArrowClick = [&](TUpDown&, TUpDownDirection) { log.push_back("click " + edit.Text()); };
  size.Step(TUpDownDirection::updUp);
  EXPECT_EQ(log, (std::vector<std::string>{"changing up 13 field 12 at 12", "click 13"}));

  size.SetPosition(2);
  size.Step(TUpDownDirection::updDown);
  size.Step(TUpDownDirection::updDown);  // at the end: stays, though the arrow was pressed
  EXPECT_EQ(size.Position(), 1);
  EXPECT_EQ(edit.Text(), "1");
  size.SetPosition(500);  // from code too, the range holds
  EXPECT_EQ(edit.Text(), "200");
  size.Step(TUpDownDirection::updUp);
  EXPECT_EQ(size.Position(), 200);
  EXPECT_EQ(log.size(), 8u);

  size.SetRange(0, 400);
  size.SetIncrement(1000);  // a wide step is cut at the end, never wraps round
  size.Step(TUpDownDirection::updDown);
  EXPECT_EQ(size.Position(), 0);
  size.Step(TUpDownDirection::updUp);
  EXPECT_EQ(size.Position(), 400);
}

TEST(UpDown, StepsFromTheNumberTypedIntoItsField) {
  TEdit edit;
  TUpDown spacing;
  spacing.SetRange(0, 100);
  spacing.SetAssociate(&edit);
  EXPECT_EQ(edit.Text(), "0");

  edit.SetText(" 41 ");
  spacing.Step(TUpDownDirection::updUp);
  EXPECT_EQ(spacing.Position(), 42);
  EXPECT_EQ(edit.Text(), "42");
  edit.SetText("-5");  // out of range: taken as the end
  spacing.Step(TUpDownDirection::updUp);
  EXPECT_EQ(spacing.Position(), 1);
  // No whole number in the field: the step goes from the position held.
  for (const char* text : {"abc", "", "7.5", "1e3", "99999999999999999999"}) {
    edit.SetText(text);
    spacing.Step(TUpDownDirection::updUp);
  }
  EXPECT_EQ(spacing.Position(), 6);

  // A refused step changes nothing at all.
  spacing.OnChanging = [](TUpDown&, TUpDownDirection, int, bool& allow) { allow = false; };
  bool clicked = false;
  spacing.OnArrowClick = [&](TUpDown&, TUpDownDirection) { clicked = true; };
  edit.SetText("6");
  spacing.Step(TUpDownDirection::updUp);
  EXPECT_EQ(edit.Text(), "6");
  EXPECT_FALSE(clicked);

  // A field that is freed first leaves the arrows working on their own.
  auto owned = std::make_unique<TEdit>();
  TUpDown lone;
  lone.SetAssociate(owned.get());
  owned.reset();
  lone.Step(TUpDownDirection::updUp);
  EXPECT_EQ(lone.Position(), 1);
  EXPECT_EQ(lone.Associate(), nullptr);
}

TEST(ComboBox, ShownTextNeedNotBeAnEntry) {
  TComboBox italic;
  italic.SetItems({"on", "off"});
  italic.SetText("Kursiv");
  EXPECT_EQ(italic.ItemIndex(), -1);
  italic.SetText("off");
  EXPECT_EQ(italic.ItemIndex(), 1);
  italic.SetText("Kusriv");  // a state shown in other words than the entries
  EXPECT_EQ(italic.Text(), "Kusriv");
  EXPECT_EQ(italic.ItemIndex(), -1);
  italic.SetItemIndex(0);
  EXPECT_EQ(italic.Text(), "on");
  italic.SetItemIndex(7);
  EXPECT_EQ(italic.ItemIndex(), -1);
  EXPECT_EQ(italic.Text(), "");

  // New entries keep the shown text and find it among them.
  TComboBox font;
  font.SetText("Fixed");
  font.SetItems({"Arial", "Fixed", "Times Roman"});
  EXPECT_EQ(font.ItemIndex(), 1);
  font.SetItems({"Arial"});
  EXPECT_EQ(font.Text(), "Fixed");
  EXPECT_EQ(font.ItemIndex(), -1);
  font.AddItem("Fixed");
  EXPECT_EQ(font.ItemIndex(), 1);
}

TEST(ComboBox, OnlyThePersonsChoiceRunsItsHandler) {
  TComboBox weight;
  std::vector<std::string> seen;
  weight.OnChange = [&](Control& c) {
    auto& box = static_cast<TComboBox&>(c);
    seen.push_back(box.Text() + "/" + std::to_string(box.ItemIndex()));
  };
  weight.SetItems({"Normal", "Fett"});
  weight.SetText("Style");
  weight.SetItemIndex(1);
  EXPECT_TRUE(seen.empty());

  weight.Choose(0);
  weight.Choose(5);  // no such entry: nothing
  weight.TypeText("Schwer");
  weight.SetEnabled(false);
  weight.Choose(1);
  EXPECT_EQ(seen, (std::vector<std::string>{"Normal/0", "Schwer/-1"}));

  weight.SetEnabled(true);
  weight.SetStyle(TComboBoxStyle::csDropDownList);
  weight.TypeText("Fett");  // a list without an entry line takes no typing
  EXPECT_EQ(seen.size(), 2u);
}

TEST(CheckBox, SetFromCodeRunsNoHandler) {
  TCheckBox field;
  int clicks = 0;
  bool checkedInHandler = false;
  field.OnClick = [&](Control&) {
    ++clicks;
    checkedInHandler = field.Checked();
  };
  field.SetChecked(true);
  field.SetChecked(false);
  EXPECT_EQ(clicks, 0);
  field.Toggle();
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(checkedInHandler);  // the handler sees the new state
  field.SetEnabled(false);
  field.Toggle();
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(field.Checked());
}

TEST(ListBox, SelectionFollowsDeletedEntries) {
  TListBox fields;
  int clicks = 0;
  fields.OnClick = [&](Control&) { ++clicks; };
  fields.SetItems({"Firma2", "Firma", "Kunde"});
  EXPECT_EQ(fields.Text(), "Firma2\nFirma\nKunde");
  fields.SetItemIndex(2);
  fields.DeleteItem(0);
  EXPECT_EQ(fields.ItemIndex(), 1);
  EXPECT_EQ(fields.Items()[1], "Kunde");
  fields.DeleteItem(1);
  EXPECT_EQ(fields.ItemIndex(), -1);
  fields.DeleteItem(4);
  EXPECT_EQ(fields.Items(), std::vector<std::string>{"Firma"});
  EXPECT_EQ(clicks, 0);
  fields.Select(0);
  EXPECT_EQ(clicks, 1);
  fields.Clear();
  EXPECT_EQ(fields.Text(), "");
  EXPECT_EQ(fields.ItemIndex(), -1);
}

TEST(Memo, LinesAndText) {
  TMemo memo;
  memo.SetText("eins\r\nzwei\n\ndrei\n");
  EXPECT_EQ(memo.Lines(), (std::vector<std::string>{"eins", "zwei", "", "drei"}));
  memo.SetLines({"a", "", "b"});
  EXPECT_EQ(memo.Text(), "a\n\nb");
  memo.SetLines({});
  EXPECT_TRUE(memo.Lines().empty());
  memo.SetText("\n");
  EXPECT_EQ(memo.Lines(), std::vector<std::string>{""});
}

TEST(Shape, SquareFiguresTakeTheSmallerSideCentred) {
  TShape shape;
  shape.SetBounds(4, 80, 345, 161);
  EXPECT_EQ(shape.FigureRect(), (TRect{0, 0, 345, 161}));
  shape.SetShape(TShapeType::stCircle);
  EXPECT_EQ(shape.FigureRect(), (TRect{92, 0, 253, 161}));
}

TEST(ControlObserver, HearsEveryChangeAndTheEnd) {
  CountingObserver observer;
  auto form = std::make_unique<TForm>();
  auto* edit = new TEdit(form.get());
  auto* box = new TCheckBox(form.get());
  auto* combo = new TComboBox(form.get());
  for (Control* c : std::vector<Control*>{form.get(), edit, box, combo}) c->SetObserver(&observer);
  edit->SetText("x");
  edit->SetEnabled(false);
  edit->SetReadOnly(true);
  box->SetChecked(true);
  combo->SetText("Style");
  form->Show();
  EXPECT_TRUE(form->Showing());
  EXPECT_EQ(observer.changes, 6);
  edit->SetText("x");  // unchanged: nothing to tell
  box->SetChecked(true);
  EXPECT_EQ(observer.changes, 6);

  int closes = 0;
  form->OnClose = [&](Control&) { ++closes; };
  form->Close();
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(form->Showing());
  form.reset();
  EXPECT_EQ(observer.freed, 4);
}

TEST(Form, ShowsWhereItLastStoodAndRunsOnShowEachTime) {
  TForm window;
  window.SetBounds(0, 0, 203, 223);
  window.SetPosition(TFormPosition::poScreenCenter);
  int shown = 0;
  window.OnShow = [&](Control&) { ++shown; };
  window.ShowAt({300, 40});  // at the mouse pointer: no centring from then on
  EXPECT_EQ(window.BoundsRect(), (TRect{300, 40, 503, 263}));
  EXPECT_EQ(window.Position(), TFormPosition::poDesigned);
  window.Hide();
  window.Show();
  window.Show();  // shown again while up: brought to the front, OnShow again
  EXPECT_EQ(window.BoundsRect(), (TRect{300, 40, 503, 263}));
  EXPECT_EQ(shown, 3);
  EXPECT_TRUE(window.Showing());
}

TEST(StringGrid, CellsOutsideTheRowsAreEmpty) {
  TStringGrid grid;
  grid.SetRows({{"Feld1", "Feld2"}, {"a"}, {"b", "c", "d"}});
  EXPECT_EQ(grid.ColCount(), 2);
  EXPECT_EQ(grid.RowCount(), 3);
  for (auto [column, row, text] :
       {std::tuple{1, 0, "Feld2"}, {0, 1, "a"}, {1, 1, ""}, {2, 2, "d"}, {0, 3, ""}, {-1, 0, ""}})
    EXPECT_EQ(grid.Cell(column, row), text) << column << "," << row;
}

TEST(FolderTree, EntersAndLeavesFoldersTheHiddenLeftOut) {
  const auto base = std::filesystem::absolute(std::filesystem::temp_directory_path() /
                                              ("folder_tree_" + std::to_string(::getpid())));
  std::filesystem::remove_all(base);
  for (const char* sub : {"b", "a/x", ".hidden"}) std::filesystem::create_directories(base / sub);
  std::ofstream(base / "file.txt") << "no folder";
  TFolderTree tree;
  int changes = 0;
  tree.OnChange = [&changes](Control&) { ++changes; };
  tree.SetFolder(base / "a" / "..");  // from code: no handler, the path made plain
  EXPECT_EQ(tree.Folder(), base);
  EXPECT_EQ(tree.Children(), (std::vector<std::string>{"a", "b"}));
  EXPECT_FALSE(tree.Enter("file.txt"));
  EXPECT_FALSE(tree.Choose(base / "missing"));
  EXPECT_TRUE(tree.Enter("a"));
  EXPECT_EQ(tree.Children(), std::vector<std::string>{"x"});
  EXPECT_TRUE(tree.Leave());
  EXPECT_EQ(tree.Folder(), base);
  EXPECT_EQ(changes, 2);
  tree.SetFolder("/");
  EXPECT_FALSE(tree.Leave());  // nothing above the root
  std::filesystem::remove_all(base);
}

}  // namespace
}  // namespace quirabel::ui
