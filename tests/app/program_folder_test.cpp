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

}  // namespace
}  // namespace quirabel::app
