// Codes as printed: each kind on a page of its own, rendered at 300 dpi and read back by a reader
// as a phone or scanner would; and the sizes at which a code is refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "pdf/pdf_doc.h"
#include "report/pr_code.h"
#include "report/pr_report.h"
#include "support/fake_platform.h"
#include "support/pdf_check.h"
#include "support/test_folder.h"

namespace quirabel::report {
namespace {

using graphics::CodeKind;

std::size_t Count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t pos = text.find(what); pos != std::string_view::npos;
       pos = text.find(what, pos + 1))
    ++n;
  return n;
}

// A page holding one code, printed into `file`; the PDF's bytes.
struct CodePage {
  testing::FakePlatform platform;
  ui::Component window;
  TPReport* report;
  TPRPage* page;
  TPRCode* code;

  CodePage(int width, int height) {
    window.SetPlatform(&platform);
    report = new TPReport(&window);
    page = new TPRPage(&window);
    page->SetBounds(0, 0, 300, 300);
    auto* panel = new TPRLayoutPanel(&window);
    panel->SetBounds(0, 0, 300, 300);
    panel->SetParent(page);
    code = new TPRCode(&window);
    code->SetName("PRCode1");
    code->SetBounds(37, 41, width, height);
    code->SetParent(panel);
  }

