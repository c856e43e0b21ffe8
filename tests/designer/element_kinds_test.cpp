// The kind classes at their seams: every registered kind goes into its block of a page text and
// comes back byte for byte, names its popup menu and property window, and places by its own
// click mode; the background keeps its header record.
#include <gtest/gtest.h>

#include <limits>

#include "designer/element_kinds.h"
#include "designer/kinds/background_class.h"
#include "designer/projectfile/page_text.h"
#include "report/pr_shapes.h"

namespace quirabel::designer {
namespace {

namespace pf = projectfile;

// The page text of a page holding just this element.
std::string PageWith(const report::TPRItem& element) {
  pf::PageText page;
  page.elements.push_back(StoreElement(element));
  return pf::WritePageText(page);
}

TEST(ElementKindsTest, EveryKindReadsBackToTheSameBytesAndNamesItsMenus) {
  ui::Component owner;
  ASSERT_FALSE(ElementClasses().empty());
  // Names from files are told by what they contain; a JPEG's by "PRJpeg" alone.
  EXPECT_EQ(ElementKindOfName("PRJpegLogo"), ElementKind::Jpeg);
  EXPECT_FALSE(ElementKindOfName("Panel1").has_value());
  int number = 2;
  for (const ElementClass* kind : ElementClasses()) {
    const ElementType& type = kind->Type();
    SCOPED_TRACE(std::string(type.key));
    EXPECT_EQ(&ClassOf(type.kind), kind);  // registered in the order of the kinds
    EXPECT_EQ(ElementKindOfName(std::string(type.prefix) + "BImage0815" + std::to_string(number)),
              type.kind);
    EXPECT_FALSE(type.word.empty());
    // A kind with a property window opens it from its popup menu.
    EXPECT_TRUE(!type.hasProperties || MenuHasProperties(type.menu));

    report::TPRItem* made = MakeElement(type.kind, &owner);
    ASSERT_EQ(made->Kind(), type.kind);
    made->SetName(std::string(type.prefix) + "BImage0815" + std::to_string(number++));
    if (!type.clickMode.empty()) kind->SetUpClicked(*made, 7, 9);
    kind->BindDataField(*made, "Kunde");
    const std::string bytes = PageWith(*made);

    const pf::PageText read = pf::ReadPageText(bytes);
    ASSERT_EQ(read.elements.size(), 1U);
    const pf::ElementBlock& block = read.elements[0];
    EXPECT_EQ(block.kind, type.kind);
    report::TPRItem* restored = RestoreElement(block, graphics::Picture(), &owner);
    EXPECT_EQ(PageWith(*restored), bytes);
    EXPECT_EQ(kind->Settings(*restored), kind->Settings(*made));
    EXPECT_EQ(TextOf(*restored).dataField, TextOf(*made).dataField);
    // Read from the block, the data fields are those of the element built from it.
    EXPECT_EQ(DataFieldsOf(block), DataFieldsOf(*restored));
  }
}

TEST(ElementKindsTest, AShapeRecordLooksAsTheElementMadeFromIt) {
  // The shapes print and paint through one routine per kind from their look; a record's look is
  // the look of the element made from it, odd widths included.
  ui::Component owner;
  for (ElementKind kind : {ElementKind::Rect, ElementKind::Ellipse}) {
    for (float width : {0.0F, 2.5F, -1.0F, std::numeric_limits<float>::quiet_NaN()}) {
      pf::ElementBlock block;
      block.kind = kind;
      block.record = pf::RectRecord{"PRShape9", 0x00FF00, 0x0000FF, 10, 20, 30, 40, width};
      report::TPRItem* element = RestoreElement(block, graphics::Picture(), &owner);
      EXPECT_EQ(static_cast<report::TPRShape&>(*element).Look(),
                report::LookOf(std::get<pf::RectRecord>(block.record)))
          << static_cast<int>(kind) << " " << width;
      delete element;
    }
  }
}

TEST(ElementKindsTest, TheBackgroundKeepsItsHeaderRecordAndIsKnownByTheDocumentId) {
  ui::Component owner;
  const kinds::BackgroundClass& background = kinds::Background();
  report::TPRJpegImage* made = background.Make(&owner, "BImage0815");
  made->SetBounds(0, 0, 344, 208);
  EXPECT_TRUE(background.Is(*made, "bimage0815"));  // names compare without case
  EXPECT_FALSE(background.Is(*made, "BImage0816"));
  EXPECT_FALSE(background.Is(*made, ""));

  pf::PageText page;
  background.Store(made, "BImage0815", page);
  const std::string bytes = pf::WritePageText(page);
  const pf::PageText read = pf::ReadPageText(bytes);
  EXPECT_EQ(read.background, page.background);
  report::TPRJpegImage* restored = background.Make(&owner, "BImage0815");
  background.Restore(*restored, read, graphics::Picture());
  EXPECT_EQ(restored->BoundsRect(), made->BoundsRect());

  // A page without a background still stores a record named like the document.
  pf::PageText bare;
  background.Store(nullptr, "BImage0815", bare);
  EXPECT_EQ(bare.background.name, "BImage0815");
  EXPECT_TRUE(bare.backgroundJpeg.empty());
}

}  // namespace
}  // namespace quirabel::designer
