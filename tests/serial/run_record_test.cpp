#include "serial/run_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <sys/stat.h>

#include "base/atomic_file.h"
#include "base/sha256.h"
#include "serial/serial_error.h"
#include "support/test_folder.h"

namespace quirabel::serial {
namespace {

RunRecordHeader SampleHeader() {
  RunRecordHeader header;
  header.runId = NewRunId();
  header.time = "2026-12-07T21:00:00Z";
  header.projectFile = "/home/anna/karte.kxp";
  header.projectNumber = "2014559123";
  header.csvFile = "/home/anna/Kunden Müller.csv";
  header.csvSize = 1234;
  header.csvModified = "2026-12-07T20:59:00Z";
  header.csvRows = 3;
  header.linkFile = "/home/anna/.local/share/quirabel/csv_db/2014559123._cv";
  header.assignments = {"Vorname  ->  Feld1", "Name  ->  Feld2"};
  header.firstRow = 1;
  header.lastRow = 3;
  return header;
}

TEST(RunRecordTest, WrittenRecordReadsBackRowByRow) {
  const auto folder = testing::FreshTestFolder("run_record_");
  const auto file = folder / RunRecordFileName();
  const RunRecordHeader header = SampleHeader();
  const std::vector<RunRecordRow> rows = {
      {2, "Jörg.pdf", CellsSha256({"Jörg", "Groß"}), Sha256Hex("pdf2"), "", 4},
      {1, "Anna.pdf", CellsSha256({"Anna", "Schmidt"}), Sha256Hex("pdf1"), "", 4},
      {3, "", "", "", "Zeile 3: Der Datenträger ist voll.", {}},
  };
  {
    RunRecordWriter writer(file, header);
    for (const auto& row : rows) writer.Add(row);
    EXPECT_FALSE(std::filesystem::exists(file)) << "visible before it is complete";
    writer.Commit();
  }
  std::vector<RunRecordRow> read;
  const RunRecordHeader back =
      ReadRunRecordFile(file, [&](const RunRecordRow& row) { read.push_back(row); });
  EXPECT_EQ(back.runId, header.runId);
  EXPECT_EQ(back.csvFile, header.csvFile);
  EXPECT_EQ(back.assignments, header.assignments);
  EXPECT_EQ(back.lastRow, 3u);
  ASSERT_EQ(read.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(read[i].row, rows[i].row);
    EXPECT_EQ(read[i].file, rows[i].file);
    EXPECT_EQ(read[i].pdfSha256, rows[i].pdfSha256);
    EXPECT_EQ(read[i].error, rows[i].error);
    EXPECT_EQ(read[i].pdfSize, rows[i].pdfSize);
  }
  EXPECT_EQ(RunRecordFiles(folder), std::vector<std::filesystem::path>{file});
}

TEST(RunRecordTest, CellsHashSeesEveryChangeOfTheRow) {
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  const std::vector<std::vector<std::string>> distinct = {
      {"ab", "c"},         {"a", "bc"},        {"abc"}, {"abc", ""}, {}, {""},
      {"Anna", "Schmidt"}, {"Schmidt", "Anna"}};
  for (std::size_t i = 0; i < distinct.size(); ++i) {
    for (std::size_t j = i + 1; j < distinct.size(); ++j) {
      EXPECT_NE(CellsSha256(distinct[i]), CellsSha256(distinct[j])) << i << " vs " << j;
    }
  }
}

TEST(RunRecordTest, NamesAndDamagedRecords) {
  EXPECT_EQ(RunRecordFileName(), "quirabel-serie.json");
  EXPECT_EQ(RunRecordFileName(std::pair<std::uint64_t, std::uint64_t>{2501, 5000}),
            "quirabel-serie-2501-5000.json");
  for (const char* name : {"quirabel-serie.json", "quirabel-serie-1-1000.json"}) {
    EXPECT_TRUE(IsRunRecordFileName(name)) << name;
  }
  for (const char* name : {"quirabel-serie.json.tmp", "quirabel-serie-1.json",
                           "quirabel-serie-a-b.json", "quirabel-serie--1-2.json", "x.json"}) {
    EXPECT_FALSE(IsRunRecordFileName(name)) << name;
  }

  const std::string head =
      R"({"format":"quirabel-serie","version":1,"run_id":"x","time":"t",)"
      R"("project":{"file":"p","number":"1"},"csv":{"file":"c","size":1,"modified":"m","rows":1},)"
      R"("link":{"file":"l","assignments":[]},"range":{"first":1,"last":1},"rows":)";
  const std::string hash(64, 'a');
  const std::string goodRow =
      R"({"row":1,"file":"a.pdf","cells_sha256":")" + hash + R"(","pdf_sha256":")" + hash + "\"}";
  // An older record has no sizes; keys a record does not know are skipped.
  std::size_t rows = 0;
  EXPECT_NO_THROW(ReadRunRecord(head + "[" + goodRow + R"(],"extra":[[1,2],{"a":"b"}]})",
                                [&](const RunRecordRow& row) {
                                  ++rows;
                                  EXPECT_FALSE(row.pdfSize);
                                }));
  EXPECT_EQ(rows, 1u);
  const std::vector<std::string> damaged = {
      "",
      "[]",
      head + "[]",
      head + "{}}",
      head + "[1]}",
      head + R"([{"row":0,"error":"x"}]})",
      head + R"([{"row":1,"error":""}]})",
      head + R"([{"row":1,"file":"../a.pdf","cells_sha256":")" + hash + R"(","pdf_sha256":")" +
          hash + "\"}]}",
      head + R"([{"row":1,"file":"a.pdf","cells_sha256":"AB","pdf_sha256":")" + hash + "\"}]}",
      R"({"format":"quirabel-serie","version":2})",
      R"({"format":"x","version":1})",
      head + R"([{"row":1,"file":"a.pdf","cells_sha256":")" + hash + R"(","pdf_sha256":")" +
          hash + R"(","pdf_size":"9"}]})",
      // Bounds the parser holds before it gathers anything: a long text, a long number, nesting.
      head + R"([{"row":1,"error":")" + std::string(kMaxRunRecordText + 1, 'x') + "\"}]}",
      head + R"([{"row":1,"error":")" + std::string(2 * kMaxRunRecordText + 2, '\\') + "\"}]}",
      head + R"([{"row":)" + std::string(100000, '1') + "}]}",
      head + "[" + std::string(100000, '[') + std::string(100000, ']') + "]}",
  };
  for (const auto& bytes : damaged) {
    EXPECT_THROW(ReadRunRecord(bytes, [](auto&) {}), SerialError) << bytes;
  }
}

