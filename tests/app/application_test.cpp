#include "app/application.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

#include "base/atomic_file.h"
#include "designer/document_window.h"
#include "dialogs/page_windows.h"
#include "dialogs/project_windows.h"
#include "graphics/jpeg.h"
#include "support/fake_platform.h"
#include "support/pdf_check.h"
#include "support/png_samples.h"
#include "support/test_folder.h"

namespace quirabel::app {
namespace {

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override { folder = testing::FreshTestFolder("application_"); }
  void TearDown() override { std::filesystem::remove_all(folder); }

  // A three-page project: each page with a label, the second also with a picture.
  void MakeProject(Application& application) {
    ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, true)));
    designer::DocumentWindow& window = *application.DocumentWindow();
    designer::ProjectState& state = application.State();
    for (int page = 1; page <= 3; ++page) {
      window.ClearPage();
      window.Page().SetDocumentId("BImage0" + std::to_string(page));
      window.InitDocument();
      window.Page().SetBackgroundColour(graphics::RGB(255, 255, 200 + page));
      auto& label =
          static_cast<report::TPRLabel&>(window.Page().CreateElement(designer::ElementKind::Label));
      label.SetCaption("Seite " + std::to_string(page));
      label.SetBounds(20, 20 * page, 120, 20);
      if (page == 2) {
        graphics::Bitmap blue(10, 10, graphics::PixelFormat::pf24bit);
        blue.FillRect(0, 0, 10, 10, graphics::clBlue);
        auto& jpeg = static_cast<report::TPRJpegImage&>(
            window.Page().CreateElement(designer::ElementKind::Jpeg));
        jpeg.SetPicture(graphics::Picture::FromJpegBytes(graphics::EncodeJpeg(blue)));
        jpeg.SetBounds(100, 100, 40, 40);
      }
      state.currentPage = page;
      window.Page().StoreCurrentPage();
    }
    state.pageCount = 3;
    application.Edits().Record();  // made as a person would: the project has unsaved changes
  }

  testing::FakePlatform platform;
  std::filesystem::path folder;
};

TEST_F(ApplicationTest, NewDocumentOfEveryFormat) {
  Application application(platform, folder.string());
  ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A4, true)));
  EXPECT_EQ(application.DocumentWindow()->Page().PagePanel().Width(), 842);
  EXPECT_EQ(application.DocumentWindow()->Page().PagePanel().Height(), 595);
  EXPECT_EQ(application.DocumentWindow()->sizeLabel->Caption(), "H 210/B 297 mm");
  EXPECT_EQ(application.State().projectFileName, "NewDoc");
  EXPECT_EQ(application.DocumentWindow()->Page().DocumentId(),
            "BImage093000");  // 09:30:00.000 of the test clock

  application.FormatWindow().DinChosen = false;
  application.FormatWindow().widthEdit->SetText("0150");
  application.FormatWindow().heightEdit->SetText("150");
  ASSERT_TRUE(application.CreateChosenDocument());
  EXPECT_EQ(application.FormatWindow().widthEdit->Text(), "150");
  EXPECT_EQ(application.DocumentWindow()->Page().PagePanel().Width(), 425);
  EXPECT_EQ(application.DocumentWindow()->Page().PagePanel().Height(), 425);
  EXPECT_EQ(application.State().docType, "");

  for (const char* bad : {"", "15.5", "-3", "0", "99999"}) {
    application.FormatWindow().widthEdit->SetText(bad);
    platform.messages.clear();
    EXPECT_FALSE(application.CreateChosenDocument()) << bad;
    EXPECT_EQ(platform.messages, std::vector<std::string>{"Keine gültige Millimeter-Angabe!"});
  }

  // "Druckformat (bestellfähig)": the print format's page, orderable.
  application.FormatWindow().printFormat = designer::FindPrintFormat("klappkarte-a6");
  ASSERT_TRUE(application.CreateChosenDocument());
  EXPECT_TRUE(application.State().orderDocument);
  EXPECT_EQ(application.State().formatWidthText, "216");
  EXPECT_EQ(application.State().formatHeightText, "154");
}

