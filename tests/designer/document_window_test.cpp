#include "designer/document_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "base/atomic_file.h"
#include "graphics/bmp.h"
#include "graphics/jpeg.h"
#include "support/fake_platform.h"
#include "support/owned.h"
#include "support/test_folder.h"

namespace quirabel::designer {
namespace {

using graphics::Bitmap;
using graphics::PixelFormat;

class DocumentWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testing::FreshTestFolder("document_window_");
    root.SetPlatform(&platform);
    state.formatWidthText = "85";
    state.formatHeightText = "49";
    state.programFolder = folder.string();
    window = new DocumentWindow(&root, state);
    window->Page().SetDocumentId("BImage0123");
    window->InitDocument();
    window->Page().SetBackgroundColour(graphics::clWhite);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  report::TPRItem& Add(ElementKind kind) { return window->Page().CreateElement(kind); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : window->Page().Elements()) names.push_back(e.item->Name());
    return names;
  }
  std::filesystem::path WriteFile(const std::string& name, const std::string& bytes) {
    const auto path = folder / name;
    WriteFileAtomic(path, bytes);
    return path;
  }

  testing::FakePlatform platform;
  ui::Component root;
  ProjectState state;
  DocumentWindow* window = nullptr;
  std::filesystem::path folder;
};

TEST_F(DocumentWindowTest, PageSizeAndCopies) {
  EXPECT_EQ(window->Page().LayoutPanel().Width(), 241);   // 85 x 2.838
  EXPECT_EQ(window->Page().LayoutPanel().Height(), 139);  // 49 x 2.837
  EXPECT_EQ(window->Page().PagePanel().Width(), 241);
  EXPECT_EQ(window->Page().Background()->Width(), 241);
  EXPECT_EQ(window->copiesLabel->Caption(), "30");
  EXPECT_EQ(window->Caption(), "Format: [49mm x 85mm] Name: [NewDoc]");
}

TEST_F(DocumentWindowTest, NumbersStartAtTwoAndAreReused) {
  EXPECT_EQ(window->Page().ElementCounter(), 1);
  EXPECT_EQ(window->Page().NextElementNumber(), 2);
  Add(ElementKind::Label);
  Add(ElementKind::Rect);
  Add(ElementKind::Text);
  EXPECT_EQ(Names(), (std::vector<std::string>{"PRLabelBImage01232", "PRRectBImage01233",
                                               "PRTextBImage01234"}));
  EXPECT_EQ(window->Page().ElementCounter(), 4);
  EXPECT_TRUE(window->DeleteElement("PRLabelBImage01232"));
  EXPECT_EQ(window->Page().ElementCounter(), 3);
  // A delete of a name no element carries changes nothing, the counter included.
  EXPECT_FALSE(window->DeleteElement("PRLabelBImage01232"));
  EXPECT_FALSE(window->DeleteElement("BImage0123"));  // never the background
  EXPECT_EQ(window->Page().ElementCounter(), 3);
  EXPECT_EQ(window->Page().NextElementNumber(), 2);
  Add(ElementKind::Jpeg);
  EXPECT_EQ(Names().front(), "PRJpegImageBImage01232");
  EXPECT_EQ(window->Page().NextElementNumber(), 5);
}

TEST_F(DocumentWindowTest, BringToFrontSwapsNumbersWithTheTopElement) {
  auto& two = Add(ElementKind::Rect);
  Add(ElementKind::Label);
  auto& four = Add(ElementKind::Text);
  window->BringElementToFront("PRRectBImage01232");
  EXPECT_EQ(two.Name(), "PRRectBImage01234");
  EXPECT_EQ(four.Name(), "PRTextBImage01232");
  // On top of the page's elements, under the handles.
  const auto& children = window->Page().LayoutPanel().Controls();
  const auto position = std::find(children.begin(), children.end(), &two) - children.begin();
  const auto fourPosition = std::find(children.begin(), children.end(), &four) - children.begin();
  EXPECT_GT(position, fourPosition);
  EXPECT_EQ(children.back(), window->Marker(Side::Left));
  // After a delete the highest-numbered element is still found: no counting involved.
  window->DeleteElement("PRLabelBImage01233");
  window->BringElementToFront("PRTextBImage01232");
  EXPECT_EQ(four.Name(), "PRTextBImage01234");
  EXPECT_EQ(two.Name(), "PRRectBImage01232");
}

