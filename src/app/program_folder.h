#pragma once

#include <filesystem>

namespace quirabel::app {

// Where the program folder is: $QUIRABEL_HOME, else $XDG_DATA_HOME/quirabel, else
// ~/.local/share/quirabel (the current folder when not even HOME is set). It holds only what the
// person makes (templates in "vorlagen", link files in "csv_db"), each folder made on first use.
// The designer, the batch tool's serial commands and the link tool all find it here.
std::filesystem::path ProgramFolderPath();

// The help page that comes with the programs, in the desktop's folder of German help pages
// beside the programs' folder: /usr/share/help/de/quirabel/start.html when installed in
// /usr/bin, build/share/help/de/quirabel/start.html for a build's build/bin.
std::filesystem::path InstalledHelpPage(const std::filesystem::path& programs);

// Takes out of the program folder what earlier versions put there at every start: the help page
// (it belongs to the program and was written anew each time), the links "csv_db/tabrix" and
// "mailer/posdex" to the sibling tools, the empty template index, and the folders this leaves
// empty. What a person made or put there stays. Failures leave things as they are.
void TidyProgramFolder(const std::filesystem::path& folder);

}  // namespace quirabel::app
