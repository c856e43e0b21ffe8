#include "serial/run_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "base/sha256.h"
#include "serial/run_record.h"
#include "support/test_folder.h"

namespace quirabel::serial {
namespace {

namespace fs = std::filesystem;

struct Shard {
  std::uint64_t first, last;
  std::vector<std::uint64_t> failing = {};
};

struct Case {
  const char* name;
  std::vector<Shard> shards;
  std::vector<std::uint64_t> changedPdfs = {};
  std::uint64_t printedOnce;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> missing;
  std::uint64_t twice, failed, mismatched;
  bool complete;
};

// Six rows, printed by shards as an array job would print them; the PDF of row N is "PDF N".
TEST(RunCheckTest, ShardsCoverEveryRowExactlyOnce) {
  const std::vector<Case> cases = {
      {"whole", {{1, 6}}, {}, 6, {}, 0, 0, 0, true},
      {"three shards", {{1, 2}, {3, 4}, {5, 6}}, {}, 6, {}, 0, 0, 0, true},
      // An array numbered from 1 where the snippet expected 0: the first shard never ran.
      {"gap", {{3, 4}, {5, 6}, {7, 8}}, {}, 4, {{1, 2}}, 0, 0, 0, false},
      {"overlap", {{1, 4}, {3, 6}}, {}, 4, {}, 2, 0, 0, false},
      {"failed row", {{1, 6, {4}}}, {}, 5, {{4, 4}}, 0, 1, 0, false},
      {"changed pdf", {{1, 6}}, {5}, 6, {}, 0, 0, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path folder = testing::FreshTestFolder("run_check_");
    const fs::path csv = folder / "kunden.csv";
    std::string csvText;
    for (int row = 1; row <= 6; ++row) csvText += "Name" + std::to_string(row) + ";x\n";
    WriteFileAtomic(csv, csvText);
    const fs::path out = folder / "serie";
    fs::create_directory(out);
    for (const Shard& shard : c.shards) {
      RunRecordHeader header;
      header.runId = NewRunId();
      header.csvFile = csv.string();
      header.csvRows = 6;
      header.firstRow = shard.first;
      header.lastRow = shard.last;
      RunRecordWriter writer(out / RunRecordFileName(std::pair{shard.first, shard.last}), header);
      for (std::uint64_t row = shard.first; row <= std::min<std::uint64_t>(shard.last, 6); ++row) {
        RunRecordRow entry;
        entry.row = row;
        if (std::find(shard.failing.begin(), shard.failing.end(), row) != shard.failing.end()) {
          entry.error = "Der Datenträger ist voll.";
        } else {
          entry.file = "pdf-file" + std::to_string(row) + ".pdf";
          const std::string pdf = "PDF " + std::to_string(row);
          WriteFileAtomic(out / entry.file, pdf);
          entry.pdfSha256 = Sha256Hex(pdf);
          entry.cellsSha256 = CellsSha256({"Name" + std::to_string(row), "x"});
        }
        writer.Add(entry);
      }
      writer.Commit();
    }
    for (std::uint64_t row : c.changedPdfs) {
      WriteFileAtomic(out / ("pdf-file" + std::to_string(row) + ".pdf"), "changed");
    }

    const RunCheck check = CheckRuns(out, std::nullopt);
    EXPECT_EQ(check.csvRows, 6u);
    EXPECT_EQ(check.printedOnce, c.printedOnce);
    EXPECT_EQ(check.missing, c.missing);
    EXPECT_EQ(check.twiceCount, c.twice);
    EXPECT_EQ(check.failedCount, c.failed);
    EXPECT_EQ(check.mismatchedCount, c.mismatched);
    EXPECT_EQ(check.Complete(), c.complete);
    const std::string text = DescribeRunCheck(check);
    EXPECT_NE(text.find(c.complete ? "Serie vollständig" : "Serie unvollständig"),
              std::string::npos)
        << text;
    EXPECT_TRUE(check.problems.empty()) << text;
  }
}

TEST(RunCheckTest, AFolderWithoutRecordsIsNoSeries) {
  const fs::path folder = testing::FreshTestFolder("run_check_");
  const RunCheck check = CheckRuns(folder, std::nullopt);
  EXPECT_FALSE(check.Complete());
  const std::string text = DescribeRunCheck(check);
  EXPECT_NE(text.find("Keine Serien-PDF-Liste in "), std::string::npos) << text;
  EXPECT_NE(text.find("Serie unvollständig: keine Serien-PDF-Liste."), std::string::npos) << text;
}

}  // namespace
}  // namespace quirabel::serial
