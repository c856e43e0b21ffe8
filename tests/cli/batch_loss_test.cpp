// Damaged projects and odd targets: the batch tool names what reading would lose and writes
// nothing then, and never writes where a person would not expect it.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/application.h"
#include "base/atomic_file.h"
#include "designer/document_window.h"
#include "graphics/bmp.h"
#include "support/fake_platform.h"
#include "support/pdf_check.h"
#include "support/sample_projects.h"
#include "support/test_folder.h"

namespace quirabel {
namespace {

namespace fs = std::filesystem;

class BatchLossTest : public ::testing::Test {
 protected:
  void SetUp() override { folder = testing::FreshTestFolder("batch_loss_"); }
  void TearDown() override { fs::remove_all(folder); }

  testing::ToolRun Batch(const std::string& arguments) {
    return testing::RunTool(testing::ShellQuote(QUIRABEL_BATCH) + " " + arguments);
  }
  std::string Path(const std::string& name) {
    return testing::ShellQuote((folder / name).string());
  }
  std::string Read(const std::string& name) { return ReadFile(folder / name, 1 << 24); }
  void Write(const std::string& name, const std::string& bytes) {
    WriteFileAtomic(folder / name, bytes);
  }

  // Two pages: five rectangles and a bitmap on the first, one rectangle on the second.
  std::string MakeProject() {
    const std::string project = testing::TwoPageProject([](designer::DocumentWindow& window) {
      for (int i = 0; i < 5; ++i)
        window.Page().CreateElement(designer::ElementKind::Rect).SetBounds(20, 20 + 30 * i, 50, 20);
      graphics::Bitmap red(4, 4, graphics::PixelFormat::pf24bit);
      red.FillRect(0, 0, 4, 4, graphics::clRed);
      auto& bitmap = static_cast<report::TPRImage&>(
          window.Page().CreateElement(designer::ElementKind::Bitmap));
      bitmap.SetPicture(graphics::Picture::FromBmpBytes(graphics::WriteBmp(red)));
      bitmap.SetBounds(150, 20, 40, 40);
    });
    Write("ganz.kxp", project);
    return project;
  }

  // Runs resave and export of a file; both must refuse and name the loss, and write nothing.
  void ExpectRefused(const std::string& name, const std::string& lost) {
    for (const char* command : {"resave", "export"}) {
      const auto run = Batch(std::string(command) + " " + Path(name) + " -o " + Path("aus"));
      EXPECT_EQ(run.exitCode, 1) << command << " " << name;
      EXPECT_NE(run.err.find(lost), std::string::npos) << command << " " << name << run.err;
      EXPECT_FALSE(fs::exists(folder / "aus.kxp") || fs::exists(folder / "aus.pdf")) << name;
    }
  }

