// The property windows of text lines, text fields and rectangles, driven through their controls
// the way a person uses them, on elements of a real document window.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/application.h"
#include "app/command_boundary.h"
#include "designer/document_window.h"
#include "dialogs/property_windows.h"
#include "support/fake_platform.h"
#include "support/owned.h"
#include "support/test_folder.h"

namespace quirabel::app {
namespace {

using designer::ElementKind;
using report::TPRFontName;
using ui::TUpDownDirection;

class PropertyWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testing::FreshTestFolder("property_windows_");
    ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, true)));
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  designer::DocumentWindow& Window() { return *application.DocumentWindow(); }
  dialogs::LabelPropertiesWindow& Labels() { return *application.LabelWindow(); }
  dialogs::TextPropertiesWindow& Texts() { return *application.TextWindow(); }
  dialogs::RectanglePropertiesWindow& Rectangles() { return application.RectangleWindow(); }

  template <class T>
  T& Create(ElementKind kind, int left, int top, int width, int height) {
    auto& element = static_cast<T&>(Window().Page().CreateElement(kind));
    element.SetBounds(left, top, width, height);
    return element;
  }
  report::TPRLabel& CreateLabel() {
    auto& label = Create<report::TPRLabel>(ElementKind::Label, 40, 40, 100, 17);
    label.SetCaption("Text Label");
    return label;
  }
  // A left click on an element: it becomes the selected one and its window is filled.
  static void Press(report::TPRItem& element, ui::TMouseButton button = ui::TMouseButton::mbLeft) {
    element.MouseDown(button, 0, 3, 3);
    element.MouseUp(button, 0, 3, 3);
  }
  std::filesystem::path WriteFile(const std::string& name, const std::string& bytes) {
    const auto file = folder / name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
  }

  // What the person does runs inside the command boundary, as on screen: a refusal becomes
  // the message box.
  void Act(const std::function<void()>& action) {
    RunCommand(platform, [&action] {
      action();
      return true;
    });
  }

  testing::FakePlatform platform;
  std::filesystem::path folder = std::filesystem::temp_directory_path();
  Application application{platform, folder.string()};
};

TEST_F(PropertyWindowsTest, ChoiceBoxesMapToTheLineAndBack) {
  report::TPRLabel& label = CreateLabel();
  Press(label);
  dialogs::LabelPropertiesWindow& w = Labels();
  EXPECT_EQ(w.textEdit->Text(), "Text Label");
  EXPECT_EQ(w.fontSizeEdit->Text(), "12");

  const struct {
    const char* text;
    int entry;
    TPRFontName font;
  } fonts[] = {{"Times Roman", 2, TPRFontName::fnTimesRoman},
               {"Fixed", 1, TPRFontName::fnFixedWidth},
               {"Arial", 0, TPRFontName::fnArial}};
  for (const auto& font : fonts) {
    w.fontChoice->Choose(font.entry);
    EXPECT_EQ(label.FontName(), font.font) << font.text;
    w.fontChoice->SetText("Schriftart");
    Press(label);
    EXPECT_EQ(w.fontChoice->Text(), font.text);
  }
  const struct {
    const char* text;
    pdf::TAlignment alignment;
  } alignments[] = {{"Rechts", pdf::TAlignment::taRightJustify},
                    {"Center", pdf::TAlignment::taCenter},
                    {"Links", pdf::TAlignment::taLeftJustify}};
  for (const auto& alignment : alignments) {
    w.alignmentChoice->TypeText(alignment.text);
    EXPECT_EQ(label.Alignment(), alignment.alignment) << alignment.text;
    Press(label);
    EXPECT_EQ(w.alignmentChoice->Text(), alignment.text);
  }

  w.weightChoice->Choose(1);
  EXPECT_TRUE(label.FontBold());
  w.italicChoice->Choose(0);
  EXPECT_TRUE(label.FontItalic());
  Press(label);
  EXPECT_EQ(w.weightChoice->Text(), "Fett");
  // The slant is shown in words that are none of the entries.
  EXPECT_EQ(w.italicChoice->Text(), "Kusriv");
  EXPECT_EQ(w.italicChoice->ItemIndex(), -1);
  w.italicChoice->Choose(1);
  EXPECT_FALSE(label.FontItalic());
  w.weightChoice->Choose(0);
  EXPECT_FALSE(label.FontBold());
  Press(label);
  EXPECT_EQ(w.italicChoice->Text(), "Normal");

  // Typing something that is no entry changes nothing; the font box takes no typing at all.
  w.fontChoice->TypeText("Courier");
  EXPECT_EQ(w.fontChoice->Text(), "Arial");
  w.alignmentChoice->TypeText("Blocksatz");
  w.italicChoice->TypeText("Kusriv");
  EXPECT_EQ(label.FontName(), TPRFontName::fnArial);
  EXPECT_EQ(label.Alignment(), pdf::TAlignment::taLeftJustify);
  EXPECT_FALSE(label.FontItalic());
}