TEST_F(ApplicationTest, SavedProjectOpensAndSavesAgainByteForByte) {
  Application first(platform, folder.string());
  MakeProject(first);
  ASSERT_TRUE(first.SaveProjectTo((folder / "karte").string()));
  EXPECT_EQ(first.State().projectFileName, (folder / "karte.kxp").string());
  const std::string saved = ReadFile(folder / "karte.kxp", 1 << 24);
  EXPECT_TRUE(saved.ends_with("</endoffile>"));

  Application second(platform, folder.string());
  ASSERT_TRUE(second.OpenProject(folder / "karte.kxp"));
  EXPECT_EQ(second.State().pageCount, 3);
  // Pages gone through unchanged keep their bytes as read: no copy of a project is made by
  // looking at its pages or exporting them.
  std::vector<const char*> asRead;
  for (const SharedBytes& page : second.State().pageTexts) asRead.push_back(page.data());
  ASSERT_TRUE(second.VisitAllPages());
  ASSERT_TRUE(second.ExportPdfTo((folder / "karte.pdf").string()));
  for (std::size_t i = 0; i < asRead.size(); ++i)
    EXPECT_EQ(second.State().pageTexts[i].data(), asRead[i]) << i;
  ASSERT_TRUE(second.SaveProjectTo((folder / "wieder.kxp").string()));
  EXPECT_EQ(ReadFile(folder / "wieder.kxp", 1 << 24), saved);
  EXPECT_TRUE(testing::IsValidPdf(ReadFile(folder / "karte.pdf", 1 << 24)));
  EXPECT_TRUE(platform.messages.empty());

  // An element whose name lacks the mark of its kind would be lost: the designer says so.
  std::string renamed = saved;
  const std::size_t label = renamed.find("PRLabel");
  ASSERT_NE(label, std::string::npos);
  renamed.replace(label, 2, "XX");
  WriteFileAtomic(folder / "umbenannt.kxp", renamed);
  Application third(platform, folder.string());
  ASSERT_TRUE(third.OpenProject(folder / "umbenannt.kxp"));
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_NE(platform.messages[0].find(
                ": 1 Element(e) ohne die Kennung ihrer Art im Namen ausgelassen (XXLabel"),
            std::string::npos)
      << platform.messages[0];
}

TEST_F(ApplicationTest, OpeningSomethingElseKeepsTheOpenProject) {
  Application application(platform, folder.string());
  MakeProject(application);
  designer::DocumentWindow* window = application.DocumentWindow();
  WriteFileAtomic(folder / "brief.kxp", "Lieber Kunde, ...");
  EXPECT_FALSE(application.OpenProject(folder / "brief.kxp"));
  WriteFileAtomic(folder / "kaputt.kxp", "<kx-2.2><vs>1</kxnummer></endoffile>");
  EXPECT_FALSE(application.OpenProject(folder / "kaputt.kxp"));
  EXPECT_FALSE(application.OpenProject(folder / "fehlt.kxp"));
  ASSERT_EQ(platform.messages.size(), 3u);
  EXPECT_TRUE(platform.messages[0].starts_with("Die Datei ist keine Quirabel-Projektdatei"));
  EXPECT_TRUE(platform.messages[1].starts_with("Die Seite ist beschädigt")) << platform.messages[1];
  EXPECT_TRUE(platform.messages[2].starts_with("Die Datei kann nicht gelesen werden"));
  EXPECT_EQ(application.DocumentWindow(), window);
  EXPECT_EQ(application.State().pageCount, 3);
  EXPECT_EQ(application.State().formatWidthText, "148");
}

