// quirabel-batch mail against a mail server on the loopback address: counts, exit codes, the send
// log between runs, the settings file, and the preview files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "mail/mail_fixtures.h"
#include "support/pdf_check.h"
#include "support/test_folder.h"

namespace quirabel {
namespace {

class MailBatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base = testing::FreshTestFolder("mail_batch_");
    made = testing::MakeMailFolder(base, 5);
    testing::WriteText(base / "text.txt", "Hallo <Feld1>,\nanbei Ihre Rechnung.\n");
    std::filesystem::create_directories(base / "config" / "quirabel");
  }
  void TearDown() override { std::filesystem::remove_all(base); }

  testing::ToolRun Batch(const std::string& arguments, const std::string& environment = "") {
    return testing::RunTool("XDG_CONFIG_HOME=" + testing::ShellQuote((base / "config").string()) +
                            " " + environment + " " + testing::ShellQuote(QUIRABEL_BATCH) +
                            " mail " + testing::ShellQuote(made.csv.string()) + " " +
                            testing::ShellQuote(made.folder.string()) +
                            " --column 1 --to-column 2 --subject 'Rechnung für <Feld1>' --text " +
                            testing::ShellQuote((base / "text.txt").string()) + " " + arguments);
  }
  std::string Server(const testing::SmtpSink& sink) {
    return "--server 127.0.0.1:" + std::to_string(sink.Port()) +
           " --security none --from rechnung@example.org";
  }

  std::filesystem::path base;
  testing::MailFolder made;
};

TEST_F(MailBatchTest, SendsOnceAndCountsWhatWasSentSkippedAndFailed) {
  {
    testing::SmtpSink refusing(base / "server1", {"--refuse", "kunde4@example.org"});
    const auto run = Batch(Server(refusing));
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(run.out, "4 Mails gesendet, 0 übersprungen, 1 fehlgeschlagen.\n");
    EXPECT_NE(run.err.find("Zeile 4 (kunde4@example.org): vom Server abgelehnt"), std::string::npos)
        << run.err;
    EXPECT_EQ(refusing.Mails().size(), 4u);
  }
  testing::SmtpSink sink(base / "server2");
  const auto second = Batch(Server(sink));
  EXPECT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(second.out, "1 Mail gesendet, 4 übersprungen, 0 fehlgeschlagen.\n");
  const auto third = Batch(Server(sink));
  EXPECT_EQ(third.out, "0 Mails gesendet, 5 übersprungen, 0 fehlgeschlagen.\n");
  const auto again = Batch(Server(sink) + " --resend");
  EXPECT_EQ(again.out, "5 Mails gesendet, 0 übersprungen, 0 fehlgeschlagen.\n");
  EXPECT_EQ(sink.Mails().size(), 6u);
  EXPECT_EQ(testing::ReadText(sink.Mails()[0] / "subject.txt"), "Rechnung für Kunde4");
}

TEST_F(MailBatchTest, TakesTheServerFromTheSettingsAndThePasswordNeverFromTheCommandLine) {
  testing::SmtpSink sink(base / "server");
  testing::WriteText(base / "config" / "quirabel" / "mail.conf",
                     "host=127.0.0.1\nport=" + std::to_string(sink.Port()) +
                         "\nsecurity=none\nfrom_name=Büro Köln\nfrom_address=buero@example.org\n");
  const auto run = Batch("", "QUIRABEL_SMTP_PASSWORD=unbenutzt");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  ASSERT_EQ(sink.Mails().size(), 5u);
  EXPECT_EQ(testing::ReadText(sink.Mails()[0] / "from.txt"), "Büro Köln <buero@example.org>");

  const auto password = Batch("--password geheim");
  EXPECT_EQ(password.exitCode, 2);
  EXPECT_NE(password.err.find("unbekannte Option --password"), std::string::npos) << password.err;
}

TEST_F(MailBatchTest, PreviewWritesFilesAndNoLog) {
  const auto run = Batch("--from rechnung@example.org --eml " +
                         testing::ShellQuote((base / "vorschau").string()));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "5 Mails als .eml-Datei geschrieben, 0 fehlgeschlagen.\n");
  EXPECT_TRUE(std::filesystem::exists(base / "vorschau" / "Kunde5.eml"));
  EXPECT_FALSE(std::filesystem::exists(made.folder / "versand.log"));
}

TEST_F(MailBatchTest, WrongCallsAndMissingThingsAreToldNotSent) {
  const auto noServer = Batch("--from rechnung@example.org");
  EXPECT_EQ(noServer.exitCode, 1);
  EXPECT_NE(noServer.err.find("Kein Mailserver"), std::string::npos) << noServer.err;
  EXPECT_EQ(Batch("--prefix x --from a@b.de --eml x").exitCode, 2);
  EXPECT_EQ(Batch("--to-column 0").exitCode, 2);
  EXPECT_EQ(Batch("--to-column 9 --from a@b.de --eml x").exitCode, 1);
  EXPECT_EQ(Batch("--server 'a b' --from a@b.de").exitCode, 2);
  std::filesystem::remove_all(made.folder);
  const auto noFolder = Batch("--from a@b.de --eml x");
  EXPECT_EQ(noFolder.exitCode, 1);
  EXPECT_NE(noFolder.err.find("gibt es nicht"), std::string::npos);
}

}  // namespace
}  // namespace quirabel