TEST_F(PropertyWindowsTest, ArrowsStopAtTheEndsOfTheirRanges) {
  report::TPRLabel& label = CreateLabel();
  Press(label);
  dialogs::LabelPropertiesWindow& w = Labels();
  w.fontSizeUpDown->Step(TUpDownDirection::updUp);
  EXPECT_EQ(label.FontSize(), 13);
  w.fontSizeEdit->SetText("199");
  w.fontSizeUpDown->Step(TUpDownDirection::updUp);
  w.fontSizeUpDown->Step(TUpDownDirection::updUp);
  EXPECT_EQ(w.fontSizeEdit->Text(), "200");
  EXPECT_EQ(label.FontSize(), 200);
  w.fontSizeEdit->SetText("2");
  w.fontSizeUpDown->Step(TUpDownDirection::updDown);
  w.fontSizeUpDown->Step(TUpDownDirection::updDown);
  EXPECT_EQ(label.FontSize(), 1);
  w.charSpaceUpDown->Step(TUpDownDirection::updDown);
  EXPECT_EQ(label.CharSpace(), 0);
  w.charSpaceUpDown->Step(TUpDownDirection::updUp);
  EXPECT_EQ(label.CharSpace(), 1);

  auto& text = Create<report::TPRText>(ElementKind::Text, 20, 60, 200, 100);
  Press(text);
  dialogs::TextPropertiesWindow& t = Texts();
  t.leadingEdit->SetText("1");
  t.leadingUpDown->Step(TUpDownDirection::updDown);
  t.leadingUpDown->Step(TUpDownDirection::updDown);
  EXPECT_EQ(text.Leading(), 0);
  t.leadingEdit->SetText("399");
  t.leadingUpDown->Step(TUpDownDirection::updUp);
  t.leadingUpDown->Step(TUpDownDirection::updUp);
  EXPECT_EQ(text.Leading(), 400);
  t.fontSizeUpDown->Step(TUpDownDirection::updUp);
  EXPECT_EQ(text.FontSize(), 13);
  t.charSpaceUpDown->Step(TUpDownDirection::updUp);
  EXPECT_EQ(text.CharSpace(), 1);
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(PropertyWindowsTest, NumberFieldsThatHoldNoNumberInRangeLeaveTheElementAsItWas) {
  report::TPRLabel& label = CreateLabel();
  auto& text = Create<report::TPRText>(ElementKind::Text, 20, 60, 200, 100);
  auto& rect = Create<report::TPRRect>(ElementKind::Rect, 20, 200, 100, 50);
  rect.SetLineWidth(2);
  const struct {
    report::TPRItem* element;
    ui::TEdit* field;
    ui::TUpDown* arrows;
  } fields[] = {{&label, Labels().fontSizeEdit, Labels().fontSizeUpDown},
                {&label, Labels().charSpaceEdit, Labels().charSpaceUpDown},
                {&text, Texts().fontSizeEdit, Texts().fontSizeUpDown},
                {&text, Texts().leadingEdit, Texts().leadingUpDown},
                {&text, Texts().charSpaceEdit, Texts().charSpaceUpDown},
                {&rect, Rectangles().lineWidthEdit, Rectangles().lineWidthUpDown}};
  for (const auto& f : fields) {
    for (const char* bad : {"NaN", "1e30", "-5", "abc", "", "500", "inf"}) {
      Press(*f.element);
      f.field->SetText(bad);
      platform.messages.clear();
      Act([&] { f.arrows->Step(TUpDownDirection::updUp); });
      EXPECT_EQ(platform.messages.size(), 1u) << f.field->Name() << " " << bad;
      EXPECT_EQ(f.field->Text(), bad) << "the refused step leaves the field as typed";
    }
  }
  EXPECT_EQ(label.FontSize(), 12);
  EXPECT_EQ(label.CharSpace(), 0);
  EXPECT_EQ(text.FontSize(), 12);
  EXPECT_EQ(text.Leading(), 14);
  EXPECT_EQ(text.CharSpace(), 0);
  EXPECT_EQ(rect.LineWidth(), 2);

  // A decimal with a comma is a size; spacing and leading are whole numbers.
  std::string error;
  EXPECT_EQ(dialogs::ReadNumber(" 10,5 ", dialogs::kLabelSizeRange, error), 10.5);
  EXPECT_FALSE(dialogs::ReadNumber("2.5", dialogs::kLeadingRange, error));
  EXPECT_EQ(error, "„2.5“ ist kein gültiger ganzzahliger Wert (erlaubt: 0 bis 400).");
  EXPECT_FALSE(dialogs::ReadNumber("-5", dialogs::kBorderWidthRange, error));
  EXPECT_EQ(error, "„-5“ liegt außerhalb des erlaubten Bereichs von 0 bis 100.");
}

TEST_F(PropertyWindowsTest, TypingMakesTheTextAndTheWidthFollowsIt) {
  report::TPRLabel& label = CreateLabel();
  Press(label);
  dialogs::LabelPropertiesWindow& w = Labels();
  w.textEdit->SetText("Hallo");
  w.textEdit->KeyUp('O', 0);
  EXPECT_EQ(label.Caption(), "Hallo");
  // Arial 12 shows at 9 points, 12 pixels: H 722 + a 556 + l 222 + l 222 + o 556 = 2278
  // thousandths, 27.336 pixels, and 50 more.
  EXPECT_EQ(label.Width(), 77);
  EXPECT_EQ(Window().Handle(designer::Corner::BottomRight)->Left(), 40 + 77 - 3);
  w.fontSizeEdit->SetText("23");
  w.fontSizeUpDown->Step(TUpDownDirection::updUp);
  w.textEdit->KeyUp('O', 0);
  // 24 points show at 18 points, 24 pixels: 54.672.
  EXPECT_EQ(label.Width(), 55 + 50);
}

TEST_F(PropertyWindowsTest, NudgesMoveOnlyAnElementOfTheirWindowsKind) {
  report::TPRLabel& label = CreateLabel();
  auto& text = Create<report::TPRText>(ElementKind::Text, 20, 60, 200, 100);
  auto& rect = Create<report::TPRRect>(ElementKind::Rect, 20, 200, 100, 40);
  const auto place = [](const report::TPRItem& e) { return std::pair(e.Left(), e.Top()); };
  const auto nudgeAll = [](const dialogs::NudgeButtons& b) {
    for (ui::TButton* button : {b.up, b.down, b.left, b.right}) button->Click();
  };

  Press(label);
  for (int i = 0; i < 3; ++i) Labels().nudgeButtons.down->Click();
  Labels().nudgeButtons.left->Click();
  EXPECT_EQ(place(label), std::pair(39, 43));
  nudgeAll(Texts().nudgeButtons);
  nudgeAll(Rectangles().nudgeButtons);
  EXPECT_EQ(place(text), std::pair(20, 60));
  EXPECT_EQ(place(rect), std::pair(20, 200));

  Press(text);
  Texts().nudgeButtons.up->Click();
  Texts().nudgeButtons.right->Click();
  EXPECT_EQ(place(text), std::pair(21, 59));
  nudgeAll(Labels().nudgeButtons);
  EXPECT_EQ(place(label), std::pair(39, 43));

  // The rectangle window follows the pressed element, any button: a text line pressed last
  // leaves every one of its buttons without effect.
  Press(rect);
  Rectangles().nudgeButtons.right->Click();
  EXPECT_EQ(place(rect), std::pair(21, 200));
  Press(label, ui::TMouseButton::mbRight);
  const ui::TRect before = rect.BoundsRect();
  const graphics::TColor fillBefore = rect.FillColor();
  platform.colorAnswers = {graphics::clBlue, graphics::clBlue};
  nudgeAll(Rectangles().nudgeButtons);
  for (ui::TColorButton* preset : Rectangles().presetButtons) preset->Click();
  Rectangles().lineColorButton->Click();
  Rectangles().fillColorButton->Click();
  Rectangles().lineWidthUpDown->Step(TUpDownDirection::updUp);
  EXPECT_EQ(rect.BoundsRect(), before);
  EXPECT_EQ(rect.LineColor(), 0u);
  EXPECT_EQ(rect.FillColor(), fillBefore);
  EXPECT_EQ(rect.LineWidth(), 0);
  EXPECT_EQ(place(label), std::pair(39, 43));
}

TEST_F(PropertyWindowsTest, PresetShapesAndBorderOfTheRectangle) {
  auto& rect = Create<report::TPRRect>(ElementKind::Rect, 20, 200, 100, 40);
  rect.DblClick();
  dialogs::RectanglePropertiesWindow& w = Rectangles();
  EXPECT_TRUE(w.Showing());
  EXPECT_EQ(w.lineWidthEdit->Text(), "0");
  const std::pair<int, int> expected[] = {{5, 5},   {10, 10}, {20, 20}, {30, 30},
                                          {40, 40}, {100, 2}, {100, 5}, {100, 7}};
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    rect.SetBounds(20, 200, 100, 40);
    w.presetButtons[i]->Click();
    EXPECT_EQ(std::pair(rect.Width(), rect.Height()), expected[i]) << w.presetButtons[i]->Name();
  }
  // Near the far corner the shape comes inside the 5 mm margins (15 pixels) instead of past them.
  const int pageWidth = Window().Page().PagePanel().Width(),
            pageHeight = Window().Page().PagePanel().Height();
  rect.SetBounds(pageWidth - 25, pageHeight - 25, 10, 10);
  w.presetButtons[4]->Click();  // 40 x 40
  EXPECT_EQ(rect.BoundsRect(), ui::Bounds(pageWidth - 55, pageHeight - 55, 40, 40));

  w.lineWidthUpDown->Step(TUpDownDirection::updUp);
  EXPECT_EQ(rect.LineWidth(), 1);
  platform.colorAnswers = {graphics::clBlue, std::nullopt, graphics::RGB(0, 128, 0)};
  w.lineColorButton->Click();
  w.lineColorButton->Click();  // cancelled
  w.fillColorButton->Click();
  EXPECT_EQ(rect.LineColor(), graphics::clBlue);
  EXPECT_EQ(rect.FillColor(), graphics::RGB(0, 128, 0));

  // Shown again for another rectangle, the field shows that one's border.
  auto& thick = Create<report::TPRRect>(ElementKind::Rect, 150, 200, 50, 50);
  thick.SetLineWidth(2.5F);
  thick.DblClick();
  EXPECT_EQ(w.lineWidthEdit->Text(), "2.5");
  // An ellipse opens the same window, which sets its frame and fill alike.
  auto& ellipse = Create<report::TPREllipse>(ElementKind::Ellipse, 150, 260, 60, 30);
  ellipse.SetLineWidth(2);
  ellipse.DblClick();
  EXPECT_TRUE(w.Showing());
  EXPECT_EQ(w.lineWidthEdit->Text(), "2");
  w.lineWidthUpDown->Step(TUpDownDirection::updUp);
  platform.colorAnswers = {graphics::clRed};
  w.fillColorButton->Click();
  EXPECT_EQ(ellipse.LineWidth(), 3);
  EXPECT_EQ(ellipse.FillColor(), graphics::clRed);
}

