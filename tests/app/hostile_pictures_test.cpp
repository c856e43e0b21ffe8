// Pictures that would harm a project: bombs that claim more pixels than any page needs, and
// JPEGs that carry the project format's own tags.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/application.h"
#include "base/atomic_file.h"
#include "designer/document_window.h"
#include "designer/projectfile/page_text.h"
#include "designer/projectfile/project_split.h"
#include "graphics/jpeg.h"
#include "support/bmp_samples.h"
#include "support/fake_platform.h"
#include "support/test_folder.h"

namespace quirabel::app {
namespace {

namespace fs = std::filesystem;
namespace pf = designer::projectfile;

class HostilePictureTest : public ::testing::Test {
 protected:
  void SetUp() override { folder = testing::FreshTestFolder("hostile_pictures_"); }
  void TearDown() override { fs::remove_all(folder); }

  // A project of one A6 page with these bitmaps on it, each of them 1,080 bytes.
  fs::path ProjectWithBitmaps(const std::vector<std::string>& bitmaps) {
    testing::FakePlatform platform;
    Application maker(platform, "");
    EXPECT_TRUE(maker.NewDocument(designer::DinFormat(designer::DinSize::A6, false)));
    pf::PageText page = pf::ReadPageText(maker.DocumentWindow()->Page().PageText());
    int number = 2;
    for (const std::string& bmp : bitmaps) {
      pf::ElementBlock block;
      block.kind = pf::ElementKind::Bitmap;
      block.record =
          pf::ImageRecord{"PRImageBImage0930000" + std::to_string(number++), 0, 20, 20, 40, 40};
      block.data = SharedBytes(bmp);
      page.elements.push_back(std::move(block));
    }
    const fs::path file = folder / "bomben.kxp";
    WriteFileAtomic(file, pf::JoinProject({pf::WritePageText(page)}));
    return file;
  }

  testing::FakePlatform platform;
  fs::path folder;
};

TEST_F(HostilePictureTest, BombsAreRefusedByTheirHeadersBeforeAnythingIsDecoded) {
  // Two 1,080-byte bitmaps of 100 megapixels each: the page would hold 200.
  const fs::path file =
      ProjectWithBitmaps({testing::RleBomb(10000, 10000), testing::RleBomb(10000, 10000)});
  Application application(platform, "");
  EXPECT_FALSE(application.OpenProject(file));
  ASSERT_FALSE(platform.messages.empty());
  EXPECT_TRUE(platform.messages.back().starts_with(
      "Die Seite 1 wird nicht gelesen: das Bild von „PRImageBImage09300003“ brächte die Bilder "
      "der Seite über 120 Megapixel."))
      << platform.messages.back();
  EXPECT_EQ(application.DocumentWindow(), nullptr);
}

TEST_F(HostilePictureTest, TheBitmapsOfAProjectHaveABudgetOfTheirOwn) {
  // A small bitmap is fine on its own; on top of what the other pages already hold it is not.
  const fs::path file = ProjectWithBitmaps({testing::RleBomb(2000, 1000)});
  Application application(platform, "");
  ASSERT_TRUE(application.OpenProject(file));
  application.State().bitmapPixelsByPage[2] = 99'000'000;  // as if page 2 had been read
  EXPECT_FALSE(application.GoToPage(1));
  EXPECT_NE(platform.messages.back().find("brächte die Bitmaps des Projekts über 100 Megapixel"),
            std::string::npos)
      << platform.messages.back();
}

TEST_F(HostilePictureTest, TagsInAJpegsCommentNeverReachTheProject) {
  graphics::Bitmap green(8, 8, graphics::PixelFormat::pf24bit);
  green.FillRect(0, 0, 8, 8, graphics::RGB(0, 200, 0));
  const std::string plain = graphics::EncodeJpeg(green);
  // A comment segment right after SOI that holds the tag ending a page element.
  const std::string comment = "vorher </kxelement> nachher </endoffile>";
  std::string tagged = plain.substr(0, 2);
  tagged += "\xFF\xFE";
  tagged += static_cast<char>((comment.size() + 2) >> 8);
  tagged += static_cast<char>((comment.size() + 2) & 0xFF);
  tagged += comment;
  tagged += plain.substr(2);
  const fs::path picture = folder / "bild.jpg";
  WriteFileAtomic(picture, tagged);

  Application application(platform, "");
  ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, false)));
  designer::DocumentWindow& window = *application.DocumentWindow();
  ASSERT_NO_THROW(window.InsertPicture(picture));
  ASSERT_NO_THROW(window.LoadBackgroundPicture(picture));
  const fs::path project = folder / "karte.kxp";
  ASSERT_TRUE(application.SaveProjectTo(project.string()));
  EXPECT_EQ(ReadFile(project, 1 << 24).find("vorher"), std::string::npos);

  Application reader(platform, "");
  ASSERT_TRUE(reader.OpenProject(project));
  const auto elements = reader.DocumentWindow()->Page().Elements();
  ASSERT_EQ(elements.size(), 1u);
  EXPECT_EQ(static_cast<report::TPRImage*>(elements[0].item)->Picture().SaveToBytes(), plain);
}

}  // namespace
}  // namespace quirabel::app
