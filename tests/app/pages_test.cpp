#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "app/application.h"
#include "app/serial_pdf.h"
#include "base/atomic_file.h"
#include "designer/document_window.h"
#include "dialogs/page_windows.h"
#include "report/pr_shapes.h"
#include "support/fake_platform.h"
#include "support/pdf_check.h"
#include "support/test_folder.h"

namespace quirabel::app {
namespace {

using designer::GuideKind;
namespace fs = std::filesystem;

class PagesTest : public ::testing::Test {
 protected:
  void SetUp() override { folder = testing::FreshTestFolder("pages_"); }
  void TearDown() override { fs::remove_all(folder); }

  // A folded card for a print service: 216 x 303 mm with bleed, two vertical folds and one
  // horizontal perforation.
  void MakeOrderable(Application& application) {
    ASSERT_TRUE(application.NewDocument({"", "303", "216"}));
    designer::ProjectState& state = application.State();
    state.orderDocument = true;
    state.verticalFolds = 2;
    state.horizontalPerforations = 1;
    application.DocumentWindow()->Guides().Build();
  }
  designer::GuideLines& Guides(Application& application) {
    return application.DocumentWindow()->Guides();
  }
  void Answer(std::vector<int> answers, std::function<void(ui::TForm&)> whileModal = nullptr) {
    platform.modalAnswers = std::move(answers);
    platform.whileModal = std::move(whileModal);
  }
  fs::path Templates() const { return folder / "vorlagen"; }
  std::string Index() const { return ReadFile(Templates() / "FilesDB.dat", 1 << 20); }

