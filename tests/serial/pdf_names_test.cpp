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
            (Names{"Müller.pdf", "....etcpasswd.pdf", "pdf-file3.pdf", "pdf-file4.pdf", "abc.pdf",
                   longName + "ä.pdf", "pdf-file7.pdf"}));
  EXPECT_EQ(SafeFileStem("  \t Anna Berg \t"), "Anna Berg");
  EXPECT_EQ(SafeFileStem("."), "");
  EXPECT_EQ(SafeFileStem("/./"), "");
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
}

}  // namespace
}  // namespace quirabel::serial
