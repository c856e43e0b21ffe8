// Names beyond Windows-1252 through the batch tool: kept as numeric references in the project,
// printed as written, and refused with page, element and character when no font has one.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/application.h"
#include "base/atomic_file.h"
#include "designer/document_window.h"
#include "report/pr_labels.h"
#include "support/pdf_check.h"
#include "support/sample_projects.h"
#include "support/test_folder.h"

namespace quirabel {
namespace {

namespace fs = std::filesystem;

class BatchUnicodeTest : public ::testing::Test {
 protected:
  void SetUp() override { folder = testing::FreshTestFolder("batch_unicode_"); }
  void TearDown() override { fs::remove_all(folder); }

  testing::ToolRun Batch(const std::string& arguments) {
    return testing::RunTool(testing::ShellQuote(QUIRABEL_BATCH) + " " + arguments);
  }
  std::string Path(const std::string& name) {
    return testing::ShellQuote((folder / name).string());
  }
  // A project whose first page holds one text line per caption.
  void MakeProject(const std::string& name, const std::vector<std::string>& captions) {
    WriteFileAtomic(folder / name, testing::TwoPageProject([&](designer::DocumentWindow& window) {
                      int top = 20;
                      for (const std::string& caption : captions) {
                        auto& label = static_cast<report::TPRLabel&>(
                            window.Page().CreateElement(designer::ElementKind::Label));
                        label.SetBounds(20, top, 250, 16);
                        label.SetCaption(caption);
                        top += 20;
                      }
                    }));
  }

  fs::path folder;
};

TEST_F(BatchUnicodeTest, NamesSurviveResaveAndExportExactly) {
  const std::vector<std::string> names = {"Şahin Çelik, Łódź",  "Jiří Dvořák",   "Ștefan Țuțea",
                                          "Ελένη Παπαδοπούλου", "Юлия Смирнова", "Grüße, &# 1"};
  MakeProject("welt.kxp", names);
  const std::string project = ReadFile(folder / "welt.kxp", 1 << 24);
  EXPECT_NE(project.find("&#350;ahin \xC7"
                         "elik, &#321;\xF3"
                         "d&#378;"),
            std::string::npos);
  EXPECT_NE(project.find("Gr\xFC\xDF"
                         "e, &#38;# 1"),
            std::string::npos);

  ASSERT_EQ(Batch("resave " + Path("welt.kxp") + " -o " + Path("kopie.kxp")).exitCode, 0);
  EXPECT_EQ(ReadFile(folder / "kopie.kxp", 1 << 24), project);

  const auto run = Batch("export " + Path("kopie.kxp") + " -o " + Path("welt.pdf"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string pdf = ReadFile(folder / "welt.pdf", 1 << 24);
  EXPECT_TRUE(testing::IsValidPdf(pdf));
  std::string expected;
  for (const std::string& name : names) expected += name + "\n";
  const std::string text =
      testing::RunTool("pdftotext -enc UTF-8 -f 1 -l 1 " + Path("welt.pdf") + " -").out;
  std::string lines;
  for (char c : text) {
    if (c != '\f' && !(c == '\n' && (lines.empty() || lines.back() == '\n'))) lines += c;
  }
  EXPECT_EQ(lines, expected);
}

TEST_F(BatchUnicodeTest, ACharacterNoFontHasFailsTheExport) {
  MakeProject("privat.kxp", {"Anna Berg", "Anna \xEE\x80\x80"});  // U+E000
  const auto run = Batch("export " + Path("privat.kxp") + " -o " + Path("privat.pdf"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("Der Export ist nicht möglich, weil keine installierte Schrift alle "
                         "Zeichen hat:\nSeite 1, Element „PRLabel"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("“: keine installierte Schrift hat das Zeichen U+E000"), std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(folder / "privat.pdf"));
}

}  // namespace
}  // namespace quirabel
