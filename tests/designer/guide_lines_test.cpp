#include "designer/guide_lines.h"

#include <gtest/gtest.h>

#include "base/user_error.h"
#include "designer/document_window.h"
#include "designer/projectfile/page_text.h"
#include "support/fake_platform.h"

namespace quirabel::designer {
namespace {

namespace pf = projectfile;
using K = GuideKind;

// A page of 91 x 55 mm: 258 x 156 pixels.
class GuideLinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root.SetPlatform(&platform);
    state.formatWidthText = "91";
    state.formatHeightText = "55";
    state.projectNumber = "8151042";
    state.orderDocument = true;
    window = new DocumentWindow(&root, state);
    window->Page().SetDocumentId("BImage08151042");
  }
  // A new page with the given counts of vertical folds, horizontal folds, vertical and
  // horizontal perforations.
  GuideLines& Page(int vf, int hf = 0, int vp = 0, int hp = 0) {
    state.verticalFolds = static_cast<std::uint8_t>(vf);
    state.horizontalFolds = static_cast<std::uint8_t>(hf);
    state.verticalPerforations = static_cast<std::uint8_t>(vp);
    state.horizontalPerforations = static_cast<std::uint8_t>(hp);
    window->InitDocument();
    window->Page().SetBackgroundColour(graphics::clWhite);
    return window->Guides();
  }
  std::string LabelText(K kind, int number) {
    const ui::TLabel* label = window->Guides().Label(kind, number);
    return label != nullptr ? label->Caption() : "(none)";
  }
  void Drag(K kind, int number, int fromX, int fromY, int toX, int toY) {
    ui::TImage* handle = window->Guides().Handle(kind, number);
    ASSERT_NE(handle, nullptr);
    handle->MouseDown(ui::TMouseButton::mbLeft, 0, fromX, fromY);
    handle->MouseMove(ui::ssLeft, toX, toY);
    handle->MouseUp(ui::TMouseButton::mbLeft, 0, toX, toY);
  }

  testing::FakePlatform platform;
  ui::Component root;
  ProjectState state;
  DocumentWindow* window = nullptr;
};

TEST_F(GuideLinesTest, OneVerticalFoldOnA258PixelPage) {
  // Before any line, the whole trimmed size: R((258 - 17.028) / 2.838) = 85.
  GuideLines& guides = Page(0);
  EXPECT_EQ(LabelText(K::VerticalFold, 0), "85mm");
  EXPECT_EQ(LabelText(K::HorizontalFold, 0), "49mm");  // R((156 - 17.022) / 2.837)
  EXPECT_EQ(LabelText(K::VerticalPerforation, 0), "85mm");
  EXPECT_EQ(guides.Line(K::VerticalFold, 1), nullptr);

  guides.CreateLines(K::VerticalFold, 1);
  // q = 129, b = 3: R(129 / 2.838 - 3) = 42 on both sides.
  EXPECT_EQ(LabelText(K::VerticalFold, 0), "42mm");
  EXPECT_EQ(LabelText(K::VerticalFold, 1), "42mm");
  const report::TPRImage* line = guides.Line(K::VerticalFold, 1);
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->BoundsRect(), (ui::TRect{129, 1, 130, 157}));
  EXPECT_FALSE(line->Printable());  // folds are not printed
  EXPECT_EQ(line->Parent(), &window->Page().LayoutPanel());
  const ui::TImage* handle = guides.Handle(K::VerticalFold, 1);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(handle->BoundsRect(), (ui::TRect{159, 1, 179, 41}));
  EXPECT_EQ(handle->Parent(), window->pageFrame);
  EXPECT_EQ(handle->Hint(), "");
  // Each label centred on its segment: Round(129 / 2) = 64, label 32 wide.
  EXPECT_EQ(guides.Label(K::VerticalFold, 0)->Left(), 0 + 32 + 64 - 16);
  EXPECT_EQ(guides.Label(K::VerticalFold, 1)->Left(), 129 + 32 + 64 - 16);
}