TEST_F(ApplicationTest, ExportWritesEveryPage) {
  Application application(platform, folder.string());
  MakeProject(application);
  EXPECT_FALSE(application.ExportPdf());
  EXPECT_EQ(platform.messages.back(),
            "Bitte speichern Sie zunächst Ihr Dokument als Quirabel Datei!");
  ASSERT_TRUE(application.SaveProjectTo((folder / "karte.kxp").string()));

  application.State().info.title = "Karten";
  platform.modalAnswers = {ui::mrOk};
  platform.fileAnswers = {(folder / "karte").string()};
  ASSERT_TRUE(application.ExportPdf());
  EXPECT_EQ(platform.fileDialogs.back().fileName, (folder / "karte").string());
  EXPECT_EQ(application.State().lastPdfFileName, (folder / "karte.pdf").string());
  const std::string pdf = ReadFile(folder / "karte.pdf", 1 << 24);
  EXPECT_TRUE(testing::IsValidPdf(pdf));
  EXPECT_EQ(testing::PdfPages(pdf).size(), 3u);
  EXPECT_NE(pdf.find("/Title (Karten)"), std::string::npos);
  EXPECT_NE(pdf.find("(Seite 2) Tj"), std::string::npos);
  // Created when the export began (the test clock), not on a date stored with the program.
  EXPECT_NE(pdf.find("/CreationDate (D:20261207093000)"), std::string::npos);
  EXPECT_EQ(application.State().currentPage, 3);
  // The progress window counted the pages and went away.
  EXPECT_NE(std::find(platform.progressLabels.begin(), platform.progressLabels.end(), "Seite 3/3"),
            platform.progressLabels.end());
  EXPECT_GE(platform.progressEnded, 1);
}

TEST_F(ApplicationTest, PreviewWritesEveryPageIntoTheProgramFolder) {
  Application application(platform, folder.string());
  MakeProject(application);
  const auto preview = application.PreviewPdf();
  ASSERT_TRUE(preview.has_value());
  EXPECT_EQ(*preview, folder / "showdef.pdf");
  const std::string pdf = ReadFile(*preview, 1 << 24);
  EXPECT_TRUE(testing::IsValidPdf(pdf));
  EXPECT_EQ(testing::PdfPages(pdf).size(), 3u);
  EXPECT_NE(pdf.find("/Author (Quirabel 2.2 TYP DEV)"), std::string::npos);
}

TEST_F(ApplicationTest, SavingOnRequest) {
  Application application(platform, folder.string());
  MakeProject(application);
  // "Nein": nothing written, New goes on.
  platform.modalAnswers = {ui::mrNo};
  application.OnNewDocument();
  EXPECT_EQ(application.DocumentWindow(), nullptr);
  EXPECT_EQ(platform.modalWindows.back(), testing::WindowType::Of<dialogs::SaveQuestionWindow>());

  MakeProject(application);
  // "Ja" without a name: the save dialog; cancelling it cancels the New.
  platform.modalAnswers = {ui::mrOk};
  application.OnNewDocument();
  EXPECT_NE(application.DocumentWindow(), nullptr);
  platform.modalAnswers = {ui::mrOk};
  platform.fileAnswers = {(folder / "gesichert").string()};
  application.OnNewDocument();
  EXPECT_EQ(application.DocumentWindow(), nullptr);
  EXPECT_TRUE(std::filesystem::exists(folder / "gesichert.kxp"));

  // Escape or the close button at the question: the document and its number stay.
  MakeProject(application);
  const designer::DocumentWindow* open = application.DocumentWindow();
  const std::string number = application.State().projectNumber;
  platform.modalAnswers = {ui::mrCancel};
  application.OnNewDocument();
  EXPECT_EQ(application.DocumentWindow(), open);
  EXPECT_EQ(application.State().projectNumber, number);
  EXPECT_FALSE(application.CloseDocument());
  EXPECT_EQ(application.DocumentWindow(), open);
}