  fs::path folder;
};

TEST_F(BatchLossTest, WhatReadingWouldLoseIsNamedAndNothingIsWrittenUnlessForced) {
  const std::string whole = MakeProject();
  ASSERT_EQ(Batch("resave " + Path("ganz.kxp") + " -o " + Path("kopie.kxp")).exitCode, 0);
  EXPECT_EQ(Read("kopie.kxp"), whole);

  // A bitmap whose record was cut short: the designer shows "Fehler" and goes on without it.
  std::string shortRecord = whole;
  const std::size_t bitmap = shortRecord.find("<kxelement BMP>");
  ASSERT_NE(bitmap, std::string::npos);
  shortRecord.erase(bitmap + 15 + 30, 10);
  Write("kurz.kxp", shortRecord);
  ExpectRefused("kurz.kxp", "Seite 1: 1 Bild-Element(e) mit zu kurzem Satz ausgelassen.");

  // Line breaks between the blocks displace their opening tags.
  std::string spaced = whole;
  for (std::size_t at = spaced.find("</kxelement><kxelement REC>"); at != std::string::npos;
       at = spaced.find("</kxelement><kxelement REC>", at + 14)) {
    spaced.insert(at + 12, "\r\n");
  }
  Write("zeilen.kxp", spaced);
  ExpectRefused("zeilen.kxp", "Element(e) unbekannter oder verschobener Art ausgelassen.");

  // An element whose name lacks the mark of its kind is on no list of the page.
  std::string renamed = whole;
  const std::size_t rectangle = renamed.find("PRRect");
  ASSERT_NE(rectangle, std::string::npos);
  renamed.replace(rectangle, 6, "PRShap");
  Write("name.kxp", renamed);
  ExpectRefused("name.kxp",
                "Seite 1: 1 Element(e) ohne die Kennung ihrer Art im Namen ausgelassen (PRShap");

  // A file cut inside its second page.
  const std::size_t firstEnd = whole.find("</endoffile>") + 12;
  Write("halb.kxp", whole.substr(0, firstEnd + (whole.size() - firstEnd) / 2));
  ExpectRefused("halb.kxp", "Bytes einer abgeschnittenen Seite");

  // Forced, it writes what could be read, and says what is missing.
  const auto forced = Batch("resave " + Path("halb.kxp") + " -o " + Path("rest.kxp") + " --force");
  EXPECT_EQ(forced.exitCode, 0) << forced.err;
  EXPECT_NE(forced.err.find("abgeschnittenen Seite"), std::string::npos);
  EXPECT_EQ(Read("rest.kxp"), whole.substr(0, firstEnd));
  const auto exported = Batch("export " + Path("kurz.kxp") + " -o " + Path("kurz") + " --force");
  EXPECT_EQ(exported.exitCode, 0) << exported.err;
  EXPECT_TRUE(testing::IsValidPdf(Read("kurz.pdf")));
}

TEST_F(BatchLossTest, ExtensionsByTheEndOfTheNameAndNoOutputIntoFoldersOrOverTheInput) {
  MakeProject();
  fs::copy_file(folder / "ganz.kxp", folder / "karte.pdf.kxp");
  // ".pdf" inside the name is no extension: the PDF gets its own and the project stays.
  const std::string project = Read("karte.pdf.kxp");
  const auto run = Batch("export " + Path("karte.pdf.kxp") + " -o " + Path("karte.pdf.kxp"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Read("karte.pdf.kxp"), project);
  EXPECT_TRUE(testing::IsValidPdf(Read("karte.pdf.kxp.pdf")));

  // The PDF may not replace the project it comes from.
  fs::copy_file(folder / "ganz.kxp", folder / "selbst.pdf");
  const auto self = Batch("export " + Path("selbst.pdf") + " -o " + Path("selbst.pdf"));
  EXPECT_EQ(self.exitCode, 1);
  EXPECT_NE(self.err.find("würde das Projekt selbst überschreiben"), std::string::npos);
  EXPECT_EQ(Read("selbst.pdf"), project);

  // A folder is no file name: no hidden "sub/.kxp" and no "sub.pdf" beside it.
  fs::create_directories(folder / "sub");
  for (const char* command : {"resave", "export"}) {
    for (const std::string& target : {(folder / "sub").string() + "/", (folder / "sub").string()}) {
      const auto into = Batch(std::string(command) + " " + Path("ganz.kxp") + " -o " +
                              testing::ShellQuote(target));
      EXPECT_EQ(into.exitCode, 1) << command << " " << target;
      EXPECT_NE(into.err.find("Das Ziel ist ein Ordner"), std::string::npos) << into.err;
    }
  }
  EXPECT_TRUE(fs::is_empty(folder / "sub"));
}

TEST(SavingReadsEveryPageBack, APageThatWouldNotReadBackIsNeverWritten) {
  const fs::path folder = testing::FreshTestFolder("readback_");
  testing::FakePlatform platform;
  app::Application application(platform, "");
  ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, false)));
  const fs::path file = folder / "alt.kxp";
  ASSERT_TRUE(application.SaveProjectTo(file.string()));
  const std::string before = ReadFile(file, 1 << 24);
  // A second page that is no page (as a page kept from a damaged file would be).
  application.State().pageTexts.emplace_back(std::string("<kx-2.2><vs>kaputt"));
  application.State().pageCount = 2;
  EXPECT_FALSE(application.SaveProjectTo(file.string()));
  EXPECT_TRUE(platform.messages.back().starts_with(
      "Das Projekt wird nicht gespeichert. Die Seite 2 ließe sich nicht wieder lesen"))
      << platform.messages.back();
  EXPECT_EQ(ReadFile(file, 1 << 24), before);
  fs::remove_all(folder);
}

}  // namespace
}  // namespace quirabel
