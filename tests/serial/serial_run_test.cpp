// The serial run over rows: every page of every row into its own PDF, filled from the row.
#include "serial/serial_run.h"

#include <gtest/gtest.h>

#include <fstream>

#include "base/atomic_file.h"
#include "support/data_field_project.h"
#include "support/fake_platform.h"
#include "support/pdf_check.h"
#include "support/test_folder.h"

namespace quirabel::serial {
namespace {

class SerialRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testing::FreshTestFolder("serial_");
    application = std::make_unique<app::Application>(platform, folder.string());
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  // A project with the data fields Vorname, Name and Ort, of which Ort has no column.
  void OpenProject(int pages = 1) {
    testing::SaveDataFieldProject(*application, folder / "karte.kxp", {"Vorname", "Name", "Ort"},
                                  pages);
    ASSERT_TRUE(application->OpenProject(folder / "karte.kxp"));
  }

  SerialRun Run(const CsvTable& table, const std::filesystem::path& target) {
    SerialRun run;
    run.project = &application->State();
    run.link.assignments = {"Vorname  ->  Feld1", "Name  ->  Feld2"};
    run.table = &table;
    run.folder = target;
    return run;
  }

  std::string Text(const std::filesystem::path& pdf) {
    const testing::ToolRun run =
        testing::RunTool("pdftotext " + testing::ShellQuote(pdf.string()) + " -");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    return run.out;
  }

  std::filesystem::path folder;
  testing::FakePlatform platform;
  std::unique_ptr<app::Application> application;
};

TEST_F(SerialRunTest, OnePdfPerRowFilledFromItsCells) {
  OpenProject(2);
  const CsvTable table = CsvTable::Parse("Jürgen;Größer;x\r\nÄnne;Öztürk\r\nSolo\r\n");
  const std::filesystem::path target = folder / "aus";
  const SerialOutcome outcome = RunSerial(Run(table, target), platform.GetClock());
  EXPECT_TRUE(outcome.Complete()) << outcome.failure;
  EXPECT_EQ(outcome.written, 3u);
  for (int n = 1; n <= 3; ++n) {
    const auto file = target / ("pdf-file" + std::to_string(n) + ".pdf");
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_TRUE(testing::IsValidPdf(ReadFile(file, 1 << 24)));
  }
  const std::string first = Text(target / "pdf-file1.pdf");
  EXPECT_NE(first.find("Jürgen"), std::string::npos) << first;
  EXPECT_NE(first.find("Größer"), std::string::npos);
  EXPECT_NE(first.find("Ihre Firma"), std::string::npos);
  // Ort has no column: it keeps its marker. Both pages are printed.
  EXPECT_NE(first.find("<Ort>"), std::string::npos);
  EXPECT_NE(first.find("<Ort>", first.find("<Ort>") + 1), std::string::npos);
  EXPECT_NE(Text(target / "pdf-file2.pdf").find("Öztürk"), std::string::npos);
  // A row without a second cell fills Name with nothing, not with the row before.
  const std::string third = Text(target / "pdf-file3.pdf");
  EXPECT_NE(third.find("Solo"), std::string::npos);
  EXPECT_EQ(third.find("Öztürk"), std::string::npos);
  EXPECT_EQ(third.find("<Name>"), std::string::npos);
  // The project's own page texts keep their markers.
  application->GoToPage(1);
  EXPECT_EQ(designer::TextOf(*application->DocumentWindow()->Elements()[0].item).text, "<Vorname>");
}

TEST_F(SerialRunTest, NamesOfEveryScriptPrintAsWrittenAndAnUnprintableRowFailsAlone) {
  OpenProject();
  struct Row {
    std::string first;
    std::string last;
  };
  const std::vector<Row> rows = {
      {"Łukasz", "Żółć"},       {"Şahin", "Çelik"},        {"Jiří", "Dvořák"},
      {"Ștefan", "Țuțea"},      {"Ελένη", "Παπαδοπούλου"}, {"Юлия", "Смирнова"},
      {"Anna", "\xEE\x80\x80"},  // U+E000: no installed font has it
      {"Jürgen", "Größer"},
  };
  std::string csv;
  for (const Row& row : rows) csv += row.first + ";" + row.last + "\r\n";
  const CsvTable table = CsvTable::Parse(csv);
  const std::filesystem::path target = folder / "aus";
  SerialRun run = Run(table, target);
  run.naming = Naming{1, "pdf-file"};  // named after the first column
  run.jobs = 2;                        // the fonts are shared by the threads of a run
  const SerialOutcome outcome = RunSerial(run, platform.GetClock());
  EXPECT_FALSE(outcome.Complete());
  EXPECT_EQ(outcome.written, rows.size() - 1);
  EXPECT_TRUE(outcome.failure.starts_with("Zeile 7 (Anna.pdf): Seite 1, Element „PRLabelBImage0"))
      << outcome.failure;
  EXPECT_TRUE(outcome.failure.ends_with(
      "“: keine installierte Schrift hat das Zeichen U+E000\n"
      "7 PDF-Dateien wurden geschrieben; 1 Zeile konnte nicht gedruckt werden."))
      << outcome.failure;
  EXPECT_FALSE(std::filesystem::exists(target / "Anna.pdf"));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i == 6) continue;
    const auto file = target / (rows[i].first + ".pdf");
    ASSERT_TRUE(std::filesystem::exists(file)) << file;
    EXPECT_TRUE(testing::IsValidPdf(ReadFile(file, 1 << 24)));
    // The file's name and the text inside agree.
    const std::string text = Text(file);
    EXPECT_EQ(text.substr(0, text.find("\n<Ort>")), rows[i].first + "\n" + rows[i].last) << text;
  }
}

