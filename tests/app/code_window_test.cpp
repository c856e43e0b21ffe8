// The code's property window driven through its controls: content a kind cannot hold at the
// code's size is refused with the reason, and the vCard button writes a template of data fields.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/application.h"
#include "app/command_boundary.h"
#include "designer/document_window.h"
#include "dialogs/code_window.h"
#include "support/fake_platform.h"
#include "support/test_folder.h"

namespace quirabel::app {
namespace {

using designer::ElementKind;
using graphics::CodeKind;

class CodeWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testing::FreshTestFolder("code_window_");
    ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, true)));
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  // A code pressed and its window opened, as a double-click does.
  report::TPRCode& OpenCode(int size) {
    designer::DocumentWindow& window = *application.DocumentWindow();
    auto& code = static_cast<report::TPRCode&>(window.Page().CreateElement(ElementKind::Code));
    code.SetBounds(20, 20, size, size);
    code.MouseDown(ui::TMouseButton::mbLeft, 0, 3, 3);
    code.MouseUp(ui::TMouseButton::mbLeft, 0, 3, 3);
    application.OpenPropertiesOfPressed(designer::ElementMenu::Rect);
    return code;
  }

  testing::FakePlatform platform;
  std::filesystem::path folder = std::filesystem::temp_directory_path();
  Application application{platform, folder.string()};
};

TEST_F(CodeWindowTest, ContentTheKindCannotHoldIsRefusedWithTheReason) {
  const struct {
    CodeKind kind;
    int size;
    std::string content;
    std::string refusal;  // part of the message; empty when the content is taken
  } cases[] = {
      {CodeKind::Ean13, 120, "400638133393", ""},
      {CodeKind::Ean13, 120, "40063813339X", "EAN-13"},
      {CodeKind::Ean13, 120, "4006381333932", "Prüfziffer"},
      {CodeKind::Ean13, 120, "<Nummer>", ""},  // checked per row in the serial run
      {CodeKind::QrCode, 40, std::string(300, 'x'), "0,25 mm"},
      {CodeKind::QrCode, 200, std::string(300, 'x'), ""},
      {CodeKind::Code128, 200, "Ticket Ł", "Code 128"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content);
    platform.messages.clear();
    report::TPRCode& code = OpenCode(c.size);
    dialogs::CodePropertiesWindow& w = application.CodeWindow();
    ASSERT_TRUE(w.Visible());
    platform.modalAnswers = {ui::mrYes};  // "Ja" should the window ask to replace the content
    w.kindChoice->Choose(static_cast<int>(c.kind));
    platform.modalAnswers.clear();
    ASSERT_EQ(code.CodeKind(), c.kind);
    // A content the new kind cannot hold gave way to an example of it, and the window says so.
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(w.replacedLabel->Visible(), c.kind == CodeKind::Ean13);
    if (c.kind == CodeKind::Ean13) {
      EXPECT_NE(w.replacedLabel->Hint().find("EAN-13"), std::string::npos);
    }
    const std::string before = code.Content();
    EXPECT_EQ(w.contentMemo->Text(), before);
    platform.messages.clear();
    w.contentMemo->SetText(c.content);
    // Through the command boundary, as the window's host runs every click.
    const bool taken = RunCommand(platform, [&] {
      w.applyButton->Click();
      return true;
    });
    EXPECT_EQ(taken, c.refusal.empty());
    if (c.refusal.empty()) {
      EXPECT_TRUE(platform.messages.empty());
      EXPECT_EQ(code.Content(), c.content);
    } else {
      ASSERT_EQ(platform.messages.size(), 1u);
      EXPECT_NE(platform.messages[0].find(c.refusal), std::string::npos) << platform.messages[0];
      EXPECT_EQ(code.Content(), before);
    }
    w.Hide();
  }
}

// A change of kind keeps the content the new kind can hold; otherwise the window asks, and "Nein"
// (or Escape) keeps kind and content.
TEST_F(CodeWindowTest, ChangeOfKindKeepsTheContentOrAsks) {
  const std::string vcard = "BEGIN:VCARD\nVERSION:3.0\nN:Muster;Anna\nEND:VCARD";
  const struct {
    std::string content;
    CodeKind kind;
    int answer;  // to the question, should it come
    bool asked;
    CodeKind kindAfter;
    std::string contentAfter;
  } cases[] = {
      {"12345678", CodeKind::Code128, ui::mrYes, false, CodeKind::Code128, "12345678"},
      {vcard, CodeKind::DataMatrix, ui::mrYes, false, CodeKind::DataMatrix, vcard},
      {vcard, CodeKind::Ean13, ui::mrNo, true, CodeKind::QrCode, vcard},
      {vcard, CodeKind::Ean13, ui::mrCancel, true, CodeKind::QrCode, vcard},
      {vcard, CodeKind::Ean13, ui::mrYes, true, CodeKind::Ean13, "400638133393"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind) * 10 + c.answer);
    report::TPRCode& code = OpenCode(160);
    code.SetContent(c.content);
    dialogs::CodePropertiesWindow& w = application.CodeWindow();
    w.Hide();
    w.Show();
    platform.modalWindows.clear();
    platform.modalAnswers = {c.answer};
    w.kindChoice->Choose(static_cast<int>(c.kind));
    EXPECT_EQ(platform.modalWindows.size(), c.asked ? 1u : 0u);
    if (c.asked) {
      EXPECT_NE(w.replaceQuestionLabel->Caption().find("EAN-13"), std::string::npos);
    }
    EXPECT_EQ(code.CodeKind(), c.kindAfter);
    EXPECT_EQ(w.kindChoice->ItemIndex(), static_cast<int>(c.kindAfter));
    EXPECT_EQ(code.Content(), c.contentAfter);
    EXPECT_EQ(w.contentMemo->Text(), c.contentAfter);
    EXPECT_EQ(w.replacedLabel->Visible(), c.asked && c.answer == ui::mrYes);
    w.Hide();
  }
}

