// The serial run over rows: every page of every row into its own PDF, filled from the row.
#include "serial/serial_run.h"
#include "designer/document_window.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <tuple>

#include "base/atomic_file.h"
#include "base/sha256.h"
#include "designer/print_formats.h"
#include "graphics/code_symbol.h"
#include "graphics/color.h"
#include "graphics/jpeg.h"
#include "pdf/pdf_objects.h"
#include "report/pr_code.h"
#include "serial/run_check.h"
#include "serial/run_record.h"
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
  EXPECT_EQ(designer::TextOf(*application->DocumentWindow()->Page().Elements()[0].item).text,
            "<Vorname>");
}

// An orderable business card of `pages` sides on a picture background, each showing the data
// field Vorname.
void SaveOrderableCard(app::Application& application, const std::filesystem::path& file,
                       int pages) {
  const designer::PrintFormat* card = designer::FindPrintFormat("visitenkarte");
  ASSERT_NE(card, nullptr);
  ASSERT_TRUE(application.NewDocument(designer::PageFormatOf(*card), card));
  for (int side = 1; side <= pages; ++side) {
    if (side == 2) {
      ASSERT_TRUE(application.AppendPage());
    }
    application.Page()->SetBackgroundColour(graphics::clBlue);
    auto& label = static_cast<report::TPRLabel&>(
        application.Page()->CreateElement(designer::ElementKind::Label));
    label.SetBounds(30, 30, 150, 14);
    label.Setdbfieldname("Vorname");
    label.SetCaption("<Vorname>");
  }
  ASSERT_TRUE(application.SaveProjectTo(file.string()));
}

// The card placements ((x, y) of each "cm" before a form's "Do") of each sheet, in the file's
// order: the sheets' content streams are the streams that place forms.
std::vector<std::vector<std::pair<double, double>>> SheetPlacements(const std::string& pdf) {
  std::vector<std::vector<std::pair<double, double>>> sheets;
  const std::regex placed(R"((-?[\d.]+) (-?[\d.]+) cm\n/Fm\d+ Do)");
  for (std::size_t at = pdf.find("stream\r\n"); at != std::string::npos;
       at = pdf.find("stream\r\n", at + 1)) {
    const std::size_t end = pdf.find("endstream", at);
    if (end == std::string::npos) break;
    const std::string content = pdf.substr(at, end - at);
    std::vector<std::pair<double, double>> cards;
    for (auto it = std::sregex_iterator(content.begin(), content.end(), placed);
         it != std::sregex_iterator(); ++it) {
      cards.emplace_back(std::stod((*it)[1]), std::stod((*it)[2]));
    }
    if (!cards.empty()) sheets.push_back(std::move(cards));
    at = end;
  }
  return sheets;
}

