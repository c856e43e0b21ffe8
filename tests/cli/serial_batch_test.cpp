// quirabel-batch link and serial: the link file one writes is the one the other reads, and a run
// split into row ranges gives the files of one whole run.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "app/application.h"
#include "base/atomic_file.h"
#include "base/sha256.h"
#include "designer/document_window.h"
#include "serial/link_file.h"
#include "serial/run_record.h"
#include "support/data_field_project.h"
#include "support/fake_platform.h"
#include "support/pdf_check.h"
#include "support/test_folder.h"

namespace quirabel {
namespace {

class SerialBatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testing::FreshTestFolder("serial_batch_");
    testing::FakePlatform platform;
    app::Application application(platform, (folder / "home").string());
    testing::SaveDataFieldProject(application, folder / "karte.kxp", {"Vorname", "Name"});
    projectNumber = application.State().projectNumber;
    std::ofstream(folder / "kunden.csv", std::ios::binary)
        << "Jürgen;Größer\r\nÄnne;Öztürk\r\nBernd;Berg\r\nCarla;Berg\r\nDora;Ufer\r\n"
           "Emil;Tal\r\nFrida;Berg\r\n";
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  testing::ToolRun Batch(const std::string& arguments, const std::string& environment = {}) {
    // A FIFO taken for a file would hang the run: the timeout ends it as a failure.
    return testing::RunTool(environment + "QUIRABEL_HOME=" +
                            testing::ShellQuote((folder / "home").string()) + " timeout 60 " +
                            testing::ShellQuote(QUIRABEL_BATCH) + " " + arguments);
  }
  std::string Path(const std::string& name) {
    return testing::ShellQuote((folder / name).string());
  }
  std::set<std::string> FilesIn(const std::string& name) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder / name)) {
      if (!serial::IsRunRecordFileName(entry.path().filename().string()))
        names.insert(entry.path().filename().string());
    }
    return names;
  }
  std::string TextOf(const std::filesystem::path& pdf) {
    const auto run = testing::RunTool("pdftotext " + testing::ShellQuote(pdf.string()) + " -");
    EXPECT_EQ(run.err, "");
    return run.out;
  }

  std::filesystem::path folder;
  std::string projectNumber;
};

TEST_F(SerialBatchTest, LinkThenSerial) {
  // No link yet: the designer's message, and nothing printed.
  const auto unlinked = Batch("serial " + Path("karte.kxp") + " -o " + Path("aus"));
  EXPECT_EQ(unlinked.exitCode, 1);
  EXPECT_NE(unlinked.err.find("besteht keine Datenverknüpfung"), std::string::npos);

  const auto link = Batch("link " + Path("karte.kxp") + " --csv " + Path("kunden.csv") +
                          " --map Vorname=1 --map Name=2");
  ASSERT_EQ(link.exitCode, 0) << link.err;
  const auto linkFile = serial::LinkFilePath(folder / "home", projectNumber);
  const serial::LinkFile written = serial::ReadLinkFile(linkFile);
  EXPECT_EQ(written.assignments,
            (std::vector<std::string>{"Vorname  ->  Feld1", "Name  ->  Feld2"}));
  EXPECT_EQ(written.separator, ';');
  EXPECT_EQ(written.csvPath, (folder / "kunden.csv").string());

  const auto run = Batch("serial " + Path("karte.kxp") + " -o " + Path("aus") + " --jobs 2");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "7 PDF-Dateien geschrieben.\n");
  EXPECT_EQ(FilesIn("aus").size(), 7u);
  const std::string first = TextOf(folder / "aus" / "pdf-file1.pdf");
  EXPECT_NE(first.find("Jürgen"), std::string::npos) << first;
  EXPECT_NE(first.find("Größer"), std::string::npos);
  EXPECT_TRUE(testing::IsValidPdf(ReadFile(folder / "aus" / "pdf-file7.pdf", 1 << 24)));

  // Named after the second column, repeats numbered.
  const auto named =
      Batch("serial " + Path("karte.kxp") + " -o " + Path("namen") + " --column 2 --jobs 1");
  ASSERT_EQ(named.exitCode, 0) << named.err;
  EXPECT_EQ(FilesIn("namen"),
            (std::set<std::string>{"Größer.pdf", "Öztürk.pdf", "Berg.pdf", "Berg-2.pdf", "Ufer.pdf",
                                   "Tal.pdf", "Berg-3.pdf"}));
  EXPECT_NE(TextOf(folder / "namen" / "Berg-3.pdf").find("Frida"), std::string::npos);

  // A plain re-run names its PDFs as the last run did, and says so: nothing is added beside them.
  const auto again = Batch("serial " + Path("karte.kxp") + " -o " + Path("namen") + " --jobs 1");
  ASSERT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(again.out,
            "Dateinamen nach Feld2 wie beim letzten Lauf (anders mit --column oder --prefix).\n"
            "7 PDF-Dateien geschrieben.\n");
  EXPECT_EQ(FilesIn("namen").size(), 7u);
}

