// Text on the screen is set as the PDF sets it: drawn at 100 % and compared with the same page
// rendered from the PDF, the ink of every line lies within a pixel of the PDF's.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <filesystem>
#include <string>
#include <vector>

#include "report/pr_labels.h"
#include "report/pr_report.h"
#include "support/fake_platform.h"
#include "support/pdf_check.h"
#include "support/test_folder.h"
#include "ui/qt/picture_cache.h"
#include "ui/qt/qt_canvas.h"

namespace quirabel::report {
namespace {

namespace fs = std::filesystem;

// Columns (or rows) of a band of an image that hold ink (a pixel darker than mid-grey).
std::vector<bool> Ink(const QImage& image, const QRect& band, bool columns) {
  std::vector<bool> ink(columns ? band.width() : band.height(), false);
  for (int y = band.top(); y <= band.bottom(); ++y) {
    for (int x = band.left(); x <= band.right(); ++x) {
      if (qGray(image.pixel(x, y)) < 128) ink[columns ? x - band.left() : y - band.top()] = true;
    }
  }
  return ink;
}

// How many ink positions of one have no ink of the other within a pixel. The two rasterisers
// antialias stroke edges differently, so a hairline of small text may cross mid-grey in one and
// not in the other: one such column in a line is allowed.
int Unmatched(const std::vector<bool>& a, const std::vector<bool>& b) {
  int unmatched = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!a[i]) continue;
    bool near = b[i] || (i > 0 && b[i - 1]) || (i + 1 < b.size() && b[i + 1]);
    if (!near) ++unmatched;
  }
  return unmatched;
}

TEST(ScreenTextTest, LabelsOnScreenSitWhereThePdfPutsThem) {
  testing::FakePlatform platform;
  ui::Component window;
  window.SetPlatform(&platform);
  auto* report = new TPReport(&window);
  auto* page = new TPRPage(&window);
  page->SetBounds(0, 0, 400, 200);
  auto* panel = new TPRLayoutPanel(&window);
  panel->SetBounds(0, 0, 400, 200);
  panel->SetParent(page);
  struct Line {
    const char* text;
    TPRFontName font;
    float size;
  };
  const Line lines[] = {
      {"anna@quirabel.example", TPRFontName::fnArial, 7},
      {"Jürgen Größer, Hauptstraße 12", TPRFontName::fnTimesRoman, 9},
      {"Łukasz Żółć, Şahin Çelik", TPRFontName::fnArial, 11},
      {"Fax 0221 / 123 456-78", TPRFontName::fnFixedWidth, 8},
  };
  std::vector<TPRLabel*> labels;
  int top = 10;
  for (const Line& line : lines) {
    auto* label = new TPRLabel(&window);
    label->SetBounds(12, top, 380, 30);
    label->SetParent(panel);
    label->SetCaption(line.text);
    label->SetFontName(line.font);
    label->SetFontSize(line.size);
    labels.push_back(label);
    top += 40;
  }

  QImage screen(400, 200, QImage::Format_RGB32);
  screen.fill(Qt::white);
  {
    QPainter painter(&screen);
    painter.setRenderHint(QPainter::Antialiasing);
    ui::qt::PictureCache pictures;
    for (TPRLabel* label : labels) {
      painter.save();
      painter.translate(label->Left(), label->Top());
      ui::qt::QtCanvas canvas(painter, pictures);
      label->Paint(canvas);
      painter.restore();
    }
  }

  const fs::path dir = testing::FreshTestFolder("screen_text_");
  report->SetFileName((dir / "seite.pdf").string());
  report->BeginDoc();
  report->Print(*page);
  report->EndDoc();
  ASSERT_EQ(testing::RunTool("pdftoppm -r 72 -gray -f 1 -l 1 " +
                             testing::ShellQuote((dir / "seite.pdf").string()) + " " +
                             testing::ShellQuote((dir / "seite").string()))
                .exitCode,
            0);
  QImage pdf;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == ".pgm") pdf.load(QString::fromStdString(entry.path()));
  }
  ASSERT_EQ(pdf.size(), screen.size());

  for (std::size_t i = 0; i < labels.size(); ++i) {
    const QRect band(0, labels[i]->Top(), 400, 30);
    const auto screenColumns = Ink(screen, band, true);
    const auto pdfColumns = Ink(pdf, band, true);
    EXPECT_LE(Unmatched(pdfColumns, screenColumns), 1) << lines[i].text;
    // Viewers draw the standard Courier with thinner glyphs of the same advances than Liberation
    // Mono: there the screen has more ink, in the same places.
    if (lines[i].font != TPRFontName::fnFixedWidth) {
      EXPECT_LE(Unmatched(screenColumns, pdfColumns), 1) << lines[i].text;
    }
    EXPECT_LE(Unmatched(Ink(screen, band, false), Ink(pdf, band, false)), 1) << lines[i].text;
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace quirabel::report