TEST_F(SerialRunTest, SeriesOnPrintingSheetsFillsThePositionsRowByRow) {
  constexpr double kBleed = designer::kBleedPoints;
  constexpr double kA4Width = 210 * 72 / 25.4;
  constexpr double kCard = 258 - 2 * kBleed;  // the trimmed card's width in points
  const report::SheetRequest a4{{210, 297}, 2.0, std::nullopt};
  struct Case {
    const char* name;
    int pages;
    std::size_t rows;
    report::SheetRequest sheets;
    std::vector<int> cardsPerSheet;
    std::string failure;  // a part of it, when the run fails
  };
  const std::vector<Case> cases = {
      {"one side", 1, 23, a4, {10, 10, 3}, ""},
      {"two sides", 2, 12, a4, {10, 10, 2, 2}, ""},
      {"two sides, the backs moved",
       2,
       3,
       {{210, 297}, 2.0, std::nullopt, std::nullopt, {1.5, -2}},
       {3, 3},
       ""},
      {"pre-cut", 1, 3, {{210, 297}, 0, report::CardGrid{2, 5, 15, 13.5, 95, 55}}, {3}, ""},
      {"too small", 1, 3, {{90, 60}, 2.0, std::nullopt}, {}, "passt nicht auf den Bogen"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    {
      app::Application maker(platform, folder.string());
      SaveOrderableCard(maker, folder / "karte.kxp", c.pages);
    }
    application = std::make_unique<app::Application>(platform, folder.string());
    ASSERT_TRUE(application->OpenProject(folder / "karte.kxp"));
    std::string csv;
    for (std::size_t row = 1; row <= c.rows; ++row) csv += "Name" + std::to_string(row) + "\r\n";
    const CsvTable table = CsvTable::Parse(csv);
    SerialRun run = Run(table, folder);
    run.link.assignments = {"Vorname  ->  Feld1"};
    run.sheets = c.sheets;
    const std::filesystem::path file = folder / "bogen.pdf";
    std::filesystem::remove(file);
    const OnePdfOutcome outcome = RunSerialOnePdf(run, file, platform.GetClock());
    if (!c.failure.empty()) {
      EXPECT_NE(outcome.failure.find(c.failure), std::string::npos) << outcome.failure;
      EXPECT_FALSE(std::filesystem::exists(file));
      continue;
    }
    ASSERT_EQ(outcome.failure, "");
    EXPECT_EQ(outcome.rows, c.rows);
    EXPECT_EQ(outcome.cardsPerSheet, c.cardsPerSheet);
    EXPECT_EQ(outcome.pages, c.cardsPerSheet.size());
    const std::string pdf = ReadFile(file, 1 << 24);
    EXPECT_TRUE(testing::IsValidPdf(pdf));
    const auto pages = testing::PdfPages(pdf);
    ASSERT_EQ(pages.size(), c.cardsPerSheet.size());
    for (const testing::PdfPage& page : pages) EXPECT_EQ(page, (testing::PdfPage{595, 842}));
    // A sheet is no product: no trim box on it.
    EXPECT_EQ(pdf.find("/TrimBox"), std::string::npos);
    // The background, the same on every row, is one picture of the file.
    const std::regex image("/Subtype /Image");
    EXPECT_EQ(std::distance(std::sregex_iterator(pdf.begin(), pdf.end(), image), {}), 1);
    const auto sheets = SheetPlacements(pdf);
    ASSERT_EQ(sheets.size(), c.cardsPerSheet.size());
    for (std::size_t sheet = 0; sheet < sheets.size(); ++sheet) {
      EXPECT_EQ(sheets[sheet].size(), static_cast<std::size_t>(c.cardsPerSheet[sheet])) << sheet;
    }
    // Every row is there, the last one on the last sheet of fronts.
    const std::string text = Text(file);
    for (std::size_t row = 1; row <= c.rows; ++row) {
      EXPECT_TRUE(std::regex_search(text, std::regex("Name" + std::to_string(row) + "\\b"))) << row;
    }
    if (c.pages != 2) continue;
    // Each row's back lies behind its own front: mirrored left to right, at the same height, and
    // then moved by the back offset (right and down as one looks at the back).
    const double across = c.sheets.backOffset.across * 72 / 25.4;
    const double down = c.sheets.backOffset.down * 72 / 25.4;
    for (std::size_t sheet = 0; sheet + 1 < sheets.size(); sheet += 2) {
      const auto& front = sheets[sheet];
      const auto& back = sheets[sheet + 1];
      ASSERT_EQ(back.size(), front.size());
      for (std::size_t i = 0; i < front.size(); ++i) {
        EXPECT_NEAR(back[i].first + kBleed, kA4Width - (front[i].first + kBleed) - kCard + across,
                    0.02)
            << sheet << " " << i;
        EXPECT_NEAR(back[i].second, front[i].second - down, 0.01) << sheet << " " << i;
      }
    }
  }
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
      {"Anna", "\xEE\x80\x80"},                          // U+E000: no installed font has it
      {"Jürgen", "Größer"},     {"Berta", "Kr\x01ger"},  // a control character
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
  EXPECT_EQ(outcome.written, rows.size() - 2);
  EXPECT_EQ(outcome.failure, "");
  ASSERT_EQ(outcome.failedCount, 2u);
  ASSERT_EQ(outcome.failedRows.size(), 2u);
  EXPECT_EQ(outcome.failedRows[1].row, 9u);
  EXPECT_TRUE(outcome.failedRows[1].reason.ends_with("“ enthält das Steuerzeichen U+0001"))
      << outcome.failedRows[1].reason;
  const std::string& reason = outcome.failedRows[0].reason;
  EXPECT_EQ(outcome.failedRows[0].row, 7u);
  EXPECT_TRUE(reason.starts_with("Zeile 7 (Anna.pdf): Seite 1, Element „PRLabelBImage0")) << reason;
  EXPECT_TRUE(reason.ends_with("“: keine installierte Schrift hat das Zeichen U+E000")) << reason;
  // The run record lists the row with its reason.
  std::string recorded;
  ReadRunRecordFile(target / RunRecordFileName(), [&](const RunRecordRow& row) {
    if (row.row == 7) recorded = row.error;
  });
  EXPECT_EQ(recorded, reason);
  EXPECT_FALSE(std::filesystem::exists(target / "Anna.pdf"));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i == 6 || i == 8) continue;
    const auto file = target / (rows[i].first + ".pdf");
    ASSERT_TRUE(std::filesystem::exists(file)) << file;
    EXPECT_TRUE(testing::IsValidPdf(ReadFile(file, 1 << 24)));
    // The file's name and the text inside agree.
    const std::string text = Text(file);
    EXPECT_EQ(text.substr(0, text.find("\n<Ort>")), rows[i].first + "\n" + rows[i].last) << text;
  }
}