TEST_F(SerialRunTest, NamesRowRangesThreadsAndReplacedFiles) {
  OpenProject();
  const CsvTable table = CsvTable::Parse("a;Berg\nb;Ufer\nc;Berg\nd;Tal\ne;Ufer\n");
  const std::filesystem::path target = folder / "aus";
  std::filesystem::create_directories(target);
  std::ofstream(target / "Tal.pdf") << "alt";

  SerialRun run = Run(table, target);
  run.naming = Naming{2, "pdf-file"};
  run.firstRow = 3;
  run.lastRow = 99;
  run.jobs = 2;
  const SerialOutcome part = RunSerial(run, platform.GetClock());
  EXPECT_TRUE(part.Complete()) << part.failure;
  EXPECT_EQ(part.total, 3u);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(target))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  // Rows 3 to 5, named as in a whole run; the old Tal.pdf is replaced.
  EXPECT_EQ(names, (std::vector<std::string>{"Berg-2.pdf", "Tal.pdf", "Ufer-2.pdf"}));
  EXPECT_TRUE(testing::IsValidPdf(ReadFile(target / "Tal.pdf", 1 << 24)));
  EXPECT_NE(Text(target / "Ufer-2.pdf").find("e"), std::string::npos);

  run.firstRow = 6;
  EXPECT_EQ(RunSerial(run, platform.GetClock()).total, 0u);
}

TEST_F(SerialRunTest, CancelAndFailedWritesStopTheRun) {
  OpenProject();
  const CsvTable table = CsvTable::Parse("1\n2\n3\n4\n5\n");
  const std::filesystem::path target = folder / "aus";

  const SerialOutcome cancelled = RunSerial(Run(table, target), platform.GetClock(),
                                            [](std::size_t written) { return written < 2; });
  EXPECT_TRUE(cancelled.cancelled);
  EXPECT_EQ(cancelled.written, 2u);
  EXPECT_FALSE(std::filesystem::exists(target / "pdf-file3.pdf"));

  // A folder where the third PDF should go: it cannot be written.
  std::filesystem::remove_all(target);
  std::filesystem::create_directories(target / "pdf-file3.pdf");
  const SerialOutcome failed = RunSerial(Run(table, target), platform.GetClock());
  EXPECT_FALSE(failed.Complete());
  EXPECT_EQ(failed.written, 2u);
  EXPECT_NE(failed.failure.find("Zeile 3"), std::string::npos) << failed.failure;
  EXPECT_NE(failed.failure.find("2 PDF-Dateien wurden geschrieben"), std::string::npos);
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(target)) ++entries;
  EXPECT_EQ(entries, 3u);  // two PDFs and the folder: no temporary file is left
  EXPECT_FALSE(std::filesystem::exists(target / "pdf-file4.pdf"));
}

}  // namespace
}  // namespace quirabel::serial
