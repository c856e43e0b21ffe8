// Sending to a real mail server on the loopback address: each recipient gets exactly their own
// PDF, nothing goes out twice, a refused recipient is retried by the next run, and a server that
// never answers ends the run within its time limit.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "mail/mail_fixtures.h"
#include "mail/mail_run.h"
#include "mail/send_log.h"
#include "mail/transport.h"
#include "support/pdf_check.h"
#include "support/test_folder.h"

namespace quirabel::mail {
namespace {

const MailTemplate kInvoice{"Rechnungsstelle Müller", "rechnung@example.org",
                            "Ihre Rechnung – Grüße an <Feld1> aus <Feld3>",
                            "Hallo <Feld1>,\nanbei Ihre Rechnung.\n"};

MailSettings Loopback(int port) {
  MailSettings server;
  server.host = "127.0.0.1";
  server.port = port;
  server.security = Security::None;
  return server;
}

std::vector<MailRow> Rows(const testing::MailFolder& made) {
  MailSource source{made.csv, ';', {1, "pdf-file"}, made.folder};
  return ListRows(serial::ReadCsvFile(made.csv, ';'), source, 2);
}

MailRunOptions Quick() {
  MailRunOptions options;
  options.retryPause = std::chrono::milliseconds(100);
  return options;
}

TEST(MailSend, EachRecipientGetsTheirOwnPdfOnceWithTheSubjectIntact) {
  const auto base = testing::FreshTestFolder("mail_send_");
  const testing::MailFolder made = testing::MakeMailFolder(base, 5);
  EXPECT_TRUE(testing::IsValidPdf(testing::ReadText(made.folder / "Kunde1.pdf")));
  testing::SmtpSink sink(base / "server");
  ASSERT_NE(sink.Port(), 0);
  const auto rows = Rows(made);
  {
    SmtpTransport transport(Loopback(sink.Port()), {5, 5});
    const MailOutcome outcome = SendRows(rows, kInvoice, made.folder, transport, Quick());
    EXPECT_EQ(outcome.sent, 5u);
    EXPECT_EQ(outcome.failed, 0u);
    EXPECT_TRUE(outcome.stopMessage.empty()) << outcome.stopMessage;
  }
  const auto mails = sink.Mails();
  ASSERT_EQ(mails.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    const std::string to = testing::ReadText(mails[i] / "to.txt");
    const std::size_t k = std::stoul(to.substr(5, to.find('@') - 5)) - 1;  // kunde<k+1>@...
    ASSERT_LT(k, 5u);
    EXPECT_EQ(to, made.addresses[k]);
    const std::string name = made.names[k];
    EXPECT_EQ(testing::ReadText(mails[i] / ("attachment-" + name + ".pdf")),
              testing::ReadText(made.folder / (name + ".pdf")));
    EXPECT_EQ(testing::ReadText(mails[i] / "subject.txt"),
              "Ihre Rechnung – Grüße an " + name + " aus Köln");
    EXPECT_EQ(testing::ReadText(mails[i] / "from.txt"),
              "Rechnungsstelle Müller <rechnung@example.org>");
    EXPECT_EQ(testing::ReadText(mails[i] / "text.txt"),
              "Hallo " + name + ",\r\nanbei Ihre Rechnung.\r\n");
  }

  // A second run finds every row in the log and sends nothing.
  SmtpTransport again(Loopback(sink.Port()), {5, 5});
  const MailOutcome second = SendRows(rows, kInvoice, made.folder, again, Quick());
  EXPECT_EQ(second.sent, 0u);
  EXPECT_EQ(second.skipped, 5u);
  EXPECT_EQ(sink.Mails().size(), 5u);
}

TEST(MailSend, ARefusedRecipientIsLoggedAndTheNextRunRetriesOnlyIt) {
  const auto base = testing::FreshTestFolder("mail_refuse_");
  const testing::MailFolder made = testing::MakeMailFolder(base, 5);
  const auto rows = Rows(made);
  {
    testing::SmtpSink refusing(base / "server1", {"--refuse", "kunde3@example.org"});
    SmtpTransport transport(Loopback(refusing.Port()), {5, 5});
    const MailOutcome outcome = SendRows(rows, kInvoice, made.folder, transport, Quick());
    EXPECT_EQ(outcome.sent, 4u);
    EXPECT_EQ(outcome.failed, 1u);
    EXPECT_TRUE(outcome.stopMessage.empty()) << outcome.stopMessage;
    EXPECT_EQ(refusing.Mails().size(), 4u);
    const std::string log = testing::ReadText(made.folder / kSendLogName);
    EXPECT_NE(log.find("\t3\tkunde3@example.org\tKunde3.pdf\tFehler: vom Server abgelehnt"),
              std::string::npos)
        << log;
  }
  testing::SmtpSink taking(base / "server2");
  SmtpTransport transport(Loopback(taking.Port()), {5, 5});
  const MailOutcome retry = SendRows(rows, kInvoice, made.folder, transport, Quick());
  EXPECT_EQ(retry.sent, 1u);
  EXPECT_EQ(retry.skipped, 4u);
  ASSERT_EQ(taking.Mails().size(), 1u);
  EXPECT_EQ(testing::ReadText(taking.Mails()[0] / "to.txt"), "kunde3@example.org");
}

TEST(MailSend, AServerThatNeverAnswersOrIsNotThereStopsTheRunInTime) {
  const auto base = testing::FreshTestFolder("mail_silent_");
  const testing::MailFolder made = testing::MakeMailFolder(base, 3);
  const auto rows = Rows(made);
  testing::SmtpSink silent(base / "server", {"--silent"});
  MailRunOptions options = Quick();
  options.retries = 2;
  const auto start = std::chrono::steady_clock::now();
  SmtpTransport transport(Loopback(silent.Port()), {1, 1});
  const MailOutcome outcome = SendRows(rows, kInvoice, made.folder, transport, options);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(8));
  EXPECT_EQ(outcome.sent, 0u);
  EXPECT_NE(outcome.stopMessage.find("0 von 3 Mails wurden gesendet"), std::string::npos)
      << outcome.stopMessage;
  // Only the row under way is marked; the others wait for the next run.
  EXPECT_EQ(outcome.failed, 1u);

