#include "app/program_folder.h"

#include <gtest/gtest.h>

#include "base/atomic_file.h"
#include "support/test_folder.h"

namespace quirabel::app {
namespace {

namespace fs = std::filesystem;
using quirabel::testing::FreshTestFolder;
using quirabel::testing::WriteTestFile;

// What earlier versions put into the program folder at every start goes; what the person made
// stays.
TEST(ProgramFolder, TidyKeepsOnlyWhatThePersonMade) {
  const auto root = FreshTestFolder("program_folder_");
  const auto folder = root / "home";
  for (const char* sub : {"vorlagen", "csv_db", "mailer", "help"})
    fs::create_directories(folder / sub);
  WriteTestFile(folder / "vorlagen" / "FilesDB.dat", "");
  WriteTestFile(folder / "help" / "start.html", "<html>Hilfe</html>");
  fs::create_symlink("/usr/bin/quirabel-link", folder / "csv_db" / "tabrix");
  fs::create_symlink(root / "gone" / "quirabel-mail", folder / "mailer" / "posdex");
  TidyProgramFolder(folder);
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_TRUE(fs::is_empty(folder));

  // The person's templates, link files and own tool stay.
  fs::create_directories(folder / "csv_db");
  fs::create_directories(folder / "mailer");
  WriteTestFile(folder / "vorlagen" / "FilesDB.dat", "Karte~/x/vorlagen/Karte.kxp\r\n");
  WriteTestFile(folder / "csv_db" / "93000._cv", "link");
  WriteTestFile(folder / "mailer" / "posdex", "eigenes");
  fs::create_symlink("/opt/anderes", folder / "csv_db" / "tabrix");
  TidyProgramFolder(folder);
  EXPECT_EQ(ReadFile(folder / "vorlagen" / "FilesDB.dat", 100), "Karte~/x/vorlagen/Karte.kxp\r\n");
  EXPECT_EQ(ReadFile(folder / "mailer" / "posdex", 100), "eigenes");
  EXPECT_TRUE(fs::is_symlink(folder / "csv_db" / "tabrix"));
  EXPECT_TRUE(fs::exists(folder / "csv_db" / "93000._cv"));
  fs::remove_all(root);
}

TEST(ProgramFolder, HelpPageBesideThePrograms) {
  EXPECT_EQ(InstalledHelpPage("/usr/bin"), fs::path("/usr/share/help/de/quirabel/start.html"));
  EXPECT_EQ(InstalledHelpPage("/w/build/bin/"),
            fs::path("/w/build/share/help/de/quirabel/start.html"));
}

}  // namespace
}  // namespace quirabel::app