TEST_F(PropertyWindowsTest, EditingAreaTakesTheFieldsSizeAndFont) {
  auto& text = Create<report::TPRText>(ElementKind::Text, 20, 20, 200, 620);
  text.SetText("Zeile 1\r\nZeile 2  \r\n\r\n");
  platform.cursorPosition = {300, 200};
  Press(text);
  text.DblClick();
  dialogs::TextPropertiesWindow& w = Texts();
  EXPECT_TRUE(w.Showing());
  EXPECT_EQ(std::pair(w.Left(), w.Top()), std::pair(300, 200));
  EXPECT_EQ(w.Height(), 650);
  EXPECT_EQ(w.Width(), 370);
  EXPECT_EQ(w.editor->Height(), 620);
  EXPECT_EQ(w.editorFrame->Height(), 625);
  EXPECT_EQ(w.editor->Text(), "Zeile 1\nZeile 2");
  EXPECT_TRUE(w.AutoScroll());

  text.SetBounds(20, 20, 400, 200);
  text.DblClick();
  EXPECT_EQ(w.Height(), 297);
  EXPECT_EQ(w.Width(), 445);

  // The editing font: "Courier" when Fixed is chosen, "Fixedsys" once the area is fitted again.
  w.fontChoice->Choose(1);  // "Fixed"
  EXPECT_EQ(w.editor->Font().name, "Courier");
  EXPECT_EQ(text.FontName(), TPRFontName::fnFixedWidth);
  w.weightChoice->TypeText("Fett");
  EXPECT_EQ(w.editor->Font().name, "Fixedsys");
  EXPECT_TRUE(w.editor->Font().bold);
  text.DblClick();
  EXPECT_EQ(w.editor->Font().name, "Fixedsys");

  // Typing goes into the field on each key release.
  w.editor->SetText("Erste\nZweite");
  w.editor->KeyUp('E', 0);
  EXPECT_EQ(text.Lines(), (std::vector<std::string>{"Erste", "Zweite"}));
}