TEST_F(ApplicationTest, OnlyUnsavedChangesAreAskedAbout) {
  Application application(platform, folder.string());
  ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, false)));
  const std::size_t asked = platform.modalWindows.size();
  application.OnNewDocument();  // nothing changed: no question
  EXPECT_EQ(platform.modalWindows.size(), asked);
  EXPECT_EQ(application.DocumentWindow(), nullptr);

  MakeProject(application);
  platform.fileAnswers = {(folder / "karte").string()};
  platform.modalAnswers = {ui::mrOk};
  ASSERT_TRUE(application.SaveOnRequest());
  EXPECT_FALSE(application.State().unsavedChanges);
  // An undo is a change like any other.
  ASSERT_TRUE(application.Edits().Undo());
  EXPECT_TRUE(application.State().unsavedChanges);
  platform.modalAnswers = {ui::mrNo};
  const std::size_t before = platform.modalWindows.size();
  ASSERT_TRUE(application.CloseDocument());
  EXPECT_EQ(platform.modalWindows.size(), before + 1);
  // Opening starts without unsaved changes.
  ASSERT_TRUE(application.OpenProject(folder / "karte.kxp"));
  EXPECT_FALSE(application.State().unsavedChanges);
}

TEST_F(ApplicationTest, PagesByArrowsGoToAndDelete) {
  Application application(platform, folder.string());
  MakeProject(application);
  designer::ProjectState& state = application.State();
  auto shownCaption = [&application] {
    for (const designer::PageElement& element : application.DocumentWindow()->Page().Elements())
      if (auto* label = dynamic_cast<report::TPRLabel*>(element.item)) return label->Caption();
    return std::string();
  };
  EXPECT_EQ(state.currentPage, 3);
  EXPECT_FALSE(application.NextPageClick());  // a new page at the end is not made here
  ASSERT_TRUE(application.PreviousPageClick());
  EXPECT_EQ(state.currentPage, 2);
  EXPECT_EQ(shownCaption(), "Seite 2");

  // "goto": the number typed must name an existing page.
  auto typePage = [this](std::string text) {
    platform.whileModal = [text](ui::TForm& form) {
      static_cast<dialogs::GoToPageWindow&>(form).pageNumberEdit->SetText(text);
    };
    platform.modalAnswers = {ui::mrOk};
  };
  for (const char* bad : {"", "0", "4", "abc", "1a", " 1", "-1", "99999999999999"}) {
    typePage(bad);
    platform.messages.clear();
    EXPECT_FALSE(application.GotoClick()) << bad;
    EXPECT_EQ(platform.messages, std::vector<std::string>{dialogs::kNoSuchPage}) << bad;
    EXPECT_EQ(state.currentPage, 2);
  }
  typePage("1");
  ASSERT_TRUE(application.GotoClick());
  EXPECT_EQ(state.currentPage, 1);
  EXPECT_EQ(shownCaption(), "Seite 1");
  platform.whileModal = nullptr;

  // "X" asks; only "Ja" deletes. Deleting page 1 shows the former page 2 as page 1.
  platform.modalAnswers = {ui::mrNo};
  EXPECT_FALSE(application.DeletePageClick());
  EXPECT_EQ(platform.modalWindows.back(), testing::WindowType::Of<dialogs::DeletePageWindow>());
  EXPECT_EQ(state.pageCount, 3);
  platform.modalAnswers = {ui::mrYes};
  ASSERT_TRUE(application.DeletePageClick());
  EXPECT_EQ(state.pageCount, 2);
  EXPECT_EQ(state.currentPage, 1);
  EXPECT_EQ(shownCaption(), "Seite 2");
  // Deleting the last page shows the one before it.
  ASSERT_TRUE(application.NextPageClick());
  platform.modalAnswers = {ui::mrYes};
  ASSERT_TRUE(application.DeletePageClick());
  EXPECT_EQ(state.currentPage, 1);
  EXPECT_EQ(shownCaption(), "Seite 2");
  // One page is left, and it stays.
  platform.messages.clear();
  EXPECT_FALSE(application.DeletePageClick());
  EXPECT_EQ(platform.messages, std::vector<std::string>{dialogs::kOnlyOnePage});
  EXPECT_EQ(state.pageCount, 1);
}

