// Rendering page panels into PDF: the operators each element writes, the document settings, and
// what happens when the file cannot be written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "base/user_error.h"
#include "graphics/jpeg.h"
#include "report/pr_images.h"
#include "report/pr_labels.h"
#include "report/pr_report.h"
#include "report/pr_shapes.h"
#include "support/fake_platform.h"
#include "support/pdf_check.h"
#include "support/recording_canvas.h"
#include "support/test_folder.h"

namespace quirabel::report {
namespace {

namespace fs = std::filesystem;
using graphics::Bitmap;
using graphics::Picture;
using graphics::PixelFormat;
using Lines = std::vector<std::string>;

constexpr char kEmptyPage[] = "/F0 10 Tf\n";

Lines SplitLines(const std::string& stream) {
  Lines lines;
  std::size_t start = 0;
  for (std::size_t lf = stream.find('\n'); lf != std::string::npos; lf = stream.find('\n', start)) {
    lines.push_back(stream.substr(start, lf - start));
    start = lf + 1;
  }
  EXPECT_EQ(start, stream.size()) << "the last operator is not ended by LF";
  return lines;
}

bool Has(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The lines from the first that equals `from` to the end.
Lines From(const Lines& lines, const std::string& from) {
  return Lines(std::find(lines.begin(), lines.end(), from), lines.end());
}

Picture Solid(int w, int h, graphics::TColor color) {
  Bitmap b(w, h, PixelFormat::pf24bit);
  b.FillRect(0, 0, w, h, color);
  return Picture::FromBitmap(std::move(b));
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class PrintTest : public ::testing::Test {
 protected:
  PrintTest() {
    window.SetPlatform(&platform);
    report = new TPReport(&window);
    page = NewPage(&panel);
    dir = testing::FreshTestFolder("report_print_");
  }
  ~PrintTest() override {
    if (report->Printing()) EndDocChecked();
    fs::remove_all(dir);
  }

  // A page panel with a layout panel covering it.
  TPRPage* NewPage(TPRLayoutPanel** layout) {
    auto* p = new TPRPage(&window);
    *layout = new TPRLayoutPanel(&window);
    (*layout)->SetBounds(0, 0, p->Width(), p->Height());
    (*layout)->SetParent(p);
    return p;
  }

  template <class T>
  T* Add(TPRLayoutPanel* on, int left, int top, int width, int height) {
    auto* element = new T(&window);
    element->SetBounds(left, top, width, height);
    element->SetParent(on);
    return element;
  }

  std::string Stream() const { return report->Doc()->Canvas().Contents()->Data(); }

  // Prints the page as a document of its own; the page's content stream.
  std::string PrintPage() {
    report->BeginDoc();
    report->Print(*page);
    std::string stream = Stream();
    EndDocChecked();
    return stream;
  }
  Lines PrintLines() { return SplitLines(PrintPage()); }

  // Ends the document into a file, checks the file and returns its bytes.
  std::string EndDocChecked() {
    const fs::path path = dir / ("out" + std::to_string(++files) + ".pdf");
    report->SetFileName(path.string());
    report->EndDoc();
    EXPECT_FALSE(report->Printing());
    std::string bytes = ReadAll(path);
    EXPECT_TRUE(testing::IsValidPdf(bytes));
    return bytes;
  }

  testing::FakePlatform platform;
  ui::Component window;
  TPReport* report;
  TPRPage* page;
  TPRLayoutPanel* panel;
  fs::path dir;
  int files = 0;
};

TEST_F(PrintTest, LabelWorkedExample) {
  auto* label = Add<TPRLabel>(panel, 10, 20, 100, 30);
  EXPECT_EQ(PrintPage(), kEmptyPage);  // no caption
  label->SetCaption("abc");
  const std::string expected = "/F0 10 Tf\n/F0 12 Tf\n0 0 0 rg\nBT\n10 811.8 Td\n(abc) Tj\nET\n";
  EXPECT_EQ(PrintPage(), expected);
  // Every page starts from the default text state, whatever the page before left.
  report->BeginDoc();
  report->Print(*page);
  report->Print(*page);
  EXPECT_EQ(Stream(), expected);
}

TEST_F(PrintTest, PagePixelsArePdfPointsFromThePageTop) {
  page->SetBounds(0, 0, 300, 200);
  panel->SetAlign(ui::TAlign::alClient);  // inside the margins of 32
  auto* inner = new TPRLayoutPanel(&window);
  inner->SetBounds(100, 50, 150, 80);
  inner->SetParent(panel);
  Add<TPRLabel>(panel, 10, 20, 100, 30)->SetCaption("outer");
  Add<TPRLabel>(inner, 5, 6, 40, 30)->SetCaption("inner");
  report->BeginDoc();
  report->Print(*page);
  const Lines lines = SplitLines(Stream());
  EXPECT_TRUE(Has(lines, "42 137.8 Td"));   // 32 + 10, 200 - (32 + 20) - 12 * 0.85
  EXPECT_TRUE(Has(lines, "137 101.8 Td"));  // 32 + 100 + 5, 200 - (32 + 50 + 6) - 10.2
  EXPECT_NE(EndDocChecked().find("/MediaBox [0 0 300 200 ]"), std::string::npos);
}

TEST_F(PrintTest, JustifiedLabelSpreadsItsCharacters) {
  struct Case {
    const char* caption;
    TPRFontName font;
    float size;
    int width;
    const char* charSpace;  // the Tc line, or none
  };
  const float twenty = 20.0f / 18 * 10;  // "abc" in FixedWidth is 20 points wide at this size
  const Case cases[] = {
      {"abc", TPRFontName::fnFixedWidth, twenty, 40, "10 Tc"},  // (40 - 20) / (3 - 1)
      {"abc", TPRFontName::fnFixedWidth, twenty, 15, nullptr},  // no negative spacing
      {"ab", TPRFontName::fnArial, 12, 1000, "300 Tc"},         // as far as a text state allows
  };
  for (const Case& c : cases) {
    auto* label = Add<TPRLabel>(panel, 10, 20, c.width, 30);
    label->SetCaption(c.caption);
    label->SetFontName(c.font);
    label->SetFontSize(c.size);
    label->SetAlignJustified(true);
    const Lines lines = PrintLines();
    const auto tc = std::find_if(lines.begin(), lines.end(),
                                 [](const std::string& line) { return line.ends_with(" Tc"); });
    EXPECT_EQ(tc == lines.end() ? "(none)" : *tc, c.charSpace ? c.charSpace : "(none)") << c.width;
    EXPECT_TRUE(Has(lines, std::string("(") + c.caption + ") Tj"));
    delete label;
  }
}

TEST_F(PrintTest, RectanglesAndTheirDashes) {
  auto* rect = Add<TPRRect>(panel, 10, 20, 100, 50);
  rect->SetLineWidth(1);
  EXPECT_EQ(PrintPage(),
            "/F0 10 Tf\n[] 0 d\n10 822 m\n109 822 l\n109 773 l\n10 773 l\n0 0 0 RG\n1 w\ns\n");
  const std::pair<TPenStyle, const char*> dashes[] = {
      {TPenStyle::psInsideFrame, "[] 0 d"},
      {TPenStyle::psDash, "[16 8 ] 0 d"},
      {TPenStyle::psDot, "[3 ] 0 d"},
      {TPenStyle::psDashDot, "[8 7 2 7 ] 0 d"},
      {TPenStyle::psDashDotDot, "[8 4 2 4 2 4 ] 0 d"},
  };
  for (auto [style, dash] : dashes) {
    rect->SetLineStyle(style);
    EXPECT_EQ(PrintLines().at(1), dash);
  }

  // Filled without a visible outline: fill colour, then the stroke state when there is a colour.
  rect->SetFillColor(graphics::clRed);
  rect->SetLineStyle(TPenStyle::psClear);
  rect->SetLineColor(graphics::clNone);
  EXPECT_EQ(PrintLines(), (Lines{"/F0 10 Tf", "10 822 m", "109 822 l", "109 773 l", "10 773 l",
                                 "1 0 0 rg", "h", "f"}));
  rect->SetLineColor(graphics::clBlack);
  EXPECT_EQ(From(PrintLines(), "1 0 0 rg"), (Lines{"1 0 0 rg", "0 0 0 RG", "1 w", "h", "f"}));
}

TEST_F(PrintTest, RectangleWithNeitherOutlineNorFillPrintsNothing) {
  // The screen shows nothing for these; the PDF must not stroke an outline either.
  auto* rect = Add<TPRRect>(panel, 10, 20, 100, 50);
  rect->SetLineColor(graphics::clNone);
  EXPECT_EQ(PrintPage(), kEmptyPage);
  rect->SetLineColor(graphics::clBlack);
  rect->SetLineStyle(TPenStyle::psClear);
  EXPECT_EQ(PrintPage(), kEmptyPage);
}

TEST_F(PrintTest, ThinRectanglesAreLines) {
  auto* line = Add<TPRRect>(panel, 10, 20, 1, 30);
  line->SetFillColor(graphics::clRed);  // a line has no inside to fill
  const Lines lines = PrintLines();
  EXPECT_TRUE(Has(lines, "0 0 0 RG"));
  EXPECT_EQ(Lines(lines.end() - 2, lines.end()), (Lines{"S", "n"}));
  line->SetLineColor(graphics::clNone);
  EXPECT_EQ(PrintPage(), kEmptyPage);
  line->SetLineColor(graphics::clBlack);
  for (auto [w, h] : {std::pair{1, 1}, std::pair{0, 0}}) {
    line->SetBounds(10, 20, w, h);
    EXPECT_EQ(PrintPage(), kEmptyPage) << w << "x" << h;
  }
}

TEST_F(PrintTest, EllipsesAreFourCurvesInsideTheirBounds) {
  auto* ellipse = Add<TPREllipse>(panel, 10, 20, 100, 50);
  ellipse->SetLineWidth(1);
  const Lines curves = {"109 797.5 m", "109 783.97 86.84 773 59.5 773 c",
                        "32.16 773 10 783.97 10 797.5 c", "10 811.03 32.16 822 59.5 822 c",
                        "86.84 822 109 811.03 109 797.5 c"};
  Lines outlined = {"/F0 10 Tf", "[] 0 d"};
  outlined.insert(outlined.end(), curves.begin(), curves.end());
  outlined.insert(outlined.end(), {"0 0 0 RG", "1 w", "s"});
  EXPECT_EQ(PrintLines(), outlined);
  ellipse->SetFillColor(graphics::clRed);
  EXPECT_EQ(From(PrintLines(), "1 0 0 rg"), (Lines{"1 0 0 rg", "0 0 0 RG", "1 w", "b"}));
  ellipse->SetLineColor(graphics::clNone);
  EXPECT_EQ(From(PrintLines(), "1 0 0 rg"), (Lines{"1 0 0 rg", "h", "f"}));
  ellipse->SetFillColor(graphics::clNone);
  EXPECT_EQ(PrintPage(), kEmptyPage);

  // The screen draws the same curves: the page pixels of the paint are the PDF's points.
  ellipse->SetLineColor(graphics::clBlack);
  testing::RecordingCanvas screen;
  ellipse->Paint(screen);
  ASSERT_EQ(screen.calls.size(), 1u);
  std::istringstream painted(screen.calls[0].substr(screen.calls[0].find(' ')));
  std::vector<double> pdfNumbers;
  for (const std::string& line : curves) {
    std::istringstream numbers(line);
    for (double v; numbers >> v;) pdfNumbers.push_back(v);
  }
  for (std::size_t i = 0; i < pdfNumbers.size(); i += 2) {
    double x = 0, y = 0;
    char comma = 0;
    painted >> x >> comma >> y;
    EXPECT_NEAR(x + 10, pdfNumbers[i], 0.006) << i;
    EXPECT_NEAR(842 - (y + 20), pdfNumbers[i + 1], 0.006) << i;
  }
}

TEST_F(PrintTest, TextFieldLines) {
  auto* text = Add<TPRText>(panel, 10, 20, 100, 30);
  text->SetLines({"", "  hello", "world  ", " "});  // trimmed as one text
  const Lines lines = PrintLines();
  EXPECT_TRUE(Has(lines, "14 TL"));
  EXPECT_EQ(From(lines, "BT"),
            (Lines{"BT", "10 811.8 Td", "(hello) Tj", "T*", "(world) Tj", "ET"}));

  text->SetHeight(10);  // lower than its font: the first line only
  text->SetLines({"one", "two"});
  const Lines low = PrintLines();
  EXPECT_EQ(From(low, "BT").at(2), "(one) Tj");
  EXPECT_FALSE(Has(low, "(two) Tj"));
}

TEST_F(PrintTest, BitmapImages) {
  auto* image = Add<TPRImage>(panel, 10, 20, 100, 30);
  image->SetName("PRImage1");
  image->SetPicture(Solid(200, 100, graphics::clBlue));
  image->SetStretch(false);  // clipped to the element
  EXPECT_EQ(From(PrintLines(), "q"), (Lines{"q", "10 792 100 30 re", "W", "n",
                                            "200 0 0 100 10 722 cm", "/PRImage1 Do", "Q"}));
  image->SetStretch(true);
  EXPECT_EQ(From(PrintLines(), "q"), (Lines{"q", "100 0 0 30 10 792 cm", "/PRImage1 Do", "Q"}));
}

TEST_F(PrintTest, ImagesAreRegisteredOncePerPicture) {
  TPRLayoutPanel* panel2;
  TPRPage* page2 = NewPage(&panel2);  // made from the same template: same element names
  auto* logo1 = Add<TPRImage>(panel, 10, 20, 100, 30);
  auto* logo2 = Add<TPRImage>(panel2, 10, 20, 100, 30);
  logo1->SetName("Logo");
  logo2->SetName("Logo");
  auto drawn = [&](TPRPage& p) {
    report->Print(p);
    for (const std::string& line : SplitLines(Stream())) {
      if (line.ends_with(" Do")) return line.substr(1, line.size() - 4);
    }
    return std::string("(nothing)");
  };
  auto widthOf = [&](const std::string& name) {
    pdf::TPdfImage* image = report->Doc()->GetXObject(name);
    return image != nullptr ? image->Attributes().NumberOf("Width")->Value() : -1;
  };

  logo1->SetPicture(Solid(20, 10, graphics::clBlue));
  logo2->SetPicture(logo1->Picture());
  report->BeginDoc();
  EXPECT_EQ(drawn(*page), "Logo");
  EXPECT_EQ(drawn(*page2), "Logo");
  EXPECT_EQ(report->Doc()->XObjectCount(), 1u);
  EndDocChecked();

  logo2->SetPicture(Solid(30, 10, graphics::clRed));
  report->BeginDoc();
  EXPECT_EQ(drawn(*page), "Logo");
  const std::string second = drawn(*page2);
  EXPECT_EQ(widthOf("Logo"), 20);
  EXPECT_EQ(widthOf(second), 30);
  EXPECT_EQ(drawn(*page), "Logo");  // pictures seen before are drawn again
  EXPECT_EQ(drawn(*page2), second);
  EXPECT_EQ(report->Doc()->XObjectCount(), 2u);
}

TEST_F(PrintTest, UnprintableAndJpegElements) {
  auto* label = Add<TPRLabel>(panel, 10, 20, 100, 30);
  label->SetCaption("abc");
  label->SetPrintable(false);
  auto* image = Add<TPRImage>(panel, 10, 60, 100, 30);
  image->SetName("PRImage1");
  image->SetPicture(Solid(4, 4, graphics::clRed));
  image->SetPrintable(false);
  auto* jpeg = Add<TPRJpegImage>(panel, 10, 100, 100, 30);
  jpeg->SetName("PRJpegImage1");
  report->BeginDoc();
  report->Print(*page);
  EXPECT_EQ(Stream(), kEmptyPage);
  EXPECT_EQ(report->Doc()->XObjectCount(), 0u);
  EXPECT_EQ(report->TakeNotes(), (Lines{"FPicture.Graphic = nil", "geht nicht"}));
  EndDocChecked();

  jpeg->SetPicture(
      Picture::FromJpegBytes(graphics::EncodeJpeg(Bitmap(8, 8, PixelFormat::pf24bit))));
  platform.messages.clear();
  report->BeginDoc();
  report->Print(*page);
  EXPECT_TRUE(Has(SplitLines(Stream()), "/PRJpegImage1 Do"));
  EXPECT_NE(EndDocChecked().find("/DCTDecode"), std::string::npos);
  EXPECT_EQ(report->TakeNotes(), Lines{});
}

// In a small picture of the page a JPEG far larger than its pixels there is embedded at a
// reduced scale; a document embeds it as it is.
TEST_F(PrintTest, APictureOfThePageEmbedsLargeJpegsScaledDown) {
  auto* jpeg = Add<TPRJpegImage>(panel, 10, 100, 100, 30);
  jpeg->SetName("PRJpegImage1");
  jpeg->SetStretch(true);
  jpeg->SetPicture(
      Picture::FromJpegBytes(graphics::EncodeJpeg(Bitmap(800, 240, PixelFormat::pf24bit))));
  for (const double pointsPerPixel : {0.0, 1.0}) {
    report->Canvas().SetPreviewPointsPerPixel(pointsPerPixel);
    report->BeginDoc();
    report->Print(*page);
    const std::string pdf = EndDocChecked();
    // 800 pixels for 100 points: an eighth (100 pixels) covers the picture's 100 pixels there.
    EXPECT_NE(pdf.find(pointsPerPixel > 0 ? "/Width 100" : "/Width 800"), std::string::npos)
        << pointsPerPixel;
  }
  report->Canvas().SetPreviewPointsPerPixel(0);
}

TEST_F(PrintTest, ElementsPrintInZOrderAndOtherControlsAreSkipped) {
  Add<TPRLabel>(panel, 10, 20, 100, 30)->SetCaption("abc");
  auto* handle = new ui::Control(&window);  // a designer's handle picture
  handle->SetParent(panel);
  auto* rect = Add<TPRRect>(panel, 10, 60, 100, 50);
  auto at = [](const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) - lines.begin();
  };
  Lines lines = PrintLines();
  EXPECT_LT(at(lines, "(abc) Tj"), at(lines, "s"));
  rect->SendToBack();
  lines = PrintLines();
  EXPECT_LT(at(lines, "s"), at(lines, "(abc) Tj"));
  EXPECT_TRUE(Has(lines, "(abc) Tj"));
}

TEST_F(PrintTest, DocumentInformationAndCatalog) {
  report->SetCreationDate(37776.56454474537);
  report->SetTitle("Visitenkarte");
  report->SetCreator("Quirabel");
  report->BeginDoc();
  report->Print(*page);
  const std::string bytes = EndDocChecked();
  const std::size_t info = bytes.find("/Producer ");
  ASSERT_NE(info, std::string::npos);
  const std::size_t end = bytes.find(">>", info);
  std::size_t at = info;
  for (const char* entry :
       {"/Author ()\r\n", "/CreationDate (D:20030604133256)\r\n", "/Creator (Quirabel)\r\n",
        "/Keywords ()\r\n", "/Subject ()\r\n", "/Title (Visitenkarte)\r\n", "/ModDate ("}) {
    const std::size_t next = bytes.find(entry, at);
    EXPECT_LT(next, end) << entry << " missing or out of order";
    if (next < end) at = next;
  }
  EXPECT_NE(bytes.find("/PageMode /UseNone\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("/PageLayout /SinglePage\r\n"), std::string::npos);

  report->BeginDoc();  // with the fixed clock, the same bytes again
  report->Print(*page);
  EXPECT_EQ(EndDocChecked(), bytes);
}

TEST_F(PrintTest, AFileThatCannotBeWrittenKeepsTheDocumentOpen) {
  Add<TPRLabel>(panel, 10, 20, 100, 30)->SetCaption("abc");
  const fs::path blocked = dir / "blocked.pdf";  // a folder where the file should go
  fs::create_directories(blocked);
  WriteFileAtomic(blocked / "keep.txt", "keep");
  report->BeginDoc();
  report->Print(*page);
  // Each time the real reason, never a guess that a viewer holds the file.
  Lines messages;
  for (const fs::path& target : {blocked, dir / "no such folder" / "x.pdf"}) {
    report->SetFileName(target.string());
    try {
      report->EndDoc();
      ADD_FAILURE() << target;
    } catch (const UserError& e) {
      messages.push_back(e.what());
    }
  }
  const Lines expected = {
      "Die Datei \xE2\x80\x9E" + blocked.string() +
          "\xE2\x80\x9C kann nicht erstellt werden. Das Ziel ist ein Ordner.",
      "Die Datei \xE2\x80\x9E" + (dir / "no such folder" / "x.pdf").string() +
          "\xE2\x80\x9C kann nicht erstellt werden. Der Ordner existiert nicht."};
  EXPECT_EQ(messages, expected);
  EXPECT_EQ(platform.messages, Lines{});
  EXPECT_TRUE(report->Printing());
  EXPECT_THROW(report->SetTitle("x"), pdf::EPdfInvalidOperation);
  EXPECT_EQ(ReadAll(blocked / "keep.txt"), "keep");
  Lines left;
  for (const auto& entry : fs::directory_iterator(dir)) left.push_back(entry.path().filename());
  EXPECT_EQ(left, Lines{"blocked.pdf"});  // no temporary file left behind
  // The open document can still be written, whole, elsewhere.
  EXPECT_NE(EndDocChecked().find("(abc) Tj"), std::string::npos);
}

}  // namespace
}  // namespace quirabel::report
