#include "ui/control.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace quirabel::ui {

void PrintTo(const TRect& r, std::ostream* os) {
  *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {

using Controls = std::vector<Control*>;

// Notes its destruction, so tests see who freed what (and ASan sees double frees).
class Tracked : public Control {
 public:
  Tracked(Component* owner, std::vector<std::string>* log, std::string name)
      : Control(owner), log_(log) {
    SetName(std::move(name));
  }
  ~Tracked() override { log_->push_back(Name()); }

 private:
  std::vector<std::string>* log_;
};

TEST(Component, OwnershipAndFindingByName) {
  std::vector<std::string> freed;
  auto owner = std::make_unique<Component>();
  auto* label = new Tracked(owner.get(), &freed, "PRLabel1");
  auto* bracket = new Tracked(owner.get(), &freed, "a[1]");
  auto* umlaut = new Tracked(owner.get(), &freed, "Bild\xC3\x84");  // "BildÄ"

  EXPECT_EQ(owner->FindComponent("prlabel1"), label);
  EXPECT_EQ(owner->FindComponent("PRLABEL1"), label);
  EXPECT_EQ(owner->FindComponent("PRLabel"), nullptr);
  EXPECT_EQ(owner->FindComponent(""), nullptr);
  EXPECT_EQ(owner->FindComponent("A[1]"), bracket);
  EXPECT_EQ(owner->FindComponent("a{1}"), nullptr);  // '[' and '{' differ by the case bit only
  EXPECT_EQ(owner->FindComponent("BILD\xC3\x84"), umlaut);
  EXPECT_EQ(owner->FindComponent("bild\xC3\xA4"), nullptr);  // "ä" is no ASCII letter

  delete bracket;
  EXPECT_EQ(owner->ComponentCount(), 2u);
  EXPECT_EQ(owner->FindComponent("a[1]"), nullptr);
  owner.reset();
  EXPECT_EQ(freed.size(), 3u);
}

TEST(Control, ParentFreesItsChildrenAndAFreedChildLeavesItsParent) {
  std::vector<std::string> freed;
  Component owner;
  auto* parent = new Tracked(&owner, &freed, "parent");
  auto* a = new Tracked(&owner, &freed, "a");
  auto* b = new Tracked(nullptr, &freed, "b");  // owned by nobody: only its parent frees it
  auto* grandchild = new Tracked(&owner, &freed, "grandchild");
  a->SetParent(parent);
  b->SetParent(parent);
  grandchild->SetParent(a);
  delete a;
  EXPECT_EQ(parent->Controls(), Controls{b});
  EXPECT_EQ(freed, (std::vector<std::string>{"a", "grandchild"}));
  delete parent;
  EXPECT_EQ(freed.size(), 4u);
  EXPECT_EQ(owner.ComponentCount(), 0u);
}

TEST(Control, ZOrderIsBackToFront) {
  Control parent, other;
  Control a(nullptr), b(nullptr), c(nullptr), d(nullptr);
  for (Control* x : {&a, &b, &c}) x->SetParent(&parent);
  EXPECT_EQ(parent.Controls(), (Controls{&a, &b, &c}));
  a.BringToFront();
  c.SendToBack();
  EXPECT_EQ(parent.Controls(), (Controls{&c, &b, &a}));
  d.SetParent(&other);
  c.SetParent(&other);  // on top of its new parent
  EXPECT_EQ(other.Controls(), (Controls{&d, &c}));
  EXPECT_EQ(parent.Controls(), (Controls{&b, &a}));
  c.SetParent(nullptr);
  EXPECT_EQ(other.Controls(), Controls{&d});
}

TEST(Control, ControlAtFindsTheTopmostVisibleControl) {
  Control root;
  root.SetBounds(0, 0, 100, 100);
  Control back(nullptr), front(nullptr), inner(nullptr), overhang(nullptr);
  back.SetBounds(10, 10, 50, 50);
  front.SetBounds(30, 30, 50, 50);
  inner.SetBounds(5, 5, 10, 10);
  overhang.SetBounds(90, 0, 50, 20);
  for (Control* c : {&back, &front, &overhang}) c->SetParent(&root);
  inner.SetParent(&front);

  EXPECT_EQ(root.ControlAt({5, 5}), &root);
  EXPECT_EQ(root.ControlAt({20, 20}), &back);
  EXPECT_EQ(root.ControlAt({40, 40}), &inner);
  EXPECT_EQ(root.ControlAt({79, 79}), &front);
  EXPECT_EQ(root.ControlAt({80, 80}), &root);  // right and bottom edges are outside
  EXPECT_EQ(root.ControlAt({95, 10}), &overhang);
  EXPECT_EQ(root.ControlAt({120, 10}), nullptr);  // outside the root, even over a child
  back.BringToFront();
  EXPECT_EQ(root.ControlAt({50, 50}), &back);
  back.SetVisible(false);
  EXPECT_EQ(root.ControlAt({50, 50}), &front);
  front.SetVisible(false);
  EXPECT_EQ(root.ControlAt({40, 40}), &root);  // a hidden control hides its children
  root.SetVisible(false);
  EXPECT_EQ(root.ControlAt({5, 5}), nullptr);
}

TEST(Control, AlignedChildrenFillTheParent) {
  Control parent;
  parent.SetBounds(0, 0, 200, 100);
  Control top(nullptr), bottom(nullptr), left(nullptr), right(nullptr), client(nullptr),
      loose(nullptr);
  top.SetBounds(7, 7, 50, 10);
  bottom.SetBounds(7, 7, 50, 20);
  left.SetBounds(7, 7, 30, 5);
  right.SetBounds(7, 7, 40, 5);
  loose.SetBounds(7, 8, 9, 10);
  // Added against the layout order: top, bottom, left, right, client whatever the z-order.
  for (auto [c, a] : {std::pair{&client, TAlign::alClient}, std::pair{&right, TAlign::alRight},
                      std::pair{&left, TAlign::alLeft}, std::pair{&bottom, TAlign::alBottom},
                      std::pair{&top, TAlign::alTop}, std::pair{&loose, TAlign::alNone}}) {
    c->SetAlign(a);
    c->SetParent(&parent);
  }
  EXPECT_EQ(top.BoundsRect(), (TRect{0, 0, 200, 10}));
  EXPECT_EQ(bottom.BoundsRect(), (TRect{0, 80, 200, 100}));
  EXPECT_EQ(left.BoundsRect(), (TRect{0, 10, 30, 80}));
  EXPECT_EQ(right.BoundsRect(), (TRect{160, 10, 200, 80}));
  EXPECT_EQ(client.BoundsRect(), (TRect{30, 10, 160, 80}));
  EXPECT_EQ(loose.BoundsRect(), (TRect{7, 8, 16, 18}));

  // The layout follows the parent's size, hidden children, changed sizes and freed children.
  parent.SetBounds(0, 0, 300, 150);
  EXPECT_EQ(client.BoundsRect(), (TRect{30, 10, 260, 130}));
  top.SetVisible(false);
  left.SetWidth(50);
  EXPECT_EQ(left.BoundsRect(), (TRect{0, 0, 50, 130}));
  EXPECT_EQ(client.BoundsRect(), (TRect{50, 0, 260, 130}));
  client.SetBounds(1, 2, 3, 4);  // a filler cannot be moved out of its place
  EXPECT_EQ(client.BoundsRect(), (TRect{50, 0, 260, 130}));
  right.SetAlign(TAlign::alNone);
  EXPECT_EQ(client.BoundsRect(), (TRect{50, 0, 300, 130}));
  auto* bar = new Control(nullptr);
  bar->SetBounds(0, 0, 10, 15);
  bar->SetAlign(TAlign::alBottom);
  bar->SetParent(&client);  // aligned inside an aligned child
  EXPECT_EQ(bar->BoundsRect(), (TRect{0, 115, 250, 130}));
  parent.SetBounds(0, 0, 250, 150);
  EXPECT_EQ(bar->BoundsRect(), (TRect{0, 115, 200, 130}));
  delete bar;
  bottom.SetParent(nullptr);
  EXPECT_EQ(left.BoundsRect(), (TRect{0, 0, 50, 150}));
}

TEST(Control, FreeingAnAlignedChildGivesItsRoomBack) {
  Control parent;
  parent.SetBounds(0, 0, 200, 100);
  auto* bar = new Control(nullptr);
  bar->SetBounds(0, 0, 10, 15);
  bar->SetAlign(TAlign::alTop);
  bar->SetParent(&parent);
  Control client(nullptr);
  client.SetAlign(TAlign::alClient);
  client.SetParent(&parent);
  EXPECT_EQ(client.BoundsRect(), (TRect{0, 15, 200, 100}));
  delete bar;
  EXPECT_EQ(client.BoundsRect(), (TRect{0, 0, 200, 100}));
}

TEST(Control, LayoutFollowsEveryChangeOfAnAlignedChild) {
  Control parent, other;
  parent.SetBounds(0, 0, 200, 100);
  other.SetBounds(0, 0, 50, 60);
  Control first(nullptr), second(nullptr), client(nullptr);
  first.SetBounds(0, 0, 10, 10);
  second.SetBounds(0, 0, 10, 20);
  first.SetAlign(TAlign::alTop);
  second.SetAlign(TAlign::alTop);
  client.SetAlign(TAlign::alClient);

  // Hidden, a bar takes no room; shown, it does.
  second.SetVisible(false);
  for (Control* c : {&first, &second, &client}) c->SetParent(&parent);
  EXPECT_EQ(client.BoundsRect(), (TRect{0, 10, 200, 100}));
  second.SetVisible(true);
  EXPECT_EQ(second.BoundsRect(), (TRect{0, 10, 200, 30}));
  EXPECT_EQ(client.BoundsRect(), (TRect{0, 30, 200, 100}));

  // Bars of one alignment stack back to front, so the z-order is their order.
  second.SendToBack();
  EXPECT_EQ(second.BoundsRect(), (TRect{0, 0, 200, 20}));
  EXPECT_EQ(first.BoundsRect(), (TRect{0, 20, 200, 30}));
  second.BringToFront();
  EXPECT_EQ(first.BoundsRect(), (TRect{0, 0, 200, 10}));
  EXPECT_EQ(second.BoundsRect(), (TRect{0, 10, 200, 30}));

  // A change of alignment while hidden counts when the child shows again.
  second.SetVisible(false);
  second.SetAlign(TAlign::alBottom);
  EXPECT_EQ(client.BoundsRect(), (TRect{0, 10, 200, 100}));
  second.SetVisible(true);
  EXPECT_EQ(second.BoundsRect(), (TRect{0, 80, 200, 100}));
  EXPECT_EQ(client.BoundsRect(), (TRect{0, 10, 200, 80}));

  // Moved to another parent, it leaves its room behind and is laid out there.
  second.SetParent(&other);
  EXPECT_EQ(client.BoundsRect(), (TRect{0, 10, 200, 100}));
  EXPECT_EQ(second.BoundsRect(), (TRect{0, 40, 50, 60}));
  first.SetAlign(TAlign::alNone);
  EXPECT_EQ(client.BoundsRect(), (TRect{0, 0, 200, 100}));
  first.SetWidth(10);  // loose now: kept as it is
  EXPECT_EQ(first.BoundsRect(), (TRect{0, 0, 10, 10}));
  first.SetAlign(TAlign::alLeft);
  EXPECT_EQ(client.BoundsRect(), (TRect{10, 0, 200, 100}));
  second.SetParent(&parent);
  EXPECT_EQ(second.BoundsRect(), (TRect{0, 80, 200, 100}));
  EXPECT_EQ(first.BoundsRect(), (TRect{0, 0, 10, 80}));
  EXPECT_EQ(client.BoundsRect(), (TRect{10, 0, 200, 80}));
}

TEST(Control, LooseChildrenLeaveTheLayoutAlone) {
  Control parent;
  parent.SetBounds(0, 0, 200, 100);
  Control bar(nullptr), client(nullptr);
  bar.SetBounds(0, 0, 10, 15);
  bar.SetAlign(TAlign::alTop);
  bar.SetParent(&parent);
  client.SetAlign(TAlign::alClient);
  client.SetParent(&parent);

  std::vector<std::unique_ptr<Control>> loose;
  for (int i = 0; i < 50; ++i) {
    loose.push_back(std::make_unique<Control>(nullptr));
    loose.back()->SetBounds(i, 2 * i, 5, 6);
    loose.back()->SetParent(&parent);
  }
  loose[10]->SetVisible(false);
  loose[20]->BringToFront();
  loose[30]->SendToBack();
  loose[40]->SetBounds(1, 1, 300, 300);
  loose[49].reset();  // the newest leaves from the top of the list
  loose[5]->SetParent(nullptr);
  EXPECT_EQ(bar.BoundsRect(), (TRect{0, 0, 200, 15}));
  EXPECT_EQ(client.BoundsRect(), (TRect{0, 15, 200, 100}));
  EXPECT_EQ(loose[0]->BoundsRect(), (TRect{0, 0, 5, 6}));
  EXPECT_EQ(loose[48]->BoundsRect(), (TRect{48, 96, 53, 102}));

  // The z-order after all that: the moved ones at either end, the rest in arrival order.
  Controls expected = {loose[30].get(), &bar, &client};
  for (int i = 0; i < 49; ++i) {
    if (i != 5 && i != 20 && i != 30) expected.push_back(loose[i].get());
  }
  expected.push_back(loose[20].get());
  EXPECT_EQ(parent.Controls(), expected);

  // The layout still answers its aligned children once the loose ones are gone.
  loose.clear();
  bar.SetHeight(40);
  EXPECT_EQ(client.BoundsRect(), (TRect{0, 40, 200, 100}));
  EXPECT_EQ(parent.Controls(), (Controls{&bar, &client}));
}

TEST(Control, OnlyThePersonsActionsFireEvents) {
  Control parent, other;
  Control c(nullptr);
  std::vector<std::string> log;
  c.OnClick = [&](Control&) { log.push_back("click"); };
  c.OnDblClick = [&](Control&) { log.push_back("dblclick"); };
  c.OnMouseDown = [&](Control& s, TMouseButton b, TShiftState sh, int x, int y) {
    log.push_back("down " + std::to_string(&s == &c) + " " + std::to_string(static_cast<int>(b)) +
                  " " + std::to_string(sh) + " " + std::to_string(x) + "," + std::to_string(y));
  };
  c.OnMouseUp = [&](Control&, TMouseButton, TShiftState, int x, int y) {
    log.push_back("up " + std::to_string(x) + "," + std::to_string(y));
  };
  c.OnMouseMove = [&](Control&, TShiftState, int x, int y) {
    log.push_back("move " + std::to_string(x) + "," + std::to_string(y));
  };

  c.SetParent(&parent);
  c.SetBounds(1, 2, 3, 4);
  c.SetVisible(false);
  c.SetVisible(true);
  c.SetEnabled(false);
  c.SetCaption("x");
  c.SetColor(graphics::clRed);
  c.SetAlign(TAlign::alClient);
  c.BringToFront();
  c.SendToBack();
  c.SetParent(&other);
  other.SetBounds(0, 0, 50, 50);
  EXPECT_EQ(log, std::vector<std::string>{});

  c.MouseDown(TMouseButton::mbRight, ssShift | ssCtrl, 3, 4);
  c.MouseMove(ssLeft, 5, 6);
  c.MouseUp(TMouseButton::mbRight, 0, 7, 8);
  c.Click();
  c.DblClick();
  EXPECT_EQ(
      log, (std::vector<std::string>{"down 1 1 5 3,4", "move 5,6", "up 7,8", "click", "dblclick"}));
  Control quiet;  // no handlers: nothing happens
  quiet.MouseDown(TMouseButton::mbLeft, 0, 0, 0);
  quiet.Click();
}

}  // namespace
}  // namespace quirabel::ui