TEST_F(PropertyWindowsTest, TextImportTakesUtf8OrWindows1252AndRefusesWhatItCannotRead) {
  auto& text = Create<report::TPRText>(ElementKind::Text, 20, 20, 200, 100);
  text.SetText("Vorher");
  Press(text);
  dialogs::TextPropertiesWindow& w = Texts();
  const std::vector<std::string> three = {"Grüße aus", "Köln", "Straße 1"};
  platform.fileAnswers = {WriteFile("utf8.txt", "Grüße aus\r\nKöln\r\nStraße 1\r\n").string(),
                          WriteFile("bom.txt", "\xEF\xBB\xBFGrüße aus\nKöln\nStraße 1").string(),
                          WriteFile("ansi.txt",
                                    "Gr\xFC\xDF"
                                    "e aus\rK\xF6ln\rStra\xDF"
                                    "e 1\r")
                              .string()};
  for (int i = 0; i < 3; ++i) {
    text.SetText("Vorher");
    w.importButton->Click();
    EXPECT_EQ(text.Lines(), three) << i;
    EXPECT_EQ(w.editor->Lines(), three);
  }
  EXPECT_EQ(platform.fileDialogs.back().filter, "TextFiles|*.txt");
  EXPECT_TRUE(platform.messages.empty());

  text.SetText("Vorher");
  platform.fileAnswers = {WriteFile("big.txt", std::string(1024 * 1024 + 1, 'x')).string(),
                          (folder / "fehlt.txt").string(), folder.string(), std::nullopt};
  for (int i = 0; i < 4; ++i) Act([&] { w.importButton->Click(); });
  EXPECT_EQ(platform.messages.size(), 3u);
  EXPECT_EQ(text.Lines(), std::vector<std::string>{"Vorher"});
  // Exactly 1 MB is still taken.
  platform.fileAnswers = {WriteFile("mb.txt", std::string(1024 * 1024, 'x')).string()};
  w.importButton->Click();
  EXPECT_EQ(text.Lines().at(0).size(), 1024u * 1024);
}

