// Data fields: the data-field window, the boxes of the text windows, and the program-wide list
// that follows the page on screen.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/application.h"
#include "app/command_boundary.h"
#include "designer/document_window.h"
#include "dialogs/data_field_window.h"
#include "support/fake_platform.h"
#include "support/test_folder.h"

namespace quirabel::app {
namespace {

using designer::ElementKind;
using Names = std::vector<std::string>;

class DataFieldsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, true)));
  }

  designer::DocumentWindow& Window() { return *application.DocumentWindow(); }
  dialogs::LabelPropertiesWindow& Labels() { return *application.LabelWindow(); }
  dialogs::DataFieldWindow& Fields() { return application.DataFieldWindow(); }
  const Names& List() { return application.State().dataFields; }

  report::TPRLabel& CreateLabel(int top) {
    auto& label = static_cast<report::TPRLabel&>(Window().Page().CreateElement(ElementKind::Label));
    label.SetBounds(20, top, 100, 17);
    label.SetCaption("Text Label");
    return label;
  }
  static void Press(report::TPRItem& element) {
    element.MouseDown(ui::TMouseButton::mbLeft, 0, 2, 2);
    element.MouseUp(ui::TMouseButton::mbLeft, 0, 2, 2);
  }
  // Selects a line, ticks its box and adds a name in the window that comes up.
  void MakeDataField(report::TPRLabel& label, const std::string& name) {
    Press(label);
    Labels().dataFieldBox->Toggle();
    Fields().fieldNameEdit->SetText(name);
    Act([this] { Fields().addButton->Click(); });
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
  Application application{platform, std::filesystem::temp_directory_path().string()};
};