// Each person gets their own vCard QR code and ticket number, read back from the rendered PDF; a
// number EAN-13 cannot encode fails its row alone, with the reason.
TEST_F(SerialRunTest, CodesAreFilledPerRowAndReadBack) {
  ASSERT_TRUE(testing::ToolAvailable("pdftoppm") && testing::ToolAvailable("zbarimg"));
  application->NewDocument({"", "85", "55"});
  designer::PageModel& page = application->DocumentWindow()->Page();
  auto& qr = static_cast<report::TPRCode&>(page.CreateElement(designer::ElementKind::Code));
  qr.SetBounds(10, 10, 110, 110);
  qr.SetContent(graphics::VCard3(
      {"<Name>", "<Vorname>", "Quirabel GmbH", "+49 30 1234567", "<Mail>", "https://example.org"}));
  auto& ean = static_cast<report::TPRCode&>(page.CreateElement(designer::ElementKind::Code));
  ean.SetBounds(130, 20, 100, 50);
  ean.SetCodeKind(graphics::CodeKind::Ean13);
  ean.SetContent("<Nummer>");
  page.StoreCurrentPage();
  application->SaveProjectTo((folder / "codes.kxp").string());
  ASSERT_TRUE(application->OpenProject(folder / "codes.kxp"));

  const struct {
    std::string first, last, mail, number;
    std::string failure;  // part of the reason a row fails with; empty when it is written
  } rows[] = {
      {"Jürgen", "Größer", "j.groesser@example.org", "400638133393", ""},
      {"Änne", "Öztürk", "aenne@example.org", "401234567890", ""},
      {"Zoë", "Ørsted", "zoe@example.org", "12345678901X", "Zeile 3"},
      {"Łukasz", "Żółć", "lukasz@example.org", "978316148410", ""},
  };
  std::string csv;
  for (const auto& row : rows)
    csv += row.first + ";" + row.last + ";" + row.mail + ";" + row.number + "\r\n";
  const CsvTable table = CsvTable::Parse(csv);
  const std::filesystem::path target = folder / "aus";
  SerialRun run = Run(table, target);
  run.link.assignments = {"Vorname  ->  Feld1", "Name  ->  Feld2", "Mail  ->  Feld3",
                          "Nummer  ->  Feld4"};
  const SerialOutcome outcome = RunSerial(run, platform.GetClock());
  EXPECT_EQ(outcome.failure, "");
  EXPECT_EQ(outcome.written, 3u);
  ASSERT_EQ(outcome.failedRows.size(), 1u);
  int n = 0;
  for (const auto& row : rows) {
    ++n;
    SCOPED_TRACE(row.first);
    const auto file = target / ("pdf-file" + std::to_string(n) + ".pdf");
    if (!row.failure.empty()) {
      EXPECT_FALSE(std::filesystem::exists(file));
      EXPECT_EQ(outcome.failedRows[0].row, static_cast<std::size_t>(n));
      EXPECT_NE(outcome.failedRows[0].reason.find(row.failure), std::string::npos);
      EXPECT_NE(outcome.failedRows[0].reason.find("PRCode"), std::string::npos)
          << outcome.failedRows[0].reason;
      continue;
    }
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_TRUE(testing::IsValidPdf(ReadFile(file, 1 << 24)));
    const auto image = target / "page.pgm";
    ASSERT_EQ(testing::RunTool("pdftoppm -r 300 -gray " + testing::ShellQuote(file.string()) +
                               " > " + testing::ShellQuote(image.string()))
                  .exitCode,
              0);
    const std::string read =
        testing::RunTool("zbarimg --raw -q " + testing::ShellQuote(image.string())).out;
    EXPECT_NE(read.find(graphics::VCard3({row.last, row.first, "Quirabel GmbH", "+49 30 1234567",
                                          row.mail, "https://example.org"})),
              std::string::npos)
        << read;
    EXPECT_NE(read.find(graphics::Ean13WithCheckDigit(row.number)), std::string::npos) << read;
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
  // Tal.pdf is no file of this project's runs: nothing is written without leave.
  const SerialOutcome refused = RunSerial(run, platform.GetClock());
  EXPECT_EQ(refused.foreignFiles, std::vector<std::string>{"Tal.pdf"});
  EXPECT_EQ(refused.written, 0u);
  EXPECT_EQ(ReadFile(target / "Tal.pdf", 100), "alt");

  run.overwrite = true;
  const SerialOutcome part = RunSerial(run, platform.GetClock());
  EXPECT_TRUE(part.Complete()) << part.failure;
  EXPECT_EQ(part.total, 3u);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(target))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  // Rows 3 to 5, named as in a whole run; the old Tal.pdf is replaced; the part's record.
  EXPECT_EQ(names, (std::vector<std::string>{"Berg-2.pdf", "Tal.pdf", "Ufer-2.pdf",
                                             "quirabel-serie-3-5.json"}));
  EXPECT_TRUE(testing::IsValidPdf(ReadFile(target / "Tal.pdf", 1 << 24)));
  EXPECT_NE(Text(target / "Ufer-2.pdf").find("e"), std::string::npos);

  // The run's own files are replaced without leave, while they are as the run wrote them: one
  // changed since, in its bytes or only in its size, is another's.
  run.overwrite = false;
  EXPECT_TRUE(RunSerial(run, platform.GetClock()).Complete());
  for (const char* change : {"X", ""}) {
    std::string pdf = ReadFile(target / "Ufer-2.pdf", 1 << 24);
    if (*change != '\0') pdf[pdf.size() / 2] = *change;
    else pdf += "\n";
    WriteFileAtomic(target / "Ufer-2.pdf", pdf);
    const SerialOutcome changed = RunSerial(run, platform.GetClock());
    EXPECT_EQ(changed.foreignFiles, std::vector<std::string>{"Ufer-2.pdf"});
    EXPECT_EQ(ReadFile(target / "Ufer-2.pdf", 1 << 24), pdf);
    run.overwrite = true;
    EXPECT_TRUE(RunSerial(run, platform.GetClock()).Complete());
    run.overwrite = false;
  }

  run.firstRow = 6;
  EXPECT_EQ(RunSerial(run, platform.GetClock()).total, 0u);
}

