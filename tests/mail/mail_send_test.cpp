// Sending to a real mail server on the loopback address, and to one that misbehaves on purpose:
// each recipient gets exactly their own PDF once, or none with the row reported; rows changed
// since the print stop the run; mails that may have arrived are held; every server is bounded in
// time and every test counts the mails per recipient.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <thread>
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

MailRows Rows(const testing::MailFolder& made) {
  MailSource source{made.csv, ';', {1, "pdf-file"}, made.folder};
  return MailRows(std::make_shared<const serial::CsvTable>(serial::ReadCsvFile(made.csv, ';')),
                  source, 2);
}

MailRunOptions Quick() {
  MailRunOptions options;
  options.retryPause = std::chrono::milliseconds(100);
  return options;
}

constexpr TimeLimits kShort{2, 5, 5, 5, 5, 5};

// How many mails each address got.
std::map<std::string, int> MailsPerAddress(const testing::SmtpSink& sink) {
  std::map<std::string, int> count;
  for (const auto& mail : sink.Mails()) ++count[testing::ReadText(mail / "to.txt")];
  return count;
}

std::map<std::string, int> Each(const testing::MailFolder& made, int times) {
  std::map<std::string, int> count;
  for (const std::string& address : made.addresses) count[address] = times;
  return count;
}