TEST_F(DataFieldsTest, TickingTheBoxAndAddingMakesTheLineADataField) {
  report::TPRLabel& label = CreateLabel(20);
  Press(label);
  Labels().dataFieldBox->Toggle();
  EXPECT_TRUE(Fields().Showing());
  EXPECT_EQ(Fields().fieldNameEdit->Text(), "TextLabel");
  Fields().fieldNameEdit->SetText("Kunde");
  Fields().addButton->Click();
  EXPECT_EQ(List(), Names{"Kunde"});
  EXPECT_EQ(Fields().fieldList->Items(), Names{"Kunde"});
  EXPECT_EQ(label.Caption(), "<Kunde>");
  EXPECT_EQ(label.dbfieldname(), "Kunde");
  EXPECT_FALSE(Labels().textEdit->Enabled());
  EXPECT_TRUE(Fields().Showing());  // it stays open for the next one
  Fields().okButton->Click();
  EXPECT_FALSE(Fields().Showing());

  // Selected again, the line shows its box ticked and its text entry off; the window hides.
  Labels().dataFieldBox->SetChecked(false);
  Labels().textEdit->SetEnabled(true);
  Fields().Show();
  Press(label);
  EXPECT_TRUE(Labels().dataFieldBox->Checked());
  EXPECT_FALSE(Labels().textEdit->Enabled());
  EXPECT_FALSE(Fields().Showing());
  // A key that still reaches the entry does not type over the marker.
  Labels().textEdit->SetText("Hallo");
  Labels().textEdit->KeyUp('O', 0);
  EXPECT_EQ(label.Caption(), "<Kunde>");

  // With the window left open, another line pressed takes the next name.
  report::TPRLabel& other = CreateLabel(60);
  Fields().Show();
  Press(other);
  Fields().fieldNameEdit->SetText("Ort");
  Fields().addButton->Click();
  EXPECT_EQ(other.Caption(), "<Ort>");
  EXPECT_EQ(List(), (Names{"Kunde", "Ort"}));
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(DataFieldsTest, NamesArePartsOfOthersButNeverTwiceOrEmpty) {
  report::TPRLabel& company2 = CreateLabel(20);
  report::TPRLabel& company = CreateLabel(60);
  MakeDataField(company2, "Firma2");
  MakeDataField(company, "Firma");
  EXPECT_EQ(List(), (Names{"Firma2", "Firma"}));
  EXPECT_EQ(company.dbfieldname(), "Firma");
  EXPECT_TRUE(platform.messages.empty());

  report::TPRLabel& third = CreateLabel(100);
  for (const char* refused : {"Firma", "Firma2", ""}) {
    MakeDataField(third, refused);
    EXPECT_EQ(third.Caption(), "Text Label") << refused;
    EXPECT_EQ(third.dbfieldname(), "");
  }
  EXPECT_EQ(platform.messages,
            (Names{"Der Feldname „Firma“ ist schon vergeben.",
                   "Der Feldname „Firma2“ ist schon vergeben.", dialogs::kEmptyFieldName}));
  EXPECT_EQ(Fields().fieldList->Items(), (Names{"Firma2", "Firma"}));

  // Nothing selected that could take the name: the list stays as the page is.
  auto& rect = Window().Page().CreateElement(ElementKind::Rect);
  Press(rect);
  Fields().fieldNameEdit->SetText("Telefon");
  Act([this] { Fields().addButton->Click(); });
  EXPECT_EQ(platform.messages.back(), dialogs::kNoTextSelected);
  EXPECT_EQ(List(), (Names{"Firma2", "Firma"}));
}

TEST_F(DataFieldsTest, UntickingRemovesTheEntryThatIsTheName) {
  report::TPRLabel& company2 = CreateLabel(20);
  report::TPRLabel& company = CreateLabel(60);
  MakeDataField(company2, "Firma2");
  MakeDataField(company, "Firma");

  Press(company);
  Labels().dataFieldBox->Toggle();
  EXPECT_EQ(List(), Names{"Firma2"});
  EXPECT_EQ(Fields().fieldList->Items(), Names{"Firma2"});
  EXPECT_EQ(company.dbfieldname(), "");
  EXPECT_EQ(company.Caption(), "Text Label");
  EXPECT_TRUE(Labels().textEdit->Enabled());
  EXPECT_EQ(company2.dbfieldname(), "Firma2");

  // A line whose name is in no entry keeps it, and its box stays ticked.
  application.State().dataFields.clear();
  Fields().RefillList();
  Press(company2);
  Labels().dataFieldBox->Toggle();
  EXPECT_EQ(company2.dbfieldname(), "Firma2");
  EXPECT_EQ(company2.Caption(), "<Firma2>");
  EXPECT_TRUE(Labels().dataFieldBox->Checked());

  // Ticking while a text field is selected leaves the window shut for text lines.
  Fields().Hide();
  auto& text = Window().Page().CreateElement(ElementKind::Text);
  Press(text);
  Labels().dataFieldBox->SetChecked(false);
  Labels().dataFieldBox->Toggle();
  EXPECT_FALSE(Fields().Showing());
}

TEST_F(DataFieldsTest, ARebuiltPageRefillsTheListWithItsDataFields) {
  report::TPRLabel& customer = CreateLabel(20);
  MakeDataField(customer, "Kunde");
  // Rebuilding the page frees its elements: they are found again by name.
  const std::string customerName = customer.Name();
  auto& text = static_cast<report::TPRText&>(Window().Page().CreateElement(ElementKind::Text));
  // Text fields become data fields from a stored project.
  text.Setdbfieldname("Ort");
  text.SetText("<Ort>");
  Window().Page().StoreCurrentPage();
  application.State().pageCount = 1;

  application.State().dataFields = {"veraltet"};
  Fields().RefillList();
  Window().LoadPage(1);
  EXPECT_EQ(List(), (Names{"Kunde", "Ort"}));
  EXPECT_EQ(Fields().fieldList->Items(), List());

  // The rebuilt line shows its marker; the text field cannot be typed into or imported over.
  auto* line = static_cast<report::TPRLabel*>(Window().Page().FindElement(customerName));
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->Caption(), "<Kunde>");
  auto* field = Window().Page().FindElement(Window().Page().ElementName(ElementKind::Text, 3));
  ASSERT_NE(field, nullptr);
  Press(*field);
  EXPECT_FALSE(application.TextWindow()->editor->Enabled());
  EXPECT_FALSE(application.TextWindow()->importButton->Enabled());
  EXPECT_TRUE(application.TextWindow()->dataFieldBox->Checked());

  // A new document starts with an empty list.
  ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, true)));
  EXPECT_TRUE(List().empty());
  EXPECT_TRUE(Fields().fieldList->Items().empty());
}

}  // namespace
}  // namespace quirabel::app
