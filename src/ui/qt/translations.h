#pragma once

class QCoreApplication;

namespace quirabel::ui::qt {

// Loads Qt's own German translations, so that the standard file, colour and message dialogs
// speak the language of the rest of the program ("Speichern unter", "Abbrechen"). Without the
// translation files installed the dialogs stay English; nothing fails. Gives whether they loaded.
bool InstallGermanTranslations(QCoreApplication& application);

}  // namespace quirabel::ui::qt