TEST_F(SerialBatchTest, FourShardsGiveTheFilesOfOneRun) {
  ASSERT_EQ(Batch("link " + Path("karte.kxp") + " --csv " + Path("kunden.csv") +
                  " --map Vorname=1 --map Name=2 -o " + Path("karte._cv"))
                .exitCode,
            0);
  const std::string common =
      "serial " + Path("karte.kxp") + " --link " + Path("karte._cv") + " --column 2";
  ASSERT_EQ(Batch(common + " -o " + Path("ganz")).exitCode, 0);
  const std::string verify = "serial --verify " + Path("teile") + " --link " + Path("karte._cv");
  // Parts numbered as an array from 1 where the job expected 0: rows 1-2 are never printed.
  for (const char* rows : {"3-4", "5-6", "7-9", "10-11"}) {
    const auto shard = Batch(common + " -o " + Path("teile") + " --rows " + rows);
    ASSERT_EQ(shard.exitCode, 0) << rows << shard.err;
    if (std::string(rows) == "10-11") {
      EXPECT_EQ(shard.out, "Die Zeilen 10–11 gibt es nicht; die CSV-Datei hat 7 Zeilen.\n");
    }
  }
  const auto gap = Batch(verify);
  EXPECT_EQ(gap.exitCode, 1);
  EXPECT_NE(gap.out.find("Nicht gedruckt: 2 Zeilen (1–2)."), std::string::npos) << gap.out;
  EXPECT_NE(gap.out.find("Serie unvollständig: 5 von 7"), std::string::npos) << gap.out;

  ASSERT_EQ(Batch(common + " -o " + Path("teile") + " --rows 1-2").exitCode, 0);
  const auto complete = Batch(verify);
  EXPECT_EQ(complete.exitCode, 0) << complete.out;
  EXPECT_NE(complete.out.find("Serie vollständig: 7 von 7 Zeilen"), std::string::npos)
      << complete.out;
  const std::set<std::string> whole = FilesIn("ganz");
  EXPECT_EQ(whole.size(), 7u);
  EXPECT_EQ(FilesIn("teile"), whole);
  for (const std::string& name : whole)
    EXPECT_EQ(TextOf(folder / "teile" / name), TextOf(folder / "ganz" / name)) << name;

  // A link file named on the command line that is not there is named back.
  const auto missing = Batch("serial " + Path("karte.kxp") + " --link " + Path("fehlt._cv") +
                             " -o " + Path("teile"));
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("fehlt._cv"), std::string::npos) << missing.err;
}

