// The e-mail tool's real window, started with the parameters the designer passes after a serial
// run (blanks as "*", a folder with a blank in its name), sending to a mail server on the
// loopback address.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "mail/mail_fixtures.h"
#include "mail/mail_run.h"
#include "mailtool/mail_tool_window.h"
#include "support/test_folder.h"

namespace quirabel {
namespace {

std::string OneWord(std::string text) {
  std::replace(text.begin(), text.end(), ' ', '*');
  return text;
}

QPushButton* Button(QWidget& window, const char* text) {
  for (QPushButton* button : window.findChildren<QPushButton*>()) {
    if (button->text() == QString::fromUtf8(text)) return button;
  }
  ADD_FAILURE() << "no button " << text;
  return nullptr;
}

class MailToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base = testing::FreshTestFolder("mail_tool_");
    made = testing::MakeMailFolder(base, 5);
    const std::optional<mail::MailSource> source = mail::SourceFromArguments(
        {OneWord(made.csv.string()), "Feld1", ";", OneWord(made.folder.string())});
    ASSERT_TRUE(source);
    window = std::make_unique<mailtool::MailToolWindow>(*source, base / "conf" / "mail.conf");
    window->SetNotifier([this](const QString& text) { notes.push_back(text.toStdString()); });
    // Every question is answered "Ja" unless a test says otherwise, and kept.
    window->SetConfirmer([this](const QString& question) {
      questions.push_back(question.toStdString());
      return answer;
    });
    window->SetTimeLimits({3, 3, 3, 3, 3, 3});
    window->show();
  }
  void TearDown() override {
    window.reset();
    std::filesystem::remove_all(base);
  }

