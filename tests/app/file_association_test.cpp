#include "app/file_association.h"

#include <gtest/gtest.h>

#include "base/atomic_file.h"
#include "support/test_folder.h"

namespace quirabel::app {
namespace {

namespace fs = std::filesystem;
using quirabel::testing::FreshTestFolder;
using quirabel::testing::WriteTestFile;

class FileAssociation : public ::testing::Test {
 protected:
  void SetUp() override { root = FreshTestFolder("association_"); }
  void TearDown() override { fs::remove_all(root); }
  AssociationChanges Update(const std::string& program) {
    return UpdateUserFileAssociation(root / "home", {root / "none", root / "system"}, program);
  }
  fs::path Home(const std::string& file) const { return root / "home" / file; }

  fs::path root;
  const std::string buildEntry = "applications/org.example.quirabel.build.desktop";
  const std::string buildPackage = "mime/packages/org.example.quirabel.build.xml";
};

TEST_F(FileAssociation, BuildFolderWritesItsOwnEntryUntilTheSystemHasOne) {
  EXPECT_TRUE(Update("/opt/mein \"Q\"/quirabel").applications);
  const std::string entry = ReadFile(Home(buildEntry), 1 << 16);
  EXPECT_NE(entry.find("Exec=\"/opt/mein \\\"Q\\\"/quirabel\" %f\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("TryExec=/opt/mein \"Q\"/quirabel\n"), std::string::npos) << entry;
  EXPECT_EQ(ReadFile(Home(buildPackage), 1 << 16), ProjectMimePackage());
  // Unchanged: nothing written, no cache to refresh.
  const AssociationChanges again = Update("/opt/mein \"Q\"/quirabel");
  EXPECT_FALSE(again.applications || again.mime);
  // Another build folder takes the entry over.
  EXPECT_TRUE(Update("/b/quirabel").applications);
  EXPECT_NE(ReadFile(Home(buildEntry), 1 << 16).find("Exec=\"/b/quirabel\" %f"), std::string::npos);
  // The package installed: the user's copies would only hide or double the system's.
  WriteTestFile(root / "system" / "applications" / "org.example.quirabel.desktop", "x");
  WriteTestFile(root / "system" / "mime" / "packages" / "quirabel.xml", "x");
  const AssociationChanges installed = Update("/usr/bin/quirabel");
  EXPECT_TRUE(installed.applications && installed.mime);
  EXPECT_FALSE(fs::exists(Home(buildEntry)));
  EXPECT_FALSE(fs::exists(Home(buildPackage)));
}

TEST_F(FileAssociation, EarlierCopiesGoOnlyWhenUntouched) {
  WriteTestFile(root / "system" / "applications" / "org.example.quirabel.desktop", "x");
  WriteTestFile(root / "system" / "mime" / "packages" / "quirabel.xml", "x");
  // Exactly what the versions before wrote at every start.
  const std::string earlier =
      "[Desktop Entry]\nType=Application\nName=Quirabel\n"
      "Comment=Visitenkarten, Flyer und Faltkarten gestalten und als PDF ausgeben\n"
      "Exec=\"/usr/bin/quirabel\" %f\nIcon=quirabel\nTerminal=false\n"
      "Categories=Office;Graphics;Publishing;\nMimeType=application/x-quirabel-project;\n";
  const std::string earlierMime =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
      "  <mime-type type=\"application/x-quirabel-project\">\n"
      "    <comment>Quirabel-Projekt</comment>\n    <glob pattern=\"*.kxp\"/>\n"
      "  </mime-type>\n</mime-info>\n";
  WriteTestFile(Home("applications/quirabel.desktop"), earlier);
  WriteTestFile(Home("mime/packages/quirabel.xml"), earlierMime);
  const AssociationChanges changes = Update("/usr/bin/quirabel");
  EXPECT_TRUE(changes.applications && changes.mime);
  EXPECT_FALSE(fs::exists(Home("applications/quirabel.desktop")));
  EXPECT_FALSE(fs::exists(Home("mime/packages/quirabel.xml")));
  // One the person changed stays.
  WriteTestFile(Home("applications/quirabel.desktop"), earlier + "NoDisplay=true\n");
  EXPECT_FALSE(Update("/usr/bin/quirabel").applications);
  EXPECT_TRUE(fs::exists(Home("applications/quirabel.desktop")));
}

TEST(SystemDataFolders, FromTheEnvironmentWithoutRelativeOnes) {
  ::setenv("XDG_DATA_DIRS", "/a:rel::/b/", 1);
  EXPECT_EQ(SystemDataFolders(), (std::vector<fs::path>{"/a", "/b/"}));
  ::setenv("XDG_DATA_DIRS", "", 1);
  EXPECT_EQ(SystemDataFolders(), (std::vector<fs::path>{"/usr/local/share", "/usr/share"}));
  ::unsetenv("XDG_DATA_DIRS");
}

}  // namespace
}  // namespace quirabel::app
