#pragma once

#include <filesystem>

namespace quirabel::app {

// Where the program folder is: $QUIRABEL_HOME, else $XDG_DATA_HOME/quirabel, else
// ~/.local/share/quirabel (the current folder when not even HOME is set). The designer, the
// batch tool's serial commands and the link tool all find it here.
std::filesystem::path ProgramFolderPath();

// Makes the program folder ready: "vorlagen" with an empty "FilesDB.dat", "csv_db", "mailer" and
// the help page "help/start.html". Files that exist are left alone, except the help page, which
// belongs to the program and is written anew. Raises FileError when the folder cannot be made.
void SeedProgramFolder(const std::filesystem::path& folder);

// Points the sibling tools' entries of the program folder, "csv_db/tabrix" and "mailer/posdex",
// at our programs quirabel-link and quirabel-mail in `programs`, for those that are there. A
// link is made anew at every start (the programs may have moved); anything else a person put in
// its place is left alone. Failures only leave a tool unlinked.
void LinkSiblingTools(const std::filesystem::path& folder, const std::filesystem::path& programs);

}  // namespace quirabel::app