TEST_F(SerialBatchTest, RefusedCallsAndData) {
  const std::string project = Path("karte.kxp");
  for (const std::string& wrong :
       {"serial " + project, "serial " + project + " -o x --column 2 --prefix p",
        "serial " + project + " -o x --rows 5-3", "serial " + project + " -o x --jobs 0",
        "serial " + project + " -o x --column null", "serial " + project + " -o x --rows ''",
        "serial " + project + " --one-pdf ''", "link " + project + " --map Name=1",
        "link " + project + " --csv x.csv", "link " + project + " --csv x.csv --map Name",
        "link " + project + " --csv x.csv --map Name=1 --sep ab"}) {
    const auto run = Batch(wrong);
    EXPECT_EQ(run.exitCode, 2) << wrong << run.err;
  }
  const std::string csv = " --csv " + Path("kunden.csv");
  EXPECT_EQ(Batch("link " + project + csv + " --map Firma=1").exitCode, 1);
  EXPECT_EQ(Batch("link " + project + csv + " --map Name=3").exitCode, 1);
  const auto missing = Batch("link " + project + " --csv " + Path("fehlt.csv") + " --map Name=1");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("fehlt.csv"), std::string::npos);

  // The CSV file went away after linking: a message naming it, and no PDFs.
  ASSERT_EQ(Batch("link " + project + csv + " --map Name=2").exitCode, 0);
  std::filesystem::remove(folder / "kunden.csv");
  const auto gone = Batch("serial " + project + " -o " + Path("aus"));
  EXPECT_EQ(gone.exitCode, 1);
  EXPECT_NE(gone.err.find("kunden.csv"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(folder / "aus"));
}

// What an attacker or an unlucky user hands the batch tool: the column past the CSV's columns,
// FIFOs for every file it reads, a project number that climbs out of the link folder or looks
// like an option, files in the folder no run wrote; and --help of every command.
TEST_F(SerialBatchTest, HostileCallsAndFilesAreRefused) {
  const std::string project = Path("karte.kxp");
  ASSERT_EQ(Batch("link " + project + " --csv " + Path("kunden.csv") + " --map Name=2").exitCode,
            0);
  ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0644), 0);
  {
    testing::FakePlatform platform;
    app::Application application(platform, (folder / "home").string());
    for (const char* number : {"../../outside/dir/PWNED", "-platformpluginpath"}) {
      testing::SaveDataFieldProject(application, folder / "boese.kxp", {"Name"});
      application.State().projectNumber = number;
      application.DocumentWindow()->Page().StoreCurrentPage();
      ASSERT_TRUE(application.SaveProjectTo((folder / "boese.kxp").string()));
      ASSERT_TRUE(application.OpenProject(folder / "boese.kxp"));
      ASSERT_EQ(application.State().projectNumber, number);
      std::filesystem::rename(folder / "boese.kxp",
                              folder / (number[0] == '-' ? "b.kxp" : "a.kxp"));
    }
  }
  struct Case {
    std::string call;
    int exitCode;
    std::string said;  // on standard error, or standard output for exit 0
  };
  const std::string out = " -o " + Path("aus");
  const std::vector<Case> cases = {
      {"serial " + project + out + " --column 9", 2, "nur 2 Spalten"},
      {"new --help", 0, "Aufruf:"},
      {"serial --help", 0, "Aufruf:"},
      {"link " + project + " --help", 0, "Aufruf:"},
      {"info --help", 0, "Aufruf:"},
      {"link " + project + " --csv " + Path("fifo") + " --map Name=1", 1, "fifo"},
      {"serial " + project + out + " --link " + Path("fifo"), 1, "fifo"},
      {"info " + Path("fifo"), 1, ""},
      {"link " + Path("a.kxp") + " --csv " + Path("kunden.csv") + " --map Name=1", 1,
       "nur aus Ziffern"},
      {"serial " + Path("a.kxp") + out, 1, "nur aus Ziffern"},
      {"link " + Path("b.kxp") + " --csv " + Path("kunden.csv") + " --map Name=1", 1,
       "nur aus Ziffern"},
  };
  for (const Case& c : cases) {
    const auto run = Batch(c.call);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.call << "\n" << run.err;
    EXPECT_NE((c.exitCode == 0 ? run.out : run.err).find(c.said), std::string::npos)
        << c.call << "\n"
        << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(folder / "outside"));
  EXPECT_FALSE(std::filesystem::exists(folder / "home" / "csv_db" / "-platformpluginpath._cv"));

  // A file the run did not write stops it before anything is written; --overwrite replaces it.
  std::filesystem::create_directories(folder / "namen");
  std::ofstream(folder / "namen" / "Schmidt.pdf") << "fremd";
  std::ofstream(folder / "kunden.csv", std::ios::binary) << "A;Anna\nB;Schmidt\nC;ANNA\n";
  const std::string named = "serial " + project + " -o " + Path("namen") + " --column 2";
  const auto refused = Batch(named);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("Schmidt.pdf"), std::string::npos) << refused.err;
  EXPECT_EQ(ReadFile(folder / "namen" / "Schmidt.pdf", 100), "fremd");
  EXPECT_FALSE(std::filesystem::exists(folder / "namen" / "Anna.pdf"));
  const auto replaced = Batch(named + " --overwrite");
  ASSERT_EQ(replaced.exitCode, 0) << replaced.err;
  // Anna and ANNA never share a file, whatever the disk.
  EXPECT_EQ(FilesIn("namen"), (std::set<std::string>{"Anna.pdf", "Schmidt.pdf", "ANNA-2.pdf"}));
  EXPECT_TRUE(testing::IsValidPdf(ReadFile(folder / "namen" / "Schmidt.pdf", 1 << 24)));
  // A second run replaces only what the first wrote: no question.
  EXPECT_EQ(Batch(named).exitCode, 0);
}

