#pragma once

#include <QSettings>
#include <QString>

#include "base/user_folders.h"

namespace quirabel::main {

// The designer's settings file, beside the other settings (it follows QUIRABEL_HOME): the last
// projects, and the back offsets of the sheets.
inline QSettings DesignerSettings() {
  return QSettings(QString::fromStdString((SettingsFolderPath() / "Quirabel.conf").string()),
                   QSettings::IniFormat);
}

}  // namespace quirabel::main
