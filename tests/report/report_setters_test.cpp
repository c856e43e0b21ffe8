// What the element, page and report setters take, refuse and report.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <ostream>
#include <string>

#include "graphics/jpeg.h"
#include "report/pr_images.h"
#include "report/pr_labels.h"
#include "report/pr_report.h"
#include "report/pr_shapes.h"
#include "ui/errors.h"

namespace quirabel::ui {

void PrintTo(const TRect& r, std::ostream* os) {
  *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

}  // namespace quirabel::ui

namespace quirabel::report {
namespace {

// The message of the exception of type E that f raised; "" when none.
template <class E>
std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const E& e) {
    return e.what();
  }
  return "";
}

template <class T>
void CheckTextSettings() {
  T label;
  EXPECT_EQ(label.FontName(), TPRFontName::fnArial);
  EXPECT_EQ(label.FontSize(), 12);
  for (float ignored : {0.0f, -3.0f, std::numeric_limits<float>::quiet_NaN()}) {
    label.SetFontSize(ignored);
    EXPECT_EQ(label.FontSize(), 12);
  }
  label.SetFontSize(0.5);
  EXPECT_EQ(label.FontSize(), 0.5);

  EXPECT_EQ(label.FontColor(), 0);
  label.SetFontColor(0x0FFFFFFF);
  for (graphics::TColor refused : {graphics::clNone, 0x10000000, 0x7FFFFFFF}) {
    EXPECT_EQ(MessageOf<pdf::EPdfInvalidValue>([&] { label.SetFontColor(refused); }),
              "the color you selected is not allowed.");
  }
  EXPECT_EQ(label.FontColor(), 0x0FFFFFFF);
  label.SetFontColor(graphics::clBtnFace);  // system colours are negative, and taken
  EXPECT_EQ(label.FontColor(), graphics::clBtnFace);

  label.SetCharSpace(-50);
  EXPECT_EQ(label.CharSpace(), -50);
  label.SetCharSpace(1000);
  EXPECT_EQ(label.CharSpace(), 1000);
  label.SetWordSpace(3);
  label.SetWordSpace(-0.5);
  EXPECT_EQ(label.WordSpace(), 3);
  label.SetWordSpace(0);
  EXPECT_EQ(label.WordSpace(), 0);
}

TEST(ElementSetters, TextSettingsOfLabelsAndTextFields) {
  CheckTextSettings<TPRLabel>();
  CheckTextSettings<TPRText>();
}

TEST(ElementSetters, DefaultsAndNonNegativeValues) {
  TPRText text;
  EXPECT_EQ(text.Leading(), 14);
  EXPECT_FALSE(text.WordWrap());
  text.SetLeading(-1);
  EXPECT_EQ(text.Leading(), 14);
  text.SetLeading(0);
  EXPECT_EQ(text.Leading(), 0);

  TPRRect rect;
  EXPECT_EQ(rect.Width(), 100);
  EXPECT_EQ(rect.Height(), 30);
  EXPECT_TRUE(rect.Printable());
  EXPECT_EQ(rect.LineColor(), 0);
  EXPECT_EQ(rect.LineStyle(), TPenStyle::psSolid);
  EXPECT_EQ(rect.FillColor(), graphics::clNone);
  EXPECT_EQ(rect.LineWidth(), 0);
  rect.SetLineWidth(2.5);
  rect.SetLineWidth(-1);
  EXPECT_EQ(rect.LineWidth(), 2.5);
}

TEST(ElementSetters, FontNames) {
  struct Case {
    TPRFontName name;
    bool bold, italic;
    const char* pdf;
    const char* screen;
  };
  using enum TPRFontName;
  const Case cases[] = {
      {fnFixedWidth, false, false, "FixedWidth", "Courier New"},
      {fnFixedWidth, true, false, "FixedWidth-Bold", "Courier New"},
      {fnFixedWidth, false, true, "FixedWidth-Italic", "Courier New"},
      {fnFixedWidth, true, true, "FixedWidth-BoldItalic", "Courier New"},
      {fnArial, false, false, "Arial", "Arial"},
      {fnArial, true, false, "Arial-Bold", "Arial"},
      {fnArial, false, true, "Arial-Italic", "Arial"},
      {fnArial, true, true, "Arial-BoldItalic", "Arial"},
      {fnTimesRoman, false, false, "Times-Roman", "Times New Roman"},
      {fnTimesRoman, true, false, "Times-Bold", "Times New Roman"},
      {fnTimesRoman, false, true, "Times-Italic", "Times New Roman"},
      {fnTimesRoman, true, true, "Times-BoldItalic", "Times New Roman"},
  };
  for (const Case& c : cases) {
    TPRLabel label;
    label.SetFontName(c.name);
    label.SetFontBold(c.bold);
    label.SetFontItalic(c.italic);
    EXPECT_EQ(label.PdfFontName(), c.pdf);
    const ui::TFont font = label.ScreenFont();
    EXPECT_EQ(font.name, c.screen);
    EXPECT_EQ(font.bold, c.bold);
    EXPECT_EQ(font.italic, c.italic);
  }
  // Three quarters of the size, halves to even.
  const std::pair<float, int> sizes[] = {{10, 8}, {14, 10}, {12, 9}, {11, 8}, {0.5f, 0}};
  for (auto [size, points] : sizes) {
    TPRText text;
    text.SetFontSize(size);
    EXPECT_EQ(text.ScreenFont().size, points) << size;
  }
}

TEST(Page, MarginsBelowHalfThePageWidthAreTaken) {
  TPRPage page;
  EXPECT_EQ(page.BoundsRect(), (ui::TRect{0, 0, 596, 842}));
  auto* panel = new TPRLayoutPanel(&page);
  panel->SetAlign(ui::TAlign::alClient);
  panel->SetParent(&page);
  EXPECT_EQ(panel->BoundsRect(), (ui::TRect{32, 32, 564, 810}));

  page.SetBounds(0, 0, 596, 300);
  using Setter = void (TPRPage::*)(int);
  using Getter = int (TPRPage::*)() const;
  const std::pair<Setter, Getter> margins[] = {{&TPRPage::SetMarginTop, &TPRPage::MarginTop},
                                               {&TPRPage::SetMarginLeft, &TPRPage::MarginLeft},
                                               {&TPRPage::SetMarginRight, &TPRPage::MarginRight},
                                               {&TPRPage::SetMarginBottom, &TPRPage::MarginBottom}};
  for (auto [set, get] : margins) {
    EXPECT_EQ((page.*get)(), 32);
    (page.*set)(-1);
    (page.*set)(298);  // half of 596, whatever the height
    EXPECT_EQ((page.*get)(), 32);
    (page.*set)(297);
    EXPECT_EQ((page.*get)(), 297);
    (page.*set)(10);
  }
  EXPECT_EQ(panel->BoundsRect(), (ui::TRect{10, 10, 586, 290}));
  page.SetMarginLeft(50);
  page.SetMarginBottom(0);
  EXPECT_EQ(panel->BoundsRect(), (ui::TRect{50, 10, 586, 300}));
  page.SetBounds(0, 0, 201, 400);
  EXPECT_EQ(panel->BoundsRect(), (ui::TRect{50, 10, 191, 400}));
  page.SetMarginTop(100);  // 201 div 2
  EXPECT_EQ(page.MarginTop(), 10);
}

TEST(ParentRules, ElementsSitOnPanelsAndPanelsOnPanelsOrPages) {
  TPRPage page;
  auto* layout = new TPRLayoutPanel(&page);
  auto* inner = new TPRLayoutPanel(&page);
  auto* grid = new TPRGridPanel(&page);
  auto* label = new TPRLabel(&page);
  auto* rect = new TPRRect(&page);
  ui::Control plain(nullptr);
  layout->SetParent(&page);
  inner->SetParent(layout);
  grid->SetParent(layout);
  rect->SetParent(inner);
  EXPECT_EQ(rect->Parent(), inner);

  for (ui::Control* refused : std::initializer_list<ui::Control*>{&page, &plain, rect}) {
    EXPECT_EQ(MessageOf<ui::EInvalidOperation>([&] { label->SetParent(refused); }),
              "this component must set on TPRPanel");
  }
  EXPECT_EQ(label->Parent(), nullptr);
  EXPECT_EQ(MessageOf<ui::EInvalidOperation>([&] { inner->SetParent(rect); }),
            "TPRPage can not set on TPRRect");
  EXPECT_EQ(MessageOf<ui::EInvalidOperation>([&] { grid->SetParent(&plain); }),
            "TPRPage can not set on TControl");
  EXPECT_EQ(inner->Parent(), layout);  // a refused move leaves it where it was
  EXPECT_EQ(grid->Parent(), layout);
  EXPECT_EQ(page.Controls(), std::vector<ui::Control*>{layout});

  // A grid panel hands its children to its cell panel.
  label->SetParent(grid);
  inner->SetParent(grid);
  EXPECT_EQ(label->Parent(), &grid->ChildPanel());
  EXPECT_EQ(inner->Parent(), &grid->ChildPanel());
  EXPECT_EQ(grid->Controls(), std::vector<ui::Control*>{&grid->ChildPanel()});
  label->SetParent(nullptr);
  EXPECT_EQ(label->Parent(), nullptr);
}

TEST(GridPanel, CellsAreAtLeastTenPixels) {
  TPRGridPanel grid;
  grid.SetBounds(0, 0, 100, 55);
  EXPECT_EQ(grid.ColCount(), 1);
  EXPECT_EQ(grid.RowCount(), 1);
  grid.SetColCount(10);
  grid.SetRowCount(5);
  for (int refused : {11, 0, -1}) {
    EXPECT_EQ(MessageOf<pdf::EPdfInvalidValue>([&] { grid.SetColCount(refused); }),
              "invalid colcount");
  }
  for (int refused : {6, 0}) {
    EXPECT_EQ(MessageOf<pdf::EPdfInvalidValue>([&] { grid.SetRowCount(refused); }),
              "invalid rowcount");
  }
  EXPECT_EQ(grid.ColCount(), 10);
  EXPECT_EQ(grid.RowCount(), 5);
}

TEST(ImageElements, PicturesOfTheirOwnKindOnly) {
  using graphics::Bitmap, graphics::Picture, graphics::PixelFormat, graphics::GraphicKind;
  const auto bitmap = Picture::FromBitmap(Bitmap(4, 3, PixelFormat::pf24bit));
  const auto jpeg =
      Picture::FromJpegBytes(graphics::EncodeJpeg(Bitmap(5, 2, PixelFormat::pf24bit)));
  TPRImage image;
  TPRJpegImage jpegImage;
  EXPECT_TRUE(image.Stretch() && image.SharedImage());
  EXPECT_TRUE(jpegImage.Stretch() && jpegImage.SharedImage());

  image.SetPicture(bitmap);
  EXPECT_EQ(MessageOf<pdf::EPdfInvalidValue>([&] { image.SetPicture(jpeg); }),
            "only bitmap image is allowed.");
  EXPECT_EQ(image.Picture().Kind(), GraphicKind::Bitmap);
  jpegImage.SetPicture(jpeg);
  EXPECT_EQ(MessageOf<pdf::EPdfInvalidValue>([&] { jpegImage.SetPicture(bitmap); }),
            "only jpeg image is allowed.");
  EXPECT_EQ(jpegImage.Picture().Kind(), GraphicKind::Jpeg);
  image.SetPicture(Picture());
  jpegImage.SetPicture(Picture());
  EXPECT_EQ(image.Picture().Kind(), GraphicKind::None);
  EXPECT_EQ(jpegImage.Picture().Kind(), GraphicKind::None);
}

TEST(Report, DocumentSettingsAreLockedWhileADocumentIsOpen) {
  using pdf::TPdfPageMode;
  const std::pair<const char*, std::function<void(TPReport&)>> cases[] = {
      {"SetAuthor", [](TPReport& r) { r.SetAuthor("a"); }},
      {"SetCreationDate", [](TPReport& r) { r.SetCreationDate(1); }},
      {"SetCreator", [](TPReport& r) { r.SetCreator("c"); }},
      {"SetKeyWords", [](TPReport& r) { r.SetKeywords("k"); }},
      {"SetModDate", [](TPReport& r) { r.SetModDate(2); }},
      {"SetSubject", [](TPReport& r) { r.SetSubject("s"); }},
      {"SetTitle", [](TPReport& r) { r.SetTitle("t"); }},
      {"SetPageLayout", [](TPReport& r) { r.SetPageLayout(pdf::TPdfPageLayout::plOneColumn); }},
      {"SetPageMode", [](TPReport& r) { r.SetPageMode(TPdfPageMode::pmUseThumbs); }},
      {"SetNonFullScreenPageMode",
       [](TPReport& r) { r.SetNonFullScreenPageMode(TPdfPageMode::pmFullScreen); }},
      {"SetUseOutlines", [](TPReport& r) { r.SetUseOutlines(true); }},
      {"SetViewerPreference",
       [](TPReport& r) { r.SetViewerPreference({pdf::TPdfViewerPreference::vpFitWindow}); }},
  };
  TPReport report;
  for (const auto& [name, set] : cases) {
    report.BeginDoc();
    EXPECT_EQ(MessageOf<pdf::EPdfInvalidOperation>([&report, &setter = set] { setter(report); }),
              std::string(name) + " --invalid operation.");
    report.SetFileName("elsewhere.pdf");  // free at any time
    report.Abort();
    EXPECT_NO_THROW(set(report)) << name;
  }
  EXPECT_EQ(report.FileName(), "elsewhere.pdf");
  EXPECT_EQ(report.Keywords(), "k");
  EXPECT_EQ(report.PageMode(), TPdfPageMode::pmUseThumbs);
  EXPECT_EQ(report.NonFullScreenPageMode(), TPdfPageMode::pmUseNone);  // not full screen
  report.SetNonFullScreenPageMode(TPdfPageMode::pmUseOutlines);
  EXPECT_EQ(report.NonFullScreenPageMode(), TPdfPageMode::pmUseOutlines);

  EXPECT_EQ(MessageOf<std::exception>([&] { report.EndDoc(); }), "document is null..");
}

}  // namespace
}  // namespace quirabel::report
