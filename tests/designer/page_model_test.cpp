// The page model without any window: what the serial run and the batch tool rely on.
#include <gtest/gtest.h>

#include "designer/guide_lines.h"
#include "designer/page_model.h"
#include "designer/projectfile/page_text.h"
#include "pdf/pdf_doc.h"
#include "report/pr_labels.h"
#include "report/pr_shapes.h"
#include "support/pdf_check.h"

namespace quirabel::designer {
namespace {

namespace pf = projectfile;

// A page of the given size with a white background and no window around it.
struct HeadlessPage {
  ui::Component owner;
  ProjectState state;
  PageModel page{owner, state};

  HeadlessPage() {
    state.formatWidthText = "91";
    state.formatHeightText = "55";
    state.projectNumber = "8151042";
    page.SetDocumentId("BImage08151042");
    page.InitDocument();
    page.SetBackgroundColour(graphics::clWhite);
  }
};

TEST(PageModelTest, APageTextReadsBackAndPrintsWithoutAWindow) {
  HeadlessPage made;
  auto& label = static_cast<report::TPRLabel&>(made.page.CreateElement(ElementKind::Label));
  label.SetBounds(10, 12, 120, 20);
  label.SetCaption("Gruss aus Koeln");
  auto& rect = static_cast<report::TPRRect&>(made.page.CreateElement(ElementKind::Rect));
  rect.SetBounds(5, 60, 80, 10);
  const std::string text = made.page.PageText();

  HeadlessPage read;
  read.page.LoadPageText(SharedBytes(text), 1);
  EXPECT_EQ(read.page.PageText(), text);
  const std::vector<PageElement> elements = read.page.Elements();
  ASSERT_EQ(elements.size(), 2u);
  EXPECT_EQ(elements[0].item->Name(), "PRLabelBImage081510422");
  EXPECT_EQ(elements[1].number, 3);

  report::TPReport& report = read.page.Report();
  report.SetFileName("unused.pdf");
  read.page.BeginPdf();
  read.page.PrintInto(report);
  std::string pdf;
  report.Doc()->SaveToStream(pdf);
  report.Abort();
  EXPECT_NE(pdf.find("(Gruss aus Koeln) Tj"), std::string::npos);
  EXPECT_TRUE(testing::IsValidPdf(pdf));
}

// Numbers come from the names as stored: the next is the smallest free one from 2 up; a name with
// another document's identifier counts as no number and sorts last.
TEST(PageModelTest, NumbersFillTheSmallestGapAndForeignNamesComeLast) {
  struct Case {
    std::vector<std::string> names;
    int next;
    std::vector<int> numbers;  // in the order Elements() gives
  };
  const std::vector<Case> cases = {
      {{}, 2, {}},
      {{"PRRectBImage081510422", "PRRectBImage081510423"}, 4, {2, 3}},
      {{"PRRectBImage081510424", "PRRectBImage081510422"}, 3, {2, 4}},
      {{"PRRectBImage99999992", "PRRectBImage081510422"}, 3, {2, 0}},
      {{"PRRectBImage08151042x7", "PRRectBImage081510427"}, 2, {7, 0}},
  };
  for (const Case& c : cases) {
    HeadlessPage page;
    for (const std::string& name : c.names)
      page.page.CreateElement(ElementKind::Rect).SetName(name);
    EXPECT_EQ(page.page.NextElementNumber(), c.next) << ::testing::PrintToString(c.names);
    std::vector<int> numbers;
    for (const PageElement& e : page.page.Elements()) numbers.push_back(e.number);
    EXPECT_EQ(numbers, c.numbers) << ::testing::PrintToString(c.names);
  }
}

TEST(PageModelTest, ClearingFreesElementsAndBackgroundButKeepsTheGuideLines) {
  HeadlessPage page;
  page.state.orderDocument = true;
  page.state.verticalFolds = 1;
  page.page.Guides().Build();
  for (int i = 0; i < 1000; ++i) page.page.CreateElement(ElementKind::Rect);
  EXPECT_EQ(page.page.NextElementNumber(), 1002);
  page.page.ClearPage();
  EXPECT_TRUE(page.page.Elements().empty());
  EXPECT_EQ(page.page.Background(), nullptr);
  EXPECT_NE(page.page.Guides().Line(GuideKind::VerticalFold, 1), nullptr);
}

}  // namespace
}  // namespace quirabel::designer