TEST_F(DocumentWindowTest, ArmedClickCreatesAndDisarms) {
  window->Page().Background()->MouseDown(ui::TMouseButton::mbLeft, 0, 30, 40);
  EXPECT_TRUE(window->Page().Elements().empty());  // not armed: nothing

  for (const char* mode : {"label", "memo", "Rect", "Ellipse"}) {
    window->ArmCreation(mode);
    window->Page().Background()->MouseMove(0, 30, 40);
    window->Page().Background()->MouseDown(ui::TMouseButton::mbLeft, 0, 30, 40);
    EXPECT_EQ(platform.ScreenCursor(), ui::crDefault);
  }
  const auto elements = window->Page().Elements();
  ASSERT_EQ(elements.size(), 4u);
  auto* label = dynamic_cast<report::TPRLabel*>(elements[0].item);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->Caption(), "Text Label");
  EXPECT_EQ(label->BoundsRect(), ui::Bounds(30, 40, 100, 17));
  auto* text = dynamic_cast<report::TPRText*>(elements[1].item);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->Lines(),
            (std::vector<std::string>{"Text Feld:", "Doppelklick für Eigenschaften.."}));
  // 200 x 100 does not fit at (30, 40) inside the 5 mm margins of 241 x 139: it is pulled in.
  EXPECT_EQ(text->BoundsRect(), ui::Bounds(26, 24, 200, 100));
  auto* rect = dynamic_cast<report::TPRRect*>(elements[2].item);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->FillColor(), graphics::clRed);
  EXPECT_EQ(rect->LineColor(), graphics::clBlack);
  EXPECT_EQ(rect->BoundsRect(), ui::Bounds(30, 40, 100, 50));
  auto* ellipse = dynamic_cast<report::TPREllipse*>(elements[3].item);
  ASSERT_NE(ellipse, nullptr);
  EXPECT_EQ(ellipse->Name(), "PREllipseBImage01235");
  EXPECT_EQ(ellipse->FillColor(), graphics::clRed);
  EXPECT_EQ(ellipse->BoundsRect(), ui::Bounds(30, 40, 100, 50));
  // Disarmed again: the next click creates nothing.
  window->Page().Background()->MouseDown(ui::TMouseButton::mbLeft, 0, 60, 60);
  EXPECT_EQ(window->Page().Elements().size(), 4u);
}

TEST_F(DocumentWindowTest, PicturesAreRecognisedByContentAndShrunk) {
  Bitmap wide(400, 200, PixelFormat::pf24bit);
  wide.FillRect(0, 0, 400, 200, graphics::clBlue);
  // Upper-case and odd extensions are fine: the content decides.
  EXPECT_EQ(window->InsertPicture(WriteFile("GROSS.BMP", graphics::WriteBmp(wide))),
            Notices{"Das Bild ist zu gross für das Dokument und wird automatisch verkleinert."});
  auto* bitmap = dynamic_cast<report::TPRImage*>(window->Page().Elements().back().item);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->BoundsRect(), ui::Bounds(20, 20, 100, 50));  // (241 div 100) x 50, ratio 2

  Bitmap small(40, 30, PixelFormat::pf24bit);
  EXPECT_EQ(window->InsertPicture(WriteFile("foto.JPEG", graphics::EncodeJpeg(small))), Notices{});
  auto* jpeg =
      dynamic_cast<report::TPRJpegImage*>(window->Page().FindElement("PRJpegImageBImage01233"));
  ASSERT_NE(jpeg, nullptr);
  EXPECT_EQ(jpeg->BoundsRect(), ui::Bounds(20, 20, 40, 30));

  EXPECT_THROW(window->InsertPicture(WriteFile("notiz.jpg", "kein Bild")), PictureFileError);
  EXPECT_THROW(window->InsertPicture(folder / "fehlt.bmp"), PictureFileError);
  EXPECT_THROW(window->InsertPicture(WriteFile("kaputt.bmp", "BM\x10\x00")), PictureFileError);
  EXPECT_EQ(platform.messages, std::vector<std::string>{});
  EXPECT_EQ(window->Page().Elements().size(), 2u);
}

