// Run records changed by hand so that one person's PDF would go to another: the mail run sends
// nothing and the check of the folder reports them.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "mail/mail_fixtures.h"
#include "mail/mail_run.h"
#include "serial/run_check.h"
#include "support/test_folder.h"

namespace quirabel::mail {
namespace {

namespace fs = std::filesystem;

// Takes every mail and keeps who got which PDF.
class KeepingTransport : public Transport {
 public:
  SendResult Send(const MailMessage& message) override {
    sent.emplace_back(message.to, message.attachmentName);
    return {SendResult::Kind::Sent, {}};
  }
  std::vector<std::pair<std::string, std::string>> sent;
};

// A record's rows as (row, PDF name); the hashes are the true ones of that row and that PDF, as
// anyone with the CSV file can make them.
using Entries = std::vector<std::pair<std::size_t, std::string>>;

std::string RecordText(const fs::path& folder, const serial::CsvTable& table,
                       const Entries& entries) {
  std::string text;
  for (const auto& [row, file] : entries) {
    serial::RunRecordRow entry;
    entry.row = row;
    entry.file = file;
    entry.cellsSha256 = serial::CellsSha256(table.Row(row - 1));
    const std::string pdf = testing::ReadText(folder / file);
    entry.pdfSha256 = Sha256Hex(pdf);
    entry.pdfSize = pdf.size();
    text += (text.empty() ? "" : ",\n") + serial::RunRecordWriter::Entry(entry);
  }
  return text;
}

TEST(TamperedRecords, NoMailGoesOutAndTheCheckTellsWhy) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, Entries>> records;
    bool secondRowsKey;  // the last record's rows under a second "rows" key of the first
    std::string mailMessage;
    std::string checkMessage;
  } cases[] = {
      {"row 1 again with the second PDF",
       {{"quirabel-serie.json", {{1, "Kunde1.pdf"}, {2, "Kunde2.pdf"}, {1, "Kunde2.pdf"}}}},
       false,
       "Zeile 1 steht zweimal in der Serien-PDF-Liste quirabel-serie.json",
       "Mehrfach gedruckt"},
      {"row 1 again in a second record",
       {{"quirabel-serie.json", {{1, "Kunde1.pdf"}, {2, "Kunde2.pdf"}}},
        {"quirabel-serie-1-1.json", {{1, "Kunde2.pdf"}}}},
       false,
       "Zeile 1 steht zweimal in den Serien-PDF-Listen",
       "Mehrfach gedruckt"},
      {"row 1 again under a second rows key",
       {{"quirabel-serie.json", {{1, "Kunde1.pdf"}, {2, "Kunde2.pdf"}}}, {"", {{1, "Kunde2.pdf"}}}},
       true,
       "Zeile 1 steht zweimal",
       "Mehrfach gedruckt"},
      {"row 2 with the PDF of row 1",
       {{"quirabel-serie.json", {{1, "Kunde1.pdf"}, {2, "Kunde1.pdf"}}}},
       false,
       "Zeile 2 nennt dieselbe PDF-Datei Kunde1.pdf wie Zeile 1",
       "Zeile 2 nennt dieselbe PDF-Datei Kunde1.pdf wie Zeile 1."},
  };
  const fs::path base = testing::FreshTestFolder("tampered_records_");
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const testing::MailFolder made = testing::MakeMailFolder(base / std::to_string(++n), 2);
    const auto shared =
        std::make_shared<const serial::CsvTable>(serial::ReadCsvFile(made.csv, ';'));
    const serial::CsvTable& table = *shared;
    fs::remove(made.folder / "quirabel-serie.json");
    std::string extraRows;
    for (const auto& [name, entries] : c.records) {
      if (name.empty()) {
        extraRows = RecordText(made.folder, table, entries);
        continue;
      }
      testing::WriteText(made.folder / name,
                         R"({"format":"quirabel-serie","version":1,"run_id":"0","time":"t",)"
                         R"("project":{"file":"p","number":"1"},)"
                         R"("csv":{"file":")" +
                             made.csv.string() +
                             R"(","size":1,"modified":"m","rows":2},)"
                             R"("link":{"file":"l","assignments":[]},"range":{"first":1,"last":2},)"
                             R"("rows":[)" +
                             RecordText(made.folder, table, entries) + "]}");
    }
    if (c.secondRowsKey) {
      std::string text = testing::ReadText(made.folder / "quirabel-serie.json");
      text.insert(text.size() - 1, R"(,"rows":[)" + extraRows + "]");
      testing::WriteText(made.folder / "quirabel-serie.json", text);
    }

    KeepingTransport transport;
    MailSource source{made.csv, ';', {1, "pdf-file"}, made.folder};
    MailRunOptions options;
    options.writeLog = false;
    const MailOutcome outcome =
        SendRows(MailRows(shared, source, 2), {
                     "Absender", "absender@example.org", "Rechnung", "Anbei."},
                 transport, options);
    EXPECT_TRUE(transport.sent.empty());
    EXPECT_NE(outcome.stopMessage.find(c.mailMessage), std::string::npos) << outcome.stopMessage;
    EXPECT_NE(outcome.stopMessage.find("Es wurde nichts gesendet."), std::string::npos);

    const serial::RunCheck check = serial::CheckRuns(made.folder, std::nullopt);
    EXPECT_FALSE(check.Complete());
    const std::string text = serial::DescribeRunCheck(check);
    EXPECT_NE(text.find(c.checkMessage), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace quirabel::mail