  std::string Print(const std::filesystem::path& file) {
    report->SetFileName(file.string());
    report->BeginDoc();
    report->Print(*page);
    report->EndDoc();
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
};

// What a reader finds on the first page of a PDF rendered at 300 dpi.
std::string ReadCode(const std::filesystem::path& pdf, bool dataMatrix) {
  const std::filesystem::path image = pdf.parent_path() / (pdf.stem().string() + ".pgm");
  const auto render =
      testing::RunTool("pdftoppm -r 300 -gray " + testing::ShellQuote(pdf.string()) + " > " +
                       testing::ShellQuote(image.string()));
  EXPECT_EQ(render.exitCode, 0) << render.err;
  const auto read = testing::RunTool((dataMatrix ? "dmtxread " : "zbarimg --raw -q ") +
                                     testing::ShellQuote(image.string()));
  std::string text = read.out;
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

TEST(ReportCode, WhatIsPrintedIsReadBack) {
  ASSERT_TRUE(testing::ToolAvailable("pdftoppm") && testing::ToolAvailable("zbarimg") &&
              testing::ToolAvailable("dmtxread"));
  const auto dir = testing::FreshTestFolder("report_code_");
  std::filesystem::create_directories(dir);
  const std::string vcard = graphics::VCard3({"Müller", "Jürgen", "Quirabel GmbH", "+49 30 1234567",
                                              "j.mueller@example.org", "https://example.org"});
  const struct {
    CodeKind kind;
    graphics::QrErrorCorrection correction;
    std::string content;
    int width, height;
    std::string read;  // what the reader gives back, when it differs from the content
    std::string name;  // a row's cell for the marker <Name>: a code filled per row
  } cases[] = {
      {CodeKind::QrCode, graphics::QrErrorCorrection::M, vcard, 150, 150, "", ""},
      {CodeKind::QrCode, graphics::QrErrorCorrection::H, "https://example.org/k?id=4711", 70, 90,
       "", ""},
      {CodeKind::DataMatrix, graphics::QrErrorCorrection::M, "Eintrittskarte 0815", 60, 60, "", ""},
      {CodeKind::Code128, graphics::QrErrorCorrection::M, "Ticket-4711", 200, 50, "", ""},
      {CodeKind::Ean13, graphics::QrErrorCorrection::M, "400638133393", 160, 60, "4006381333931",
       ""},
      {CodeKind::QrCode, graphics::QrErrorCorrection::M,
       "BEGIN:VCARD\r\nVERSION:3.0\r\nN:<Name>;;;;\r\nEND:VCARD\r\n", 150, 150,
       // One name field: split at its last space into family and given name.
       "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Дмитрий;Łukasz Żółć\\, Αλέξανδρος;;;\r\nEND:VCARD\r\n",
       "Łukasz Żółć, Αλέξανδρος Дмитрий"},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content);
    CodePage page(c.width, c.height);
    page.code->SetCodeKind(c.kind);
    page.code->SetCorrection(c.correction);
    page.code->SetContent(c.content);
    page.code->SetColor(graphics::RGB(0, 0, 90));
    if (!c.name.empty()) page.code->SetFieldValue("Name", c.name);
    const std::filesystem::path file = dir / ("code" + std::to_string(++n) + ".pdf");
    const std::string pdf = page.Print(file);
    EXPECT_TRUE(page.platform.messages.empty());
    ASSERT_TRUE(testing::IsValidPdf(pdf));
    // Vector rectangles, one path: a rectangle per bar and a single fill; no picture.
    EXPECT_EQ(Count(pdf, " re\n"), page.code->Symbol().bars.size());
    EXPECT_EQ(Count(pdf, "\nf\n"), 1u);
    EXPECT_EQ(Count(pdf, " Do\n"), 0u);
    EXPECT_EQ(ReadCode(file, c.kind == CodeKind::DataMatrix), c.read.empty() ? c.content : c.read);
  }
  std::filesystem::remove_all(dir);
}

TEST(ReportCode, ModulesStayWholeAndReadable) {
  graphics::CodeSymbol qr = graphics::EncodeCode(CodeKind::QrCode, "https://example.org");
  const int side = qr.columns + 2 * qr.quietZone;
  const double dot = 72.0 / 300;
  const double minModule = 0.25 * 72 / 25.4;
  const struct {
    double size;
    bool fits;
  } cases[] = {{side * 3 * dot, true},          // three dots: 0.254 mm
               {side * 3 * dot - 0.01, false},  // just below
               {side * 7.6 * dot, true},        // rounded down to seven dots
               {200, true}};
  for (const auto& c : cases) {
    bool fits = false;
    const CodeGeometry g = LayOutCode(qr, c.size, c.size, &fits);
    EXPECT_EQ(fits, c.fits) << c.size;
    EXPECT_GE(g.module, minModule);
    const double dots = g.module / dot;
    EXPECT_NEAR(dots, std::round(dots), 1e-9);
    if (fits) {
      EXPECT_LE(side * g.module, c.size + 1e-9);
    }
  }

  // Too small to print readably, or content the kind cannot hold: the element says why, and the
  // screen shows a frame instead of a wrong symbol.
  const struct {
    CodeKind kind;
    std::string content;
    int size;
    std::string reason;
  } refused[] = {
      {CodeKind::QrCode, std::string(400, 'x'), 40, "0,25 mm"},
      {CodeKind::Ean13, "40063813339X", 150, "PRCode1"},
      {CodeKind::Ean13, "4006381333932", 150, "Prüfziffer"},
  };
  for (const auto& c : refused) {
    CodePage page(c.size, c.size);
    page.code->SetCodeKind(c.kind);
    page.code->SetContent(c.content);
    EXPECT_FALSE(page.code->ModulesReadable());
    TPRCanvas canvas;
    pdf::TPdfDoc doc;
    doc.NewDoc();
    doc.AddPage();
    canvas.SetPdfCanvas(&doc.Canvas());
    try {
      page.code->Print(canvas, page.code->BoundsRect());
      ADD_FAILURE() << c.content << " was printed";
    } catch (const graphics::CodeError& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
  }
}

// In a small picture of the page (a file manager's thumbnail) a code no pixel could show is one
// grey area, not thousands of modules; a code large enough in the picture is drawn as printed.
TEST(ReportCode, APictureOfThePageShowsCodesTooSmallForItsPixelsAsAnArea) {
  const struct {
    double pointsPerPixel;  // 0: a document
    bool area;
  } cases[] = {{0, false}, {0.5, false}, {3, true}};
  for (const auto& c : cases) {
    CodePage page(100, 100);
    page.code->SetContent("https://example.org");
    TPRCanvas canvas;
    canvas.SetPreviewPointsPerPixel(c.pointsPerPixel);
    pdf::TPdfDoc doc;
    doc.NewDoc();
    doc.AddPage();
    canvas.SetPdfCanvas(&doc.Canvas());
    doc.Canvas().Contents()->Data().clear();
    page.code->Print(canvas, page.code->BoundsRect());
    const std::string& content = doc.Canvas().Contents()->Data();
    EXPECT_EQ(Count(content, " re\n") == 1, c.area) << c.pointsPerPixel << "\n" << content;
  }
}

TEST(ReportCode, FieldsOfTheContentAreFilled) {
  TPRCode code;
  code.SetContent("N:<Name>;<Vorname>\r\nFN:<Vorname> <Name>\r\nNOTE:<a<b> <>");
  EXPECT_EQ(CodeFieldsOf(code.Content()), (std::vector<std::string>{"Name", "Vorname", "b"}));
  code.SetFieldValue("Name", "Müller");
  code.SetFieldValue("Vorname", "<Jürgen>");
  EXPECT_EQ(code.FilledContent(), "N:Müller;<Jürgen>\r\nFN:<Jürgen> Müller\r\nNOTE:<a<b> <>");
  // In a vCard a cell's comma, semicolon or line break stays inside its value.
  code.SetContent("BEGIN:VCARD\r\nORG:<Firma>\r\nEND:VCARD\r\n");
  code.SetFieldValue("Firma", "Müller, Meier; Söhne\nKöln");
  EXPECT_EQ(code.FilledContent(),
            "BEGIN:VCARD\r\nORG:Müller\\, Meier\\; Söhne\\nKöln\r\nEND:VCARD\r\n");
}

}  // namespace
}  // namespace quirabel::report
