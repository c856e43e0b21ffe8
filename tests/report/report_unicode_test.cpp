// Text beyond Windows-1252: set in embedded, subsetted fonts that give the text back exactly, and
// refused with the character named when no installed font has it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pdf/pdf_canvas.h"
#include "pdf/pdf_doc.h"
#include "pdf/pdf_errors.h"
#include "report/pr_labels.h"
#include "report/pr_report.h"
#include "support/fake_platform.h"
#include "support/pdf_check.h"
#include "support/test_folder.h"

namespace quirabel::report {
namespace {

namespace fs = std::filesystem;

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1))
    ++n;
  return n;
}

class UnicodeTest : public ::testing::Test {
 protected:
  UnicodeTest() {
    window.SetPlatform(&platform);
    report = new TPReport(&window);
    page = new TPRPage(&window);
    panel = new TPRLayoutPanel(&window);
    panel->SetBounds(0, 0, page->Width(), page->Height());
    panel->SetParent(page);
    dir = testing::FreshTestFolder("report_unicode_");
  }
  ~UnicodeTest() override { fs::remove_all(dir); }

  template <class T>
  T* Add(int left, int top, int width, int height) {
    auto* element = new T(&window);
    element->SetBounds(left, top, width, height);
    element->SetParent(panel);
    return element;
  }

  // Prints the page `pages` times into one file; its bytes.
  std::string Export(int pages = 1) {
    const fs::path path = dir / "out.pdf";
    report->SetFileName(path.string());
    report->BeginDoc();
    for (int i = 0; i < pages; ++i) report->Print(*page);
    report->EndDoc();
    return ReadWholeFile(path);
  }

  std::string TextOf(const std::string& bytes) {
    const std::string file = testing::WriteTempFile(bytes);
    return testing::RunTool("pdftotext -enc UTF-8 " + testing::ShellQuote(file) + " -").out;
  }

  testing::FakePlatform platform;
  ui::Component window;
  TPReport* report;
  TPRPage* page;
  TPRLayoutPanel* panel;
  fs::path dir;
};

TEST_F(UnicodeTest, NamesOfManyScriptsPrintAsWrittenInEveryFamily) {
  const std::vector<std::string> names = {
      "Łukasz Żółć, Gdańsk",            // Polish
      "Şahin Çelik, İzmir ğı",          // Turkish
      "Jiří Dvořák, Kateřina Hořejší",  // Czech
      "Ștefan Țuțea, Brașov",           // Romanian
      "Ελένη Παπαδοπούλου",             // Greek
      "Юлия Смирнова, Москва",          // Cyrillic
      "Grüße aus Köln",                 // Windows-1252: the standard font as ever
      "Արամ Խաչատրյան",                 // Armenian: Liberation lacks it, another font has it
  };
  const TPRFontName families[] = {TPRFontName::fnArial, TPRFontName::fnTimesRoman,
                                  TPRFontName::fnFixedWidth};
  int top = 20;
  std::string expected;
  for (TPRFontName family : families) {
    for (const std::string& name : names) {
      auto* label = Add<TPRLabel>(20, top, 500, 20);
      label->SetCaption(name);
      label->SetFontName(family);
      label->SetFontBold(family == TPRFontName::fnTimesRoman);
      top += 22;
      expected += name + "\n";
    }
  }
  auto* field = Add<TPRText>(20, top, 500, 60);
  field->SetText("Zażółć gęślą jaźń\nΚαλημέρα κόσμε");
  field->SetLeading(14);
  expected += "Zażółć gęślą jaźń\nΚαλημέρα κόσμε\n";

  const std::string pdf = Export(3);
  ASSERT_TRUE(testing::IsValidPdf(pdf));
  // Every page gives the names back exactly.
  std::string threePages;
  for (int i = 0; i < 3; ++i) threePages += expected + "\f";
  std::string text = TextOf(pdf);
  for (std::size_t pos = text.find("\n\n"); pos != std::string::npos; pos = text.find("\n\n"))
    text.erase(pos, 1);
  EXPECT_EQ(text, threePages);
  // One subset per face, however many pages: Liberation Sans, Liberation Serif Bold, Liberation
  // Mono, and for Armenian the face fontconfig ranks first for each of the three styles.
  EXPECT_EQ(Count(pdf, "/FontFile2 "), 6u);
  EXPECT_EQ(Count(pdf, "/Subtype /Type0"), 6u);
  EXPECT_EQ(Count(pdf, "/Encoding /Identity-H"), 6u);
  EXPECT_NE(pdf.find("+LiberationSans\r\n"), std::string::npos);
  EXPECT_TRUE(pdf.starts_with("%PDF-1.3"));
  // The Windows-1252 name keeps the standard font.
  EXPECT_NE(pdf.find("(Gr\xFC\xDF"
                     "e aus K\xF6ln) Tj"),
            std::string::npos);
}

TEST_F(UnicodeTest, EmbeddedTextMeasuresAsTheStandardFontsDo) {
  // Liberation shares the widths of the standard fonts, so a name does not move when one letter
  // needs the embedded font.
  report->BeginDoc();
  report->Print(*page);
  pdf::TPdfCanvas& canvas = report->Doc()->Canvas();
  struct Case {
    const char* standard;
    std::string windows1252;
    std::string utf8;
  };
  const Case cases[] = {
      {"Arial", "Lukasz Zolc", "Łukasz Żolc"},
      {"Times-Roman", "Stefan Tutea", "Ştefan Ţuţea"},
      {"FixedWidth-Bold", "Sahin Celik", "Şahin Çelik"},
  };
  for (const Case& c : cases) {
    canvas.SetFont(c.standard, 12);
    const double standard = canvas.TextWidth(c.windows1252);
    canvas.SetFont(std::string(c.standard) + "+Unicode", 12);
    EXPECT_NEAR(canvas.TextWidth(c.utf8), standard, 0.05) << c.utf8;
    EXPECT_EQ(canvas.MeasureText(c.utf8, 1000), c.utf8.size());
  }
  report->Abort();
}

TEST_F(UnicodeTest, ACharacterNoFontHasFailsItsElementByName) {
  auto* label = Add<TPRLabel>(20, 20, 300, 20);
  label->SetName("PRLabelBImage01234");
  label->SetCaption("Anna \xEE\x80\x80 Berg");  // U+E000, private use
  // What the designer warns of before any export.
  EXPECT_EQ(label->UnprintableCharacters(label->Caption()), std::vector<char32_t>{0xE000});
  EXPECT_TRUE(label->UnprintableCharacters("Արամ Łukasz").empty());
  report->SetFileName((dir / "out.pdf").string());
  report->BeginDoc();
  try {
    report->Print(*page);
    FAIL() << "printed";
  } catch (const pdf::EPdfMissingCharacters& e) {
    EXPECT_STREQ(e.what(),
                 "Seite 1, Element „PRLabelBImage01234“: keine installierte Schrift hat das "
                 "Zeichen U+E000");
    EXPECT_EQ(e.Characters(), std::vector<char32_t>{0xE000});
  }
  report->Abort();
}

}  // namespace
}  // namespace quirabel::report