TEST_F(ApplicationTest, DeletingKeepsThePageWhenTheNextCannotBeRead) {
  Application application(platform, folder.string());
  MakeProject(application);
  designer::ProjectState& state = application.State();
  ASSERT_TRUE(application.GoToPage(1));
  state.pageTexts[1] = SharedBytes("<kx-2.2>kaputt</endoffile>");
  platform.modalAnswers = {ui::mrYes};
  EXPECT_FALSE(application.DeletePageClick());
  EXPECT_EQ(state.pageCount, 3);
  EXPECT_EQ(state.currentPage, 1);
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(state.pageTexts[0].View().substr(0, 8), "<kx-2.2>");
  EXPECT_EQ(state.pageTexts[1].View(), "<kx-2.2>kaputt</endoffile>");
}

TEST_F(ApplicationTest, ToolsAskThroughTheirDialogsAndCancellingChangesNothing) {
  Application application(platform, folder.string());
  EXPECT_FALSE(application.BackgroundColourClick());  // no document: nothing asked
  ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, false)));
  designer::DocumentWindow& window = *application.DocumentWindow();
  const std::string before = window.Page().PageText();
  EXPECT_FALSE(application.BackgroundColourClick());
  EXPECT_FALSE(application.BackgroundPictureClick());
  EXPECT_FALSE(application.InsertPictureClick());
  EXPECT_FALSE(application.SinglePageClick());
  EXPECT_EQ(window.Page().PageText(), before);
  ASSERT_EQ(platform.fileDialogs.size(), 3u);
  EXPECT_EQ(platform.fileDialogs[0].title, "Bildauswahl");
  EXPECT_EQ(platform.fileDialogs[1].title, "Bitte wählen Sie ein Bild aus...");
  EXPECT_EQ(
      platform.fileDialogs[1].filter,
      "Alle unterstützten Formate|*.bmp;*.jpg;*.gif;*.png|BMP|*.bmp|JPG|*.jpg|GIF|*.gif|PNG|*.png");
  EXPECT_TRUE(platform.fileDialogs[2].save);

  graphics::Bitmap green(8, 8, graphics::PixelFormat::pf24bit);
  green.FillRect(0, 0, 8, 8, graphics::RGB(0, 200, 0));
  WriteFileAtomic(folder / "gruen.jpg", graphics::EncodeJpeg(green));
  platform.fileAnswers = {(folder / "gruen.jpg").string(), (folder / "seite").string()};
  ASSERT_TRUE(application.InsertPictureClick());
  EXPECT_EQ(window.Page().Elements().size(), 1u);
  platform.colorAnswers = {graphics::RGB(0, 0, 255)};
  ASSERT_TRUE(application.BackgroundColourClick());
  ASSERT_TRUE(application.SinglePageClick());
  const std::string pdf = ReadFile(folder / "seite.pdf", 1 << 24);
  EXPECT_TRUE(testing::IsValidPdf(pdf));
  EXPECT_EQ(testing::PdfPages(pdf).size(), 1u);
}

TEST_F(ApplicationTest, ProjectNamedAtTheStartOpensAfterTheStart) {
  {
    Application first(platform, folder.string());
    MakeProject(first);
    ASSERT_TRUE(first.SaveProjectTo((folder / "karte.kxp").string()));
  }
  Application application(platform, folder.string());
  EXPECT_FALSE(application.OpenStartProject());  // nothing named: nothing opened
  application.StartWith((folder / "karte.kxp").string());
  EXPECT_EQ(application.State().projectFileName, (folder / "karte.kxp").string());
  EXPECT_EQ(application.DocumentWindow(), nullptr);
  ASSERT_TRUE(application.OpenStartProject());
  EXPECT_EQ(application.State().currentPage, 1);
  EXPECT_EQ(application.State().pageCount, 3);
  EXPECT_TRUE(platform.modalWindows.empty());  // no question, no dialog

  // A name that opens nothing is reported and does not stay the project's name.
  Application other(platform, folder.string());
  other.StartWith((folder / "fehlt.kxp").string());
  EXPECT_FALSE(other.OpenStartProject());
  EXPECT_EQ(other.State().projectFileName, "NewDoc");
  EXPECT_TRUE(platform.messages.back().starts_with("Die Datei kann nicht gelesen werden"));
}

}  // namespace
}  // namespace quirabel::app

