// A page holding every element kind, exported and rendered by a PDF reader: each element's colour
// shows where the element stands, and nowhere else.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "graphics/bitmap.h"
#include "graphics/jpeg.h"
#include "report/pr_images.h"
#include "report/pr_labels.h"
#include "report/pr_report.h"
#include "report/pr_shapes.h"
#include "support/fake_platform.h"
#include "support/pdf_check.h"
#include "support/test_folder.h"

namespace quirabel::report {
namespace {

using graphics::Bitmap;
using graphics::PixelFormat;
using graphics::RGB;
using graphics::TColor;

struct Rgb {
  int r, g, b;
};

// The rendered page as RGB pixels.
class Raster {
 public:
  explicit Raster(const std::string& ppm) {
    // "P6\n<w> <h>\n255\n" then the samples.
    std::size_t pos = 3;
    width_ = std::stoi(ppm.substr(pos));
    pos = ppm.find(' ', pos) + 1;
    height_ = std::stoi(ppm.substr(pos));
    pos = ppm.find('\n', pos) + 1;
    pos = ppm.find('\n', pos) + 1;
    data_ = ppm.substr(pos);
  }
  int Width() const { return width_; }
  int Height() const { return height_; }
  Rgb At(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width_ + x) * 3;
    return {static_cast<unsigned char>(data_[i]), static_cast<unsigned char>(data_[i + 1]),
            static_cast<unsigned char>(data_[i + 2])};
  }

