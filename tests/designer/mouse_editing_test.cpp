#include "designer/mouse_editing.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "designer/document_window.h"
#include "support/fake_platform.h"

namespace quirabel::designer {
namespace {

using ui::Bounds;
using ui::TMouseButton;
using Popup = DocumentWindow::Popup;

// Pending messages may run a scripted action, as a person's clicks would.
class ScriptedPlatform : public testing::FakePlatform {
 public:
  void ProcessMessages() override {
    FakePlatform::ProcessMessages();
    if (pending) std::exchange(pending, nullptr)();
  }
  std::function<void()> pending;
};

class MouseEditingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root.SetPlatform(&platform);
    state.formatWidthText = "85";  // 241 x 139 page pixels
    state.formatHeightText = "49";
    window = new DocumentWindow(&root, state);
    window->Page().SetDocumentId("BImage0123");
    window->InitDocument();
    window->OnPopup = [this](Popup popup, int x, int y) {
      // Where it opened, and how many times pending messages had run by then.
      popups.push_back({static_cast<int>(popup), x, y, platform.processed});
    };
  }
  report::TPRItem& Add(ElementKind kind, int left, int top, int width, int height) {
    report::TPRItem& item = window->Page().CreateElement(kind);
    item.SetBounds(left, top, width, height);
    return item;
  }
  static void Press(ui::Control& c, int x = 0, int y = 0, TMouseButton b = TMouseButton::mbLeft) {
    c.MouseDown(b, 0, x, y);
  }
  static void Release(ui::Control& c) { c.MouseUp(TMouseButton::mbLeft, 0, 0, 0); }
  // A move of an element held at (0, 0) whose candidate position is (left, top).
  static void MoveTo(ui::Control& c, int left, int top) {
    c.MouseMove(0, left - c.Left(), top - c.Top());
  }
  // Presses a handle at (8, 8), moves the mouse by (dx, dy) page pixels and lets go there, with
  // positions inside the handle as the page view gives them (the handle follows the corner).
  static void DragHandle(ui::Control* handle, int dx, int dy) {
    const int pageX = handle->Left() + 8 + dx, pageY = handle->Top() + 8 + dy;
    Press(*handle, 8, 8);
    handle->MouseMove(0, pageX - handle->Left(), pageY - handle->Top());
    handle->MouseUp(TMouseButton::mbLeft, 0, pageX - handle->Left(), pageY - handle->Top());
  }

  ScriptedPlatform platform;
  ui::Component root;
  ProjectState state;
  DocumentWindow* window = nullptr;
  std::vector<std::vector<int>> popups;
};

TEST_F(MouseEditingTest, PressesSelectGrabOrOpenThePopupOfTheKind) {
  auto& label = static_cast<report::TPRLabel&>(Add(ElementKind::Label, 40, 25, 100, 17));
  auto& text = static_cast<report::TPRText&>(Add(ElementKind::Text, 40, 60, 120, 40));
  auto& rect = Add(ElementKind::Rect, 170, 80, 30, 30);
  auto& image = Add(ElementKind::Jpeg, 170, 20, 40, 30);
  std::vector<report::TPRItem*> filled;
  window->MouseEditor().OnPressed = [&](report::TPRItem& e) { filled.push_back(&e); };

  Press(label, 10, 5, TMouseButton::mbRight);
  EXPECT_TRUE(label.BColor());
  EXPECT_EQ(window->Selected().Pressed(), &label);
  EXPECT_FALSE(window->MouseEditor().Drag().grabbed ||
               window->Handle(Corner::BottomRight)->Visible());
  Press(text, 1, 2, TMouseButton::mbRight);
  Press(rect, 3, 4, TMouseButton::mbRight);
  Press(image, 5, 6, TMouseButton::mbRight);
  EXPECT_EQ(window->Selected().ImageMenuTarget(), &image);
  EXPECT_EQ(window->Selected().Pressed(), &rect);
  EXPECT_EQ(popups, (std::vector<std::vector<int>>{
                        {0, 50, 30, 1}, {1, 41, 62, 2}, {2, 173, 84, 3}, {3, 175, 26, 4}}));
  EXPECT_TRUE(filled.empty() && window->Selected().Selected() == nullptr);

  Press(label, 10, 5);
  EXPECT_EQ(platform.cursor, ui::crHand);
  EXPECT_TRUE(window->MouseEditor().Drag().grabbed && window->Handle(Corner::TopLeft)->Visible());
  EXPECT_EQ(window->Handle(Corner::BottomRight)->BoundsRect(), Bounds(137, 39, 17, 17));
  Press(text);
  EXPECT_EQ(filled, (std::vector<report::TPRItem*>{&label, &text}));
  Press(image);  // pressed, but the text windows keep acting on the text field
  EXPECT_EQ(window->Selected().Pressed(), &image);
  EXPECT_EQ(window->Selected().Selected(), &text);
}