  testing::FakePlatform platform;
  fs::path folder;
};

TEST_F(PagesTest, OrderableDocumentHasAFrontAndAMirroredBack) {
  Application application(platform, folder.string());
  MakeOrderable(application);
  designer::ProjectState& state = application.State();
  designer::GuideLines& guides = Guides(application);
  const int width = application.DocumentWindow()->Page().PagePanel().Width();  // 303 mm: 859 pixels
  ASSERT_EQ(width, 859);
  ui::TImage* handle = guides.Handle(GuideKind::VerticalFold, 1);
  handle->MouseDown(ui::TMouseButton::mbLeft, 0, 10, 10);
  handle->MouseMove(ui::ssLeft, 32, 10);
  handle->MouseUp(ui::TMouseButton::mbLeft, 0, 32, 10);
  const int front = guides.Line(GuideKind::VerticalFold, 1)->Left();
  ASSERT_EQ(front, 286 + 20);

  // ">" at the last page: the new-page window without templates; the new page is the back.
  Answer({ui::mrOk}, [](ui::TForm& form) {
    auto& window = static_cast<dialogs::NewPageWindow&>(form);
    EXPECT_FALSE(window.fromTemplateChoice->Enabled());
    EXPECT_FALSE(window.templateList->Enabled());
  });
  ASSERT_TRUE(application.NextPageClick());
  EXPECT_EQ(platform.modalWindows, std::vector{testing::WindowType::Of<dialogs::NewPageWindow>()});
  EXPECT_EQ(state.pageCount, 2);
  EXPECT_EQ(guides.Line(GuideKind::VerticalFold, 1)->Left(), width - front);
  EXPECT_FALSE(guides.Handle(GuideKind::VerticalFold, 1)->Visible());
  EXPECT_FALSE(guides.Label(GuideKind::HorizontalPerforation, 0)->Visible());
  EXPECT_EQ(guides.Line(GuideKind::HorizontalPerforation, 1)->Top(), 306);

  // A third page is refused without asking.
  platform.messages.clear();
  EXPECT_FALSE(application.NextPageClick());
  EXPECT_EQ(platform.messages, std::vector<std::string>{dialogs::kOrderDocumentTwoPages});
  EXPECT_EQ(platform.modalWindows.size(), 1u);

  // Back on page 1 the lines stand where they were dragged, with handles and labels.
  ASSERT_TRUE(application.PreviousPageClick());
  EXPECT_EQ(guides.Line(GuideKind::VerticalFold, 1)->Left(), front);
  EXPECT_TRUE(guides.Handle(GuideKind::VerticalFold, 1)->Visible());

  // Saved from the back side, opened and saved again: the same bytes, lines where they were.
  ASSERT_TRUE(application.NextPageClick());
  const fs::path first = folder / "karte.kxp", second = folder / "wieder.kxp";
  ASSERT_TRUE(application.SaveProjectTo(first.string()));
  const std::string bytes = ReadFile(first, 1 << 24);
  EXPECT_NE(bytes.find("2</kxvbl>0</kxhbl>0</kxsvbl>1</kxshbl></kxlines>"), std::string::npos)
      << "page 2 keeps no positions";
  ASSERT_TRUE(application.OpenProject(first));
  EXPECT_EQ(Guides(application).Line(GuideKind::VerticalFold, 1)->Left(), front);
  ASSERT_TRUE(application.SaveProjectTo(second.string()));
  EXPECT_EQ(ReadFile(second, 1 << 24), bytes);

  // The export shows each side as it is printed and leaves a valid project behind.
  const fs::path pdf = folder / "karte.pdf";
  ASSERT_TRUE(application.ExportPdfTo(pdf.string()));
  EXPECT_TRUE(testing::IsValidPdf(ReadFile(pdf, 1 << 26)));
  // The perforation (859 x 1) is printed on both pages, the folds (1 x 612) are not.
  const testing::ToolRun list =
      testing::RunTool("pdfimages -list " + testing::ShellQuote(pdf.string()));
  ASSERT_EQ(list.exitCode, 0) << list.err;
  std::istringstream lines(list.out);
  std::string line;
  std::set<int> perforatedPages;
  int folds = 0;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    int page = 0, number = 0, w = 0, h = 0;
    std::string type;
    if (!(fields >> page >> number >> type >> w >> h)) continue;  // the two header lines
    if (w == 859 && h == 1) perforatedPages.insert(page);
    if (w == 1 && h == 612) ++folds;
  }
  EXPECT_EQ(perforatedPages, (std::set<int>{1, 2})) << list.out;
  EXPECT_EQ(folds, 0);
  ASSERT_TRUE(application.SaveProjectTo(second.string()));
  EXPECT_EQ(ReadFile(second, 1 << 24), bytes);
}

TEST_F(PagesTest, SampleTemplateDocumentsTakeNoPages) {
  Application application(platform, folder.string());
  MakeOrderable(application);
  application.State().sampleTemplateDocument = true;
  EXPECT_FALSE(application.NextPageClick());
  EXPECT_EQ(platform.messages, std::vector<std::string>{dialogs::kTemplateDocumentNoPages});
  EXPECT_TRUE(platform.modalWindows.empty());
}

TEST_F(PagesTest, NewPagesAreEmptyWhiteAndOfTheirOwn) {
  Application application(platform, folder.string());
  ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, true)));
  designer::DocumentWindow& window = *application.DocumentWindow();
  designer::ProjectState& state = application.State();
  window.Page().CreateElement(designer::ElementKind::Rect);
  const std::string firstId = window.Page().DocumentId();
  // A fresh program folder: the template list is made empty, not missed.
  Answer({ui::mrOk, ui::mrOk}, [](ui::TForm& form) {
    auto& newPage = static_cast<dialogs::NewPageWindow&>(form);
    EXPECT_TRUE(newPage.templateList->Items().empty());
    EXPECT_EQ(newPage.templateList->Text(), dialogs::kChooseTemplatePrompt);
  });
  ASSERT_TRUE(application.NextPageClick());
  EXPECT_TRUE(fs::exists(Templates() / "FilesDB.dat"));
  EXPECT_EQ(state.currentPage, 2);
  EXPECT_NE(window.Page().DocumentId(), firstId);  // the clock stood still
  EXPECT_TRUE(window.Page().Elements().empty());
  ASSERT_NE(window.Page().Background(), nullptr);
  EXPECT_FALSE(window.Page().Background()->Picture().Empty());
  ASSERT_TRUE(application.NextPageClick());
  EXPECT_EQ(state.pageCount, 3);
  EXPECT_EQ(state.pageTexts.size(), 3u);
  // "Nein" adds nothing.
  Answer({ui::mrNo});
  EXPECT_FALSE(application.NextPageClick());
  EXPECT_EQ(state.pageCount, 3);

  // Deleting at 3/3 shows page 2; the first page still has its rectangle.
  Answer({ui::mrYes});
  ASSERT_TRUE(application.DeletePageClick());
  EXPECT_EQ(state.pageCount, 2);
  EXPECT_EQ(state.currentPage, 2);
  ASSERT_TRUE(application.GoToPage(1));
  EXPECT_EQ(window.Page().Elements().size(), 1u);
  EXPECT_EQ(window.Page().DocumentId(), firstId);
}

