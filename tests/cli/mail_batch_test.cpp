// quirabel-batch mail against a mail server on the loopback address: counts, exit codes, the send
// log between runs, the settings file, and the preview files.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

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

  std::string CommandLine(const std::string& arguments, const std::string& environment = "") {
    return "QUIRABEL_HOME=" + testing::ShellQuote((base / "config" / "quirabel").string()) + " " +
           environment + " " + testing::ShellQuote(QUIRABEL_BATCH) + " mail " +
           testing::ShellQuote(made.csv.string()) + " " +
           testing::ShellQuote(made.folder.string()) +
           " --to-column 2 --subject 'Rechnung für <Feld1>' --text " +
           testing::ShellQuote((base / "text.txt").string()) + " " + arguments;
  }
  testing::ToolRun Batch(const std::string& arguments, const std::string& environment = "") {
    return testing::RunTool(CommandLine(arguments, environment));
  }
  // A run in the background, its output into files named after `name`.
  struct Started {
    pid_t pid = -1;
    std::filesystem::path out, err;
    testing::ToolRun Wait() const {
      int status = 0;
      ::waitpid(pid, &status, 0);
      return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
              testing::ReadText(out), testing::ReadText(err)};
    }
  };
  Started Start(const std::string& arguments, const std::string& name) {
    Started started{-1, base / (name + ".out"), base / (name + ".err")};
    std::string line = "exec env " + CommandLine(arguments) + " >" +
                       testing::ShellQuote(started.out.string()) + " 2>" +
                       testing::ShellQuote(started.err.string());
    std::vector<char*> argv = {const_cast<char*>("/bin/sh"), const_cast<char*>("-c"), line.data(),
                               nullptr};
    EXPECT_EQ(::posix_spawn(&started.pid, "/bin/sh", nullptr, nullptr, argv.data(), environ), 0);
    return started;
  }
  static void WaitForMails(const testing::SmtpSink& sink, std::size_t count) {
    for (int i = 0; i < 500 && sink.Mails().size() < count; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  static std::map<std::string, int> MailsPerAddress(const testing::SmtpSink& sink) {
    std::map<std::string, int> count;
    for (const auto& mail : sink.Mails()) ++count[testing::ReadText(mail / "to.txt")];
    return count;
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
    EXPECT_NE(run.err.find("Zeile 4 (kunde4@example.org): Der Server lehnt die Adresse ab: 550 "
                           "5.1.1 refused by the test server"),
              std::string::npos)
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

  // --from is the whole sender, unless --from-name names it.
  Batch("--resend --from other@example.org");
  Batch("--resend --from other@example.org --from-name 'Max M'");
  ASSERT_EQ(sink.Mails().size(), 15u);
  EXPECT_EQ(testing::ReadText(sink.Mails()[5] / "from.txt"), "other@example.org");
  EXPECT_EQ(testing::ReadText(sink.Mails()[10] / "from.txt"), "Max M <other@example.org>");

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
  EXPECT_EQ(Batch("--column 1 --prefix x --from a@b.de --eml x").exitCode, 2);
  EXPECT_EQ(Batch("--to-column 0").exitCode, 2);
  EXPECT_EQ(Batch("--to-column 9 --from a@b.de --eml x").exitCode, 1);
  EXPECT_EQ(Batch("--server 'a b' --from a@b.de").exitCode, 2);
  std::filesystem::remove_all(made.folder);
  const auto noFolder = Batch("--from a@b.de --eml x");
  EXPECT_EQ(noFolder.exitCode, 1);
  EXPECT_NE(noFolder.err.find("gibt es nicht"), std::string::npos);
}

TEST_F(MailBatchTest, AFolderWithoutRunRecordOrWithChangedRowsSendsNothing) {
  testing::SmtpSink sink(base / "server");
  // A row inserted at the top after the run.
  const std::string csv = testing::ReadText(made.csv);
  testing::WriteText(made.csv, "Neu;neu@example.org;Bonn\r\n" + csv);
  const auto shifted = Batch(Server(sink));
  EXPECT_EQ(shifted.exitCode, 1);
  EXPECT_NE(shifted.err.find("Zeilen 1, 2, 3, 4 und 5 haben sich seit dem Druck geändert"),
            std::string::npos)
      << shifted.err;
  EXPECT_TRUE(sink.Mails().empty());

  testing::WriteText(made.csv, csv);
  std::filesystem::remove(made.folder / "quirabel-serie.json");
  const auto unlisted = Batch(Server(sink));
  EXPECT_EQ(unlisted.exitCode, 1);
  EXPECT_NE(unlisted.err.find("Keine Serien-PDF-Liste in " + made.folder.string() +
                              ": bitte die Serie neu drucken"),
            std::string::npos)
      << unlisted.err;
  EXPECT_TRUE(sink.Mails().empty());
  const auto byName = Batch(Server(sink) + " --unlisted --column 1");
  EXPECT_EQ(byName.exitCode, 0) << byName.err;
  EXPECT_NE(byName.err.find("Warnung"), std::string::npos);
  EXPECT_EQ(MailsPerAddress(sink).size(), 5u);
  EXPECT_EQ(Batch(Server(sink) + " --unlisted --column 1").out,
            "0 Mails gesendet, 5 übersprungen, 0 fehlgeschlagen.\n");

  // A log planted as a link to a file elsewhere is neither written nor followed.
  testing::RecordRun(made.folder, made.csv, testing::PdfNames(made.names));
  std::filesystem::remove(made.folder / "versand.log");
  testing::WriteText(base / "profile", "export A=1\n");
  std::filesystem::create_symlink(base / "profile", made.folder / "versand.log");
  const auto planted = Batch(Server(sink));
  EXPECT_EQ(planted.exitCode, 1);
  EXPECT_EQ(testing::ReadText(base / "profile"), "export A=1\n");
  EXPECT_EQ(sink.Mails().size(), 5u);
}

TEST_F(MailBatchTest, AKillAfterTheServerTookAMailNeverSendsItAgain) {
  {
    // The server keeps each mail and holds its 250 back: the kill comes in between.
    testing::SmtpSink holding(base / "server1", {"--delay-end", "20"});
    const Started run = Start(Server(holding), "killed");
    WaitForMails(holding, 1);
    ::kill(run.pid, SIGKILL);
    EXPECT_EQ(run.Wait().exitCode, 128 + SIGKILL);
    // SIGTERM (and Ctrl+C) stop the mail on its way within two seconds and log it.
    const Started stopped = Start(Server(holding), "stopped");
    WaitForMails(holding, 2);
    const auto start = std::chrono::steady_clock::now();
    ::kill(stopped.pid, SIGTERM);
    const auto result = stopped.Wait();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("abgebrochen"), std::string::npos) << result.err;
    EXPECT_EQ(MailsPerAddress(holding),
              (std::map<std::string, int>{{"kunde1@example.org", 1}, {"kunde2@example.org", 1}}));
  }
  testing::SmtpSink sink(base / "server2");
  const auto after = Batch(Server(sink));
  EXPECT_EQ(after.exitCode, 1) << after.err;
  EXPECT_EQ(after.out, "3 Mails gesendet, 0 übersprungen, 0 fehlgeschlagen, 2 unklar.\n");
  EXPECT_NE(after.err.find("unklar, ob angekommen: Zeile 1 (kunde1@example.org)"),
            std::string::npos)
      << after.err;
  EXPECT_NE(after.err.find("unklar, ob angekommen: Zeile 2 (kunde2@example.org)"),
            std::string::npos);
  EXPECT_EQ(MailsPerAddress(sink),
            (std::map<std::string, int>{
                {"kunde3@example.org", 1}, {"kunde4@example.org", 1}, {"kunde5@example.org", 1}}));
  // Listed and exit 1 until settled on purpose.
  EXPECT_EQ(Batch(Server(sink)).exitCode, 1);
  const auto settled = Batch(Server(sink) + " --uncertain-as-sent");
  EXPECT_EQ(settled.exitCode, 0) << settled.err;
  EXPECT_EQ(Batch(Server(sink)).out, "0 Mails gesendet, 5 übersprungen, 0 fehlgeschlagen.\n");
  EXPECT_EQ(sink.Mails().size(), 3u);
}

TEST_F(MailBatchTest, TwoRunsAtOnceSendEachMailOnce) {
  testing::SmtpSink slow(base / "server", {"--delay-end", "0.3"});
  const Started first = Start(Server(slow), "first");
  const Started second = Start(Server(slow), "second");
  const auto one = first.Wait();
  const auto two = second.Wait();
  EXPECT_EQ(one.exitCode + two.exitCode, 1) << one.err << two.err;
  EXPECT_NE((one.err + two.err).find("Für " + made.folder.string() + " läuft schon ein Versand."),
            std::string::npos)
      << one.err << two.err;
  std::map<std::string, int> once;
  for (const std::string& address : made.addresses) once[address] = 1;
  EXPECT_EQ(MailsPerAddress(slow), once);
}

}  // namespace
}  // namespace quirabel