TEST_F(MouseEditingTest, DragFollowsTheMouseExactlyWithinThePageMargins) {
  auto& label = Add(ElementKind::Label, 40, 25, 100, 17);
  Press(label, 10, 5);
  label.MouseMove(0, 30, 20);
  EXPECT_EQ(window->positionLabel->Caption(), "25 x 40");  // top, then left, as the move began
  EXPECT_EQ(label.BoundsRect(), Bounds(60, 40, 100, 17));
  EXPECT_EQ(window->Handle(Corner::TopLeft)->BoundsRect(), Bounds(52, 32, 17, 17));
  // The markers frame the element where it went, not where it was.
  EXPECT_EQ(window->Marker(Side::Left)->BoundsRect(), Bounds(60, 40, 1, 17));
  label.MouseMove(0, 10, 5);  // back to the point caught: no move
  EXPECT_EQ(label.BoundsRect(), Bounds(60, 40, 100, 17));
  label.MouseMove(0, -10, -15);
  EXPECT_EQ(label.BoundsRect(), Bounds(40, 20, 100, 17));
  Release(label);
  EXPECT_EQ(platform.cursor, ui::crDefault);
  label.MouseMove(0, 50, 10);  // no longer held
  EXPECT_EQ(label.BoundsRect(), Bounds(40, 20, 100, 17));
  EXPECT_EQ(platform.cursor, ui::crHandPoint);

  // 100 x 17 on 241 x 139: 5 mm are 14.185 pixels, so the whole pixels inside the margins run
  // from 15 to 126 across and 15 to 107 down. Images keep them too.
  const int cases[][4] = {{40, 15, 40, 15},   {40, 14, 40, 15},   {40, 107, 40, 107},
                          {40, 108, 40, 107}, {40, 300, 40, 107}, {126, 50, 126, 50},
                          {127, 50, 126, 50}, {-40, 50, 15, 50}};
  for (report::TPRItem* item : {&label, &Add(ElementKind::Bitmap, 40, 30, 100, 17)}) {
    Press(*item);
    for (const auto& c : cases) {
      MoveTo(*item, c[0], c[1]);
      EXPECT_EQ(item->BoundsRect(), Bounds(c[2], c[3], 100, 17)) << c[0] << ", " << c[1];
    }
    Release(*item);
  }
  // One that stands beyond a margin (read from a file) may come inward a pixel at a time and
  // back to where it stood, but no further out.
  auto& outside = Add(ElementKind::Rect, 200, 3, 100, 17);
  Press(outside);
  const int beyond[][4] = {{199, 4, 199, 4}, {200, 3, 200, 3}, {230, 0, 200, 3}, {20, 20, 20, 20}};
  for (const auto& c : beyond) {
    MoveTo(outside, c[0], c[1]);
    EXPECT_EQ(outside.BoundsRect(), Bounds(c[2], c[3], 100, 17)) << c[0] << ", " << c[1];
  }
}

TEST_F(MouseEditingTest, GridAidHoldsTextAndRectanglesToFivesButNotImages) {
  state.gridAid = true;
  for (ElementKind kind : {ElementKind::Label, ElementKind::Text, ElementKind::Rect}) {
    auto& item = Add(kind, 40, 30, 100, 17);
    Press(item);
    MoveTo(item, 31, 23);  // neither on the grid: no move at all
    EXPECT_EQ(item.BoundsRect(), Bounds(40, 30, 100, 17)) << item.Name();
    MoveTo(item, 31, 25);
    EXPECT_EQ(item.BoundsRect(), Bounds(40, 25, 100, 17)) << item.Name();
    Release(item);
  }
  auto& image = Add(ElementKind::Jpeg, 40, 30, 100, 17);
  Press(image);
  MoveTo(image, 31, 23);
  EXPECT_EQ(image.BoundsRect(), Bounds(31, 23, 100, 17));
  EXPECT_EQ(window->Handle(Corner::BottomRight)->BoundsRect(), Bounds(128, 37, 17, 17));
  Release(image);
}

