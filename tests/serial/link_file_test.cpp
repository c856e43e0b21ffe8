// The link file: the scrambling, the field assignment list, and what reading and writing refuse.
#include "serial/link_file.h"

#include <gtest/gtest.h>

#include "base/atomic_file.h"
#include "serial/serial_error.h"
#include "support/test_folder.h"

namespace quirabel::serial {
namespace {

TEST(LinkFile, ScramblingAddsTheRepeatingKey) {
  // 'A' (0x41) under 'q' (0x71) is 0xB2, 'B' under 'v' (0x76) 0xB8; the key starts again after
  // 13 bytes, and sums wrap at 256.
  EXPECT_EQ(Scramble("AB"), "\xB2\xB8");
  EXPECT_EQ(Scramble(std::string(14, '\0')), "qvw47ktrbmz93q");
  EXPECT_EQ(Scramble("\xFF"), "\x70");
  EXPECT_EQ(Unscramble("\xB2\xB8"), "AB");
  // A plain "Ö" (0xD6) under the fourth key character '4' becomes a lone LF.
  EXPECT_EQ(Scramble("abc\xD6")[3], '\n');
}

TEST(LinkFile, ReadsTheLinesOfAStoredFile) {
  const std::string bytes = "egal\r\n" + Scramble("Vorname  ->  Feld1\r\nName  ->  Feld3\r\n") +
                            "\r\n" + Scramble("C:\\Daten\\kunden.csv") + "\r\n" + Scramble(";") +
                            "\r\n";
  const LinkFile link = ParseLinkFile(bytes);
  EXPECT_EQ(link.assignments, (std::vector<std::string>{"Vorname  ->  Feld1", "Name  ->  Feld3"}));
  EXPECT_EQ(link.csvPath, "C:\\Daten\\kunden.csv");
  EXPECT_EQ(link.separator, ';');

  // A scrambled lone LF or CR does not split a line: only CR LF does.
  const std::string withLf = "x\r\n" + Scramble("Ort  ->  Feld2") + "\r\n" +
                             Scramble("abc\xD6.csv") + "\r\n" + Scramble("\t") + "\r\n";
  const LinkFile lf = ParseLinkFile(withLf);
  EXPECT_EQ(lf.csvPath, "abcÖ.csv");
  EXPECT_EQ(lf.separator, '\t');

  EXPECT_THROW(ParseLinkFile("eins\r\nzwei\r\ndrei"), SerialError);
  EXPECT_THROW(ParseLinkFile("eins\r\n\r\n\r\n\r\n"), SerialError);  // no separator
}

TEST(LinkFile, AnEntryIsFoundByTheWholeFieldName) {
  const std::vector<std::string> list{"Vorname  ->  Feld1", "Name  ->  Feld3", "Ort  ->  Feld12"};
  EXPECT_EQ(AssignedColumn(list, "Name"), 3);
  EXPECT_EQ(AssignedColumn(list, "Vorname"), 1);
  EXPECT_EQ(AssignedColumn(list, "Ort"), 12);
  EXPECT_EQ(AssignedColumn(list, "ame"), std::nullopt);
  EXPECT_EQ(AssignedColumn(list, "PLZ"), std::nullopt);
  // "Vorname  ->  Feld1" contains "name  ->", but belongs to another field.
  EXPECT_EQ(AssignedColumn({"Vorname  ->  Feld1"}, "name"), std::nullopt);
  EXPECT_EQ(AssignmentEntry("Name", 3), "Name  ->  Feld3");
  for (const char* bad : {"Name  ->  Feldx", "Name  ->  Feld0", "Name  ->  Feld", "Name  ->  3",
                          "Name  ->  Feld99999999999999999999"}) {
    EXPECT_THROW(AssignedColumn({bad}, "Name"), SerialError) << bad;
  }
}

TEST(LinkFile, WritingRoundTripsAndRefusesWhatCannotBeStored) {
  const auto folder = testing::FreshTestFolder("link_");
  const std::filesystem::path file = LinkFilePath(folder, "1423559");
  EXPECT_EQ(file, folder / "csv_db" / "1423559._cv");

  LinkFile link{{"Straße  ->  Feld2", "Name  ->  Feld1"}, (folder / "Kunden Ö.csv").string(), '|'};
  WriteLinkFile(file, link);
  const std::string bytes = ReadFile(file, 1 << 20);
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  const LinkFile back = ReadLinkFile(file);
  EXPECT_EQ(back.assignments, link.assignments);
  EXPECT_EQ(back.csvPath, link.csvPath);
  EXPECT_EQ(back.separator, '|');

  // A path Windows-1252 cannot hold.
  LinkFile greek = link;
  greek.csvPath = "/daten/Ωmega.csv";
  EXPECT_THROW(LinkFileBytes(greek), SerialError);
  // "œ”" (0x9C 0x94) scrambles to CR LF under "qv": it would split its line.
  LinkFile splitting = link;
  splitting.csvPath = "œ”.csv";
  try {
    LinkFileBytes(splitting);
    FAIL() << "a path that scrambles to CR LF was written";
  } catch (const SerialError& e) {
    EXPECT_NE(std::string(e.what()).find("Pfad der CSV-Datei"), std::string::npos);
  }
  LinkFile broken = link;
  broken.assignments.push_back("Zwei\nZeilen  ->  Feld1");
  EXPECT_THROW(LinkFileBytes(broken), SerialError);
  // The file already there stays as it was.
  EXPECT_THROW(WriteLinkFile(file, greek), SerialError);
  EXPECT_EQ(ReadFile(file, 1 << 20), bytes);

  try {
    ReadLinkFile(folder / "fehlt._cv");
    FAIL();
  } catch (const SerialError& e) {
    EXPECT_NE(std::string(e.what()).find("fehlt._cv"), std::string::npos);
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace quirabel::serial