TEST_F(SerialRunTest, CancelStopsTheRunAndRefusedNamesFailTheirRow) {
  OpenProject();
  const CsvTable table = CsvTable::Parse("1\n2\n3\n4\n5\n");
  const std::filesystem::path target = folder / "aus";

  const SerialOutcome cancelled = RunSerial(Run(table, target), platform.GetClock(),
                                            [](std::size_t written) { return written < 2; });
  EXPECT_TRUE(cancelled.cancelled);
  EXPECT_EQ(cancelled.written, 2u);
  EXPECT_FALSE(std::filesystem::exists(target / "pdf-file3.pdf"));
  std::size_t listed = 0;
  ReadRunRecordFile(cancelled.record, [&](const RunRecordRow&) { ++listed; });
  EXPECT_EQ(listed, 2u);

  // A folder where the third PDF should go: that row fails, the others are written.
  std::filesystem::remove_all(target);
  std::filesystem::create_directories(target / "pdf-file3.pdf");
  const SerialOutcome failed = RunSerial(Run(table, target), platform.GetClock());
  EXPECT_FALSE(failed.Complete());
  EXPECT_EQ(failed.written, 4u);
  ASSERT_EQ(failed.failedRows.size(), 1u);
  EXPECT_EQ(failed.failedRows[0].row, 3u);
  EXPECT_NE(failed.failedRows[0].reason.find("Zeile 3"), std::string::npos);
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(target)) ++entries;
  EXPECT_EQ(entries, 6u);  // four PDFs, the folder and the record: no temporary file is left
}