 private:
  int width_ = 0;
  int height_ = 0;
  std::string data_;
};

bool Near(Rgb a, TColor c, int tolerance) {
  return std::abs(a.r - graphics::GetRValue(c)) <= tolerance &&
         std::abs(a.g - graphics::GetGValue(c)) <= tolerance &&
         std::abs(a.b - graphics::GetBValue(c)) <= tolerance;
}

Bitmap SolidBitmap(int w, int h, TColor c) {
  Bitmap b(w, h, PixelFormat::pf24bit);
  b.FillRect(0, 0, w, h, c);
  return b;
}

TEST(ReportRender, EveryElementAppearsWhereItStands) {
  ASSERT_TRUE(testing::ToolAvailable("pdftoppm"));
  testing::FakePlatform platform;
  ui::Component window;
  window.SetPlatform(&platform);
  auto* report = new TPReport(&window);
  auto* page = new TPRPage(&window);
  page->SetBounds(0, 0, 300, 200);
  auto* panel = new TPRLayoutPanel(&window);
  panel->SetBounds(0, 0, 300, 200);
  panel->SetParent(page);

  const TColor red = RGB(255, 0, 0), green = RGB(0, 160, 0), blue = RGB(0, 0, 255),
               yellow = RGB(255, 220, 0), magenta = RGB(200, 0, 200);
  auto* rect = new TPRRect(&window);
  rect->SetName("PRRect1");
  rect->SetBounds(10, 10, 80, 40);
  rect->SetFillColor(red);
  rect->SetLineColor(graphics::clNone);
  rect->SetParent(panel);

  auto* label = new TPRLabel(&window);
  label->SetName("PRLabel2");
  label->SetBounds(110, 10, 180, 40);
  label->SetCaption("MMMM");
  label->SetFontName(TPRFontName::fnFixedWidth);
  label->SetFontBold(true);
  label->SetFontSize(36);
  label->SetFontColor(green);
  label->SetParent(panel);

  auto* text = new TPRText(&window);
  text->SetName("PRText3");
  text->SetBounds(10, 70, 130, 60);
  text->SetText("HHHH\r\nHHHH");
  text->SetFontBold(true);
  text->SetFontSize(20);
  text->SetLeading(22);
  text->SetFontColor(blue);
  text->SetParent(panel);

  auto* bitmap = new TPRImage(&window);
  bitmap->SetName("PRImage4");
  bitmap->SetBounds(160, 70, 40, 40);
  bitmap->SetPicture(graphics::Picture::FromBitmap(SolidBitmap(20, 20, yellow)));
  bitmap->SetParent(panel);

  auto* jpeg = new TPRJpegImage(&window);
  jpeg->SetName("PRJpegImage5");
  jpeg->SetBounds(220, 70, 60, 100);
  jpeg->SetPicture(
      graphics::Picture::FromJpegBytes(graphics::EncodeJpeg(SolidBitmap(16, 16, magenta), 95)));
  jpeg->SetParent(panel);

  const TColor teal = RGB(0, 160, 160);
  auto* ellipse = new TPREllipse(&window);
  ellipse->SetName("PREllipse6");
  ellipse->SetBounds(120, 140, 80, 50);
  ellipse->SetFillColor(teal);
  ellipse->SetLineColor(graphics::clNone);
  ellipse->SetParent(panel);

  auto* hidden = new TPRRect(&window);  // not printable: shown on screen, absent from the PDF
  hidden->SetBounds(10, 150, 100, 40);
  hidden->SetFillColor(red);
  hidden->SetPrintable(false);
  hidden->SetParent(panel);

  const auto dir = testing::FreshTestFolder("report_render_");
  std::filesystem::create_directories(dir);
  report->SetFileName((dir / "alles.pdf").string());
  report->BeginDoc();
  report->Print(*page);
  report->EndDoc();
  EXPECT_TRUE(platform.messages.empty());
  const std::string file = [&] {
    std::ifstream in(dir / "alles.pdf", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }();
  ASSERT_TRUE(testing::IsValidPdf(file));

  const auto run =
      testing::RunTool("pdftoppm -r 72 " + testing::ShellQuote((dir / "alles.pdf").string()));
  std::filesystem::remove_all(dir);
  ASSERT_EQ(run.exitCode, 0);
  ASSERT_EQ(run.err, "");
  const Raster raster(run.out);
  ASSERT_EQ(raster.Width(), 300);
  ASSERT_EQ(raster.Height(), 200);

  struct Expectation {
    const char* what;
    ui::TRect where;
    TColor color;
    int tolerance;
    bool filled;  // the whole inside has the colour (else: some of it)
  };
  const Expectation expectations[] = {
      {"rectangle", {10, 10, 89, 49}, red, 2, true},
      {"label", {110, 10, 290, 50}, green, 2, false},
      {"text field", {10, 70, 140, 130}, blue, 2, false},
      {"bitmap", {160, 70, 200, 110}, yellow, 2, true},
      {"jpeg", {220, 70, 280, 170}, magenta, 12, true},
      {"ellipse", {120, 140, 199, 189}, teal, 2, false},
  };
  std::vector<bool> claimed(300 * 200, false);
  for (const auto& e : expectations) {
    int hits = 0, inside = 0;
    for (int y = e.where.top + 1; y < e.where.bottom - 1; ++y) {
      for (int x = e.where.left + 1; x < e.where.right - 1; ++x) {
        ++inside;
        if (Near(raster.At(x, y), e.color, e.tolerance)) ++hits;
      }
    }
    for (int y = e.where.top - 1; y <= e.where.bottom; ++y)
      for (int x = e.where.left - 1; x <= e.where.right; ++x) claimed[y * 300 + x] = true;
    if (e.filled) {
      EXPECT_EQ(hits, inside) << e.what;
    } else {
      EXPECT_GT(hits, inside / 20) << e.what;
    }
  }
  // An ellipse fills its middle and leaves the corners of its bounds.
  EXPECT_TRUE(Near(raster.At(160, 165), teal, 2));
  EXPECT_TRUE(Near(raster.At(150, 165), teal, 2));
  for (const auto& [x, y] :
       {std::pair{122, 142}, std::pair{197, 142}, std::pair{122, 187}, std::pair{197, 187}})
    EXPECT_TRUE(Near(raster.At(x, y), graphics::clWhite, 0)) << x << "," << y;
  // Everywhere else the page is white: the unprintable rectangle left no trace.
  int stray = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x)
      if (!claimed[y * 300 + x] && !Near(raster.At(x, y), graphics::clWhite, 0)) ++stray;
  EXPECT_EQ(stray, 0);
}

}  // namespace
}  // namespace quirabel::report