TEST_F(PropertyWindowsTest, ColourDialogsSetTheFontColourOnOkOnly) {
  report::TPRLabel& label = CreateLabel();
  auto& text = Create<report::TPRText>(ElementKind::Text, 20, 60, 200, 100);
  Press(label);
  platform.colorAnswers = {std::nullopt, graphics::clRed};
  Labels().colorButton->Click();
  EXPECT_EQ(label.FontColor(), 0u);
  Labels().colorButton->Click();
  EXPECT_EQ(label.FontColor(), graphics::clRed);
  Press(text);
  platform.colorAnswers = {graphics::clBlue};
  Texts().colorButton->Click();
  EXPECT_EQ(text.FontColor(), graphics::clBlue);
  EXPECT_EQ(label.FontColor(), graphics::clRed);
}

TEST_F(PropertyWindowsTest, ChangesInTheWindowsAreUnsavedWorkAndUndoSteps) {
  report::TPRLabel& label = CreateLabel();
  const std::string name = label.Name();
  Window().Changed();  // the line as made, a step to come back to
  Press(label);
  application.State().unsavedChanges = false;
  // Showing a line in its window, and a choice that changes nothing, is no change.
  Labels().fontChoice->Choose(0);  // "Arial"
  Labels().italicChoice->Choose(1);
  EXPECT_FALSE(application.State().unsavedChanges);

  // Typing makes one step however many keys; a font chosen makes another.
  for (const char* typed : {"S", "So", "Som"}) {
    Labels().textEdit->SetText(typed);
    Labels().textEdit->KeyUp('M', 0);
  }
  EXPECT_TRUE(application.State().unsavedChanges);
  Labels().fontChoice->Choose(1);  // "Fixed"
  ASSERT_TRUE(application.Edits().Undo());
  auto* line = static_cast<report::TPRLabel*>(Window().Page().FindElement(name));
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->FontName(), TPRFontName::fnArial);
  EXPECT_EQ(line->Caption(), "Som");
  ASSERT_TRUE(application.Edits().Undo());
  line = static_cast<report::TPRLabel*>(Window().Page().FindElement(name));
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->Caption(), "Text Label");
  // The rebuilt page's line is a new element: the window acts on nothing until it is pressed.
  Labels().fontChoice->Choose(1);
  EXPECT_EQ(line->FontName(), TPRFontName::fnArial);
}

