#pragma once

#include <QLineEdit>
#include <QString>
#include <QWidget>

#include <functional>

namespace quirabel::ui::qt {

// What a file dialog is for: a file to read, a file to write, or a folder.
enum class FileDialogMode { Open, Save, Folder };

struct FileDialogChoice {
  QString title;
  QString filter;  // Qt's form: "PDF-Files (*.pdf);;Alle Dateien (*)"
  QString start;   // a preset name or folder
  FileDialogMode mode = FileDialogMode::Open;
  // For Save: the extension the program adds (".pdf"); the dialog adds it itself, so that the
  // question before replacing a file is asked for the name that will be written.
  QString extension;
};

// Every file dialog of the program and its tools goes through here. The dialog is Qt's own
// (with a path field, also for folders). A name chosen for saving comes back with its extension,
// and when a file of that name exists the person was asked "… gibt es schon. Ersetzen?" and said
// "Ja"; "Nein" leaves the dialog open. Empty when cancelled.
QString ChooseFile(QWidget* parent, const FileDialogChoice& choice);

// The name a save dialog writes: `name` with `extension` appended unless it ends in it.
QString WrittenName(const QString& name, const QString& extension);

// The question before a file is replaced; true for "Ja". "Nein", Escape and the close button
// keep the file.
bool AskReplace(QWidget* parent, const QString& file);

// "Quirabel Dateien|*.kxp|PDF|*.pdf" in Qt's form; and the first pattern's extension (".kxp"),
// empty when the first pattern is no plain "*.ext".
QString QtFilter(const QString& filter);
QString FirstExtension(const QString& filter);
// The extension of one of Qt's name filters ("SVG-Bild (*.svg)" gives ".svg"); empty when its
// first pattern is no plain "*.ext".
QString ExtensionOfNameFilter(const QString& filter);

}  // namespace quirabel::ui::qt

namespace quirabel::ui::qt {

// A path field beside a chooser: typed or pasted paths are taken when the person leaves the
// field (Enter, Tab, a click elsewhere), once per change; `onTyped` gets the trimmed text.
void OnPathTyped(QLineEdit* edit, QObject* context, std::function<void(const QString&)> onTyped);

}  // namespace quirabel::ui::qt