TEST_F(PagesTest, TemplateIsSavedIndexedChosenAndDeleted) {
  Application application(platform, folder.string());
  ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, true)));
  designer::DocumentWindow& window = *application.DocumentWindow();
  auto& label =
      static_cast<report::TPRLabel&>(window.Page().CreateElement(designer::ElementKind::Label));
  label.SetCaption("Grüße");
  Answer({ui::mrOk}, [](ui::TForm& form) {
    static_cast<dialogs::TemplateNameWindow&>(form).nameEdit->SetText("Meine Karte");
  });
  ASSERT_TRUE(application.SaveTemplateClick());
  const fs::path file = Templates() / "Meine_Karte.kxp";
  EXPECT_EQ(ReadFile(file, 1 << 24), window.Page().PageText());
  EXPECT_EQ(Index(), "Meine Karte~" + file.string() + "\r\n");

  // Saved again under the same name: asked first, still one line.
  Answer({ui::mrYes});
  ASSERT_TRUE(application.SaveTemplate("Meine Karte"));
  EXPECT_EQ(platform.modalWindows.back(),
            testing::WindowType::Of<dialogs::ReplaceTemplateWindow>());
  EXPECT_EQ(Index(), "Meine Karte~" + file.string() + "\r\n");
  Answer({ui::mrNo});
  EXPECT_FALSE(application.SaveTemplate("Meine Karte"));

  // A new page from it carries its text line.
  Answer({ui::mrOk}, [](ui::TForm& form) {
    auto& newPage = static_cast<dialogs::NewPageWindow&>(form);
    ASSERT_EQ(newPage.templateList->Items(), std::vector<std::string>{"Meine Karte"});
    newPage.fromTemplateChoice->Toggle();
    newPage.templateList->Choose(0);
  });
  ASSERT_TRUE(application.NextPageClick());
  ASSERT_EQ(window.Page().Elements().size(), 1u);
  EXPECT_EQ(static_cast<report::TPRLabel*>(window.Page().Elements()[0].item)->Caption(), "Grüße");
  EXPECT_EQ(application.State().pageCount, 2);

  // "&Vorlagen": deleted with its file; only "Ende" writes the index.
  ASSERT_TRUE(application.DeleteTemplatesClick());
  dialogs::DeleteTemplatesWindow& remover = application.DeleteTemplatesWindow();
  remover.deleteButton->Click();  // nothing selected
  EXPECT_TRUE(fs::exists(file));
  remover.templateList->Select(0);
  remover.deleteButton->Click();
  EXPECT_FALSE(fs::exists(file));
  EXPECT_NE(Index(), "");
  remover.endButton->Click();
  EXPECT_EQ(Index(), "");
  EXPECT_FALSE(remover.Showing());
}

TEST_F(PagesTest, TemplateNamesThatAreNoFileNamesAreRefused) {
  Application application(platform, folder.string());
  ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, true)));
  ASSERT_TRUE(application.SaveTemplate("Gut"));
  const std::string index = Index();
  for (const std::string& bad : {std::string(""), std::string("   "), std::string("a/b"),
                                 std::string("a\\b"), std::string(".."), std::string("Zeile\nzwei"),
                                 std::string("Tab\t"), std::string("a~b"), std::string(101, 'x')}) {
    platform.messages.clear();
    EXPECT_FALSE(application.SaveTemplate(bad)) << bad;
    EXPECT_EQ(platform.messages.size(), 1u) << bad;
    EXPECT_EQ(Index(), index) << bad;
  }
  EXPECT_TRUE(application.SaveTemplate(std::string(100, 'x')));
  EXPECT_EQ(std::distance(fs::directory_iterator(Templates()), fs::directory_iterator()), 3);
  // Orderable documents keep out of the template folder.
  application.State().orderDocument = true;
  EXPECT_FALSE(application.SaveTemplateClick());
}

TEST_F(PagesTest, IndexLinesFromElsewhere) {
  fs::create_directories(Templates());
  Application application(platform, folder.string());
  ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, true)));
  ASSERT_TRUE(application.SaveTemplate("Alt"));
  const fs::path outside = folder / "geheim.kxp";
  fs::copy_file(Templates() / "Alt.kxp", outside);
  // Written on Windows, a file that is gone, a path outside the folder (Windows-1252 names).
  WriteFileAtomic(Templates() / "FilesDB.dat",
                  "Alt~C:\\Programme\\Quirabel\\vorlagen\\Alt.kxp\r\n"
                  "Weg~C:\\Programme\\Quirabel\\vorlagen\\Weg.kxp\r\n"
                  "B\xF6se~" +
                      outside.string() + "\r\n");
  auto choose = [this](int index) {
    Answer({ui::mrOk}, [index](ui::TForm& form) {
      auto& newPage = static_cast<dialogs::NewPageWindow&>(form);
      EXPECT_EQ(newPage.templateList->Items(), (std::vector<std::string>{"Alt", "Weg", "Böse"}));
      newPage.fromTemplateChoice->Toggle();
      newPage.templateList->Choose(index);
    });
  };
  choose(1);
  platform.messages.clear();
  EXPECT_FALSE(application.NextPageClick());
  EXPECT_EQ(platform.messages.size(), 1u);
  choose(2);
  EXPECT_FALSE(application.NextPageClick());
  EXPECT_EQ(application.State().pageCount, 1);
  choose(0);
  EXPECT_TRUE(application.NextPageClick());
  EXPECT_EQ(application.State().pageCount, 2);

  ASSERT_TRUE(application.DeleteTemplatesClick());
  dialogs::DeleteTemplatesWindow& remover = application.DeleteTemplatesWindow();
  remover.templateList->Select(2);
  remover.deleteButton->Click();
  remover.endButton->Click();
  EXPECT_TRUE(fs::exists(outside));
  EXPECT_EQ(Index(),
            "Alt~C:\\Programme\\Quirabel\\vorlagen\\Alt.kxp\r\n"
            "Weg~C:\\Programme\\Quirabel\\vorlagen\\Weg.kxp\r\n");
}

}  // namespace
}  // namespace quirabel::app

