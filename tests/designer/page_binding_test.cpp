#include <gtest/gtest.h>

#include "designer/document_window.h"
#include "designer/projectfile/page_text.h"
#include "graphics/bmp.h"
#include "graphics/jpeg.h"
#include "report/pr_code.h"
#include "support/fake_platform.h"

namespace quirabel::designer {
namespace {

using graphics::Bitmap;
using graphics::PixelFormat;
namespace pf = projectfile;

class PageBindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root.SetPlatform(&platform);
    state.formatWidthText = "91";
    state.formatHeightText = "55";
    state.projectNumber = "8151042";
    window = NewWindow();
    window->Page().SetDocumentId("BImage08151042");
    window->InitDocument();
    window->Page().SetBackgroundColour(graphics::clWhite);
  }
  DocumentWindow* NewWindow() { return new DocumentWindow(&root, state); }

  testing::FakePlatform platform;
  ui::Component root;
  ProjectState state;
  DocumentWindow* window = nullptr;
};

TEST_F(PageBindingTest, EmptyFreePageEndsWithTheHeader) {
  const std::string text = window->Page().PageText();
  EXPECT_TRUE(
      text.starts_with("<kx-2.2><vs>8151042</kxnummer>BImage08151042</kxint></kxtitel>"
                       "</kxthema></kxautor></kxkeywords></kxdoctype>55</kxheight>91"
                       "</kxwidth>0</kxvbl>0</kxhbl>0</kxsvbl>0</kxshbl></kxlines>"))
      << text.substr(0, 200);
  EXPECT_TRUE(text.ends_with("</kxelement>0</kxpaymerk></kxheader>"));
}

TEST_F(PageBindingTest, EveryKindSurvivesSaveAndLoadByteForByte) {
  auto& label = static_cast<report::TPRLabel&>(window->Page().CreateElement(ElementKind::Label));
  label.SetBounds(10, 12, 120, 20);
  label.SetCaption("Grüße </kxelement> aus Köln");
  label.SetFontName(report::TPRFontName::fnTimesRoman);
  label.SetFontBold(true);
  label.SetAlignment(pdf::TAlignment::taCenter);
  label.SetCharSpace(1.5f);
  auto& rect = static_cast<report::TPRRect&>(window->Page().CreateElement(ElementKind::Rect));
  rect.SetBounds(5, 60, 80, 1);
  rect.SetLineWidth(0.5f);
  auto& text = static_cast<report::TPRText&>(window->Page().CreateElement(ElementKind::Text));
  text.SetBounds(100, 40, 100, 60);
  text.SetText("a\nb  \n\n");
  state.info.title = "Preis <kxdata> </kxtitel>";
  text.SetLeading(11);
  Bitmap pixels(6, 4, PixelFormat::pf24bit);
  pixels.FillRect(0, 0, 3, 4, graphics::clRed);
  auto& jpeg = static_cast<report::TPRJpegImage&>(window->Page().CreateElement(ElementKind::Jpeg));
  jpeg.SetPicture(graphics::Picture::FromJpegBytes(graphics::EncodeJpeg(pixels, 90)));
  jpeg.SetBounds(150, 5, 30, 20);
  auto& bmp = static_cast<report::TPRImage&>(window->Page().CreateElement(ElementKind::Bitmap));
  bmp.SetPicture(graphics::Picture::FromBmpBytes(graphics::WriteBmp(pixels)));
  bmp.SetBounds(190, 5, 12, 8);
  auto& ellipse =
      static_cast<report::TPREllipse&>(window->Page().CreateElement(ElementKind::Ellipse));
  ellipse.SetBounds(20, 80, 60, 30);
  ellipse.SetFillColor(graphics::RGB(0, 128, 255));
  ellipse.SetLineWidth(2.5f);
  state.info.subject = "Thema";
  state.info.author = "Autorin";
  state.info.keywords = "Karte, Gruß";

  const std::string first = window->Page().PageText();
  // Text-field lines are stored trimmed, one CR LF after each.
  EXPECT_NE(first.find("<kxdata>a\r\nb\r\n</kxelement>"), std::string::npos);
  // A tag typed into a caption sits in a record of fixed size: it cannot end the block early.
  EXPECT_NE(first.find("</kxelement> aus"), std::string::npos);
  // An ellipse is a rectangle's record in a block of its own kind.
  EXPECT_NE(first.find("<kxelement ELL>" +
                       pf::Encode(pf::RectRecord{"PREllipseBImage081510427", 0xFF8000, 0, 80, 20,
                                                 30, 60, 2.5f}) +
                       "</kxelement>"),
            std::string::npos);

  DocumentWindow* other = NewWindow();
  other->LoadPageText(first, 1, false);
  EXPECT_EQ(other->Page().PageText(), first);
  ASSERT_EQ(other->Page().Elements().size(), 6u);
  EXPECT_NE(dynamic_cast<report::TPREllipse*>(other->Page().Elements()[5].item), nullptr);
  auto* label2 = dynamic_cast<report::TPRLabel*>(other->Page().Elements()[0].item);
  ASSERT_NE(label2, nullptr);
  EXPECT_EQ(label2->Caption(), "Grüße </kxelement> aus Köln");
  EXPECT_EQ(label2->FontName(), report::TPRFontName::fnTimesRoman);
  EXPECT_EQ(label2->BoundsRect(), ui::Bounds(10, 12, 120, 20));
  EXPECT_EQ(other->Page().DocumentId(), "BImage08151042");
  EXPECT_EQ(state.info.author, "Autorin");
  // Typed header texts are searched by their closing tag: a tag inside one is defused.
  EXPECT_EQ(state.info.title, "Preis ‹kxdata> ‹/kxtitel>");
}