// Inside the output folder nothing is written through a planted link or into a FIFO, a dead
// run's temporary file goes at once, a live writer's stays.
TEST_F(SerialRunTest, PlantedNamesAreNeverWrittenThrough) {
  OpenProject();
  const CsvTable table = CsvTable::Parse("1\n2\n3\n4\n5\n");
  const std::filesystem::path target = folder / "aus";
  const std::filesystem::path outside = folder / "outside";
  std::filesystem::create_directories(target);
  std::filesystem::create_directories(outside);
  std::ofstream(outside / "important.txt") << "wichtig";
  struct Planted {
    std::size_t row;
    std::function<void(const std::filesystem::path&)> plant;
  };
  const std::vector<Planted> planted = {
      {1, [](const auto& p) { std::filesystem::create_symlink("../outside/important.txt", p); }},
      {2, [](const auto& p) { std::filesystem::create_symlink("../outside/neu.txt", p); }},
      {3, [](const auto& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }},
      {4, [&](const auto& p) { std::filesystem::create_symlink(outside, p); }},
  };
  for (const Planted& p : planted) p.plant(target / ("pdf-file" + std::to_string(p.row) + ".pdf"));
  // A killed run's leftover (unlocked, just written) and a live writer's (locked).
  std::ofstream(target / ".pdf-file5.pdf.tmpAbC123") << "%PDF-halb";
  std::ofstream(target / ".pdf-file9.pdf.tmpXyZ789") << "%PDF-lebt";
  const int live = ::open((target / ".pdf-file9.pdf.tmpXyZ789").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(live, LOCK_EX), 0);

  SerialRun run = Run(table, target);
  run.jobs = 2;
  const SerialOutcome outcome = RunSerial(run, platform.GetClock());
  ::close(live);
  EXPECT_EQ(outcome.written, 1u);
  EXPECT_EQ(outcome.failedCount, 4u);
  for (const FailedRow& failed : outcome.failedRows)
    EXPECT_NE(failed.reason.find("wird nicht geschrieben"), std::string::npos) << failed.reason;
  EXPECT_EQ(ReadFile(outside / "important.txt", 100), "wichtig");
  EXPECT_FALSE(std::filesystem::exists(outside / "neu.txt"));
  EXPECT_TRUE(std::filesystem::is_fifo(target / "pdf-file3.pdf"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outside),
                          std::filesystem::directory_iterator()),
            1);
  EXPECT_FALSE(std::filesystem::exists(target / ".pdf-file5.pdf.tmpAbC123"));
  EXPECT_TRUE(std::filesystem::exists(target / ".pdf-file9.pdf.tmpXyZ789"));
  // The record lists the refused rows with their reason.
  std::vector<std::size_t> errors;
  ReadRunRecordFile(outcome.record, [&](const RunRecordRow& row) {
    if (!row.Written()) errors.push_back(row.row);
  });
  std::sort(errors.begin(), errors.end());
  EXPECT_EQ(errors, (std::vector<std::size_t>{1, 2, 3, 4}));

  // Another whole run at work in the folder: this one writes nothing; parts of a run share it.
  const int other = ::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(::flock(other, LOCK_SH), 0);
  std::filesystem::remove(target / "pdf-file5.pdf");
  const SerialOutcome busy = RunSerial(Run(table, target), platform.GetClock());
  EXPECT_NE(busy.failure.find("anderer Serienlauf"), std::string::npos) << busy.failure;
  EXPECT_FALSE(std::filesystem::exists(target / "pdf-file5.pdf"));
  run.firstRow = run.lastRow = 5;
  EXPECT_EQ(RunSerial(run, platform.GetClock()).written, 1u);
  ::close(other);

  // A record name that is a link: the run refuses before writing anything.
  const std::filesystem::path second = folder / "zwei";
  std::filesystem::create_directories(second);
  std::filesystem::create_symlink("../outside/important.txt", second / RunRecordFileName());
  const SerialOutcome noRecord = RunSerial(Run(table, second), platform.GetClock());
  EXPECT_NE(noRecord.failure.find("Verknüpfung"), std::string::npos) << noRecord.failure;
  EXPECT_FALSE(std::filesystem::exists(second / "pdf-file1.pdf"));
  EXPECT_EQ(ReadFile(outside / "important.txt", 100), "wichtig");
}