  template <typename T>
  T* Child(const char* name) {
    T* child = window->findChild<T*>(QString::fromUtf8(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  void FillServer(int port) {
    Child<QLineEdit>("hostEdit")->setText(QStringLiteral("127.0.0.1"));
    Child<QSpinBox>("portBox")->setValue(port);
    Child<QComboBox>("securityBox")->setCurrentIndex(2);  // keine
    Child<QLineEdit>("fromNameEdit")->setText(QString::fromUtf8("Büro Müller"));
    Child<QLineEdit>("fromAddressEdit")->setText(QStringLiteral("buero@example.org"));
    Child<QLineEdit>("subjectEdit")->setText(QString::fromUtf8("Rechnung für <Feld1>"));
    Child<QPlainTextEdit>("textEdit")->setPlainText(QString::fromUtf8("Hallo <Feld1>,\nanbei."));
  }
  // Clicks a button and waits for the window's closing word.
  std::string ClickAndWait(const char* button) {
    const std::size_t before = notes.size();
    QTest::mouseClick(Button(*window, button), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return notes.size() > before; }, 20000));
    return notes.size() > before ? notes.back() : std::string();
  }

  std::filesystem::path base;
  testing::MailFolder made;
  std::unique_ptr<mailtool::MailToolWindow> window;
  std::vector<std::string> notes;
  std::vector<std::string> questions;
  bool answer = true;
};

TEST_F(MailToolTest, SendsEveryRowsPdfFromTheDesignersParametersAndNothingTwice) {
  EXPECT_EQ(Child<QLineEdit>("folderEdit")->text().toStdString(), made.folder.string());
  EXPECT_EQ(Child<QComboBox>("addressBox")->currentText(), QStringLiteral("Feld2"));
  ASSERT_EQ(window->Rows().size(), 5u);
  EXPECT_TRUE(window->Rows()[4].Ready());

  testing::SmtpSink sink(base / "server");
  FillServer(sink.Port());
  // "Nein" at the question sends nothing.
  answer = false;
  QTest::mouseClick(Button(*window, "Senden"), Qt::LeftButton);
  EXPECT_FALSE(window->Sending());
  EXPECT_TRUE(sink.Mails().empty());
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0],
            "5 Mails an 5 Empfänger senden? (an kunde1@example.org, kunde2@example.org, "
            "kunde3@example.org, …)");
  answer = true;
  EXPECT_EQ(ClickAndWait("Senden"), "5 Mails gesendet, 0 übersprungen, 0 fehlgeschlagen.");
  // To the loopback no question about encryption.
  EXPECT_EQ(questions.size(), 2u);
  const auto mails = sink.Mails();
  ASSERT_EQ(mails.size(), 5u);
  for (const auto& received : mails) {
    const std::string to = testing::ReadText(received / "to.txt");
    const std::string name = "Kunde" + to.substr(5, to.find('@') - 5);
    EXPECT_EQ(testing::ReadText(received / ("attachment-" + name + ".pdf")),
              testing::ReadText(made.folder / (name + ".pdf")));
    EXPECT_EQ(testing::ReadText(received / "subject.txt"), "Rechnung für " + name);
    EXPECT_EQ(testing::ReadText(received / "from.txt"), "Büro Müller <buero@example.org>");
  }
  auto* table = Child<QTableWidget>("rowTable");
  EXPECT_EQ(table->item(0, 3)->text(), QStringLiteral("gesendet"));
  EXPECT_EQ(Child<QProgressBar>("progressBar")->value(), 5);
  EXPECT_TRUE(Button(*window, "Senden")->isEnabled());

  questions.clear();
  EXPECT_EQ(ClickAndWait("Senden"), "0 Mails gesendet, 5 übersprungen, 0 fehlgeschlagen.");
  EXPECT_TRUE(questions.empty());  // nothing would go
  Child<QCheckBox>("resendBox")->setChecked(true);
  EXPECT_EQ(ClickAndWait("Senden"), "5 Mails gesendet, 0 übersprungen, 0 fehlgeschlagen.");
  EXPECT_EQ(sink.Mails().size(), 10u);

  EXPECT_EQ(ClickAndWait("Testmail an mich"), "Die Testmail wurde an buero@example.org gesendet.");
  EXPECT_EQ(testing::ReadText(sink.Mails().back() / "to.txt"), "buero@example.org");

  // The settings are kept for next time, private, without the password unless asked.
  struct stat info {};
  ASSERT_EQ(::stat((base / "conf" / "mail.conf").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(mail::ReadSettings(base / "conf" / "mail.conf").subject, "Rechnung für <Feld1>");
}

TEST_F(MailToolTest, CancelStopsASendThatHangsAndPreviewWritesFiles) {
  testing::SmtpSink silent(base / "server", {"--silent"});
  FillServer(silent.Port());
  QTest::mouseClick(Button(*window, "Senden"), Qt::LeftButton);
  EXPECT_TRUE(window->Sending());
  EXPECT_FALSE(Button(*window, "Senden")->isEnabled());
  QTest::qWait(300);  // the window answers while the worker waits for the server
  const std::size_t before = notes.size();
  QTest::mouseClick(Button(*window, "Abbrechen"), Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return notes.size() > before; }, 5000));
  ASSERT_FALSE(notes.empty());
  EXPECT_TRUE(notes.back().starts_with("Abgebrochen. 0 Mails gesendet")) << notes.back();

  const std::string preview = ClickAndWait("Nur Vorschau");
  EXPECT_TRUE(preview.starts_with("5 Mails als .eml-Datei")) << preview;
  EXPECT_TRUE(std::filesystem::exists(made.folder / "Vorschau" / "Kunde3.eml"));
}