  // Nobody listening on the port: the same, at once.
  MailSettings closed = Loopback(silent.Port());
  closed.port = 1;
  SmtpTransport nowhere(closed, {1, 1});
  const MailOutcome refused = SendRows(rows, kInvoice, made.folder, nowhere, options);
  EXPECT_NE(refused.stopMessage.find("Verbindung"), std::string::npos) << refused.stopMessage;
}

TEST(MailSend, AMailThatMayHaveArrivedIsNotSentAgainByItself) {
  const auto base = testing::FreshTestFolder("mail_unsure_");
  const testing::MailFolder made = testing::MakeMailFolder(base, 2);
  const auto rows = Rows(made);
  {
    testing::SmtpSink dropping(base / "server1", {"--drop-after-data"});
    SmtpTransport transport(Loopback(dropping.Port()), {3, 3});
    const MailOutcome outcome = SendRows(rows, kInvoice, made.folder, transport, Quick());
    EXPECT_EQ(outcome.sent, 0u);
    EXPECT_EQ(outcome.failed, 2u);
    EXPECT_TRUE(outcome.stopMessage.empty()) << outcome.stopMessage;
    EXPECT_NE(testing::ReadText(made.folder / kSendLogName).find("\tKunde2.pdf\tunklar: "),
              std::string::npos);
  }
  testing::SmtpSink sink(base / "server2");
  SmtpTransport transport(Loopback(sink.Port()), {3, 3});
  EXPECT_EQ(SendRows(rows, kInvoice, made.folder, transport, Quick()).skipped, 2u);
  EXPECT_TRUE(sink.Mails().empty());
  MailRunOptions resend = Quick();
  resend.resend = true;
  EXPECT_EQ(SendRows(rows, kInvoice, made.folder, transport, resend).sent, 2u);
}

TEST(MailSend, AnAddressCellWithALineBreakIsRefusedAndNeverReachesTheServer) {
  const auto base = testing::FreshTestFolder("mail_break_");
  testing::MailFolder made = testing::MakeMailFolder(base, 2);
  testing::WriteText(made.csv,
                     "Kunde1;\"kunde1@example.org\r\nBcc: alle@example.org\";Köln\r\n"
                     "Kunde2;kunde2@example.org;Köln\r\n");
  testing::SmtpSink sink(base / "server");
  SmtpTransport transport(Loopback(sink.Port()), {5, 5});
  const auto rows = Rows(made);
  EXPECT_EQ(rows[0].problem, "Zeilenumbruch in der Adresse");
  const MailOutcome outcome = SendRows(rows, kInvoice, made.folder, transport, Quick());
  EXPECT_EQ(outcome.sent, 1u);
  EXPECT_EQ(outcome.failed, 1u);
  ASSERT_EQ(sink.Mails().size(), 1u);
  EXPECT_EQ(testing::ReadText(sink.Mails()[0] / "to.txt"), "kunde2@example.org");
  EXPECT_EQ(testing::ReadText(sink.Mails()[0] / "message.eml").find("alle@"), std::string::npos);
}

TEST(MailSend, TestMailGoesToTheSenderWithTheFirstRowsPdfUnderItsOwnName) {
  const auto base = testing::FreshTestFolder("mail_self_");
  testing::MailFolder made = testing::MakeMailFolder(base, 2);
  // A name with umlauts arrives as it is.
  testing::WriteText(made.csv, "Jürgen Groß;kunde1@example.org;Köln\r\n");
  testing::WriteText(made.folder / "Jürgen Groß.pdf", testing::TinyPdf("Jürgen"));
  testing::SmtpSink sink(base / "server");
  SmtpTransport transport(Loopback(sink.Port()), {5, 5});
  const SendResult result = SendTestMail(Rows(made), kInvoice, made.folder, transport);
  EXPECT_EQ(result.kind, SendResult::Kind::Sent) << result.text;
  ASSERT_EQ(sink.Mails().size(), 1u);
  EXPECT_EQ(testing::ReadText(sink.Mails()[0] / "to.txt"), "rechnung@example.org");
  EXPECT_EQ(testing::ReadText(sink.Mails()[0] / "attachment-Jürgen Groß.pdf"),
            testing::ReadText(made.folder / "Jürgen Groß.pdf"));
  EXPECT_FALSE(std::filesystem::exists(made.folder / kSendLogName));
}

}  // namespace
}  // namespace quirabel::mail
