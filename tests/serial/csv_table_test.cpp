// The CSV reader: how lines become rows and cells, for the files people export.
#include "serial/csv_table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "serial/serial_error.h"
#include "support/test_folder.h"

namespace quirabel::serial {
namespace {

using Cells = std::vector<std::string>;

std::vector<Cells> AllRows(const CsvTable& table) {
  std::vector<Cells> rows;
  for (std::size_t i = 0; i < table.RowCount(); ++i) rows.push_back(table.Row(i));
  return rows;
}

TEST(CsvTable, PlainLinesSplitAtEverySeparator) {
  // Three lines with two separators each: Feld1 to Feld3, three rows; the first line is data.
  const CsvTable three = CsvTable::Parse("Anna;Berg;Köln\r\nBernd;Ufer;Bonn\r\nCarla;Tal;Ulm\r\n");
  EXPECT_EQ(three.Separator(), ';');
  EXPECT_EQ(three.ColumnCount(), 3);
  EXPECT_EQ(AllRows(three),
            (std::vector<Cells>{
                {"Anna", "Berg", "Köln"}, {"Bernd", "Ufer", "Bonn"}, {"Carla", "Tal", "Ulm"}}));

  // Without any separator a line is one cell.
  const CsvTable single = CsvTable::Parse("Hans Müller\nErika Mustermann");
  EXPECT_EQ(single.ColumnCount(), 1);
  EXPECT_EQ(AllRows(single), (std::vector<Cells>{{"Hans Müller"}, {"Erika Mustermann"}}));

  // Empty cells, a quote inside a field, and a row with more parts than the first.
  const CsvTable odd = CsvTable::Parse("a;;c;\r\n5\" Disk;x;y;z;extra\r\n", ';');
  EXPECT_EQ(odd.ColumnCount(), 4);
  EXPECT_EQ(AllRows(odd),
            (std::vector<Cells>{{"a", "", "c", ""}, {"5\" Disk", "x", "y", "z", "extra"}}));
  // A column beyond a row's cells is an empty text.
  EXPECT_EQ(CellAt(odd.Row(0), 9), "");
  EXPECT_EQ(CellAt(odd.Row(0), 0), "");
  EXPECT_EQ(CellAt(odd.Row(0), 3), "c");
}

TEST(CsvTable, QuotedFieldsAsSpreadsheetsWriteThem) {
  const CsvTable table = CsvTable::Parse(
      "\"Müller; Söhne\";\"Er sagte \"\"Hallo\"\"\";\"Zeile 1\r\nZeile 2\"\r\n"
      "\"\";x;\"a\"b\r\n");
  EXPECT_EQ(table.ColumnCount(), 3);
  EXPECT_EQ(AllRows(table),
            (std::vector<Cells>{{"Müller; Söhne", "Er sagte \"Hallo\"", "Zeile 1\r\nZeile 2"},
                                {"", "x", "ab"}}));
}

// Files misread without a word before: a quote never closed, and "Unicode text" (UTF-16 with a
// byte-order mark) from spreadsheet programs.
TEST(CsvTable, UnclosedQuotesAreRefusedAndUtf16IsRead) {
  struct Case {
    std::string bytes;
    std::vector<Cells> rows;  // when read
    std::string error;        // else a part of the refusal
    CsvEncoding encoding = CsvEncoding::Utf8;
  };
  auto utf16 = [](std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : text) {
      const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
      bytes += bigEndian ? high : low;
      bytes += bigEndian ? low : high;
    }
    return bytes;
  };
  const std::vector<Case> cases = {
      {"R1;N1;S1;O1\n\"R2;N2;S2;O2\nR3;N3;S3;O3\nR4;N4;S4;O4\n", {}, "Zeile 2"},
      {"a;\"offen\"\n\n\nb;\"zu\r\n", {}, "Zeile 4 (Datensatz 2)"},
      // A quote inside a field (not at its start) is text, and a closed one spans lines.
      {"5\" Disk;\"a\nb\"\n", {{"5\" Disk", "a\nb"}}, ""},
      {utf16(u"R1;Jürgen\r\nR2;\u00d6\U0001F600\r\n", false),
       {{"R1", "Jürgen"}, {"R2", "Ö\U0001F600"}},
       "",
       CsvEncoding::Utf16Le},
      {utf16(u"R1,x\nR2,y", true), {{"R1", "x"}, {"R2", "y"}}, "", CsvEncoding::Utf16Be},
      // A lone surrogate and an odd last byte become U+FFFD, not a crash.
      {utf16(u"a\xD800", false) + "b", {{"a\uFFFD\uFFFD"}}, "", CsvEncoding::Utf16Le},
  };
  const std::filesystem::path folder = testing::FreshTestFolder("csv_");
  for (const Case& c : cases) {
    // From bytes and from a file: one result.
    std::ofstream(folder / "t.csv", std::ios::binary) << c.bytes;
    for (int fromFile = 0; fromFile < 2; ++fromFile) {
      SCOPED_TRACE(c.bytes + (fromFile ? " (Datei)" : ""));
      if (!c.error.empty()) {
        try {
          fromFile ? ReadCsvFile(folder / "t.csv") : CsvTable::Parse(c.bytes);
          ADD_FAILURE() << "not refused";
        } catch (const SerialError& e) {
          EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
        }
        continue;
      }
      const CsvTable table = fromFile ? ReadCsvFile(folder / "t.csv") : CsvTable::Parse(c.bytes);
      EXPECT_EQ(AllRows(table), c.rows);
      EXPECT_EQ(table.Encoding(), c.encoding);
    }
  }
  std::filesystem::remove_all(folder);
}

TEST(CsvTable, LineEndsAndBlankLines) {
  const std::vector<Cells> expected{{"1", "a"}, {"2", "b"}, {"3", "c"}, {"4", "d"}};
  for (const char* text :
       {"1;a\r\n2;b\r\n3;c\r\n4;d", "1;a\n2;b\n3;c\n4;d\n", "1;a\r2;b\r3;c\r4;d\r",
        "\r\n\r\n1;a\n\n2;b\r\r3;c\r\n\r\n4;d\r\n\r\n"}) {
    EXPECT_EQ(AllRows(CsvTable::Parse(text)), expected) << text;
  }
  EXPECT_EQ(CsvTable::Parse("").RowCount(), 0u);
  EXPECT_EQ(CsvTable::Parse("\r\n\n\r").RowCount(), 0u);
  EXPECT_EQ(CsvTable::Parse("").ColumnCount(), 0);
}

TEST(CsvTable, Encodings) {
  const CsvTable utf8 = CsvTable::Parse("Müller;Straße\n");
  EXPECT_EQ(utf8.Encoding(), CsvEncoding::Utf8);
  EXPECT_EQ(utf8.Row(0), (Cells{"Müller", "Straße"}));

  const CsvTable bom = CsvTable::Parse("\xEF\xBB\xBFMüller;Straße\n");
  EXPECT_EQ(bom.Encoding(), CsvEncoding::Utf8WithBom);
  EXPECT_EQ(bom.Row(0), (Cells{"Müller", "Straße"}));

  // Not valid UTF-8: Windows-1252, as older spreadsheet exports are.
  const CsvTable ansi = CsvTable::Parse(
      "M\xFCller;Stra\xDF"
      "e;\x80 5\n");
  EXPECT_EQ(ansi.Encoding(), CsvEncoding::Windows1252);
  EXPECT_EQ(ansi.Row(0), (Cells{"Müller", "Straße", "€ 5"}));
  EXPECT_EQ(EncodingName(ansi.Encoding()), "Windows-1252");
  EXPECT_EQ(EncodingName(bom.Encoding()), "UTF-8 mit BOM");
}

TEST(CsvTable, SeparatorDetection) {
  EXPECT_EQ(DetectSeparator("a;b;c\n"), ';');
  EXPECT_EQ(DetectSeparator("a,b,c\n"), ',');
  EXPECT_EQ(DetectSeparator("a\tb\tc\n"), '\t');
  EXPECT_EQ(DetectSeparator("a|b|c\n"), '|');
  // Only the first line counts, separators inside quotes do not, and ties go to the earlier.
  EXPECT_EQ(DetectSeparator("\"Berg, Anna\";Köln\na,b,c,d,e\n"), ';');
  EXPECT_EQ(DetectSeparator("a,b;c\n"), ';');
  EXPECT_EQ(DetectSeparator("\r\n\r\nx|y\n"), '|');
  EXPECT_EQ(DetectSeparator("nur ein Feld\n"), ';');
  // A given separator wins over the detected one.
  EXPECT_EQ(CsvTable::Parse("a;b,c\n", ',').Row(0), (Cells{"a;b", "c"}));
}

TEST(CsvTable, LimitsAndMissingFiles) {
  const std::string longLine(kMaxCsvLineBytes + 1, 'x');
  try {
    CsvTable::Parse("kurz\n" + longLine + "\n");
    FAIL() << "a line over 1 MB was read";
  } catch (const SerialError& e) {
    EXPECT_STREQ(e.what(), "Die CSV-Datei hat in Zeile 2 mehr als 1 MB; sie wird nicht gelesen.");
  }
  // Exactly 1 MB is still a line.
  EXPECT_EQ(CsvTable::Parse(std::string(kMaxCsvLineBytes, 'x')).RowCount(), 1u);

  const auto folder = testing::FreshTestFolder("csv_");
  try {
    ReadCsvFile(folder / "fehlt.csv");
    FAIL() << "a missing file was read";
  } catch (const SerialError& e) {
    EXPECT_NE(std::string(e.what()).find((folder / "fehlt.csv").string()), std::string::npos);
  }
  std::ofstream(folder / "da.csv") << "1|2\n";
  EXPECT_EQ(ReadCsvFile(folder / "da.csv").Row(0), (Cells{"1", "2"}));
  // Over 1 GB (a sparse file: nothing is read to find out).
  std::ofstream(folder / "riesig.csv") << "a;b\n";
  std::filesystem::resize_file(folder / "riesig.csv", kMaxCsvFileBytes + 1);
  try {
    ReadCsvFile(folder / "riesig.csv");
    FAIL() << "a file over 1 GB was read";
  } catch (const SerialError& e) {
    EXPECT_NE(std::string(e.what()).find("größer als 1 GB"), std::string::npos);
  }
  EXPECT_THROW(ReadCsvFile(folder), SerialError);  // a folder
  std::filesystem::remove_all(folder);
}

// A file is read in pieces of 1 MB: rows, quoted line breaks and CR LF across the seams come
// out as from the same bytes in one piece. Each row is found again where it is, one by one or
// in a pass, however long the rows around it are.
TEST(CsvTable, AFileReadInPiecesGivesTheSameRows) {
  // About 1.3 MB: twenty read-ahead pieces, with quoted line breaks, empty lines and cells larger
  // than a piece falling across their borders.
  constexpr int kRows = 15000;
  const auto folder = testing::FreshTestFolder("csv_pieces_");
  std::string bytes = "\xEF\xBB\xBF";
  for (int i = 0; i < kRows; ++i) {
    const std::size_t filler = i % 997 == 0 ? 40000 + i % 7 : i % 53;
    bytes += "\"Zeile\r\n" + std::to_string(i) + "\";" + std::string(filler, 'x') + ";Ende\r\n";
    if (i % 7 == 0) bytes += "\r\n";
  }
  ASSERT_GT(bytes.size(), std::size_t{16 * 64 * 1024});  // the read-ahead is 64 KB
  std::ofstream(folder / "gross.csv", std::ios::binary) << bytes;
  const CsvTable whole = CsvTable::Parse(bytes);
  const CsvTable pieces = ReadCsvFile(folder / "gross.csv");
  ASSERT_EQ(whole.RowCount(), std::size_t{kRows});
  ASSERT_EQ(pieces.RowCount(), whole.RowCount());
  EXPECT_EQ(pieces.Encoding(), CsvEncoding::Utf8WithBom);
  for (std::size_t row = 0; row < whole.RowCount(); row += 1 + row % 13) {
    ASSERT_EQ(pieces.Row(row), whole.Row(row)) << row;
    ASSERT_EQ(pieces.Row(row).at(0), "Zeile\r\n" + std::to_string(row));
  }
  constexpr int kLast = kRows - 1;
  EXPECT_EQ(pieces.Row(kLast),
            (Cells{"Zeile\r\n" + std::to_string(kLast), std::string(kLast % 53, 'x'), "Ende"}));
  EXPECT_EQ(pieces.Row(kRows), Cells{});
  std::size_t next = 995;
  pieces.ForEachRow(995, 2100, [&](std::size_t index, Cells& cells) {
    ASSERT_EQ(index, next++);
    ASSERT_EQ(cells, whole.Row(index));
  });
  EXPECT_EQ(next, 2101u);
  pieces.ForEachRow(kLast - 9, kRows + 50000, [&](std::size_t index, Cells&) { next = index; });
  EXPECT_EQ(next, std::size_t{kLast});
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace quirabel::serial
