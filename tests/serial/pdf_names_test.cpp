// File names of serial PDFs: from a column or the identifier, kept inside the target folder,
// never one file for two rows.
#include "serial/pdf_names.h"

#include <gtest/gtest.h>

namespace quirabel::serial {
namespace {

using Names = std::vector<std::string>;

TEST(PdfNames, IdentifierAndCounter) {
  const CsvTable table = CsvTable::Parse("a;b\nc;d\ne;f\n");
  EXPECT_EQ(PdfFileNames(table, Naming{}, 3),
            (Names{"pdf-file1.pdf", "pdf-file2.pdf", "pdf-file3.pdf"}));
  EXPECT_EQ(PdfFileNames(table, Naming{0, "Karte/"}, 2), (Names{"Karte1.pdf", "Karte2.pdf"}));
  // Made per row, the names are the same, also for identifiers that need care or shortening.
  for (const std::string& identifier :
       {std::string("pdf-file"), std::string(" a/b "), std::string(""), std::string(190, 'z')}) {
    const PdfFileNamer namer(table, Naming{0, identifier}, 3);
    const Names listed = PdfFileNames(table, Naming{0, identifier}, 3);
    for (std::size_t row = 1; row <= 3; ++row)
      EXPECT_EQ(namer.NameOfRow(row), listed[row - 1]) << identifier;
  }
}

TEST(PdfNames, FromAColumnMadeSafe) {
  const std::string longName(198, 'x');
  const CsvTable table = CsvTable::Parse(
      "1;Müller\n2;../../etc/passwd\n3;  \n4;..\n5;a\\b\x01"
      "c\n6;" +
      longName + "äöü\n7\n");
  EXPECT_EQ(PdfFileNames(table, Naming{2, "pdf-file"}, 7),
            (Names{"Müller.pdf", "....etcpasswd.pdf", "pdf-file3.pdf", "pdf-file4.pdf", "a_b_c.pdf",
                   longName + "ä.pdf", "pdf-file7.pdf"}));
  // Names that FAT, exFAT and NTFS take, on every disk.
  const std::pair<std::string, std::string> stems[] = {
      {"  \t Anna Berg \t", "Anna Berg"}, {".", ""},   {"/./", ""},
      {"a:b", "a_b"},                     {R"(*?"<>|\)", "_______"},
      {"Tab\tin", "Tab_in"},              {"con", "con_"}, {"LPT1.Rechnung", "LPT1_.Rechnung"},
      {"COM0", "COM0"},                   {"Conrad", "Conrad"}};
  for (const auto& [text, stem] : stems) EXPECT_EQ(SafeFileStem(text), stem) << text;
  EXPECT_EQ(SafeFileStem(std::string(300, 'y')).size(), kMaxFileStemBytes);
}

TEST(PdfNames, RepeatsGetNumbersAndPartsMatchTheWhole) {
  const CsvTable table = CsvTable::Parse("Berg\nBerg\nBerg-2\nBerg\nUfer\nBerg-2\n");
  const Names whole = PdfFileNames(table, Naming{1, "x"}, 6);
  EXPECT_EQ(whole, (Names{"Berg.pdf", "Berg-2.pdf", "Berg-2-2.pdf", "Berg-3.pdf", "Ufer.pdf",
                          "Berg-2-3.pdf"}));
  // A run of the first rows names them as the whole run does.
  const Names part = PdfFileNames(table, Naming{1, "x"}, 4);
  EXPECT_EQ(part, Names(whole.begin(), whole.begin() + 4));
  // The rows from the fifth on, as a part of a run asks for them: only those are named.
  const PdfFileNamer tail(table, Naming{1, "x"}, 6, 5);
  EXPECT_EQ(tail.NameOfRow(4), "");
  EXPECT_EQ(tail.NameOfRow(5), "Ufer.pdf");
  EXPECT_EQ(tail.NameOfRow(6), "Berg-2-3.pdf");
}

// Past a few hundred thousand names the table of names moves out of memory; repeats are found
// as before, and a cell that looks like an earlier repeat's name still gets a number of its own.
TEST(PdfNames, ManyRowsAreNamedAsFewAre) {
  constexpr std::size_t kRows = 300000;
  std::string csv;
  for (std::size_t i = 0; i < kRows; ++i)
    csv += (i == kRows - 1 ? "n7-2" : "n" + std::to_string(i % 1000)) + "\n";
  const CsvTable table = CsvTable::Parse(csv);
  const PdfFileNamer namer(table, Naming{1, "x"}, kRows, kRows - 2000);
  for (std::size_t row = kRows - 2000; row < kRows; ++row) {
    const std::size_t index = row - 1;
    ASSERT_EQ(namer.NameOfRow(row),
              "n" + std::to_string(index % 1000) + "-" + std::to_string(index / 1000 + 1) + ".pdf");
  }
  EXPECT_EQ(namer.NameOfRow(kRows), "n7-2-2.pdf");
}

// On a case-insensitive disk "Anna.pdf" and "ANNA.pdf" are one file: names are told apart as
// such a disk compares them, on every disk.
TEST(PdfNames, CaseAndNormalisationNeverShareAFile) {
  struct Case {
    std::string csv;
    Names names;
  };
  const std::string composed = "\xC3\x84rger";     // Ä as one character
  const std::string decomposed = "A\xCC\x88rger";  // A and the combining diaeresis
  const std::vector<Case> cases = {
      {"Anna\nanna\nANNA\n", {"Anna.pdf", "anna-2.pdf", "ANNA-3.pdf"}},
      {composed + "\n" + decomposed + "\n\xC3\xA4RGER\n",
       {composed + ".pdf", decomposed + "-2.pdf", "\xC3\xA4RGER-3.pdf"}},
      // Folding that changes the length: ß and SS, the Kelvin sign and k.
      {"Stra\xC3\x9F"
       "e\nSTRASSE\n\xE2\x84\xAA"
       "a\nka\n",
       {"Stra\xC3\x9F"
        "e.pdf",
        "STRASSE-2.pdf",
        "\xE2\x84\xAA"
        "a.pdf",
        "ka-2.pdf"}},
      // A cell that looks like an earlier name's repeat.
      {"berg\nBerg\nBERG-2\nberg\n", {"berg.pdf", "Berg-2.pdf", "BERG-2-2.pdf", "berg-3.pdf"}},
      // A cell and the identifier's name for an empty cell.
      {"pdf-FILE2;x\n;y\n", {"pdf-FILE2.pdf", "pdf-file2-2.pdf"}},
  };
  for (const Case& c : cases) {
    const CsvTable table = CsvTable::Parse(c.csv, ';');
    EXPECT_EQ(PdfFileNames(table, Naming{1, "pdf-file"}, table.RowCount()), c.names) << c.csv;
  }
}

}  // namespace
}  // namespace quirabel::serial