TEST_F(MailToolTest, ClosingDuringASendEndsQuicklyAndUncertainMailsGoAgainOnlyOnPurpose) {
  testing::SmtpSink holding(base / "holding", {"--delay-end", "20"});
  FillServer(holding.Port());
  // A port the user typed stays when the encryption is chosen.
  auto* security = Child<QComboBox>("securityBox");
  security->setCurrentIndex(0);
  emit security->activated(0);
  EXPECT_EQ(Child<QSpinBox>("portBox")->value(), holding.Port());
  security->setCurrentIndex(2);
  emit security->activated(2);
  window->SetTimeLimits({3, 30, 30, 30, 30, 30});

  QTest::mouseClick(Button(*window, "Senden"), Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !holding.Mails().empty(); }, 10000));
  const auto start = std::chrono::steady_clock::now();
  window->close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
  EXPECT_FALSE(window->Sending());
  EXPECT_NE(
      testing::ReadText(made.folder / "versand.log").find("\tKunde1.pdf\tunklar: abgebrochen"),
      std::string::npos);

  window->show();
  testing::SmtpSink sink(base / "server");
  Child<QSpinBox>("portBox")->setValue(sink.Port());
  EXPECT_EQ(ClickAndWait("Senden"),
            "4 Mails gesendet, 0 übersprungen, 0 fehlgeschlagen, 1 unklar.");
  EXPECT_EQ(window->UncertainCount(), 1u);
  QString asked;
  window->SetConfirmer([&asked](const QString& question) {
    asked = question;
    return true;
  });
  EXPECT_EQ(ClickAndWait("Unklare erneut senden…"),
            "1 Mail gesendet, 4 übersprungen, 0 fehlgeschlagen.");
  EXPECT_TRUE(asked.startsWith(QString::fromUtf8("1 Mail ist vielleicht schon angekommen")))
      << asked.toStdString();
  EXPECT_EQ(testing::ReadText(holding.Mails().at(0) / "to.txt"), "kunde1@example.org");
  EXPECT_EQ(holding.Mails().size(), 1u);
  std::map<std::string, int> perAddress;
  for (const auto& mail : sink.Mails()) ++perAddress[testing::ReadText(mail / "to.txt")];
  std::map<std::string, int> once;
  for (const std::string& address : made.addresses) once[address] = 1;
  EXPECT_EQ(perAddress, once);
}

// A server elsewhere without encryption is asked about once more, naming what would travel
// readable; "Nein" sends nothing.
TEST_F(MailToolTest, UnencryptedServerElsewhereIsAskedAbout) {
  FillServer(25);
  Child<QLineEdit>("hostEdit")->setText(QStringLiteral("mail.example.org"));
  int asked = 0;
  window->SetConfirmer([&](const QString& question) {
    questions.push_back(question.toStdString());
    return ++asked == 1;  // "Ja" to the count, "Nein" to the warning
  });
  QTest::mouseClick(Button(*window, "Senden"), Qt::LeftButton);
  EXPECT_FALSE(window->Sending());
  ASSERT_EQ(questions.size(), 2u);
  EXPECT_NE(questions[1].find("mail.example.org ist nicht verschlüsselt: das Passwort und die "
                              "PDF-Dateien gingen lesbar"),
            std::string::npos)
      << questions[1];
}

// Paths typed into the fields are taken when the field is left; a folder that is not there is
// told and the field goes back. Started without parameters the tool opens where it was left,
// with the address column chosen.
TEST_F(MailToolTest, TypedPathsAndTheSourceRemembered) {
  auto* folder = Child<QLineEdit>("folderEdit");
  const auto type = [](QLineEdit* edit, const std::string& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QString::fromStdString(text));
    QTest::keyClick(edit, Qt::Key_Return);
  };
  type(folder, (base / "gibt es nicht").string());
  ASSERT_FALSE(notes.empty());
  EXPECT_TRUE(notes.back().starts_with("Den Ordner gibt es nicht")) << notes.back();
  EXPECT_EQ(folder->text().toStdString(), made.folder.string());

  const testing::MailFolder other = testing::MakeMailFolder(base / "zweite", 3);
  type(Child<QLineEdit>("csvEdit"), other.csv.string());
  EXPECT_EQ(window->Rows().size(), 3u);
  type(folder, other.folder.string());
  EXPECT_TRUE(window->Rows()[2].Ready());
  Child<QComboBox>("addressBox")->setCurrentIndex(2);  // Feld3, as a person might choose

  mailtool::MailToolWindow again(std::nullopt, base / "conf" / "mail.conf");
  EXPECT_EQ(again.findChild<QLineEdit*>(QStringLiteral("csvEdit"))->text().toStdString(),
            other.csv.string());
  EXPECT_EQ(again.findChild<QLineEdit*>(QStringLiteral("folderEdit"))->text().toStdString(),
            other.folder.string());
  EXPECT_EQ(again.findChild<QComboBox*>(QStringLiteral("namingBox"))->currentText(),
            QStringLiteral("Feld1"));
  EXPECT_EQ(again.findChild<QComboBox*>(QStringLiteral("addressBox"))->currentText(),
            QStringLiteral("Feld3"));
  EXPECT_EQ(again.Rows().size(), 3u);
}

}  // namespace
}  // namespace quirabel