TEST_F(PageBindingTest, NamesBeyondWindows1252ComeBackAsTyped) {
  auto& label = static_cast<report::TPRLabel&>(window->Page().CreateElement(ElementKind::Label));
  label.SetCaption("Şahin Çelik, Łódź &#38;");
  auto& text = static_cast<report::TPRText&>(window->Page().CreateElement(ElementKind::Text));
  text.SetText("Ελένη Παπαδοπούλου\nЮлия Смирнова");
  state.info.author = "Jiří Dvořák";

  const std::string first = window->Page().PageText();
  EXPECT_NE(first.find("&#350;ahin \xC7"
                       "elik, &#321;\xF3"
                       "d&#378; &#38;#38;"),
            std::string::npos);
  EXPECT_NE(first.find("Ji&#345;\xED Dvo&#345;\xE1k</kxautor>"), std::string::npos);

  DocumentWindow* other = NewWindow();
  other->LoadPageText(first, 1, false);
  EXPECT_EQ(other->Page().PageText(), first);
  EXPECT_EQ(other->Page().Elements()[0].item->Caption(), "Şahin Çelik, Łódź &#38;");
  EXPECT_EQ(static_cast<report::TPRText*>(other->Page().Elements()[1].item)->Text(),
            "Ελένη Παπαδοπούλου\r\nЮлия Смирнова\r\n");
  EXPECT_EQ(state.info.author, "Jiří Dvořák");
}