// A record is read only from a regular file under its own name, and a long error text is cut to
// what the reader takes.
TEST(RunRecordTest, ReadOnlyFromARegularFileAndWrittenWithinTheReadersBounds) {
  const auto folder = testing::FreshTestFolder("run_record_");
  const auto file = folder / RunRecordFileName();
  {
    RunRecordWriter writer(file, SampleHeader());
    writer.Add({1, "", "", "", std::string(100000, 'x'), {}});
    writer.Commit();
  }
  std::size_t rows = 0;
  ReadRunRecordFile(file, [&](const RunRecordRow& row) {
    ++rows;
    EXPECT_LE(row.error.size(), kMaxRunRecordText);
  });
  EXPECT_EQ(rows, 1u);

  std::filesystem::create_symlink(file, folder / "quirabel-serie-1-1.json");
  ASSERT_EQ(::mkfifo((folder / "quirabel-serie-2-2.json").c_str(), 0600), 0);
  for (const char* name : {"quirabel-serie-1-1.json", "quirabel-serie-2-2.json"}) {
    try {
      ReadRunRecordFile(folder / name, [](const RunRecordRow&) {});
      ADD_FAILURE() << name << " was read";
    } catch (const FileError& e) {
      EXPECT_NE(std::string(e.what()).find("ist nicht lesbar"), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace quirabel::serial