TEST_F(GuideLinesTest, BleedShareOfThreeAndElevenLines) {
  // Three lines: q = Round(64.5) = 64, b = Round(1.5) = 2, R(64 / 2.838 - 2) = 21.
  GuideLines& guides = Page(3);
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(guides.Line(K::VerticalFold, i)->Left(), 64 * i);
  for (int k = 0; k <= 3; ++k) EXPECT_EQ(LabelText(K::VerticalFold, k), "21mm") << k;

  // Eleven perforations: q = Round(21.5) = 22, b = Round(0.5) = 0, R(22 / 2.838) = 8.
  guides.CreateLines(K::VerticalPerforation, 11);
  EXPECT_EQ(guides.Count(K::VerticalPerforation), 11);
  EXPECT_EQ(guides.Line(K::VerticalPerforation, 11)->Left(), 242);
  EXPECT_TRUE(guides.Line(K::VerticalPerforation, 11)->Printable());
  for (int k = 0; k <= 11; ++k) EXPECT_EQ(LabelText(K::VerticalPerforation, k), "8mm") << k;
  // Horizontal lines: rotated labels, handles with a hint.
  guides.CreateLines(K::HorizontalPerforation, 1);
  auto* rotated = dynamic_cast<RotatedLabel*>(guides.Label(K::HorizontalPerforation, 1));
  ASSERT_NE(rotated, nullptr);
  EXPECT_EQ(rotated->Angle(), 270);
  EXPECT_EQ(rotated->Left(), 258 + 40);
  EXPECT_EQ(guides.Handle(K::HorizontalPerforation, 1)->Hint(), "zum verschieben anclicken..");
  EXPECT_EQ(guides.Handle(K::HorizontalPerforation, 1)->Left(), 258 + 30);
}

TEST_F(GuideLinesTest, DraggingMeasuresFromTheEdgesAndStopsAtTheFrame) {
  // Two lines at 86 and 172; b = Round(2) = 2.
  GuideLines& guides = Page(2);
  // Line 1 moves by 25 - 10 - 2 = 13: label 0 from the page edge, label 1 to line 2.
  Drag(K::VerticalFold, 1, 10, 10, 25, 10);
  EXPECT_EQ(guides.Line(K::VerticalFold, 1)->Left(), 99);
  EXPECT_EQ(guides.Handle(K::VerticalFold, 1)->Left(), 129);
  EXPECT_EQ(LabelText(K::VerticalFold, 0), "33mm");                       // Round(99 / 2.838 - 2)
  EXPECT_EQ(LabelText(K::VerticalFold, 1), "24mm");                       // Round(73 / 2.838 - 2)
  EXPECT_EQ(guides.Label(K::VerticalFold, 0)->Left(), 50 + 0 + 32 - 16);  // Round(49.5) = 50
  // The last line measures its label to the far edge.
  Drag(K::VerticalFold, 2, 10, 10, 5, 10);
  EXPECT_EQ(guides.Line(K::VerticalFold, 2)->Left(), 165);
  EXPECT_EQ(LabelText(K::VerticalFold, 1), "21mm");  // Round(66 / 2.838 - 2)
  EXPECT_EQ(LabelText(K::VerticalFold, 2), "31mm");  // Round(93 / 2.838 - 2)
  EXPECT_EQ(platform.cursor, ui::crDefault);

  // Past line 1 the distance goes negative; past the frame the handle stops at its edge.
  Drag(K::VerticalFold, 2, 10, 10, -100, 10);
  EXPECT_EQ(LabelText(K::VerticalFold, 1), "-18mm");  // Round((53 - 99) / 2.838 - 2)
  Drag(K::VerticalFold, 2, 10, 10, -5000, 10);
  EXPECT_EQ(guides.Handle(K::VerticalFold, 2)->Left(), 0);
  EXPECT_EQ(guides.Line(K::VerticalFold, 2)->Left(), -30);
  Drag(K::VerticalFold, 2, 10, 10, 5000, 10);
  EXPECT_EQ(guides.Handle(K::VerticalFold, 2)->Left(), window->pageFrame->Width() - 20);

  // A move without a press only shows the hand.
  guides.Handle(K::VerticalFold, 1)->MouseMove(0, 50, 10);
  EXPECT_EQ(platform.cursor, ui::crHandPoint);
  EXPECT_EQ(guides.Line(K::VerticalFold, 1)->Left(), 99);
}

