#include "pdf/pdf_fonts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "pdf/pdf_canvas.h"
#include "pdf/pdf_doc.h"
#include "support/pdf_check.h"

namespace quirabel::pdf {
namespace {

TEST(StandardFonts, FontObjectIsWrittenExactly) {
  TPdfXref xref;
  TPdfArialBold font(xref, "Arial-Bold");
  font.SetResourceName("F3");
  std::string out;
  font.Data()->WriteObject(out);
  EXPECT_EQ(out,
            "1 0 obj\r\n<<\r\n/Type /Font\r\n/Subtype /Type1\r\n/Encoding /WinAnsiEncoding\r\n"
            "/FirstChar 32\r\n/LastChar 255\r\n/BaseFont /Helvetica-Bold\r\n/Name /F3\r\n>>\r\n"
            "endobj\r\n");
  EXPECT_EQ(font.FirstChar(), 32);
  EXPECT_EQ(font.LastChar(), 255);
}

TEST(StandardFonts, RegistryKnowsTheTwelveNames) {
  std::vector<std::pair<std::string, std::string>> expected = {
      {"FixedWidth", "Courier"},
      {"FixedWidth-Bold", "Courier-Bold"},
      {"FixedWidth-Italic", "Courier-Oblique"},
      {"FixedWidth-BoldItalic", "Courier-BoldOblique"},
      {"Arial", "Helvetica"},
      {"Arial-Bold", "Helvetica-Bold"},
      {"Arial-Italic", "Helvetica-Oblique"},
      {"Arial-BoldItalic", "Helvetica-BoldOblique"},
      {"Times-Roman", "Times-Roman"},
      {"Times-Bold", "Times-Bold"},
      {"Times-Italic", "Times-Italic"},
      {"Times-BoldItalic", "Times-BoldItalic"},
  };
  TPdfXref xref;
  for (const auto& [name, baseFont] : expected) {
    auto font = FindStandardFont(name).create(xref, name);
    EXPECT_EQ(font->Name(), name);
    EXPECT_EQ(font->Data()->NameOf("BaseFont")->Value(), baseFont);
  }
  EXPECT_THROW(FindStandardFont("Courier"), EPdfInvalidValue);
  EXPECT_THROW(FindStandardFont("arial"), EPdfInvalidValue);

  EXPECT_EQ(StandardFontName(1, false, false), "Arial");
  EXPECT_EQ(StandardFontName(0, true, false), "FixedWidth-Bold");
  EXPECT_EQ(StandardFontName(2, false, false), "Times-Roman");
  EXPECT_EQ(StandardFontName(2, false, true), "Times-Italic");
  EXPECT_EQ(StandardFontName(2, true, true), "Times-BoldItalic");
}

TEST(StandardFonts, MeasuringWithTheTables) {
  TPdfDoc doc;
  TPdfCanvas& canvas = doc.CreateVirtualCanvas();
  canvas.SetFont("Arial", 12);
  EXPECT_DOUBLE_EQ(canvas.TextWidth("A"), 8.004);
  canvas.SetFont("FixedWidth-BoldItalic", 10);
  EXPECT_DOUBLE_EQ(canvas.TextWidth("Gr\xF6\xDF"
                                    "e \x80 (x)"),
                   6 * 11);
  canvas.SetFont("Arial-Italic", 10);
  canvas.SetCharSpace(5);
  EXPECT_DOUBLE_EQ(canvas.TextWidth("\xA0"), -5);  // zero width, so no spacing either
  EXPECT_DOUBLE_EQ(canvas.TextWidth("\xAD"), -5);
  canvas.SetCharSpace(0);
  canvas.SetFont("Times-Bold", 10);
  EXPECT_NEAR(canvas.TextWidth("W\x80"), 10 + 5, 1e-9);
}

// The widths the tables give agree with the glyph boxes a PDF reader computes for the same text.
TEST(StandardFonts, ReaderAgreesWithTheWidthTables) {
  ASSERT_TRUE(testing::ToolAvailable("pdftotext"));
  const std::vector<std::string> fonts = {"Arial", "Arial-Bold", "Times-Roman", "Times-Italic",
                                          "FixedWidth"};
  const std::string words[] = {"Visitenkarte", "WAVE@",
                               "Gr\xFC\xDF"
                               "e",
                               "\xC4pfel,quer!", "fij"};
  FixedClock clock(LocalDateTime{2026, 12, 7, 10, 0, 0, 0});
  TPdfDoc doc(clock);
  doc.NewDoc();
  doc.AddPage();
  TPdfCanvas& canvas = doc.Canvas();
  std::vector<double> expected;
  double y = 800;
  for (const auto& font : fonts) {
    canvas.SetFont(font, 20);
    for (const auto& word : words) {
      canvas.BeginText();
      canvas.MoveTextPoint(50, y);
      canvas.ShowText(word);
      canvas.EndText();
      expected.push_back(canvas.TextWidth(word));
      y -= 28;
    }
  }
  std::string file;
  doc.SaveToStream(file);
  ASSERT_TRUE(testing::IsValidPdf(file));

  const std::string pdf = testing::WriteTempFile(file);
  const auto run = testing::RunTool("pdftotext -bbox " + testing::ShellQuote(pdf) + " -");
  std::filesystem::remove(pdf);
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  std::regex wordBox(R"re(<word xMin="([0-9.]+)" yMin="[0-9.]+" xMax="([0-9.]+)")re");
  std::vector<double> measured;
  for (auto it = std::sregex_iterator(run.out.begin(), run.out.end(), wordBox);
       it != std::sregex_iterator(); ++it) {
    measured.push_back(std::stod((*it)[2]) - std::stod((*it)[1]));
  }
  ASSERT_EQ(measured.size(), expected.size()) << run.out;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NEAR(measured[i], expected[i], 0.01) << "word " << i << " in " << fonts[i / 5];
  }
}

}  // namespace
}  // namespace quirabel::pdf