// A disk that keeps no modes (FAT, exFAT, FUSE) refuses every fchmod: the files are written all the
// same, by a serial run, its re-run, one PDF of all rows and an export.
TEST_F(SerialBatchTest, ADiskWithoutModesTakesEveryFile) {
  ASSERT_EQ(Batch("link " + Path("karte.kxp") + " --csv " + Path("kunden.csv") + " --map Name=2")
                .exitCode,
            0);
  const std::string noModes = std::string("ASAN_OPTIONS=${ASAN_OPTIONS}:verify_asan_link_order=0 ") +
                              "LD_PRELOAD=" + testing::ShellQuote(QUIRABEL_NO_FILE_MODES) + " ";
  for (const std::string& call :
       {"serial " + Path("karte.kxp") + " -o " + Path("aus"),
        "serial " + Path("karte.kxp") + " -o " + Path("aus"),
        "serial " + Path("karte.kxp") + " --one-pdf " + Path("serie.pdf"),
        "export " + Path("karte.kxp") + " -o " + Path("karte.pdf"),
        "export " + Path("karte.kxp") + " -o " + Path("karte.pdf")}) {
    const auto run = Batch(call, noModes);
    EXPECT_EQ(run.exitCode, 0) << call << "\n" << run.err;
  }
  EXPECT_EQ(FilesIn("aus").size(), 7u);
  EXPECT_TRUE(testing::IsValidPdf(ReadFile(folder / "serie.pdf", 1 << 24)));
  EXPECT_TRUE(testing::IsValidPdf(ReadFile(folder / "karte.pdf", 1 << 24)));
}

