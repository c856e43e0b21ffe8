// Text beyond Windows-1252: set in embedded, subsetted fonts that give the text back exactly, and
// refused with the character named when no installed font has it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "pdf/pdf_canvas.h"
#include "pdf/pdf_doc.h"
#include "pdf/pdf_errors.h"
#include "pdf/pdf_unicode_font.h"
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

// A word of right-to-left letters as it is read: pdftotext -bbox gives the glyphs left to right.
std::string ReadingOrder(const std::string& glyphs) {
  std::vector<std::string> characters;
  for (std::size_t pos = 0, length = 1; pos < glyphs.size(); pos += length) {
    pdf::DecodeUtf8At(glyphs, pos, length);
    characters.push_back(glyphs.substr(pos, length));
  }
  if (!glyphs.empty() && static_cast<unsigned char>(glyphs[0]) >= 0xD6)
    std::reverse(characters.begin(), characters.end());
  std::string word;
  for (const std::string& ch : characters) word += ch;
  return word;
}

// The words of a PDF page from left to right, as pdftotext finds their glyphs.
std::vector<std::string> WordsLeftToRight(const std::string& pdfFile) {
  const std::string html =
      testing::RunTool("pdftotext -bbox -enc UTF-8 " + testing::ShellQuote(pdfFile) + " -").out;
  std::vector<std::pair<double, std::string>> words;
  static const std::regex kWord(R"re(<word xMin="([0-9.]+)"[^>]*>([^<]*)</word>)re");
  for (std::sregex_iterator it(html.begin(), html.end(), kWord), end; it != end; ++it)
    words.emplace_back(std::stod((*it)[1]), (*it)[2]);
  std::sort(words.begin(), words.end());
  std::vector<std::string> texts;
  for (const auto& word : words) texts.push_back(ReadingOrder(word.second));
  return texts;
}

TEST_F(UnicodeTest, RightToLeftTextIsDrawnInReadingOrderAndCopiedInLogicalOrder) {
  struct Case {
    bool field;
    std::string text;
    std::vector<std::string> drawn;  // the words from left to right
    bool copiedAsWritten;            // pdftotext orders mixed lines by guesses of its own
  };
  const std::vector<Case> cases = {
      {false, "שלום עולם", {"עולם", "שלום"}, true},
      {false, "مرحبا بالعالم", {"بالعالم", "مرحبا"}, true},  // joined, copied as letters
      {false, "שלום 123 Anna עולם", {"עולם", "Anna", "123", "שלום"}, false},
      {false, "Anna שלום עולם 2026", {"Anna", "2026", "עולם", "שלום"}, false},
      {false, "\u202Eabc def", {"fed", "cba"}, false},  // an override (RLO)
      {true, "Anna\r\nשלום עולם", {"Anna", "עולם", "שלום"}, false},
  };
  for (const Case& c : cases) {
    while (!panel->Controls().empty()) delete panel->Controls().back();
    if (c.field) {
      Add<TPRText>(20, 20, 300, 60)->SetText(c.text);
    } else {
      Add<TPRLabel>(20, 20, 300, 20)->SetCaption(c.text);
    }
    const std::string bytes = Export();
    EXPECT_TRUE(testing::IsValidPdf(bytes));
    const std::string file = testing::WriteTempFile(bytes);
    EXPECT_EQ(WordsLeftToRight(file), c.drawn) << c.text;
    // pdftotext marks a right-to-left line with an embedding (U+202B ... U+202C).
    const std::string copied =
        std::regex_replace(TextOf(bytes), std::regex("\u202B|\u202C|\n|\f"), "");
    if (c.copiedAsWritten) {
      EXPECT_EQ(copied, c.text);
    }
  }
}

TEST_F(UnicodeTest, ControlCharactersFailTheirElementByNameAndTextFieldLineBreaksPrint) {
  struct Case {
    bool field;  // a text field, else a text line
    std::string text;
    std::vector<char32_t> refused;  // none: it prints
  };
  const std::vector<Case> cases = {
      {false, "An\x01na\x7F\x1B[31m", {0x01, 0x7F, 0x1B}},  // Windows-1252 bytes
      {false, "Łukasz\x01", {0x01}},                        // UTF-8
      {false, "Anna\xC2\x85", {0x85}},                      // a C1 control (NEL)
      {false, "Anna\tBerg", {0x09}},
      {true, "Anna\tBerg", {0x09}},
      {true, "Anna\r\nBerg\r\nŁódź", {}},  // the line breaks of a text field
      {false, "Anna € Berg", {}},
  };
  for (const Case& c : cases) {
    while (!panel->Controls().empty()) delete panel->Controls().back();
    TPRCustomLabel* element;
    if (c.field) {
      auto* text = Add<TPRText>(20, 20, 300, 60);
      text->SetText(c.text);
      element = text;
    } else {
      auto* label = Add<TPRLabel>(20, 20, 300, 20);
      label->SetCaption(c.text);
      element = label;
    }
    element->SetName("PRLabelName");
    try {
      const std::string bytes = Export();
      EXPECT_TRUE(c.refused.empty()) << c.text;
      EXPECT_TRUE(testing::IsValidPdf(bytes));
    } catch (const pdf::EPdfMissingCharacters& e) {
      report->Abort();
      EXPECT_TRUE(e.Control()) << c.text;
      EXPECT_EQ(e.Characters(), c.refused) << c.text;
      const std::string what = e.what();
      EXPECT_TRUE(what.starts_with("Seite 1, Element „PRLabelName“ enthält ")) << what;
      EXPECT_NE(what.find(pdf::CodePointText(c.refused.front())), std::string::npos) << what;
    }
  }
}

}  // namespace
}  // namespace quirabel::report
