#pragma once

#include <filesystem>

namespace quirabel {

// Where the programs keep their settings (the recent projects, the mail server): $QUIRABEL_HOME
// when it is set, as for every other file they write outside the paths the user chooses, else
// $XDG_CONFIG_HOME/quirabel, else ~/.config/quirabel (the current folder when not even HOME is
// set).
std::filesystem::path SettingsFolderPath();

}  // namespace quirabel