namespace quirabel::app {
namespace {

// The objects of a PDF without what differs between two writes of the same pages: the dates, the
// identifier and the author (a serial PDF names the program), and so the byte offsets.
std::string WithoutDates(const std::string& pdf) {
  std::istringstream lines(pdf.substr(0, pdf.rfind("\nxref")));
  std::string kept;
  for (std::string line; std::getline(lines, line);) {
    if (line.find("Date (D:") != std::string::npos || line.find("/ID [") != std::string::npos ||
        line.starts_with("/Author"))
      continue;
    kept += line + '\n';
  }
  return kept;
}

TEST_F(PagesTest, SerialPdfsOfAnOrderableCardPrintTheBackSideAsTheExportDoes) {
  Application application(platform, folder.string());
  MakeOrderable(application);
  // The perforation prints: moved away from where a new window would put it.
  ui::TImage* handle = Guides(application).Handle(GuideKind::HorizontalPerforation, 1);
  const int before = Guides(application).Line(GuideKind::HorizontalPerforation, 1)->Top();
  handle->MouseDown(ui::TMouseButton::mbLeft, 0, 10, 10);
  handle->MouseMove(ui::ssLeft, 10, 42);
  handle->MouseUp(ui::TMouseButton::mbLeft, 0, 10, 42);
  ASSERT_NE(Guides(application).Line(GuideKind::HorizontalPerforation, 1)->Top(), before);
  Answer({ui::mrOk});
  ASSERT_TRUE(application.NextPageClick());
  ASSERT_TRUE(application.SaveProjectTo((folder / "karte.kxp").string()));
  ASSERT_TRUE(application.ExportPdfTo((folder / "export.pdf").string()));

  WriteFileAtomic(folder / "zeilen.csv", "eins\r\n");
  SerialPdf serialPdf(application);
  const serial::LinkFile link{{}, (folder / "zeilen.csv").string(), ';'};
  const auto table = serialPdf.ReadCsv(link);
  ASSERT_TRUE(table);
  SerialRequest request;
  request.folder = folder / "serie";
  ASSERT_TRUE(serialPdf.Print(link, *table, request).Complete());
  const std::string serial = ReadFile(folder / "serie" / "pdf-file1.pdf", 1 << 24);
  EXPECT_TRUE(testing::IsValidPdf(serial));
  EXPECT_EQ(WithoutDates(serial), WithoutDates(ReadFile(folder / "export.pdf", 1 << 24)));
}

}  // namespace
}  // namespace quirabel::app

namespace quirabel::app {
namespace {

// "Farben prüfen (CMYK)" checks every page, names the inks of each and the total, and leaves the
// page on screen where it was.
TEST_F(PagesTest, InkCheckCoversEveryPage) {
  Application application(platform, folder.string());
  ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, true)));
  designer::DocumentWindow& window = *application.DocumentWindow();
  auto& red =
      static_cast<report::TPRRect&>(window.Page().CreateElement(designer::ElementKind::Rect));
  red.SetFillColor(graphics::RGB(255, 0, 0));  // magenta and yellow
  red.SetLineColor(graphics::RGB(0, 0, 0));    // black
  Answer({ui::mrOk, ui::mrOk});
  ASSERT_TRUE(application.NextPageClick());  // page 2: white, nothing on it
  ASSERT_TRUE(application.NextPageClick());
  auto& cyan =
      static_cast<report::TPRRect&>(window.Page().CreateElement(designer::ElementKind::Rect));
  cyan.SetFillColor(graphics::RGB(0, 255, 255));
  cyan.SetLineColor(graphics::clNone);
  ASSERT_TRUE(application.GoToPage(2));
  platform.messages.clear();
  application.CheckInks();
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0],
            "Das Dokument ist 4 farbig\nSeite 1: Magenta, Gelb, Schwarz; Seite 2: keine; "
            "Seite 3: Cyan");
  EXPECT_EQ(application.State().currentPage, 2);
  EXPECT_EQ(platform.cursor, ui::crDefault);
}

}  // namespace
}  // namespace quirabel::app
