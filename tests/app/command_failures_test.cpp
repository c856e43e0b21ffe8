// Failures of commands: each is reported as a failure, leaves the document usable, and the next
// command starts clean.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>

#include "app/application.h"
#include "app/command_boundary.h"
#include "base/atomic_file.h"
#include "base/file_names.h"
#include "designer/document_window.h"
#include "support/fake_platform.h"
#include "support/pdf_check.h"
#include "support/test_folder.h"

namespace quirabel::app {
namespace {

namespace fs = std::filesystem;

class CommandFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testing::FreshTestFolder("command_failures_");
    ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, false)));
    auto& label = static_cast<report::TPRLabel&>(
        application.DocumentWindow()->Page().CreateElement(designer::ElementKind::Label));
    label.SetCaption("Hallo");
    label.SetBounds(20, 20, 120, 20);
  }
  void TearDown() override { fs::remove_all(folder); }

  std::string Read(const fs::path& file) { return ReadFile(file, 1 << 24); }

  testing::FakePlatform platform;
  fs::path folder;
  Application application{platform, ""};
};

TEST_F(CommandFailureTest, ExportAfterAFailedExportStartsClean) {
  const fs::path blocked = folder / "blocked.pdf";  // a folder where the file should go
  fs::create_directories(blocked);
  EXPECT_FALSE(application.ExportPdfTo(blocked.string()));
  EXPECT_FALSE(application.DocumentWindow()->Page().Report().Printing());
  ASSERT_FALSE(platform.messages.empty());

  // Before, the half-open report refused the next export with "SetTitle --invalid operation.".
  EXPECT_TRUE(application.ExportPdfTo((folder / "karte.pdf").string()));
  EXPECT_TRUE(testing::IsValidPdf(Read(folder / "karte.pdf")));
}

// Failures thrown deep down (the report writing its file, the page model reading a picture) reach
// the command boundary and are shown there once, in their own words; the command counts as
// failed and the next one works.
TEST_F(CommandFailureTest, FailuresFromBelowAreShownOnceByTheBoundary) {
  const fs::path blocked = folder / "seite.pdf";
  fs::create_directories(blocked);
  const fs::path notAPicture = folder / "bild.jpg";
  WriteFileAtomic(notAPicture, "kein Bild");
  const struct {
    const char* what;
    std::function<bool()> command;
    std::optional<std::string> answer;
    std::string message;
  } cases[] = {
      {"single page into a folder", [&] { return application.SinglePageClick(); }, blocked.string(),
       "Die Datei „" + blocked.string() + "“ kann nicht erstellt werden. Das Ziel ist ein Ordner."},
      {"export into a missing folder",
       [&] { return application.ExportPdfTo((folder / "fehlt" / "karte.pdf").string()); },
       std::nullopt,
       "Die Datei „" + (folder / "fehlt" / "karte.pdf").string() +
           "“ kann nicht erstellt werden. Der Ordner existiert nicht."},
      {"a picture that is none", [&] { return application.InsertPictureClick(); },
       notAPicture.string(),
       "Die Datei enthält kein Bild im Format BMP, JPG oder GIF: " + notAPicture.string()},
      {"a background that is none", [&] { return application.BackgroundPictureClick(); },
       notAPicture.string(),
       "Die Datei enthält kein Bild im Format BMP, JPG oder GIF: " + notAPicture.string()},
  };
  for (const auto& c : cases) {
    platform.messages.clear();
    platform.fileAnswers = {c.answer};
    EXPECT_FALSE(RunCommand(platform, c.command)) << c.what;
    EXPECT_EQ(platform.messages, std::vector<std::string>{c.message}) << c.what;
    EXPECT_FALSE(application.DocumentWindow()->Page().Report().Printing()) << c.what;
  }
  EXPECT_TRUE(fs::is_directory(blocked));
  EXPECT_EQ(application.DocumentWindow()->Page().Elements().size(), 1u);  // the label alone
  // And the next one is written.
  platform.fileAnswers = {(folder / "seite2").string()};
  EXPECT_TRUE(RunCommand(platform, [&] { return application.SinglePageClick(); }));
  EXPECT_TRUE(testing::IsValidPdf(Read(folder / "seite2.pdf")));
}