TEST(MailSend, EachRecipientGetsTheirOwnPdfOnceWithTheSubjectIntact) {
  const auto base = testing::FreshTestFolder("mail_send_");
  const testing::MailFolder made = testing::MakeMailFolder(base, 5);
  EXPECT_TRUE(testing::IsValidPdf(testing::ReadText(made.folder / "Kunde1.pdf")));
  testing::SmtpSink sink(base / "server");
  ASSERT_NE(sink.Port(), 0);
  const MailRows rows = Rows(made);
  {
    SmtpTransport transport(Loopback(sink.Port()), kShort);
    const MailOutcome outcome = SendRows(rows, kInvoice, transport, Quick());
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
  // Each mail announced before it went out, and its result after.
  const std::string log = testing::ReadText(made.folder / kSendLogName);
  EXPECT_LT(log.find("\t1\tkunde1@example.org\tKunde1.pdf\twird gesendet\t"),
            log.find("\t1\tkunde1@example.org\tKunde1.pdf\tgesendet\t"));

  // A second run finds every row in the log and sends nothing.
  SmtpTransport again(Loopback(sink.Port()), kShort);
  const MailOutcome second = SendRows(rows, kInvoice, again, Quick());
  EXPECT_EQ(second.sent, 0u);
  EXPECT_EQ(second.skipped, 5u);
  EXPECT_EQ(MailsPerAddress(sink), Each(made, 1));

  // A new serial run into the same folder is new mail, though names and addresses are the same.
  testing::RecordRun(made.folder, made.csv, testing::PdfNames(made.names));
  const MailOutcome third = SendRows(Rows(made), kInvoice, again, Quick());
  EXPECT_EQ(third.sent, 5u);
  EXPECT_EQ(MailsPerAddress(sink), Each(made, 2));

  // A subject of 10,000 characters is folded and arrives whole.
  const std::string longSubject = [] {
    std::string text;
    while (text.size() < 10000) text += "Rechnung " + std::to_string(text.size()) + " ";
    return text.substr(0, 10000);
  }();
  MailRunOptions resend = Quick();
  resend.resend = true;
  MailTemplate longMail = kInvoice;
  longMail.subject = longSubject;
  EXPECT_EQ(SendRows(Rows(made), longMail, again, resend).sent, 5u);
  ASSERT_EQ(sink.Mails().size(), 15u);
  EXPECT_EQ(testing::ReadText(sink.Mails()[14] / "subject.txt"), longSubject);
}

TEST(MailSend, ARowChangedSinceThePrintStopsTheRunBeforeAnyMail) {
  const auto base = testing::FreshTestFolder("mail_changed_");
  testing::SmtpSink sink(base / "server");
  SmtpTransport transport(Loopback(sink.Port()), kShort);
  struct Case {
    const char* what;
    std::function<void(const testing::MailFolder&)> change;
    std::string message;
  } cases[] = {
      {"a row inserted at the top",
       [](const testing::MailFolder& made) {
         testing::WriteText(made.csv, "Neu;neu@example.org;Bonn\r\n" + testing::ReadText(made.csv));
       },
       "Zeilen 1, 2, 3 und 4 haben sich seit dem Druck geändert"},
      {"an address changed",
       [](const testing::MailFolder& made) {
         std::string csv = testing::ReadText(made.csv);
         csv.replace(csv.find("kunde3@"), 7, "kundx3@");
         testing::WriteText(made.csv, csv);
       },
       "Zeile 3 hat sich seit dem Druck geändert"},
      {"a PDF replaced",
       [](const testing::MailFolder& made) {
         testing::WriteText(made.folder / "Kunde2.pdf", testing::TinyPdf("fremd"));
       },
       "Die PDF-Datei zu Zeile 2 hat sich seit dem Druck geändert"},
      {"the last row removed",
       [](const testing::MailFolder& made) {
         std::string csv = testing::ReadText(made.csv);
         csv.resize(csv.rfind("Kunde4;"));
         testing::WriteText(made.csv, csv);
       },
       "Zeile 4 hat sich seit dem Druck geändert"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const testing::MailFolder made = testing::MakeMailFolder(base / std::to_string(++n), 4);
    c.change(made);
    const MailOutcome outcome = SendRows(Rows(made), kInvoice, transport, Quick());
    EXPECT_EQ(outcome.sent, 0u) << c.what;
    EXPECT_NE(outcome.stopMessage.find(c.message), std::string::npos)
        << c.what << ": " << outcome.stopMessage;
  }
  EXPECT_TRUE(sink.Mails().empty());

  // A PDF swapped for a link to a file of the same bytes outside the folder is not followed.
  const testing::MailFolder made = testing::MakeMailFolder(base / "link", 2);
  std::filesystem::rename(made.folder / "Kunde2.pdf", base / "draussen.pdf");
  std::filesystem::create_symlink(base / "draussen.pdf", made.folder / "Kunde2.pdf");
  const MailOutcome linked = SendRows(Rows(made), kInvoice, transport, Quick());
  EXPECT_EQ(linked.sent, 1u);
  EXPECT_EQ(linked.failed, 1u);
  EXPECT_EQ(MailsPerAddress(sink), (std::map<std::string, int>{{"kunde1@example.org", 1}}));
}

TEST(MailSend, RefusedRecipientsAreToldWithTheServersReplyAndRetriedByTheNextRun) {
  const auto base = testing::FreshTestFolder("mail_refuse_");
  const testing::MailFolder made = testing::MakeMailFolder(base, 5);
  {
    testing::SmtpSink refusing(base / "server1",
                               {"--refuse-with", "kunde3@example.org=550 5.1.1 user unknown",
                                "--refuse-with", "kunde4@example.org=450 4.2.1 busy"});
    SmtpTransport transport(Loopback(refusing.Port()), kShort);
    const MailOutcome outcome = SendRows(Rows(made), kInvoice, transport, Quick());
    EXPECT_EQ(outcome.sent, 3u);
    EXPECT_EQ(outcome.failed, 2u);
    EXPECT_TRUE(outcome.stopMessage.empty()) << outcome.stopMessage;
    ASSERT_EQ(outcome.failures.size(), 2u);
    EXPECT_EQ(outcome.failures[0],
              "Zeile 3 (kunde3@example.org): Der Server lehnt die Adresse ab: 550 5.1.1 user "
              "unknown");
    EXPECT_EQ(outcome.failures[1],
              "Zeile 4 (kunde4@example.org): Der Server lehnt die Adresse vorübergehend ab – wird "
              "beim nächsten Lauf erneut versucht: 450 4.2.1 busy");
    EXPECT_EQ(refusing.Mails().size(), 3u);
  }
  testing::SmtpSink taking(base / "server2");
  SmtpTransport transport(Loopback(taking.Port()), kShort);
  const MailOutcome retry = SendRows(Rows(made), kInvoice, transport, Quick());
  EXPECT_EQ(retry.sent, 2u);
  EXPECT_EQ(retry.skipped, 3u);
  EXPECT_EQ(MailsPerAddress(taking),
            (std::map<std::string, int>{{"kunde3@example.org", 1}, {"kunde4@example.org", 1}}));
  // A PDF removed after its mail went out: the row stays sent, not failed.
  std::filesystem::remove(made.folder / "Kunde1.pdf");
  const MailOutcome later = SendRows(Rows(made), kInvoice, transport, Quick());
  EXPECT_EQ(later.skipped, 5u);
  EXPECT_EQ(later.failed, 0u);
}

TEST(MailSend, ServersThatAreSlowSilentOrAbsentEndInTime) {
  const auto base = testing::FreshTestFolder("mail_silent_");
  const testing::MailFolder made = testing::MakeMailFolder(base, 3);
  const MailRows rows = Rows(made);
  {
    // A greeting later than the connection limit is fine: the limit is the connection's only.
    testing::SmtpSink slow(base / "slow", {"--delay-greeting", "2.5"});
    SmtpTransport transport(Loopback(slow.Port()), {1, 5, 5, 5, 5, 5});
    MailRunOptions once = Quick();
    once.retries = 0;
    const MailOutcome outcome = SendRows(rows, kInvoice, transport, once);
    EXPECT_EQ(outcome.sent, 3u) << outcome.stopMessage;
  }
  testing::SmtpSink silent(base / "server", {"--silent"});
  MailRunOptions options = Quick();
  options.retries = 2;
  MailRunOptions resend = options;
  resend.resend = true;
  const auto start = std::chrono::steady_clock::now();
  SmtpTransport transport(Loopback(silent.Port()), {1, 1, 1, 1, 1, 1});
  const MailOutcome outcome = SendRows(rows, kInvoice, transport, resend);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(10));
  EXPECT_EQ(outcome.sent, 0u);
  EXPECT_NE(outcome.stopMessage.find("Der Mailserver antwortet nicht"), std::string::npos)
      << outcome.stopMessage;
  EXPECT_NE(outcome.stopMessage.find("0 von 3 Mails wurden gesendet"), std::string::npos)
      << outcome.stopMessage;
  // Only the row under way is marked; the others wait for the next run.
  EXPECT_EQ(outcome.failed, 1u);

  // Nobody listening on the port: the same, at once.
  MailSettings closed = Loopback(silent.Port());
  closed.port = 1;
  SmtpTransport nowhere(closed, {1, 1, 1, 1, 1, 1});
  const MailOutcome refused = SendRows(rows, kInvoice, nowhere, resend);
  EXPECT_NE(refused.stopMessage.find("Der Mailserver ist nicht erreichbar"), std::string::npos)
      << refused.stopMessage;
}

TEST(MailSend, AMailThatMayHaveArrivedIsHeldUntilSettledOnPurpose) {
  const auto base = testing::FreshTestFolder("mail_unsure_");
  struct Case {
    std::vector<std::string> fault;
    std::string text;
  } cases[] = {
      {{"--drop-after-data"}, "Die Verbindung brach nach der Übertragung ab"},
      {{"--after-data", "421 4.3.0 closing"}, "421 4.3.0 closing"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const testing::MailFolder made = testing::MakeMailFolder(base / std::to_string(++n), 2);
    testing::SmtpSink faulty(base / ("server" + std::to_string(n)), c.fault);
    {
      SmtpTransport transport(Loopback(faulty.Port()), kShort);
      const MailOutcome outcome = SendRows(Rows(made), kInvoice, transport, Quick());
      EXPECT_EQ(outcome.sent, 0u);
      EXPECT_EQ(outcome.uncertain, 2u);
      EXPECT_EQ(OutcomeText(outcome),
                "0 Mails gesendet, 0 übersprungen, 0 fehlgeschlagen, 2 unklar.");
      ASSERT_EQ(outcome.uncertainRows.size(), 2u);
      EXPECT_NE(outcome.uncertainRows[1].find(c.text), std::string::npos)
          << outcome.uncertainRows[1];
      EXPECT_NE(testing::ReadText(made.folder / kSendLogName).find("\tKunde2.pdf\tunklar: "),
                std::string::npos);
    }
    EXPECT_EQ(MailsPerAddress(faulty), Each(made, 1));
    testing::SmtpSink sink(base / ("sink" + std::to_string(n)));
    SmtpTransport transport(Loopback(sink.Port()), kShort);
    // Listed again by every later run, never sent by itself.
    const MailOutcome later = SendRows(Rows(made), kInvoice, transport, Quick());
    EXPECT_EQ(later.uncertain, 2u);
    EXPECT_EQ(later.uncertainRows.size(), 2u);
    EXPECT_TRUE(sink.Mails().empty());
    if (n == 1) {
      MailRunOptions again = Quick();
      again.resendUncertain = true;
      EXPECT_EQ(SendRows(Rows(made), kInvoice, transport, again).sent, 2u);
      EXPECT_EQ(MailsPerAddress(sink), Each(made, 1));
    } else {
      MailRunOptions settle = Quick();
      settle.uncertainAsSent = true;
      EXPECT_EQ(SendRows(Rows(made), kInvoice, transport, settle).skipped, 2u);
      EXPECT_TRUE(sink.Mails().empty());
    }
    const MailOutcome settled = SendRows(Rows(made), kInvoice, transport, Quick());
    EXPECT_EQ(settled.uncertain, 0u);
    EXPECT_EQ(settled.skipped, 2u);
  }
}

TEST(MailSend, AConnectionCutInTheMiddleOfAMailIsTriedAgainAndArrivesOnce) {
  const auto base = testing::FreshTestFolder("mail_cut_");
  const testing::MailFolder made = testing::MakeMailFolder(base, 3);
  // Large PDFs: the cut comes long before the end of the mail could have left, so the server
  // surely dropped it (a small mail may have gone out whole into the socket, and is uncertain).
  for (const std::string& name : made.names)
    testing::WriteText(made.folder / (name + ".pdf"), testing::TinyPdf(std::string(8 << 20, 'x')));
  testing::RecordRun(made.folder, made.csv, testing::PdfNames(made.names));
  testing::SmtpSink cutting(base / "server", {"--cut-during-data", "2"});
  SmtpTransport transport(Loopback(cutting.Port()), kShort);
  const MailOutcome outcome = SendRows(Rows(made), kInvoice, transport, Quick());
  EXPECT_EQ(outcome.sent, 3u) << outcome.stopMessage;
  EXPECT_EQ(outcome.uncertain, 0u);
  EXPECT_EQ(MailsPerAddress(cutting), Each(made, 1));
}

TEST(MailSend, CancellingWhileTheServerHoldsItsAnswerEndsWithinTwoSecondsAsUncertain) {
  const auto base = testing::FreshTestFolder("mail_cancel_");
  const testing::MailFolder made = testing::MakeMailFolder(base, 2);
  testing::SmtpSink holding(base / "server", {"--delay-end", "20"});
  std::atomic<bool> cancel{false};
  SmtpTransport transport(Loopback(holding.Port()), {2, 30, 30, 30, 30, 30}, &cancel);
  MailRunOptions options = Quick();
  options.progress = [&cancel](std::size_t, std::size_t) { return !cancel.load(); };
  std::thread stopper([&] {
    while (holding.Mails().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    cancel = true;
  });
  const auto start = std::chrono::steady_clock::now();
  const MailOutcome outcome = SendRows(Rows(made), kInvoice, transport, options);
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  EXPECT_TRUE(outcome.cancelled);
  EXPECT_EQ(outcome.uncertain, 1u);
  const std::string log = testing::ReadText(made.folder / kSendLogName);
  EXPECT_NE(log.find("\tKunde1.pdf\tunklar: abgebrochen"), std::string::npos) << log;
  EXPECT_EQ(log.find("Kunde2.pdf"), std::string::npos) << log;
  EXPECT_EQ(MailsPerAddress(holding), (std::map<std::string, int>{{"kunde1@example.org", 1}}));
}

TEST(MailSend, ALogLineThatCannotBeWrittenStopsTheRunAndNothingGoesOutUnannounced) {
  const auto base = testing::FreshTestFolder("mail_full_");
  const testing::MailFolder made = testing::MakeMailFolder(base, 3);
  testing::SmtpSink sink(base / "server");
  SmtpTransport transport(Loopback(sink.Port()), kShort);
  testing::WriteText(made.folder / kSendLogName, "");
  // A full disk, as a file size limit: no room for the first line, then room for one line only.
  ::signal(SIGXFSZ, SIG_IGN);
  rlimit before{};
  ::getrlimit(RLIMIT_FSIZE, &before);
  auto runWithRoomFor = [&](rlim_t bytes) {
    rlimit limit = before;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const MailOutcome outcome = SendRows(Rows(made), kInvoice, transport, Quick());
    ::setrlimit(RLIMIT_FSIZE, &before);
    return outcome;
  };
  const MailOutcome none = runWithRoomFor(0);
  EXPECT_EQ(none.sent, 0u);
  EXPECT_NE(none.stopMessage.find("ist nicht schreibbar"), std::string::npos) << none.stopMessage;
  EXPECT_TRUE(sink.Mails().empty());
  const MailOutcome one = runWithRoomFor(200);
  EXPECT_EQ(one.sent, 1u);
  EXPECT_NE(one.stopMessage.find("Zeile 1 ist nicht eingetragen"), std::string::npos)
      << one.stopMessage;
  // Only the announcement is on record: the mail is uncertain, never sent again by itself.
  const MailOutcome after = SendRows(Rows(made), kInvoice, transport, Quick());
  EXPECT_EQ(after.uncertain, 1u);
  EXPECT_EQ(after.sent, 2u);
  EXPECT_EQ(MailsPerAddress(sink), Each(made, 1));
}

TEST(MailSend, AnAddressCellWithALineBreakIsRefusedAndNeverReachesTheServer) {
  const auto base = testing::FreshTestFolder("mail_break_");
  testing::MailFolder made = testing::MakeMailFolder(base, 2);
  testing::WriteText(made.csv,
                     "Kunde1;\"kunde1@example.org\r\nBcc: alle@example.org\";Köln\r\n"
                     "Kunde2;kunde2@example.org;Köln\r\n");
  testing::RecordRun(made.folder, made.csv, testing::PdfNames(made.names));
  testing::SmtpSink sink(base / "server");
  SmtpTransport transport(Loopback(sink.Port()), kShort);
  const MailRows rows = Rows(made);
  EXPECT_EQ(rows.Row(0).problem, "Zeilenumbruch in der Adresse");
  const MailOutcome outcome = SendRows(rows, kInvoice, transport, Quick());
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
  testing::RecordRun(made.folder, made.csv, {"Jürgen Groß.pdf"});
  testing::SmtpSink sink(base / "server");
  SmtpTransport transport(Loopback(sink.Port()), kShort);
  const SendResult result = SendTestMail(Rows(made), kInvoice, transport);
  EXPECT_EQ(result.kind, SendResult::Kind::Sent) << result.text;
  ASSERT_EQ(sink.Mails().size(), 1u);
  EXPECT_EQ(testing::ReadText(sink.Mails()[0] / "to.txt"), "rechnung@example.org");
  EXPECT_EQ(testing::ReadText(sink.Mails()[0] / "attachment-Jürgen Groß.pdf"),
            testing::ReadText(made.folder / "Jürgen Groß.pdf"));
  EXPECT_FALSE(std::filesystem::exists(made.folder / kSendLogName));
}

}  // namespace
}  // namespace quirabel::mail