TEST_F(DocumentWindowTest, BackgroundColourAndScratchFile) {
  window->Page().SetBackgroundColour(graphics::RGB(200, 30, 40));
  const graphics::TColor shown = window->Page().GifReplaceColour();
  EXPECT_NEAR(graphics::GetRValue(shown), 200, 6);
  EXPECT_NEAR(graphics::GetGValue(shown), 30, 6);
  EXPECT_NEAR(graphics::GetBValue(shown), 40, 6);
  const std::string scratch = ReadFile(folder / "COLOR_DEF_BACKGROUND.JPG", 1 << 20);
  EXPECT_EQ(scratch, window->Page().Background()->Picture().SaveToBytes());

  // A picture file: any of the three formats, by content.
  Bitmap green(8, 8, PixelFormat::pf24bit);
  green.FillRect(0, 0, 8, 8, graphics::RGB(0, 255, 0));
  window->LoadBackgroundPicture(WriteFile("hinter.BMP", graphics::WriteBmp(green)));
  EXPECT_EQ(window->Page().Background()->Picture().Kind(), graphics::GraphicKind::Jpeg);
  EXPECT_NEAR(graphics::GetGValue(window->Page().GifReplaceColour()), 255, 6);
  EXPECT_THROW(window->LoadBackgroundPicture(WriteFile("x.jpg", "nichts")), PictureFileError);
  EXPECT_NEAR(graphics::GetGValue(window->Page().GifReplaceColour()), 255, 6);  // unchanged
}

TEST_F(DocumentWindowTest, InkCountOfThePage) {
  auto& label = static_cast<report::TPRLabel&>(Add(ElementKind::Label));
  EXPECT_EQ(window->Page().CountInks(), 1);  // black text on white
  label.SetFontColor(graphics::clRed);
  EXPECT_EQ(window->Page().CountInks(), 2);
  label.SetFontColor(graphics::RGB(128, 128, 128));
  EXPECT_EQ(window->Page().CountInks(), 1);
  auto& rect = static_cast<report::TPRRect&>(Add(ElementKind::Rect));
  rect.SetFillColor(graphics::RGB(0, 255, 255));  // cyan
  rect.SetLineColor(graphics::clNone);
  EXPECT_EQ(window->Page().CountInks(), 2);
  EXPECT_EQ(window->CheckInks(), "Das Dokument ist 2 farbig");
  EXPECT_EQ(platform.cursor, ui::crDefault);
}

TEST_F(DocumentWindowTest, RemoveKXPageFreesEverything) {
  Add(ElementKind::Label);
  Add(ElementKind::Rect);
  window->DeleteElement("PRLabelBImage01232");
  report::TPRItem& text = Add(ElementKind::Text);
  text.SetBounds(40, 30, 100, 40);
  text.MouseDown(ui::TMouseButton::mbLeft, 0, 5, 5);  // chosen: handles and markers show
  text.MouseMove(0, 6, 6);
  ASSERT_TRUE(window->Handle(Corner::TopLeft)->Visible() && window->Marker(Side::Left)->Visible());
  window->ClearPage();
  EXPECT_TRUE(window->Page().Elements().empty());
  EXPECT_EQ(window->Page().Background(), nullptr);
  EXPECT_EQ(window->Page().ElementCounter(), 1);
  // The handles stay, but none shows on the next page, and nothing is chosen.
  const std::vector<ui::TImage*> owned = testing::OwnedOf<ui::TImage>(*window);
  for (ui::TImage* handle : window->Handles()) {
    EXPECT_NE(std::find(owned.begin(), owned.end(), handle), owned.end());
    EXPECT_FALSE(handle->Visible());
  }
  for (ui::TImage* marker : window->Markers()) EXPECT_FALSE(marker->Visible());
  EXPECT_EQ(window->Selected().Pressed(), nullptr);
}

