#include "app/file_association.h"

#include <gtest/gtest.h>

#include "base/atomic_file.h"

namespace quirabel::app {
namespace {

TEST(FileAssociation, DesktopEntryAndMimeTypeAreWrittenEveryTime) {
  const auto home = std::filesystem::path(::testing::TempDir()) / "association_home";
  std::filesystem::remove_all(home);
  WriteFileAssociation(home, "/opt/mein \"Quirabel\"/quirabel");
  const std::string desktop = ReadFile(home / "applications" / "quirabel.desktop", 1 << 16);
  EXPECT_NE(desktop.find("Exec=\"/opt/mein \\\"Quirabel\\\"/quirabel\" %f\n"), std::string::npos)
      << desktop;
  EXPECT_NE(desktop.find("MimeType=application/x-quirabel-project;\n"), std::string::npos);
  const std::string mime = ReadFile(home / "mime" / "packages" / "quirabel.xml", 1 << 16);
  EXPECT_NE(mime.find("<glob pattern=\"*.kxp\"/>"), std::string::npos);
  // Rewritten at the next start, wherever the program moved.
  WriteFileAssociation(home, "/usr/bin/quirabel");
  EXPECT_NE(ReadFile(home / "applications" / "quirabel.desktop", 1 << 16)
                .find("Exec=\"/usr/bin/quirabel\" %f"),
            std::string::npos);
  std::filesystem::remove_all(home);
}

}  // namespace
}  // namespace quirabel::app