TEST_F(PropertyWindowsTest, ATextLineTakesOnlyWhatItsPlaceInTheFileHolds) {
  report::TPRLabel& label = CreateLabel();
  const std::string name = label.Name();
  Press(label);
  std::string greek;  // 41 x "Ω", each stored as "&#937;": 246 of the 250 bytes
  for (int i = 0; i < 41; ++i) greek += "Ω";
  const auto type = [&](const std::string& text) {
    Labels().textEdit->SetText(text);
    Act([&] { Labels().textEdit->KeyUp('O', 0); });
  };
  type(greek);
  EXPECT_EQ(label.Caption(), greek);
  EXPECT_TRUE(platform.messages.empty());
  // One more would be cut off when the page is stored: not taken, and the person is told.
  type(greek + "Ω");
  EXPECT_EQ(label.Caption(), greek);
  EXPECT_EQ(Labels().textEdit->Text(), greek);
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages.back(), dialogs::kCaptionTooLong);
  type(std::string(251, 'a'));
  EXPECT_EQ(label.Caption(), greek);
  // What was taken comes back whole from the page text.
  Window().Page().StoreCurrentPage();
  Window().Page().LoadPage(1);
  auto* again = static_cast<report::TPRLabel*>(Window().Page().FindElement(name));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->Caption(), greek);
}

TEST_F(PropertyWindowsTest, EachDocumentGetsFreshTextWindowsAndClosingFreesThem) {
  report::TPRLabel& label = CreateLabel();
  Press(label);
  Labels().fontSizeUpDown->Step(TUpDownDirection::updUp);
  platform.cursorPosition = {500, 400};
  label.DblClick();
  EXPECT_TRUE(Labels().Showing());
  EXPECT_EQ(std::pair(Labels().Left(), Labels().Top()), std::pair(500, 400));
  const dialogs::LabelPropertiesWindow* first = application.LabelWindow();
  // The application owns exactly the current document's text windows.
  using LabelWindows = std::vector<const dialogs::LabelPropertiesWindow*>;
  auto labelWindows = [&] {
    return testing::OwnedOf<const dialogs::LabelPropertiesWindow>(application);
  };
  EXPECT_EQ(labelWindows(), LabelWindows{first});

  ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, true)));
  EXPECT_EQ(labelWindows(), LabelWindows{application.LabelWindow()});
  EXPECT_EQ(Labels().fontSizeEdit->Text(), "12");
  EXPECT_FALSE(Labels().Showing());
  EXPECT_EQ(Texts().fontSizeEdit->Text(), "10");
  EXPECT_EQ(Texts().leadingEdit->Text(), "10");

  application.ShowRectangleWindow();
  application.ShowLabelWindow();
  EXPECT_TRUE(Labels().Showing());
  ASSERT_TRUE(application.CloseDocument());
  EXPECT_EQ(application.LabelWindow(), nullptr);
  EXPECT_EQ(application.TextWindow(), nullptr);
  EXPECT_TRUE(labelWindows().empty());
  EXPECT_TRUE(testing::OwnedOf<dialogs::TextPropertiesWindow>(application).empty());
  // The rectangle and data-field windows stay for the whole run.
  EXPECT_TRUE(application.RectangleWindow().Showing());
}

}  // namespace
}  // namespace quirabel::app