// The record read back matches the PDFs in the folder and the CSV rows, for a whole run and a
// part, on threads.
TEST_F(SerialRunTest, RunRecordMatchesThePdfsAndRows) {
  OpenProject();
  const CsvTable table = CsvTable::Parse("a;Anna\nb;anna\nc;Bo\nd;Cy\n");
  const std::filesystem::path target = folder / "aus";
  for (const auto& [first, last, name] :
       std::vector<std::tuple<std::size_t, std::size_t, std::string>>{
           {1, 99, "quirabel-serie.json"}, {2, 3, "quirabel-serie-2-3.json"}}) {
    SerialRun run = Run(table, target);
    run.naming = Naming{2, "pdf-file"};
    run.firstRow = first;
    run.lastRow = last;
    run.jobs = 2;
    run.projectFile = "/p/karte.kxp";
    const SerialOutcome outcome = RunSerial(run, platform.GetClock());
    ASSERT_TRUE(outcome.Complete()) << outcome.failure;
    EXPECT_EQ(outcome.record, target / name);
    std::set<std::size_t> rows;
    const RunRecordHeader header = ReadRunRecordFile(outcome.record, [&](const RunRecordRow& row) {
      ASSERT_TRUE(row.Written());
      rows.insert(row.row);
      const std::string pdf = ReadFile(target / row.file, 1 << 24);
      EXPECT_EQ(row.pdfSha256, Sha256Hex(pdf)) << row.file;
      EXPECT_TRUE(testing::IsValidPdf(pdf));
      EXPECT_EQ(row.cellsSha256, CellsSha256(table.Row(row.row - 1)));
      EXPECT_EQ(row.file, PdfFileNames(table, run.naming, 4)[row.row - 1]);
    });
    EXPECT_EQ(rows.size(), std::min<std::size_t>(last, 4) - first + 1);
    EXPECT_EQ(header.projectNumber, application->State().projectNumber);
    EXPECT_EQ(header.projectFile, "/p/karte.kxp");
    EXPECT_EQ(header.csvRows, 4u);
    EXPECT_EQ(header.firstRow, first);
    EXPECT_EQ(header.lastRow, std::min<std::size_t>(last, 4));
    EXPECT_EQ(header.assignments, run.link.assignments);
    EXPECT_EQ(header.runId.size(), 32u);
  }
  EXPECT_TRUE(std::filesystem::exists(target / "anna-2.pdf"));
}

