#include "app/pdf_viewers.h"

#include <gtest/gtest.h>

#include "base/atomic_file.h"
#include "support/test_folder.h"

namespace quirabel::app {
namespace {

namespace fs = std::filesystem;
using quirabel::testing::FreshTestFolder;
using quirabel::testing::WriteTestFile;

TEST(PdfViewers, EntriesForPdfByTheirGermanNameTheUsersFirst) {
  const auto root = FreshTestFolder("pdf_viewers_");
  const auto entry = [](const std::string& keys) {
    return "[Desktop Entry]\nType=Application\n" + keys;
  };
  WriteTestFile(
      root / "sys/applications/a.desktop",
      entry("Name=Doc Viewer\nName[de]=Dokumentbetrachter\nMimeType=image/png;application/pdf;\n"));
  WriteTestFile(root / "sys/applications/b.desktop", entry("Name=Paint\nMimeType=image/png;\n"));
  WriteTestFile(root / "sys/applications/kde/c.desktop",
                entry("Name=Leser\nMimeType=application/pdf\n"));
  WriteTestFile(root / "sys/applications/d.desktop",
                entry("Name=Versteckt\nMimeType=application/pdf;\n"));
  // The user's entry of the same id wins: hidden there, it offers nothing.
  WriteTestFile(root / "home/applications/d.desktop", entry("Name=Versteckt\nHidden=true\n"));
  // A MimeType in another group does not count.
  WriteTestFile(root / "home/applications/e.desktop",
                entry("Name=Aktion\n[Desktop Action x]\nMimeType=application/pdf;\n"));
  EXPECT_EQ(InstalledPdfViewers({root / "home", root / "none", root / "sys"}),
            (std::vector<std::string>{"Dokumentbetrachter", "Leser"}));
  EXPECT_TRUE(InstalledPdfViewers({root / "none"}).empty());
  fs::remove_all(root);
}

}  // namespace
}  // namespace quirabel::app