TEST_F(GuideLinesTest, SampleTemplatesRefuseEveryDrag) {
  GuideLines& guides = Page(1, 0, 0, 1);
  state.sampleTemplateDocument = true;
  // The press is refused with the reason for the boundary to show; the drag after it moves nothing.
  for (const auto& [kind, refusal] :
       {std::pair{K::VerticalFold, GuideLines::kFoldRefused},
        std::pair{K::HorizontalPerforation, GuideLines::kPerforationRefused}}) {
    ui::TImage* handle = window->Guides().Handle(kind, 1);
    ASSERT_NE(handle, nullptr);
    try {
      handle->MouseDown(ui::TMouseButton::mbLeft, 0, 10, 10);
      ADD_FAILURE() << refusal;
    } catch (const UserError& e) {
      EXPECT_STREQ(e.what(), refusal);
    }
    handle->MouseMove(ui::ssLeft, 40, 40);
    handle->MouseUp(ui::TMouseButton::mbLeft, 0, 40, 40);
  }
  EXPECT_EQ(platform.messages, std::vector<std::string>{});
  EXPECT_EQ(guides.Line(K::VerticalFold, 1)->Left(), 129);
  EXPECT_EQ(guides.Line(K::HorizontalPerforation, 1)->Top(), 78);
}

TEST_F(GuideLinesTest, BuildingAgainMakesNothingNew) {
  GuideLines& guides = Page(2, 1, 1, 1);
  Drag(K::VerticalFold, 1, 10, 10, 25, 10);
  const std::size_t components = window->ComponentCount();
  guides.Build();
  window->ClearPage();
  window->InitDocument();
  EXPECT_EQ(window->ComponentCount(), components);
  EXPECT_EQ(guides.Line(K::VerticalFold, 1)->Left(), 99);
  EXPECT_EQ(guides.Count(K::VerticalFold), 2);
}

TEST_F(GuideLinesTest, BackSideMirrorsVerticalLinesOnceAndHidesMarkers) {
  GuideLines& guides = Page(2, 1, 2, 1);
  Drag(K::VerticalFold, 1, 10, 10, 25, 10);
  guides.MirrorVerticalLines();
  EXPECT_EQ(guides.Line(K::VerticalFold, 1)->Left(), 258 - 99);
  EXPECT_EQ(guides.Line(K::VerticalPerforation, 1)->Left(), 258 - 86);
  EXPECT_EQ(guides.Line(K::HorizontalFold, 1)->Top(), 78);
  guides.MirrorVerticalLines();
  EXPECT_EQ(guides.Line(K::VerticalFold, 1)->Left(), 99);

  // Showing the back side twice does not mirror back.
  guides.ShowBackSide();
  guides.ShowBackSide();
  EXPECT_EQ(guides.Line(K::VerticalFold, 1)->Left(), 159);
  EXPECT_EQ(guides.Line(K::HorizontalFold, 1)->Top(), 78);
  EXPECT_FALSE(guides.Handle(K::VerticalFold, 1)->Visible());
  EXPECT_FALSE(guides.Handle(K::HorizontalFold, 1)->Visible());
  EXPECT_FALSE(guides.Label(K::HorizontalPerforation, 1)->Visible());
  EXPECT_TRUE(guides.Line(K::VerticalFold, 1)->Visible());
  // The string keeps the front side's positions.
  EXPECT_TRUE(guides.Write().starts_with("1|99|")) << guides.Write();
  guides.ShowFrontSide();
  EXPECT_EQ(guides.Line(K::VerticalFold, 1)->Left(), 99);
  EXPECT_TRUE(guides.Handle(K::VerticalFold, 1)->Visible());
  EXPECT_TRUE(guides.Label(K::VerticalFold, 0)->Visible());
}