// A disk that fills up after three PDFs: the run stops with one sentence, its record lists the
// three and says it stopped, and the next run replaces them without asking.
TEST_F(SerialBatchTest, ARunStoppedByAFullDiskRecordsWhatItWrote) {
  ASSERT_EQ(Batch("link " + Path("karte.kxp") + " --csv " + Path("kunden.csv") + " --map Name=2")
                .exitCode,
            0);
  const std::string serial = "serial " + Path("karte.kxp") + " -o " + Path("aus") + " --jobs 1";
  const auto full = Batch(serial, "ASAN_OPTIONS=${ASAN_OPTIONS}:verify_asan_link_order=0 "
                                  "QUIRABEL_TEST_WRITES_LEFT=3 LD_PRELOAD=" +
                                      testing::ShellQuote(QUIRABEL_FULL_DISK) + " ");
  EXPECT_EQ(full.exitCode, 1);
  EXPECT_NE(full.err.find("Der Datenträger ist voll.\n"), std::string::npos) << full.err;
  EXPECT_EQ(full.err.find(".."), std::string::npos) << full.err;
  std::size_t listed = 0;
  const serial::RunRecordHeader header = serial::ReadRunRecordFile(
      folder / "aus" / serial::RunRecordFileName(),
      [&](const serial::RunRecordRow& row) { listed += row.Written(); });
  EXPECT_EQ(listed, 3u);
  EXPECT_NE(header.stopped.find("Der Datenträger ist voll."), std::string::npos);
  const auto verify = Batch("serial --verify " + Path("aus"));
  EXPECT_EQ(verify.exitCode, 1);
  EXPECT_NE(verify.out.find("endete vor seiner letzten Zeile"), std::string::npos) << verify.out;

  const auto again = Batch(serial);
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(FilesIn("aus").size(), 7u);
}

// Runs killed mid-way leave no temporary file behind the next run, whose record then lists every
// row with the PDF that is in the folder.
TEST_F(SerialBatchTest, KilledRunsLeaveNothingBehindTheNext) {
  std::string rows;
  for (int i = 1; i <= 400; ++i) rows += "V" + std::to_string(i) + ";N" + std::to_string(i) + "\n";
  std::ofstream(folder / "kunden.csv", std::ios::binary | std::ios::trunc) << rows;
  const std::string project = Path("karte.kxp");
  ASSERT_EQ(Batch("link " + project + " --csv " + Path("kunden.csv") + " --map Name=2").exitCode,
            0);
  const std::string serial = "serial " + project + " -o " + Path("aus") + " --jobs 2";
  for (const char* delay : {"0.15", "0.3", "0.5"}) {
    testing::RunTool("(" + std::string("QUIRABEL_HOME=") +
                     testing::ShellQuote((folder / "home").string()) + " " +
                     testing::ShellQuote(QUIRABEL_BATCH) + " " + serial +
                     " --overwrite >/dev/null 2>&1 & pid=$!; sleep " + delay +
                     "; kill -9 $pid; wait $pid) 2>/dev/null");
  }
  // The killed runs' PDFs are in no record: the next run needs leave to replace them.
  const auto again = Batch(serial + " --overwrite");
  ASSERT_EQ(again.exitCode, 0) << again.err;
  std::size_t pdfs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder / "aus")) {
    const std::string name = entry.path().filename().string();
    EXPECT_FALSE(name.starts_with('.')) << name;
    pdfs += name.ends_with(".pdf");
  }
  EXPECT_EQ(pdfs, 400u);
  std::size_t listed = 0;
  serial::ReadRunRecordFile(
      folder / "aus" / serial::RunRecordFileName(), [&](const serial::RunRecordRow& row) {
        ASSERT_TRUE(row.Written());
        ++listed;
        if (row.row % 100 == 0) {
          const std::string pdf = ReadFile(folder / "aus" / row.file, 1 << 24);
          EXPECT_EQ(Sha256Hex(pdf), row.pdfSha256);
          EXPECT_TRUE(testing::IsValidPdf(pdf));
        }
      });
  EXPECT_EQ(listed, 400u);
  // A run over its own record's files needs no leave.
  EXPECT_EQ(Batch(serial).exitCode, 0);

  // All rows into one PDF, killed while it writes: nothing is left, not even a temporary file.
  // 40,000 rows take far longer than the first kill; the second may come after the end.
  for (int i = 401; i <= 40000; ++i)
    rows += "V" + std::to_string(i) + ";N" + std::to_string(i) + "\n";
  std::ofstream(folder / "kunden.csv", std::ios::binary | std::ios::trunc) << rows;
  std::filesystem::create_directories(folder / "eins");
  for (const auto& [delay, mayFinish] : {std::pair{"0.1", false}, std::pair{"0.4", true}}) {
    testing::RunTool("(QUIRABEL_HOME=" + testing::ShellQuote((folder / "home").string()) + " " +
                     testing::ShellQuote(QUIRABEL_BATCH) + " serial " + project + " --one-pdf " +
                     Path("eins/serie.pdf") + " >/dev/null 2>&1 & pid=$!; sleep " + delay +
                     "; kill -9 $pid; wait $pid) 2>/dev/null");
    for (const auto& entry : std::filesystem::directory_iterator(folder / "eins")) {
      if (!mayFinish || entry.path().filename() != "serie.pdf")
        ADD_FAILURE() << delay << ": " << entry.path().filename();
    }
  }
}