TEST_F(CodeWindowTest, VCardFromDataFieldsAndTheWarningBelowQuarterMillimetre) {
  application.State().dataFields = {"Vorname", "Name", "Mail"};
  report::TPRCode& code = OpenCode(90);
  dialogs::CodePropertiesWindow& w = application.CodeWindow();
  w.vcardChoices[0]->Choose(2);  // Name
  w.vcardChoices[1]->Choose(1);  // Vorname
  w.vcardChoices[4]->Choose(3);  // E-Mail
  w.vcardButton->Click();
  EXPECT_EQ(code.Content(),
            "BEGIN:VCARD\r\nVERSION:3.0\r\nN:<Name>;<Vorname>;;;\r\nFN:<Vorname> <Name>\r\n"
            "EMAIL;TYPE=INTERNET:<Mail>\r\nEND:VCARD\r\n");
  code.SetFieldValue("Name", "Größer");
  code.SetFieldValue("Vorname", "Jürgen");
  code.SetFieldValue("Mail", "j@example.org");
  EXPECT_NE(code.FilledContent().find("FN:Jürgen Größer\r\n"), std::string::npos);

  w.contentMemo->SetText("https://example.org");
  w.applyButton->Click();
  EXPECT_FALSE(w.smallModulesLabel->Visible());
  code.SetBounds(20, 20, 20, 20);  // made smaller with the mouse
  application.OpenPropertiesOfPressed(designer::ElementMenu::Rect);
  EXPECT_TRUE(w.smallModulesLabel->Visible());
}

TEST_F(CodeWindowTest, VCardTakesPlainTextsAndSplitsOneNameAtItsLastSpace) {
  application.State().dataFields = {"Name", "Vorname"};
  auto& label = static_cast<report::TPRLabel&>(
      application.DocumentWindow()->Page().CreateElement(ElementKind::Label));
  label.SetCaption("Jürgen Weiß");
  const struct {
    std::string familyItem, givenItem;  // the items chosen, "" for none
    std::string cell;                   // the row's value of the field "Name"
    std::string name;                   // the N and FN lines once filled
  } cases[] = {
      {"„Jürgen Weiß“", "", "", "N:Weiß;Jürgen;;;\r\nFN:Jürgen Weiß\r\n"},
      {"Name", "", "Jürgen Weiß", "N:Weiß;Jürgen;;;\r\nFN:Jürgen Weiß\r\n"},
      {"Name", "", "Anna Maria von Hohen",
       "N:Hohen;Anna Maria von;;;\r\nFN:Anna Maria von Hohen\r\n"},
      {"Name", "", "Cher", "N:Cher;;;;\r\nFN:Cher\r\n"},
      {"Name", "Vorname", "Weiß Müller", "N:Weiß Müller;Jürgen;;;\r\nFN:Jürgen Weiß Müller\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.familyItem + "/" + c.cell);
    report::TPRCode& code = OpenCode(200);
    dialogs::CodePropertiesWindow& w = application.CodeWindow();
    const auto choose = [](ui::TComboBox& choice, const std::string& item) {
      const auto& items = choice.Items();
      const auto found = std::find(items.begin(), items.end(), item.empty() ? "–" : item);
      ASSERT_NE(found, items.end()) << item;
      choice.Choose(static_cast<int>(found - items.begin()));
    };
    choose(*w.vcardChoices[0], c.familyItem);
    choose(*w.vcardChoices[1], c.givenItem);
    w.vcardButton->Click();
    code.SetFieldValue("Name", c.cell);
    code.SetFieldValue("Vorname", "Jürgen");
    const std::string card = code.FilledContent();
    EXPECT_NE(card.find("\r\n" + c.name), std::string::npos) << card;
    w.Hide();
  }
}

}  // namespace
}  // namespace quirabel::app