TEST_F(DocumentWindowTest, PopupCommandsActOnTheirOwnKind) {
  auto& label = Add(ElementKind::Label);
  auto& rect = Add(ElementKind::Rect);
  Add(ElementKind::Jpeg);
  window->Selected().SetPressed(&rect);
  window->PopupDeleteClick(DocumentWindow::Popup::Label);  // the pressed element is no text line
  window->PopupDeleteClick(DocumentWindow::Popup::Text);
  EXPECT_EQ(window->Page().Elements().size(), 3u);
  window->PopupBringToFrontClick(DocumentWindow::Popup::Rect);
  EXPECT_EQ(rect.Name(), "PRRectBImage01234");
  window->Selected().SetPressed(&label);
  window->PopupDeleteClick(DocumentWindow::Popup::Label);
  window->Selected().SetImageMenuTarget(*window->Page().FindElement("PRJpegImageBImage01233"));
  window->PopupDeleteClick(DocumentWindow::Popup::Image);
  EXPECT_EQ(Names(), std::vector<std::string>{"PRRectBImage01234"});
}

TEST_F(DocumentWindowTest, DoubleClickAndPopupAskForThePropertyWindowOfTheirKind) {
  std::vector<DocumentWindow::Popup> asked;
  window->OnProperties = [&asked](DocumentWindow::Popup popup) { asked.push_back(popup); };
  auto& label = Add(ElementKind::Label);
  auto& text = Add(ElementKind::Text);
  auto& rect = Add(ElementKind::Rect);
  auto& image = Add(ElementKind::Jpeg);
  for (report::TPRItem* item : {&label, &text, &rect, &image}) item->DblClick();
  EXPECT_EQ(asked, (std::vector<DocumentWindow::Popup>{DocumentWindow::Popup::Label,
                                                       DocumentWindow::Popup::Text,
                                                       DocumentWindow::Popup::Rect}));
  EXPECT_EQ(window->Selected().Pressed(), &rect);
  // The text line's "Eigenschaften..." does nothing while a rectangle is the pressed element.
  asked.clear();
  window->PopupPropertiesClick(DocumentWindow::Popup::Label);
  window->PopupPropertiesClick(DocumentWindow::Popup::Rect);
  EXPECT_EQ(asked, std::vector<DocumentWindow::Popup>{DocumentWindow::Popup::Rect});
  // A double-click on a handle over the pressed element's corner is one on the element.
  asked.clear();
  window->Handle(Corner::TopLeft)->DblClick();
  EXPECT_EQ(asked, std::vector<DocumentWindow::Popup>{DocumentWindow::Popup::Rect});
}

TEST_F(DocumentWindowTest, HandlesFrameTheElement) {
  auto& rect = Add(ElementKind::Rect);
  rect.SetBounds(50, 60, 30, 20);
  window->PlaceHandlesAround(&rect);
  EXPECT_EQ(window->Handle(Corner::BottomRight)->Left(), 77);
  EXPECT_EQ(window->Handle(Corner::BottomRight)->Top(), 77);
  EXPECT_EQ(window->Handle(Corner::TopRight)->Left(), 77);
  EXPECT_EQ(window->Handle(Corner::TopRight)->Top(), 52);
  EXPECT_EQ(window->Handle(Corner::TopLeft)->Left(), 42);
  EXPECT_EQ(window->Handle(Corner::TopLeft)->Top(), 52);
  EXPECT_EQ(window->Handle(Corner::BottomLeft)->Left(), 42);
  EXPECT_EQ(window->Handle(Corner::BottomLeft)->Top(), 77);
}

}  // namespace
}  // namespace quirabel::designer
