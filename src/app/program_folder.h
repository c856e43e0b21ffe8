#pragma once

#include <filesystem>

namespace quirabel::app {

// Makes the program folder ready: "vorlagen" with an empty "FilesDB.dat", "csv_db", "mailer" and
// the help page "help/start.html". Files that exist are left alone, except the help page, which
// belongs to the program and is written anew. Raises FileError when the folder cannot be made.
void SeedProgramFolder(const std::filesystem::path& folder);

}  // namespace quirabel::app
