#include "app/edit_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/application.h"
#include "base/atomic_file.h"
#include "designer/document_window.h"
#include "graphics/jpeg.h"
#include "report/pr_labels.h"
#include "report/pr_shapes.h"
#include "support/fake_platform.h"
#include "support/test_folder.h"

namespace quirabel::app {
namespace {

class EditCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testing::FreshTestFolder("edit_commands_");
    application = std::make_unique<Application>(platform, folder.string());
    ASSERT_TRUE(application->NewDocument(designer::DinFormat(designer::DinSize::A6, false)));
  }
  void TearDown() override {
    application.reset();
    std::filesystem::remove_all(folder);
  }

  designer::DocumentWindow& Window() { return *application->DocumentWindow(); }
  EditCommands& Edits() { return application->Edits(); }
  std::string Page() { return Window().Page().PageText(); }
  // A click on the page with a creation tool armed, as the person makes elements.
  report::TPRItem& Create(const char* mode, int x, int y) {
    Window().ArmCreation(mode);
    Window().LastPagePointX = x;
    Window().LastPagePointY = y;
    Window().CreateArmedElement();
    return *Window().Page().Elements().back().item;
  }
  void Press(report::TPRItem& element) { Window().Selected().Press(element, true); }

  testing::FakePlatform platform;
  std::filesystem::path folder;
  std::unique_ptr<Application> application;
};

TEST_F(EditCommandsTest, EveryKindOfChangeUndoesAndRedoesByteForByte) {
  const std::string empty = Page();
  report::TPRItem& rect = Create("Rect", 40, 40);
  const std::string created = Page();
  EXPECT_TRUE(application->State().unsavedChanges);
  Press(rect);
  ASSERT_TRUE(Edits().Nudge(0, 10));
  const std::string moved = Page();
  platform.colorAnswers = {graphics::RGB(0, 0, 255)};
  ASSERT_TRUE(application->BackgroundColourClick());
  const std::string coloured = Page();
  ASSERT_TRUE(Edits().Delete());
  const std::string deleted = Page();

  for (const std::string* expected : {&coloured, &moved, &created, &empty}) {
    ASSERT_TRUE(Edits().Undo());
    EXPECT_EQ(Page(), *expected);
    // Nothing of the old selection stays on the page.
    for (ui::TImage* handle : Window().Handles()) EXPECT_FALSE(handle->Visible());
  }
  EXPECT_FALSE(Edits().Undo());
  for (const std::string* expected : {&created, &moved, &coloured, &deleted}) {
    ASSERT_TRUE(Edits().Redo());
    EXPECT_EQ(Page(), *expected);
  }
  EXPECT_FALSE(Edits().Redo());
}

TEST_F(EditCommandsTest, ArrowPressesOnOneElementAreOneStepAndStopWhereTheMouseStops) {
  report::TPRItem& rect = Create("Rect", 40, 40);
  const std::string before = Page();
  Press(rect);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(Edits().Nudge(1, 0));
  EXPECT_EQ(rect.Left(), 45);
  ASSERT_TRUE(Edits().Undo());
  EXPECT_EQ(Page(), before);

  // Towards the edges the element stops 5 mm off the page, as a mouse move does.
  report::TPRItem& again = *Window().Page().Elements().back().item;
  Press(again);
  for (int i = 0; i < 20; ++i) Edits().Nudge(-10, -10);
  EXPECT_EQ(again.Left(), 15);
  EXPECT_EQ(again.Top(), 15);
  EXPECT_FALSE(Edits().Nudge(-1, 0));
  const int pageWidth = Window().Page().PagePanel().Width();
  for (int i = 0; i < 100; ++i) Edits().Nudge(10, 0);
  // 5 mm are 14.185 pixels: the far edge stops at the last whole pixel outside them.
  EXPECT_EQ(again.Left() + again.Width(), pageWidth - 15);
}

TEST_F(EditCommandsTest, PastedCopiesHaveNamesOfTheirOwnAndSurviveSaving) {
  auto& label = static_cast<report::TPRLabel&>(Create("label", 30, 30));
  label.SetCaption("Herr Müller");
  Press(label);
  ASSERT_TRUE(Edits().Copy());
  ASSERT_TRUE(Edits().Paste());
  ASSERT_TRUE(Edits().Duplicate());
  const auto elements = Window().Page().Elements();
  ASSERT_EQ(elements.size(), 3u);
  EXPECT_NE(elements[0].item->Name(), elements[1].item->Name());
  EXPECT_NE(elements[1].number, elements[0].number);
  EXPECT_NE(elements[2].number, elements[1].number);
  EXPECT_EQ(elements[1].item->Left(), label.Left() + 10);
  EXPECT_EQ(elements[1].item->Top(), label.Top() + 10);
  EXPECT_EQ(static_cast<report::TPRLabel*>(elements[1].item)->Caption(), "Herr Müller");

  ASSERT_TRUE(application->SaveProjectTo((folder / "karte.kxp").string()));
  const std::string saved = Page();
  Application reopened(platform, folder.string());
  ASSERT_TRUE(reopened.OpenProject(folder / "karte.kxp"));
  EXPECT_EQ(reopened.DocumentWindow()->Page().PageText(), saved);
  EXPECT_EQ(reopened.DocumentWindow()->Page().Elements().size(), 3u);
}

TEST_F(EditCommandsTest, TabWalksTheElementsInNumberOrderAndEscapeLetsGo) {
  report::TPRItem& first = Create("Rect", 20, 20);
  report::TPRItem& second = Create("label", 20, 80);
  report::TPRItem& third = Create("Rect", 90, 20);
  ASSERT_TRUE(Edits().SelectNext(true));
  EXPECT_EQ(Edits().Target(), &first);
  Edits().SelectNext(true);
  EXPECT_EQ(Edits().Target(), &second);
  Edits().SelectNext(true);
  EXPECT_EQ(Edits().Target(), &third);
  Edits().SelectNext(true);
  EXPECT_EQ(Edits().Target(), &first);
  Edits().SelectNext(false);
  EXPECT_EQ(Edits().Target(), &third);

  // Escape first disarms a tool, then lets go of the element.
  Window().ArmCreation("label");
  ASSERT_TRUE(Edits().Escape());
  EXPECT_EQ(platform.cursor, ui::crDefault);
  EXPECT_EQ(Edits().Target(), &third);
  ASSERT_TRUE(Edits().Escape());
  EXPECT_EQ(Edits().Target(), nullptr);
  EXPECT_FALSE(Edits().Nudge(1, 0));
  EXPECT_FALSE(Edits().Delete());
}

TEST_F(EditCommandsTest, PagesAddedByTheHistoryComeBackWhole) {
  Create("Rect", 40, 40);
  application->State().currentPage = 1;
  Window().Page().StoreCurrentPage();
  // A second page, made as the page commands make it, then deleted.
  Window().ClearPage();
  Window().InitDocument();
  Window().Page().SetBackgroundColour(graphics::clWhite);
  application->State().pageTexts.push_back(SharedBytes(Page()));
  application->State().pageCount = 2;
  application->State().currentPage = 2;
  Edits().Record();
  ASSERT_TRUE(application->DeleteCurrentPage());
  EXPECT_EQ(application->State().pageCount, 1);
  ASSERT_TRUE(Edits().Undo());
  EXPECT_EQ(application->State().pageCount, 2);
  EXPECT_EQ(application->State().currentPage, 2);
  ASSERT_TRUE(Edits().Undo());
  EXPECT_EQ(application->State().pageCount, 1);
  EXPECT_EQ(Window().Page().Elements().size(), 1u);
}

}  // namespace
}  // namespace quirabel::app