TEST_F(MouseEditingTest, MarkersFrameTheElementByKind) {
  // Bottom and top: left, top, length; right and left: left, top (all 17 long).
  const std::pair<ElementKind, std::vector<int>> cases[] = {
      {ElementKind::Label, {40, 42, 105, 40, 25, 105, 145, 25, 40, 25}},
      {ElementKind::Rect, {40, 44, 102, 40, 23, 102, 142, 25, 38, 25}},
      {ElementKind::Bitmap, {40, 44, 100, 40, 23, 100, 142, 25, 38, 25}}};
  for (const auto& [kind, m] : cases) {
    Add(kind, 40, 25, 100, 17).MouseMove(0, 5, 5);
    EXPECT_EQ(window->Marker(Side::Below)->BoundsRect(), Bounds(m[0], m[1], m[2], 1));
    EXPECT_EQ(window->Marker(Side::Above)->BoundsRect(), Bounds(m[3], m[4], m[5], 1));
    EXPECT_EQ(window->Marker(Side::Right)->BoundsRect(), Bounds(m[6], m[7], 1, 17));
    EXPECT_EQ(window->Marker(Side::Left)->BoundsRect(), Bounds(m[8], m[9], 1, 17));
    EXPECT_TRUE(window->Marker(Side::Below)->Visible() && window->Marker(Side::Left)->Visible());
  }
}

TEST_F(MouseEditingTest, ArmedCreationCursorIsLeftAlone) {
  auto& label = Add(ElementKind::Label, 40, 25, 100, 17);
  Press(label);
  platform.cursor = ui::crUpArrow;
  Add(ElementKind::Text, 40, 60, 100, 40).MouseMove(0, 5, 5);
  EXPECT_EQ(window->positionLabel->Caption(), "");  // a text field does not even read out
  label.MouseMove(0, 30, 30);
  EXPECT_EQ(window->positionLabel->Caption(), "25 x 40");
  EXPECT_EQ(label.BoundsRect(), Bounds(40, 25, 100, 17));  // held, yet not moved
  EXPECT_FALSE(window->Marker(Side::Below)->Visible());
  Release(label);
  platform.cursor = ui::crUpArrow;
  Add(ElementKind::Jpeg, 170, 20, 40, 30).MouseMove(0, 5, 5);
  EXPECT_TRUE(window->Marker(Side::Below)->Visible());  // an image still shows where it is
  window->Handle(Corner::BottomRight)->MouseMove(0, 5, 5);
  EXPECT_EQ(platform.cursor, ui::crUpArrow);
}

TEST_F(MouseEditingTest, PressedLookEndsWhenTheMouseMovesOnOrLetsGo) {
  auto& first = static_cast<report::TPRText&>(Add(ElementKind::Text, 40, 20, 100, 40));
  auto& second = static_cast<report::TPRText&>(Add(ElementKind::Text, 40, 80, 100, 40));
  first.SetColor(graphics::clRed);
  Press(first);
  second.MouseMove(0, 30, 30);  // another text field lets the first go
  EXPECT_FALSE(window->MouseEditor().Drag().grabbed || first.BColor());
  EXPECT_EQ(first.Color(), graphics::clWhite);
  EXPECT_EQ(second.BoundsRect(), Bounds(40, 80, 100, 40));
  second.SetColor(graphics::clRed);
  Press(second);
  Release(second);
  EXPECT_FALSE(second.BColor() || second.Color() != graphics::clWhite);

  auto& pressed = static_cast<report::TPRLabel&>(Add(ElementKind::Label, 150, 20, 60, 17));
  Press(pressed);
  Add(ElementKind::Label, 150, 60, 60, 17).MouseMove(0, 1, 1);
  EXPECT_TRUE(pressed.Transparent());
}