TEST_F(CommandFailureTest, TextValuesPastThePdfRangesPrintAtItsEdgesAndStayStored) {
  designer::DocumentWindow& window = *application.DocumentWindow();
  auto& wide =
      static_cast<report::TPRLabel&>(window.Page().CreateElement(designer::ElementKind::Label));
  wide.SetCaption("Weit");
  wide.SetBounds(20, 60, 120, 20);
  wide.SetCharSpace(1000);
  auto& huge =
      static_cast<report::TPRText&>(window.Page().CreateElement(designer::ElementKind::Text));
  huge.SetText("Riesig");
  huge.SetBounds(20, 100, 120, 60);
  huge.SetFontSize(400);
  huge.SetLeading(1e9f);
  const fs::path project = folder / "werte.kxp";
  ASSERT_TRUE(application.SaveProjectTo(project.string()));
  const std::string stored = Read(project);

  // Opened again, as a project carrying such values comes.
  Application reader(platform, "");
  ASSERT_TRUE(reader.OpenProject(project));
  ASSERT_TRUE(reader.ExportPdfTo((folder / "werte.pdf").string()));
  const std::string pdf = Read(folder / "werte.pdf");
  EXPECT_TRUE(testing::IsValidPdf(pdf));
  EXPECT_NE(pdf.find("300 Tc"), std::string::npos);
  EXPECT_NE(pdf.find(" 300 Tf"), std::string::npos);
  ASSERT_TRUE(reader.SaveProjectTo((folder / "wieder.kxp").string()));
  EXPECT_EQ(Read(folder / "wieder.kxp"), stored);
}

TEST_F(CommandFailureTest, TheBoundaryTurnsAnyFailureIntoTheProgramsMessage) {
  EXPECT_TRUE(RunCommand(platform, [] { return true; }));
  EXPECT_FALSE(RunCommand(platform, [] { return false; }));
  EXPECT_TRUE(platform.messages.empty());

  EXPECT_FALSE(RunCommand(platform, []() -> bool { throw std::runtime_error("kaputt"); }));
  EXPECT_FALSE(RunCommand(platform, []() -> bool { throw 42; }));
  EXPECT_FALSE(RunCommand(platform, [this] {
    // A lower layer refusing something it was never meant to see: an unknown page.
    application.DocumentWindow()->LoadPage(99);
    return true;
  }));
  ASSERT_EQ(platform.messages.size(), 3u);
  EXPECT_EQ(platform.messages[0], CommandFailedMessage("kaputt"));
  EXPECT_EQ(platform.messages[1], CommandFailedMessage("unbekannter Fehler."));
  EXPECT_EQ(platform.messages[2],
            CommandFailedMessage("Die Seite 99 gibt es in diesem Projekt nicht."));
  // The document is still there and still works.
  ASSERT_NE(application.DocumentWindow(), nullptr);
  EXPECT_TRUE(application.ExportPdfTo((folder / "danach.pdf").string()));
}

TEST(FileNames, ExtensionsAreDecidedByTheEndOfTheName) {
  EXPECT_EQ(WithExtension("rechnung.pdf-entwurf", ".pdf"), "rechnung.pdf-entwurf.pdf");
  EXPECT_EQ(WithExtension("rechnung.PDF", ".pdf"), "rechnung.PDF");
  EXPECT_EQ(WithExtension("karte.pdf.kxp", ".pdf"), "karte.pdf.kxp.pdf");
  EXPECT_EQ(WithExtension("", ".kxp"), ".kxp");
  EXPECT_EQ(WithoutExtension("karte.kxp.kxp", ".kxp"), "karte.kxp");
  EXPECT_EQ(WithoutExtension("kxp", ".kxp"), "kxp");
}

}  // namespace
}  // namespace quirabel::app