TEST_F(GuideLinesTest, SidePanelGroups) {
  GuideLines& guides = Page(1, 1, 1, 1);
  GuidePanel& panel = guides.Panel();
  EXPECT_TRUE(panel.Showing());
  panel.folds.lines->Toggle();
  EXPECT_FALSE(guides.Line(K::HorizontalFold, 1)->Visible());
  EXPECT_TRUE(guides.Line(K::VerticalPerforation, 1)->Visible());
  panel.perforations.labels->Toggle();
  EXPECT_FALSE(guides.Label(K::HorizontalPerforation, 0)->Visible());
  EXPECT_TRUE(guides.Label(K::VerticalFold, 0)->Visible());
  panel.perforations.handles->Toggle();
  EXPECT_FALSE(guides.Handle(K::VerticalPerforation, 1)->Visible());
  panel.perforations.handles->Toggle();
  EXPECT_TRUE(guides.Handle(K::VerticalPerforation, 1)->Visible());
  panel.perforations.back->Click();
  const auto& children = window->Page().LayoutPanel().Controls();
  EXPECT_EQ(children.front(), window->Page().Background());
  EXPECT_EQ(children[1], guides.Line(K::HorizontalPerforation, 1));
  panel.perforations.front->Click();
  EXPECT_EQ(children.back(), guides.Line(K::HorizontalPerforation, 1));
  // A free document has no panel.
  state.orderDocument = false;
  guides.Build();
  EXPECT_FALSE(panel.Showing());
}

// The example of a stored vertical fold line, and damaged strings.
class GuideLineStringTest : public GuideLinesTest {
 protected:
  std::string PageWith(const std::string& lines, int vf, char mark = '1') {
    Page(vf);
    std::string text = window->Page().PageText();
    const std::size_t from = text.find("</kxshbl>") + 9;
    text.replace(from, text.find("</kxlines>") - from, lines);
    text[text.find("</kxpaymerk>") - 1] = mark;
    return text;
  }
};

TEST_F(GuideLineStringTest, StoredPositionsComeBackAndAreWrittenAgain) {
  const std::string lines = "1|141|49|10|95</VBL>0|0|49|10|236</VBL>";
  const std::string text = PageWith(lines, 1);
  auto* fresh = new DocumentWindow(&root, state);
  state.currentPage = 1;
  fresh->LoadPageText(SharedBytes(text), 1, false);
  GuideLines& guides = fresh->Guides();
  EXPECT_EQ(guides.Line(K::VerticalFold, 1)->Left(), 141);
  EXPECT_EQ(guides.Handle(K::VerticalFold, 1)->Left(), 171);
  EXPECT_EQ(guides.Label(K::VerticalFold, 1)->Caption(), "49mm");
  EXPECT_EQ(guides.Label(K::VerticalFold, 1)->Left(), 236);
  EXPECT_EQ(fresh->Page().PageText(), text);
  // Other pages keep no positions.
  state.currentPage = 2;
  EXPECT_NE(fresh->Page().PageText().find("0</kxshbl></kxlines>"), std::string::npos);
}

TEST_F(GuideLineStringTest, DamagedStringsAreRefused) {
  for (const char* bad : {
           "x|141|49|10|95</VBL>",                           // not a number
           "1|141|49|10</VBL>",                              // a field short
           "1|141|49|10|95|3</VBL>",                         // a field over
           "1|141|4.9|10|95</VBL>",                          // no whole distance
           "1|2147483647|49|10|95</VBL>",                    // far outside the page
           "1|-9999|49|10|95</VBL>",                         //
           "1|141|49|10|95</XBL>",                           // no such kind
           "1|141|49|10|95",                                 // no end
           "1|1|1|1|1</VBL>1|1|1|1|1</VBL>1|1|1|1|1</VBL>",  // more records than lines
           "1|1|1|1|1</HBL>",                                // a kind without lines
       }) {
    const std::string text = PageWith(bad, 1);
    auto* fresh = new DocumentWindow(&root, state);
    EXPECT_THROW(fresh->LoadPageText(SharedBytes(text), 1, false), pf::ProjectFileError) << bad;
    EXPECT_EQ(fresh->Guides().Line(K::VerticalFold, 1), nullptr) << bad;
    delete fresh;
  }
  // A free document does not read the string at all.
  auto* free = new DocumentWindow(&root, state);
  EXPECT_NO_THROW(free->LoadPageText(SharedBytes(PageWith("x</VBL>", 1, '0')), 1, false));
}

}  // namespace
}  // namespace quirabel::designer
