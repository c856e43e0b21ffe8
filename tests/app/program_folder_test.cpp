#include "app/program_folder.h"

#include <gtest/gtest.h>

#include "base/atomic_file.h"

namespace quirabel::app {
namespace {

TEST(ProgramFolder, SeededOnceWithoutLosingTemplates) {
  const auto folder = std::filesystem::path(::testing::TempDir()) / "program_folder";
  std::filesystem::remove_all(folder);
  SeedProgramFolder(folder);
  EXPECT_EQ(ReadFile(folder / "vorlagen" / "FilesDB.dat", 10), "");
  EXPECT_NE(ReadFile(folder / "help" / "start.html", 1 << 16).find("Hilfe und Hinweise"),
            std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(folder / "csv_db"));
  // A template index with entries survives the next start.
  WriteFileAtomic(folder / "vorlagen" / "FilesDB.dat", "Karte~/x/vorlagen/Karte.kxp\r\n");
  SeedProgramFolder(folder);
  EXPECT_EQ(ReadFile(folder / "vorlagen" / "FilesDB.dat", 100), "Karte~/x/vorlagen/Karte.kxp\r\n");
  std::filesystem::remove_all(folder);
}

TEST(ProgramFolder, SiblingToolsAreLinkedWhenThere) {
  const auto root = std::filesystem::path(::testing::TempDir()) / "sibling_tools";
  std::filesystem::remove_all(root);
  const auto folder = root / "home";
  SeedProgramFolder(folder);
  std::filesystem::create_directories(root / "bin");
  std::filesystem::create_directories(root / "neu");
  WriteFileAtomic(root / "bin" / "quirabel-link", "");
  LinkSiblingTools(folder, root / "bin");
  EXPECT_EQ(std::filesystem::read_symlink(folder / "csv_db" / "tabrix"),
            root / "bin" / "quirabel-link");
  // No e-mail tool built: no link to nowhere.
  EXPECT_FALSE(
      std::filesystem::exists(std::filesystem::symlink_status(folder / "mailer" / "posdex")));
  // The programs moved: the link follows; a file of the person's own stays.
  WriteFileAtomic(root / "neu" / "quirabel-link", "");
  WriteFileAtomic(root / "neu" / "quirabel-mail", "");
  WriteFileAtomic(folder / "mailer" / "posdex", "eigenes");
  LinkSiblingTools(folder, root / "neu");
  EXPECT_EQ(std::filesystem::read_symlink(folder / "csv_db" / "tabrix"),
            root / "neu" / "quirabel-link");
  EXPECT_EQ(ReadFile(folder / "mailer" / "posdex", 100), "eigenes");
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace quirabel::app
