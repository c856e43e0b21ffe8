// quirabel-batch as a person runs it: exit codes, messages on stderr, files that readers accept.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/application.h"
#include "base/atomic_file.h"
#include "support/fake_platform.h"
#include "support/pdf_check.h"
#include "support/test_folder.h"

namespace quirabel {
namespace {

using namespace std::string_literals;

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override { folder = testing::FreshTestFolder("batch_"); }
  void TearDown() override { std::filesystem::remove_all(folder); }

  testing::ToolRun Batch(const std::string& arguments) {
    return testing::RunTool(testing::ShellQuote(QUIRABEL_BATCH) + " " + arguments);
  }
  std::string Path(const std::string& name) {
    return testing::ShellQuote((folder / name).string());
  }

  std::filesystem::path folder;
};

TEST_F(BatchTest, UsageVersionAndWrongCalls) {
  EXPECT_EQ(Batch("--version").out, "quirabel-batch 2.2\n");
  const auto help = Batch("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("quirabel-batch export EIN.kxp -o AUS.pdf"), std::string::npos);
  for (const char* wrong : {"", "drucke x", "new -o", "new --din A3 -o x.kxp", "export", "info a b",
                            "new --din A4 --mm 1 2 -o x", "export a.kxp"}) {
    const auto run = Batch(wrong);
    EXPECT_EQ(run.exitCode, 2) << wrong;
    EXPECT_NE(run.err.find("Aufruf:"), std::string::npos) << wrong;
  }
}

TEST_F(BatchTest, NewInfoResaveRoundTrip) {
  auto made = Batch("new --mm 85 49 -o " + Path("karte"));
  ASSERT_EQ(made.exitCode, 0) << made.err;
  ASSERT_TRUE(std::filesystem::exists(folder / "karte.kxp"));
  const auto info = Batch("info " + Path("karte.kxp"));
  EXPECT_EQ(info.exitCode, 0);
  EXPECT_NE(info.out.find("Format: frei, 85 x 49 mm"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("Seite 1 (241 x 139 Pixel)"), std::string::npos) << info.out;
  const auto resave = Batch("resave " + Path("karte.kxp") + " -o " + Path("zwei.kxp"));
  EXPECT_EQ(resave.exitCode, 0) << resave.err;
  EXPECT_EQ(ReadFile(folder / "zwei.kxp", 1 << 24), ReadFile(folder / "karte.kxp", 1 << 24));

  const auto bad = Batch("new --mm 0 49 -o " + Path("null.kxp"));
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.err, "quirabel-batch: Keine gültige Millimeter-Angabe!\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "null.kxp"));
}

TEST_F(BatchTest, ExportShowsTheElementsWhereTheDesignerPlacesThem) {
  ASSERT_TRUE(testing::ToolAvailable("pdftoppm"));
  {
    testing::FakePlatform platform;
    app::Application application(platform, folder.string());
    ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, false)));
    auto& rect = static_cast<report::TPRRect&>(
        application.DocumentWindow()->CreateElement(designer::ElementKind::Rect));
    rect.SetBounds(50, 100, 120, 60);
    rect.SetFillColor(graphics::RGB(255, 0, 0));
    rect.SetLineColor(graphics::clNone);
    ASSERT_TRUE(application.SaveProjectTo((folder / "rot.kxp").string()));
  }
  const auto run = Batch("export " + Path("rot.kxp") + " -o " + Path("rot"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string pdf = ReadFile(folder / "rot.pdf", 1 << 24);
  ASSERT_TRUE(testing::IsValidPdf(pdf));
  const auto ppm = testing::RunTool("pdftoppm -r 72 " + Path("rot.pdf"));
  ASSERT_EQ(ppm.exitCode, 0);
  // "P6\n297 419\n255\n": A6 is 297 x 419 page pixels.
  const std::string head = "P6\n297 419\n255\n";
  ASSERT_EQ(ppm.out.substr(0, head.size()), head);
  auto pixel = [&](int x, int y) {
    const std::size_t at = head.size() + (static_cast<std::size_t>(y) * 297 + x) * 3;
    return std::string(ppm.out, at, 3);
  };
  EXPECT_EQ(pixel(110, 130), "\xFF\x00\x00"s);  // inside the rectangle
  EXPECT_EQ(pixel(51, 101), "\xFF\x00\x00"s);
  EXPECT_EQ(pixel(48, 130), "\xFF\xFF\xFF");   // left of it: the white background
  EXPECT_EQ(pixel(110, 165), "\xFF\xFF\xFF");  // below it

  const auto notProject = Batch("export " + Path("rot.pdf") + " -o " + Path("x.pdf"));
  EXPECT_EQ(notProject.exitCode, 1);
  EXPECT_NE(notProject.err.find("keine Quirabel-Projektdatei"), std::string::npos)
      << notProject.err;
}

}  // namespace
}  // namespace quirabel