TEST_F(SerialBatchTest, AllRowsInOnePdf) {
  ASSERT_EQ(Batch("link " + Path("karte.kxp") + " --csv " + Path("kunden.csv") +
                  " --map Vorname=1 --map Name=2")
                .exitCode,
            0);
  struct Case {
    std::string options;
    int exitCode;
    std::string message;  // standard output, or a part of standard error
    int pages;
  };
  const std::vector<Case> cases = {
      {"", 0, "7 Zeilen auf 7 Seiten in ", 7},
      {"--rows 2-3", 0, "2 Zeilen auf 2 Seiten in ", 2},
      {"-o " + Path("aus"), 2, "nimmt weder -o", 0},
      // The rows as cards on printing sheets, ten of the free 85 x 55 card to an A4 sheet.
      {"--sheet A4", 0, "Bogen 1: 7 Karten\n7 Zeilen auf 1 Bogen in ", 1},
      {"--sheet A4 --rows 2-3 --gap 0", 0, "Bogen 1: 2 Karten\n2 Zeilen auf 1 Bogen in ", 1},
      {"--sheet 60x60", 1, "passt nicht auf den Bogen", 0},
      {"--gap 3", 2, "nur mit --sheet", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    std::filesystem::remove(folder / "serie.pdf");
    const auto run =
        Batch("serial " + Path("karte.kxp") + " --one-pdf " + Path("serie.pdf") + " " + c.options);
    ASSERT_EQ(run.exitCode, c.exitCode) << run.err;
    if (c.exitCode != 0) {
      EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
      EXPECT_FALSE(std::filesystem::exists(folder / "serie.pdf"));
      continue;
    }
    EXPECT_TRUE(run.out.starts_with(c.message)) << run.out;
    const std::string pdf = ReadFile(folder / "serie.pdf", 1 << 24);
    EXPECT_TRUE(testing::IsValidPdf(pdf));
    EXPECT_EQ(testing::PdfPages(pdf).size(), static_cast<std::size_t>(c.pages));
    // The background, the same on every row, is one object of the file.
    std::size_t images = 0;
    for (std::size_t at = pdf.find("/Subtype /Image"); at != std::string::npos;
         at = pdf.find("/Subtype /Image", at + 1)) {
      ++images;
    }
    EXPECT_LE(images, 1u);
    const std::string text = TextOf(folder / "serie.pdf");
    const bool all = c.options.find("--rows") == std::string::npos;
    EXPECT_NE(text.find(all ? "Jürgen" : "Änne"), std::string::npos) << text;
    EXPECT_NE(text.find(all ? "Frida" : "Bernd"), std::string::npos) << text;
  }
  // A file that cannot be written: the run fails and leaves nothing.
  const auto unwritable =
      Batch("serial " + Path("karte.kxp") + " --one-pdf " + Path("fehlt/serie.pdf"));
  EXPECT_EQ(unwritable.exitCode, 1);
  EXPECT_NE(unwritable.err.find("Es wurde keine PDF-Datei geschrieben"), std::string::npos)
      << unwritable.err;
  EXPECT_FALSE(std::filesystem::exists(folder / "fehlt"));
}

}  // namespace
}  // namespace quirabel