TEST_F(MouseEditingTest, HandlesShowTheirCursorsAndResizeThePressedElement) {
  ui::TImage* handles[] = {window->Handle(Corner::BottomRight), window->Handle(Corner::TopRight),
                           window->Handle(Corner::TopLeft), window->Handle(Corner::BottomLeft)};
  const ui::TCursor cursors[][2] = {{ui::crMySize, ui::crSizeNWSE},
                                    {ui::crHSplit, ui::crSizeWE},
                                    {ui::crKxc, ui::crSizeNWSE},
                                    {ui::crVSplit, ui::crSizeNS}};
  for (int i = 0; i < 4; ++i) {
    handles[i]->MouseMove(0, 3, 3);
    EXPECT_EQ(platform.cursor, cursors[i][0]);
    Press(*handles[i]);
    handles[i]->MouseMove(0, 0, 0);
    EXPECT_EQ(platform.cursor, cursors[i][1]);
    Release(*handles[i]);
    EXPECT_EQ(platform.cursor, ui::crDefault);
  }

  // Each handle moves the edges it owns by exactly what the mouse moved, within the margins
  // (far edges at 226 across, 124 down on 241 x 139) and never past the opposite edge.
  struct Case {
    Corner corner;
    int dx, dy;
    ui::TRect after;
  };
  const Case cases[] = {
      {Corner::BottomRight, 7, 9, Bounds(40, 30, 107, 26)},
      {Corner::BottomRight, 0, 0, Bounds(40, 30, 100, 17)},
      {Corner::BottomRight, 100, 0, Bounds(40, 30, 186, 17)},
      {Corner::BottomRight, -200, -40, Bounds(40, 30, 1, 1)},
      {Corner::TopRight, 0, 0, Bounds(40, 30, 100, 17)},
      {Corner::TopRight, -4, 50, Bounds(40, 30, 96, 17)},
      {Corner::BottomLeft, 50, 4, Bounds(40, 30, 100, 21)},
      {Corner::BottomLeft, 0, 200, Bounds(40, 30, 100, 94)},
      {Corner::TopLeft, 0, 0, Bounds(40, 30, 100, 17)},
      {Corner::TopLeft, 3, 5, Bounds(43, 35, 97, 12)},
      {Corner::TopLeft, -60, -60, Bounds(15, 15, 125, 32)},
  };
  for (const Case& c : cases) {
    auto& rect = Add(ElementKind::Rect, 40, 30, 100, 17);
    Press(rect);
    DragHandle(window->Handle(c.corner), c.dx, c.dy);
    EXPECT_EQ(rect.BoundsRect(), c.after)
        << static_cast<int>(c.corner) << ": " << c.dx << ", " << c.dy;
    const ui::TRect& r = rect.BoundsRect();
    EXPECT_EQ(window->Handle(Corner::BottomRight)->BoundsRect(),
              Bounds(r.right - 3, r.bottom - 3, 17, 17));
    window->DeleteElement(rect);
  }

  auto& text = static_cast<report::TPRText&>(Add(ElementKind::Text, 40, 30, 150, 60));
  text.SetFontName(report::TPRFontName::fnTimesRoman);
  std::vector<MemoGeometry> fitted;
  window->MouseEditor().OnMemoFitted = [&](const MemoGeometry& g) { fitted.push_back(g); };
  Press(text);
  DragHandle(window->Handle(Corner::TopLeft), 0, 0);  // unmoved: nothing to fit
  DragHandle(window->Handle(Corner::BottomRight), 10, -5);
  ASSERT_EQ(fitted.size(), 1u);
  EXPECT_EQ(fitted[0].fontName, "Times New Roman");
  EXPECT_EQ(std::make_pair(fitted[0].editorWidth, fitted[0].editorHeight), std::make_pair(160, 55));
}

TEST_F(MouseEditingTest, ImageTopLeftHandleKeepsTheAspectAndTheOppositeCorner) {
  auto& image = Add(ElementKind::Jpeg, 20, 40, 30, 20);  // 3 : 2, bottom-right at (50, 60)
  Press(image);
  ui::TImage& handle = *window->Handle(Corner::TopLeft);
  Press(handle, 8, 8);
  handle.MouseMove(0, 8, 5);                              // up by 3
  EXPECT_EQ(image.BoundsRect(), Bounds(16, 37, 34, 23));  // 34.5 to even
  EXPECT_EQ(handle.BoundsRect(), Bounds(8, 29, 17, 17));
  handle.MouseUp(TMouseButton::mbLeft, 0, 12, 12);        // page (20, 41): down by 1 from the press
  EXPECT_EQ(image.BoundsRect(), Bounds(22, 41, 28, 19));  // 28.5 to even
}

TEST_F(MouseEditingTest, HandlersSurviveRenamingAndDeletionAndStayPerWindow) {
  auto& first = Add(ElementKind::Label, 40, 25, 100, 17);
  auto& rect = Add(ElementKind::Rect, 40, 60, 100, 17);
  window->BringElementToFront(first.Name());
  Press(first);
  EXPECT_EQ(window->Selected().Pressed()->Name(), "PRLabelBImage01233");

  DocumentWindow other(nullptr, state);  // holds nothing: its elements stay put
  other.Page().SetDocumentId("BImage9");
  other.InitDocument();
  report::TPRItem& idle = other.Page().CreateElement(ElementKind::Label);
  idle.SetBounds(40, 25, 100, 17);
  idle.MouseMove(0, 30, 30);
  EXPECT_EQ(idle.BoundsRect(), Bounds(40, 25, 100, 17));

  // A move runs no pending messages, which could free the element under it.
  const int processed = platform.processed;
  for (report::TPRItem* held : {&first, &rect}) {
    Press(*held);
    held->MouseMove(0, 30, 30);
  }
  EXPECT_EQ(platform.processed, processed);
}

}  // namespace
}  // namespace quirabel::designer