namespace quirabel::app {
namespace {

TEST_F(ApplicationTest, PngPicturesBecomeBitmapsThatSaveAndExport) {
  Application application(platform, folder.string());
  ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, false)));
  designer::DocumentWindow& window = *application.DocumentWindow();
  WriteFileAtomic(folder / "logo.png", testing::TransparentSamplePng());
  ASSERT_NO_THROW(window.InsertPicture(folder / "logo.png"));
  ASSERT_NO_THROW(window.LoadBackgroundPicture(folder / "logo.png"));
  auto* logo = dynamic_cast<report::TPRImage*>(window.Page().Elements().back().item);
  ASSERT_NE(logo, nullptr);
  ASSERT_EQ(logo->Picture().Kind(), graphics::GraphicKind::Bitmap);
  // Stored as a bitmap file: readers of project files never see PNG bytes.
  EXPECT_TRUE(logo->Picture().SaveToBytes().starts_with("BM"));
  EXPECT_EQ(logo->Picture().Pixels().Pixel(2, 0), graphics::clWhite);
  EXPECT_EQ(window.Page().Background()->Picture().Kind(), graphics::GraphicKind::Jpeg);
  // Saving and exporting rebuild the page: the element is gone then, its pixels are kept here.
  const graphics::Bitmap pixels = logo->Picture().Pixels();

  ASSERT_TRUE(application.SaveProjectTo((folder / "karte.kxp").string()));
  platform.fileAnswers = {(folder / "karte").string()};
  platform.modalAnswers = {ui::mrOk};
  ASSERT_TRUE(application.ExportPdf());
  // The picture read from the PNG is written compressed without loss: its inflated samples are
  // the element's pixels, row by row in RGB; so again after the project is saved and reopened.
  const auto expectSamplesOfPng = [&](const std::string& pdf) {
    EXPECT_TRUE(testing::IsValidPdf(pdf));
    const std::size_t filter = pdf.find("/Filter [/FlateDecode ]");
    ASSERT_NE(filter, std::string::npos);
    const std::size_t begin = pdf.find("stream\r\n", filter) + 8;
    const std::size_t end = pdf.find("\nendstream", begin);
    std::string samples(4 * 2 * 3, '\0');
    uLongf size = samples.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(samples.data()), &size,
                         reinterpret_cast<const Bytef*>(pdf.data() + begin), end - begin),
              Z_OK);
    ASSERT_EQ(size, samples.size());
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 4; ++x) {
        const auto at = [&](int i) {
          return static_cast<unsigned char>(samples[static_cast<std::size_t>((y * 4 + x) * 3 + i)]);
        };
        EXPECT_EQ(graphics::RGB(at(0), at(1), at(2)), pixels.Pixel(x, y)) << x << "," << y;
      }
    }
  };
  expectSamplesOfPng(ReadFile(folder / "karte.pdf", 1 << 24));

  Application reopened(platform, folder.string());
  ASSERT_TRUE(reopened.OpenProject(folder / "karte.kxp"));
  auto* again =
      dynamic_cast<report::TPRImage*>(reopened.DocumentWindow()->Page().Elements().back().item);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->Picture().Pixels().Pixel(0, 1), graphics::RGB(0, 255, 0));
  EXPECT_EQ(again->Picture().Pixels().Pixel(2, 0), graphics::clWhite);
  platform.fileAnswers = {(folder / "wieder").string()};
  platform.modalAnswers = {ui::mrOk};
  ASSERT_TRUE(reopened.ExportPdf());
  expectSamplesOfPng(ReadFile(folder / "wieder.pdf", 1 << 24));
}

}  // namespace
}  // namespace quirabel::app
