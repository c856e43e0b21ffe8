// The e-mail tool's parts without a network: addresses, field filling, header encoding, the
// send log, the settings file and the rows of a serial run.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "base/sha256.h"
#include "mail/address.h"
#include "mail/mail_fixtures.h"
#include "mail/mail_run.h"
#include "mail/mail_settings.h"
#include "mail/message.h"
#include "mail/send_log.h"
#include "support/test_folder.h"

namespace quirabel::mail {
namespace {

TEST(MailAddress, TakesPlainAddressesOnlyAndNamesTheProblem) {
  EXPECT_EQ(CheckAddress("anna.berg@example.org").address, "anna.berg@example.org");
  EXPECT_EQ(CheckAddress("  o'neil+rechnung@mail.example.de \t").address,
            "o'neil+rechnung@mail.example.de");
  EXPECT_EQ(CheckAddress("anna@example.org\r\nBcc: alle@example.org").problem,
            "Zeilenumbruch in der Adresse");
  EXPECT_EQ(CheckAddress("anna@example.org\n").problem, "Zeilenumbruch in der Adresse");
  EXPECT_EQ(CheckAddress("").problem, "keine Adresse");
  for (const char* bad :
       {"anna", "anna@localhost", "anna@@example.org", ".anna@example.org", "an..na@example.org",
        "anna@-example.org", "anna@example..org", "Anna Berg <anna@example.org>",
        "anna@exämple.org", "anna berg@x.org", "anna@example.org,bob@example.org"}) {
    EXPECT_EQ(CheckAddress(bad).problem, "keine gültige Adresse") << bad;
  }
}

TEST(MailAddress, PreselectsTheColumnThatHoldsAddresses) {
  const serial::CsvTable table = serial::CsvTable::Parse(
      "Anna;Köln;anna@example.org\nBob;Bonn;bob@example.org\nCleo;Ulm;keine\n", ';');
  EXPECT_EQ(GuessAddressColumn(table), 3);
  EXPECT_EQ(GuessAddressColumn(serial::CsvTable::Parse("a;b\nc;d\n", ';')), 0);
}

TEST(MailMessageText, FillsFieldMarkersAndLeavesOtherBracketsAlone) {
  const std::vector<std::string> cells = {"Anna", "Müller", "12,50"};
  EXPECT_EQ(FillFields("Hallo <Feld1> <Feld2>, Betrag <Feld3> <Feld4>.", cells),
            "Hallo Anna Müller, Betrag 12,50 .");
  EXPECT_EQ(FillFields("<Feld0> <Feld> <Feldx> <Name> <Feld2", cells),
            "<Feld0> <Feld> <Feldx> <Name> <Feld2");
  EXPECT_EQ(FillFields("<Feld99999999999999999999>", cells), "<Feld99999999999999999999>");
}

TEST(MailMessageText, EncodesUmlautsAsEncodedWordsOfAtMost75Characters) {
  EXPECT_EQ(EncodeHeaderText("Ihre Rechnung"), "Ihre Rechnung");
  EXPECT_EQ(EncodeHeaderText("Grüße"), "=?UTF-8?Q?Gr=C3=BC=C3=9Fe?=");
  EXPECT_EQ(EncodeHeaderText("a =?x?= b"), "=?UTF-8?Q?a_=3D=3Fx=3F=3D_b?=");
  EXPECT_EQ(MailboxText("Müller & Söhne", "info@example.org"),
            "=?UTF-8?Q?M=C3=BCller_=26_S=C3=B6hne?= <info@example.org>");
  EXPECT_EQ(MailboxText("Berg \"GmbH\"", "a@b.de"), "\"Berg \\\"GmbH\\\"\" <a@b.de>");

  std::string longSubject;
  for (int i = 0; i < 40; ++i) longSubject += "Ä€ ";
  const std::string encoded = EncodeHeaderText(longSubject);
  std::size_t start = 0;
  int words = 0;
  while (start < encoded.size()) {
    std::size_t end = encoded.find("\r\n ", start);
    if (end == std::string::npos) end = encoded.size();
    const std::string word = encoded.substr(start, end - start);
    EXPECT_LE(word.size(), 75u);
    EXPECT_TRUE(word.starts_with("=?UTF-8?Q?") && word.ends_with("?="));
    // Words end between characters: no sequence is cut in two.
    EXPECT_FALSE(word.ends_with("=C3?=") || word.ends_with("=E2?=") || word.ends_with("=82?="));
    start = end + 3;
    ++words;
  }
  EXPECT_GT(words, 1);
}

TEST(MailMessageText, FindsLineBreaksInEveryHeaderValue) {
  MailMessage message;
  message.fromAddress = "a@b.de";
  message.to = "c@d.de";
  message.subject = "Rechnung";
  EXPECT_EQ(InjectedHeader(message), "");
  message.subject = "Rechnung\r\nBcc: x@y.de";
  EXPECT_EQ(InjectedHeader(message), "Betreff");
  message.subject = "ok";
  message.fromName = "Name\n";
  EXPECT_EQ(InjectedHeader(message), "Absendername");
}

TEST(MailSendLog, AMailsStateComesFromItsWholeLinesAndNeverGoesBack) {
  auto line = [](std::size_t row, const std::string& address, const std::string& result,
                 const std::string& run = "r1") {
    return SendLogLine({"2026-12-07 10:00:00", row, address, "A.pdf", result, run, "h"});
  };
  const std::string intent = kIntentResult;
  struct Case {
    std::string log;
    MailState state;
  } cases[] = {
      {line(1, "a@x.de", intent), MailState::Uncertain},
      {line(1, "a@x.de", intent) + line(1, "a@x.de", kSentResult), MailState::Sent},
      {line(1, "a@x.de", intent) + line(1, "a@x.de", "Fehler: keine Verbindung"), MailState::Open},
      {line(1, "a@x.de", intent) + line(1, "a@x.de", "abgelehnt: 450 später"), MailState::Open},
      {line(1, "a@x.de", "unklar: abgebrochen"), MailState::Uncertain},
      // A later failed attempt does not undo one that may have arrived, nor one that did.
      {line(1, "a@x.de", "unklar: x") + line(1, "a@x.de", intent) +
           line(1, "a@x.de", "Fehler: keine Verbindung"),
       MailState::Uncertain},
      {line(1, "a@x.de", kSentResult) + line(1, "a@x.de", intent), MailState::Sent},
      {line(1, "a@x.de", "unklar: x") + line(1, "a@x.de", kMarkedSentResult), MailState::Sent},
      // Another run, row or address is another mail.
      {line(1, "a@x.de", kSentResult, "r2") + line(2, "a@x.de", kSentResult) +
           line(1, "b@x.de", kSentResult),
       MailState::Unknown},
      // Cut off while it was written: says nothing, and a whole line after it still counts.
      {line(1, "a@x.de", kSentResult).substr(0, 30), MailState::Unknown},
      {"kaputt\tzeile\n" + std::string("t\tzwei\ta@x.de\tA.pdf\tgesendet\tr1\th\n"),
       MailState::Unknown},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StateIn(ParseSendLog(c.log), KeyOf("r1", 1, "a@x.de", "h")), c.state) << c.log;
  }
  // Tabs and line breaks inside a value stay inside their field; older five-field lines are
  // known by file and address.
  const SendLogIndex odd =
      ParseSendLog(SendLogLine({"t", 4, "d@x\tx.de", "D\n.pdf", kSentResult, "r\t1", "h"}) +
                   "2026-12-07 10:00:00\t5\te@x.de\tE.pdf\tgesendet\n");
  EXPECT_EQ(StateIn(odd, KeyOf("r 1", 4, "d@x x.de", "h")), MailState::Sent);
  EXPECT_EQ(StateIn(odd, LegacyKeyOf("E.pdf", "e@x.de")), MailState::Sent);
}

TEST(MailSendLog, OneRunHoldsTheLogAndNoLinkOrSecondNameIsFollowed) {
  const auto base = testing::FreshTestFolder("mail_log_");
  const std::filesystem::path folder = base / "serie";
  std::filesystem::create_directories(folder);
  {
    SendLog log(folder);
    log.Append({"2026-12-07 10:00:00", 3, "a@x.de", "A.pdf", kIntentResult, "r1", "h"});
    EXPECT_EQ(StateIn(log.Index(), KeyOf("r1", 3, "a@x.de", "h")), MailState::Uncertain);
    // A second run over the folder, from this process or another, is refused at once.
    EXPECT_THROW(SendLog second(folder), SendLogBusy);
  }
  // A line cut off by a crash is ended before the next is appended.
  testing::WriteText(folder / kSendLogName,
                     testing::ReadText(folder / kSendLogName) + "2026-12-07\t4\tb@x");
  {
    SendLog log(folder);
    log.Append({"2026-12-07 10:00:01", 3, "a@x.de", "A.pdf", kSentResult, "r1", "h"});
  }
  EXPECT_EQ(testing::ReadText(folder / kSendLogName),
            "2026-12-07 10:00:00\t3\ta@x.de\tA.pdf\twird gesendet\tr1\th\n"
            "2026-12-07\t4\tb@x\n"
            "2026-12-07 10:00:01\t3\ta@x.de\tA.pdf\tgesendet\tr1\th\n");
  EXPECT_EQ(StateIn(ReadSendLogIndex(folder), KeyOf("r1", 3, "a@x.de", "h")), MailState::Sent);

  // Planted: a link to a file outside, a second name of it, a FIFO. None is written to, none
  // blocks.
  testing::WriteText(base / "profil", "geheim\n");
  const std::filesystem::path planted = base / "gepflanzt";
  std::filesystem::create_directories(planted);
  std::filesystem::create_symlink(base / "profil", planted / kSendLogName);
  EXPECT_THROW(SendLog log(planted), FileError);
  EXPECT_THROW(ReadSendLogIndex(planted), FileError);
  std::filesystem::remove(planted / kSendLogName);
  std::filesystem::create_hard_link(base / "profil", planted / kSendLogName);
  EXPECT_THROW(SendLog log(planted), FileError);
  std::filesystem::remove(planted / kSendLogName);
  ASSERT_EQ(::mkfifo((planted / kSendLogName).c_str(), 0600), 0);
  EXPECT_THROW(SendLog log(planted), FileError);
  EXPECT_EQ(testing::ReadText(base / "profil"), "geheim\n");
  EXPECT_THROW(SendLog log(base / "fehlt"), FileError);
}

TEST(MailSettingsFile, KeepsThePasswordOnlyWhenAskedAndIsPrivate) {
  const auto folder = testing::FreshTestFolder("mail_conf_");
  const auto file = folder / "neu" / "mail.conf";
  MailSettings settings;
  settings.host = "mail.example.org";
  settings.port = 2525;
  settings.security = Security::SslTls;
  settings.user = "anna";
  settings.password = "geheim\\n=";
  settings.fromName = "Anna Müller";
  settings.fromAddress = "anna@example.org";
  settings.subject = "Rechnung <Feld2>";
  settings.text = "Hallo,\r\nanbei Ihre Rechnung.\n\\Gruß";
  WriteSettings(file, settings);
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(testing::ReadText(file).find("geheim"), std::string::npos);
  MailSettings back = ReadSettings(file);
  EXPECT_EQ(back.text, settings.text);
  EXPECT_EQ(back.port, 2525);
  EXPECT_EQ(back.security, Security::SslTls);
  EXPECT_TRUE(back.password.empty());

  settings.keepPassword = true;
  ::chmod(file.c_str(), 0644);  // someone opened it up: the next save closes it again
  WriteSettings(file, settings);
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  back = ReadSettings(file);
  EXPECT_EQ(back.password, settings.password);
  EXPECT_EQ(SettingsBytes(back), SettingsBytes(settings));

  EXPECT_EQ(ParseSettings("security=ssl\nport=99999\nport=x\n").port, 465);
  EXPECT_EQ(ReadSettings(folder / "fehlt.conf").host, "");
}

TEST(MailRows, ReadsTheDesignersParametersAndPairsRowsOnlyThroughTheRunRecord) {
  const auto base = testing::FreshTestFolder("mail_rows_");
  const std::filesystem::path folder = base / "mein ziel";
  std::filesystem::create_directories(folder);
  // Two rows named alike: the serial run wrote Meier.pdf and Meier-2.pdf.
  testing::WriteText(base / "liste.csv",
                     "Meier;meier@example.org\nMeier;m2@example.org\nOhnePdf;o@example.org\n"
                     "Kaputt;kaputt\n");
  for (const char* name : {"Meier.pdf", "Meier-2.pdf", "Kaputt.pdf"})
    testing::WriteText(folder / name, testing::TinyPdf(name));

  const auto source = SourceFromArguments(
      {(base / "liste.csv").string(), "Feld1", ";", (base / "mein*ziel").string()});
  ASSERT_TRUE(source);
  EXPECT_EQ(source->folder, folder);
  EXPECT_EQ(source->naming.column, 1);
  auto table =
      std::make_shared<const serial::CsvTable>(serial::ReadCsvFile(source->csv, source->separator));
  const int column = GuessAddressColumn(*table);
  // No run record: refused, unless asked to pair by name.
  EXPECT_THROW(MailRows(table, *source, column), NoRunRecord);
  const MailRows byName(table, *source, column, true);
  EXPECT_FALSE(byName.Listed());
  EXPECT_EQ(byName.Row(1).file, "Meier-2.pdf");
  EXPECT_EQ(byName.Row(2).problem, "PDF fehlt");

  // The record decides which file is a row's, whatever the names say.
  testing::RecordRun(folder, base / "liste.csv", {"Meier-2.pdf", "Meier.pdf", "", "Kaputt.pdf"});
  const MailRows rows(table, *source, column);
  ASSERT_EQ(rows.Count(), 4u);
  EXPECT_TRUE(rows.Listed());
  EXPECT_EQ(rows.Row(0).file, "Meier-2.pdf");
  EXPECT_EQ(rows.Row(1).file, "Meier.pdf");
  EXPECT_EQ(rows.Row(1).address, "m2@example.org");
  EXPECT_TRUE(rows.Row(1).Ready());
  EXPECT_FALSE(rows.Row(1).changed);
  EXPECT_EQ(rows.Row(1).pdfSha256, Sha256Hex(testing::ReadText(folder / "Meier.pdf")));
  EXPECT_EQ(rows.Row(2).problem, "kein PDF gedruckt (Testfehler)");
  EXPECT_EQ(rows.Row(3).problem, "keine gültige Adresse");

  // A row inserted at the top after the run: every row has changed.
  testing::WriteText(base / "liste.csv",
                     "Neu;neu@example.org\n" + testing::ReadText(base / "liste.csv"));
  auto moved = std::make_shared<const serial::CsvTable>(serial::ReadCsvFile(source->csv, ';'));
  const MailRows shifted(moved, *source, column);
  EXPECT_TRUE(shifted.Row(0).changed);
  EXPECT_TRUE(shifted.Row(1).changed);
  EXPECT_EQ(shifted.Row(4).problem, "nicht in der Serien-PDF-Liste, keine gültige Adresse");

  const auto identifier = SourceFromArguments({"a*b.csv", "Rechnung*Nr", "|", "x"});
  ASSERT_TRUE(identifier);
  EXPECT_EQ(identifier->csv, "a b.csv");
  EXPECT_EQ(identifier->naming.column, 0);
  EXPECT_EQ(identifier->naming.identifier, "Rechnung Nr");
  EXPECT_FALSE(SourceFromArguments({"a.csv", "Feld1", ";"}));
  const auto oneLine = SourceFromArguments({"/x/a*b.csv Feld3 , /x/c*d"});
  ASSERT_TRUE(oneLine);
  EXPECT_EQ(oneLine->folder, "/x/c d");
  EXPECT_EQ(oneLine->naming.column, 3);
  EXPECT_EQ(oneLine->separator, ',');
}

// Keeps what it is given instead of sending; answers as told.
class RecordingTransport : public Transport {
 public:
  SendResult Send(const MailMessage& message) override {
    sent.push_back(message);
    return {answer, answer == SendResult::Kind::Sent ? "" : "kaputt"};
  }
  std::vector<MailMessage> sent;
  SendResult::Kind answer = SendResult::Kind::Sent;
};

TEST(MailRun, RefusesRowsWhoseFilledSubjectWouldBreakTheHeader) {
  const auto base = testing::FreshTestFolder("mail_inject_");
  testing::WriteText(base / "l.csv", "A;a@example.org;gut\nB;b@example.org;\"x\r\nBcc: c@x.de\"\n");
  testing::WriteText(base / "A.pdf", "%PDF-A");
  testing::WriteText(base / "B.pdf", "%PDF-B");
  testing::RecordRun(base, base / "l.csv", {"A.pdf", "B.pdf"});
  MailSource source{base / "l.csv", ';', {1, "pdf-file"}, base};
  const MailRows rows(
      std::make_shared<const serial::CsvTable>(serial::ReadCsvFile(source.csv, ';')), source, 2);
  RecordingTransport transport;
  const MailOutcome outcome =
      SendRows(rows, {"Ich", "ich@example.org", "Betreff <Feld3>", "T"}, transport, {});
  ASSERT_EQ(transport.sent.size(), 1u);
  EXPECT_EQ(transport.sent[0].attachmentBytes, "%PDF-A");
  EXPECT_EQ(outcome.failed, 1u);
  EXPECT_NE(
      testing::ReadText(base / kSendLogName).find("B.pdf\tFehler: Zeilenumbruch im Feld Betreff"),
      std::string::npos);

  // A sender that cannot be right stops before anything goes out.
  RecordingTransport none;
  const MailOutcome refused = SendRows(rows, {"Ich", "ich", "x", "y"}, none, {});
  EXPECT_TRUE(none.sent.empty());
  EXPECT_NE(refused.stopMessage.find("Absenderadresse"), std::string::npos);
}

TEST(MailRun, PreviewWritesEachMailAsItWouldBeSent) {
  const auto base = testing::FreshTestFolder("mail_eml_");
  const testing::MailFolder made = testing::MakeMailFolder(base, 2);
  MailSource source{made.csv, ';', {1, "pdf-file"}, made.folder};
  const MailRows rows(std::make_shared<const serial::CsvTable>(serial::ReadCsvFile(made.csv, ';')),
                      source, 2);
  EmlTransport preview(base / "vorschau");
  MailRunOptions options;
  options.writeLog = false;
  const MailOutcome outcome =
      SendRows(rows,
               {"Rechnungsstelle Köln", "rechnung@example.org", "Ihre Rechnung, <Feld1> – Grüße",
                "Hallo <Feld1>,\nanbei Ihre Rechnung.\n.\nEnde"},
               preview, options);
  EXPECT_EQ(outcome.sent, 2u);
  EXPECT_FALSE(std::filesystem::exists(made.folder / kSendLogName));
  const std::string eml = testing::ReadText(base / "vorschau" / "Kunde2.eml");
  EXPECT_NE(eml.find("To: <kunde2@example.org>\r\n"), std::string::npos);
  EXPECT_NE(eml.find("Subject: =?UTF-8?Q?Ihre_Rechnung=2C_Kunde2_=E2=80=93_Gr=C3=BC=C3=9Fe?=\r\n"),
            std::string::npos);
  EXPECT_NE(eml.find("From: =?UTF-8?Q?Rechnungsstelle_K=C3=B6ln?= <rechnung@example.org>\r\n"),
            std::string::npos);
  EXPECT_NE(eml.find("Message-ID: <"), std::string::npos);
  EXPECT_NE(eml.find("Date: "), std::string::npos);
  EXPECT_NE(eml.find("filename=\"Kunde2.pdf\""), std::string::npos);
  EXPECT_NE(eml.find("Content-Transfer-Encoding: base64"), std::string::npos);
}

}  // namespace
}  // namespace quirabel::mail