// A code's content goes into the file as Windows-1252 with numeric references and its '<'
// escaped, so markers and tags in it come back as typed and never end the block early.
TEST_F(PageBindingTest, CodesSurviveSaveAndLoadByteForByte) {
  const struct {
    graphics::CodeKind kind;
    graphics::QrErrorCorrection correction;
    std::string content;
    std::string stored;  // the bytes after "<kxdata>"
  } cases[] = {
      {graphics::CodeKind::QrCode, graphics::QrErrorCorrection::M,
       "BEGIN:VCARD\r\nN:<Name>;<Vorname>\r\nORG:Grüße & Łódź </kxelement>\r\nEND:VCARD\r\n",
       "BEGIN:VCARD\r\nN:&#60;Name>;&#60;Vorname>\r\nORG:Gr\xFC\xDF"
       "e & &#321;\xF3"
       "d&#378; &#60;/kxelement>\r\nEND:VCARD\r\n"},
      {graphics::CodeKind::DataMatrix, graphics::QrErrorCorrection::H, "typed &#60; and &<#38;",
       "typed &#38;#60; and &&#60;#38;"},
      {graphics::CodeKind::Code128, graphics::QrErrorCorrection::L, "Ticket-<Nummer>",
       "Ticket-&#60;Nummer>"},
      {graphics::CodeKind::Ean13, graphics::QrErrorCorrection::Q, "400638133393", "400638133393"},
  };
  for (const auto& c : cases) {
    auto& code = static_cast<report::TPRCode&>(window->Page().CreateElement(ElementKind::Code));
    code.SetBounds(10, 12, 90, 80);
    code.SetCodeKind(c.kind);
    code.SetCorrection(c.correction);
    code.SetColor(graphics::RGB(10, 20, 30));
    code.SetContent(c.content);
  }
  const std::string first = window->Page().PageText();
  for (const auto& c : cases) {
    EXPECT_NE(first.find("<kxdata>" + c.stored + "</kxelement>"), std::string::npos) << c.stored;
  }

  DocumentWindow* other = NewWindow();
  other->LoadPageText(first, 1, false);
  EXPECT_EQ(other->Page().PageText(), first);
  ASSERT_EQ(other->Page().Elements().size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto* code = dynamic_cast<report::TPRCode*>(other->Page().Elements()[i].item);
    ASSERT_NE(code, nullptr);
    EXPECT_TRUE(code->Name().starts_with("PRCode"));
    EXPECT_EQ(code->Content(), cases[i].content);
    EXPECT_EQ(code->CodeKind(), cases[i].kind);
    EXPECT_EQ(code->Correction(), cases[i].correction);
    EXPECT_EQ(code->Color(), graphics::RGB(10, 20, 30));
    EXPECT_EQ(code->BoundsRect(), ui::Bounds(10, 12, 90, 80));
  }
  // The markers in a code's content are data fields of the page.
  EXPECT_EQ(state.dataFields,
            (std::vector<std::string>{"Name", "Vorname", "/kxelement", "Nummer"}));
}

TEST_F(PageBindingTest, DataFieldsComeBackAsTheirNames) {
  auto& label = static_cast<report::TPRLabel&>(window->Page().CreateElement(ElementKind::Label));
  label.SetCaption("Max Muster");
  label.Setdbfieldname("Name");
  DocumentWindow* other = NewWindow();
  other->LoadPageText(window->Page().PageText(), 1, false);
  EXPECT_EQ(state.dataFields, std::vector<std::string>{"Name"});
  EXPECT_EQ(other->Page().Elements().front().item->Caption(), "<Name>");
}

TEST_F(PageBindingTest, DamagedPagesLeaveTheScreenAsItWas) {
  window->Page().CreateElement(ElementKind::Label);
  const std::string good = window->Page().PageText();
  auto fails = [&](std::string text) {
    try {
      window->LoadPageText(text, 1, false);
    } catch (const pf::ProjectFileError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_NE(fails("kein Projekt"), "no error");
  EXPECT_NE(fails(good.substr(0, good.size() / 2)), "no error");
  std::string noSize = good;
  noSize.replace(noSize.find("91</kxwidth>"), 2, "0");
  EXPECT_EQ(fails(noSize), "Die Seite hat keine gültige Größe: 0 x 55 mm.");
  // Still the page it was.
  EXPECT_EQ(window->Page().Elements().size(), 1u);
  EXPECT_EQ(window->Page().PageText(), good);
}

}  // namespace
}  // namespace quirabel::designer