TEST_F(SerialRunTest, EmptyRowsPrintNothingAreRecordedAsSkippedAndCountAsDone) {
  OpenProject();
  // Rows 2 and 4 have no cell with anything in it; row 5's first cell is a space.
  const std::string csv = "a;Anna\n;\nc;Bo\n;\n ;\n";
  const CsvTable table = CsvTable::Parse(csv);
  std::ofstream(folder / "daten.csv", std::ios::binary) << csv;
  const std::filesystem::path target = folder / "aus";
  for (const unsigned jobs : {1u, 2u}) {
    std::filesystem::remove_all(target);
    SerialRun run = Run(table, target);
    run.link.csvPath = (folder / "daten.csv").string();
    run.jobs = jobs;
    const SerialOutcome outcome = RunSerial(run, platform.GetClock());
    EXPECT_TRUE(outcome.Complete()) << outcome.failure;
    EXPECT_EQ(outcome.written, 3u);
    EXPECT_EQ(outcome.skippedRows, (std::vector<std::size_t>{2, 4}));
    EXPECT_EQ(SkippedRowsText(outcome.skippedCount, outcome.skippedRows),
              "2 leere Zeilen übersprungen: 2, 4");
    std::set<std::size_t> skipped;
    ReadRunRecordFile(outcome.record, [&](const RunRecordRow& row) {
      if (row.skipped) skipped.insert(row.row);
    });
    EXPECT_EQ(skipped, (std::set<std::size_t>{2, 4}));
  }
  // --verify counts them as done.
  const RunCheck check = CheckRuns(target, std::nullopt);
  EXPECT_TRUE(check.Complete()) << DescribeRunCheck(check);
  // One PDF for the series leaves them out as well.
  const OnePdfOutcome one =
      RunSerialOnePdf(Run(table, target), folder / "serie.pdf", platform.GetClock());
  EXPECT_EQ(one.rows, 3u);
  EXPECT_EQ(one.skippedCount, 2u);
}

TEST_F(SerialRunTest, DigestsGoingOnFromTheSharedBackgroundAreThoseOfTheFiles) {
  ASSERT_TRUE(testing::ToolAvailable("sha256sum"));
  testing::SaveDataFieldProject(*application, folder / "karte.kxp", {"Vorname", "Name"});
  // A grainy background, large enough to be hashed once for the run.
  graphics::Bitmap grain(400, 260, graphics::PixelFormat::pf24bit);
  std::uint32_t seed = 7;
  for (int y = 0; y < grain.Height(); ++y) {
    std::uint8_t* row = grain.Row(y);
    for (int x = 0; x < 3 * grain.Width(); ++x)
      row[x] = (seed = seed * 1664525u + 1013904223u) >> 24;
  }
  const std::string jpeg = graphics::EncodeJpeg(grain, 90);
  ASSERT_GE(jpeg.size(), pdf::kLargeStreamBytes);
  WriteFileAtomic(folder / "hinter.jpg", jpeg);
  application->DocumentWindow()->LoadBackgroundPicture(folder / "hinter.jpg");
  ASSERT_TRUE(application->SaveProjectTo((folder / "karte.kxp").string()));
  ASSERT_TRUE(application->OpenProject(folder / "karte.kxp"));

  const CsvTable table = CsvTable::Parse("Jürgen;Größer\r\nŁukasz;Żółć\r\nSolo\r\nÄnne;Öztürk\r\n");
  const std::filesystem::path target = folder / "aus";
  const SerialOutcome outcome = RunSerial(Run(table, target), platform.GetClock());
  ASSERT_TRUE(outcome.Complete()) << outcome.failure;
  std::vector<std::string> pdfs;
  ReadRunRecordFile(outcome.record, [&](const RunRecordRow& row) {
    const auto sum =
        testing::RunTool("sha256sum " + testing::ShellQuote((target / row.file).string()));
    EXPECT_EQ(sum.out.substr(0, 64), row.pdfSha256) << row.file;
    pdfs.push_back(ReadFile(target / row.file, 1 << 24));
    EXPECT_TRUE(testing::IsValidPdf(pdfs.back()));
  });
  ASSERT_EQ(pdfs.size(), 4u);
  // The picture comes right after the header: the files of a version begin with the same bytes
  // (a row with embedded fonts says another version), which were hashed once.
  for (const std::string& pdf : pdfs) EXPECT_LT(pdf.find(jpeg), 300u);
}

}  // namespace
}  // namespace quirabel::serial
