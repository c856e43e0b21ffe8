#include "ui/qt/file_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include "base/file_names.h"
#include "ui/qt/qt_platform.h"

namespace quirabel::ui::qt {

namespace {

// Qt's file dialog, asking before a file is replaced under the name that will be written rather
// than the name typed: "karte2" with ".kxp" asks for "karte2.kxp".
class SaveAwareFileDialog : public QFileDialog {
 public:
  SaveAwareFileDialog(QWidget* parent, const FileDialogChoice& choice)
      : QFileDialog(parent, choice.title), choice_(choice) {
    // Another type chosen: its extension is the one added.
    connect(this, &QFileDialog::filterSelected, this, [this](const QString& filter) {
      const QString extension = ExtensionOfNameFilter(filter);
      if (!extension.isEmpty()) setDefaultSuffix(extension.mid(1));
    });
  }

  const QString& Written() const { return written_; }

  void accept() override {
    const QStringList files = selectedFiles();
    if (choice_.mode != FileDialogMode::Save || files.isEmpty() || QFileInfo(files[0]).isDir()) {
      // A folder typed into the name field is opened by the dialog itself.
      QFileDialog::accept();
      return;
    }
    const QString written = WrittenName(files[0], ExtensionToWrite(files[0]));
    if (QFileInfo(written).isDir()) {
      QMessageBox::warning(this, windowTitle(),
                           QString::fromUtf8("„%1“ ist ein Ordner, keine Datei.")
                               .arg(QDir::toNativeSeparators(written)));
      return;
    }
    if (QFileInfo::exists(written) && !AskReplace(this, written)) {
      // Back to the dialog for another name, with the keyboard.
      activateWindow();
      return;
    }
    written_ = written;
    QFileDialog::accept();
  }

 private:
  // The extension of the type chosen, unless the name already ends with that of another type
  // offered ("bild.svg" stays an SVG while PNG is chosen).
  QString ExtensionToWrite(const QString& name) const {
    for (const QString& filter : nameFilters()) {
      const QString extension = ExtensionOfNameFilter(filter);
      if (!extension.isEmpty() && name.endsWith(extension, Qt::CaseInsensitive)) return extension;
    }
    const QString chosen = ExtensionOfNameFilter(selectedNameFilter());
    return chosen.isEmpty() ? choice_.extension : chosen;
  }

  FileDialogChoice choice_;
  QString written_;
};

}  // namespace

QString ExtensionOfNameFilter(const QString& filter) {
  // "SVG-Bild (*.svg)": the first pattern inside the parentheses.
  const qsizetype open = filter.lastIndexOf('(');
  const qsizetype close = filter.lastIndexOf(')');
  if (open < 0 || close < open) return {};
  const QString pattern = filter.mid(open + 1, close - open - 1).split(' ').front().trimmed();
  if (!pattern.startsWith(QStringLiteral("*.")) || pattern.size() < 3 ||
      pattern.indexOf('*', 1) >= 0 || pattern.indexOf('?') >= 0) {
    return {};
  }
  return pattern.mid(1);
}

QString WrittenName(const QString& name, const QString& extension) {
  if (extension.isEmpty()) return name;
  return QString::fromStdString(WithExtension(name.toStdString(), extension.toStdString()));
}

bool AskReplace(QWidget* parent, const QString& file) {
  const QFileInfo info(file);
  QMessageBox box(QMessageBox::Question, QStringLiteral("Quirabel"),
                  QString::fromUtf8("„%1“ gibt es schon in %2.\nErsetzen?")
                      .arg(info.fileName(), QDir::toNativeSeparators(info.absolutePath())),
                  QMessageBox::NoButton, parent);
  QPushButton* yes = box.addButton(QString::fromUtf8("Ja"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QString::fromUtf8("Nein"), QMessageBox::NoRole);
  box.setDefaultButton(no);
  box.setEscapeButton(no);
  KeepAboveWindowsOnTop(box);
  box.exec();
  return box.clickedButton() == yes;
}

QString QtFilter(const QString& filter) {
  const QStringList parts = filter.split('|');
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    out << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
  }
  return out.join(";;");
}

QString FirstExtension(const QString& filter) {
  const QStringList parts = filter.split('|');
  if (parts.size() < 2) return {};
  const QString pattern = parts[1].split(';').front().trimmed();
  if (!pattern.startsWith(QStringLiteral("*.")) || pattern.size() < 3 ||
      pattern.indexOf('*', 1) >= 0 || pattern.indexOf('?') >= 0) {
    return {};
  }
  return pattern.mid(1);
}

QString ChooseFile(QWidget* parent, const FileDialogChoice& choice) {
  SaveAwareFileDialog dialog(parent, choice);
  // Qt's own dialog everywhere: it has a path field, and the extension and the question before
  // replacing are ours.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  if (!choice.filter.isEmpty()) dialog.setNameFilter(choice.filter);
  switch (choice.mode) {
    case FileDialogMode::Open:
      dialog.setAcceptMode(QFileDialog::AcceptOpen);
      dialog.setFileMode(QFileDialog::ExistingFile);
      break;
    case FileDialogMode::Save:
      dialog.setAcceptMode(QFileDialog::AcceptSave);
      dialog.setFileMode(QFileDialog::AnyFile);
      dialog.setOption(QFileDialog::DontConfirmOverwrite);
      if (choice.extension.startsWith('.')) dialog.setDefaultSuffix(choice.extension.mid(1));
      break;
    case FileDialogMode::Folder:
      dialog.setAcceptMode(QFileDialog::AcceptOpen);
      dialog.setFileMode(QFileDialog::Directory);
      dialog.setOption(QFileDialog::ShowDirsOnly);
      break;
  }
  if (!choice.start.isEmpty()) {
    const QFileInfo start(choice.start);
    if (start.isDir()) {
      dialog.setDirectory(choice.start);
    } else {
      if (start.isAbsolute()) dialog.setDirectory(start.absolutePath());
      dialog.selectFile(start.fileName());
    }
  }
  KeepAboveWindowsOnTop(dialog);
  if (dialog.exec() != QDialog::Accepted) return {};
  if (choice.mode == FileDialogMode::Save) return dialog.Written();
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.front();
}

void OnPathTyped(QLineEdit* edit, QObject* context, std::function<void(const QString&)> onTyped) {
  QObject::connect(edit, &QLineEdit::editingFinished, context, [edit, onTyped] {
    // Enter and then the focus going to a message box both finish the editing: taken once.
    if (!edit->isModified()) return;
    edit->setModified(false);
    onTyped(edit->text().trimmed());
  });
}

}  // namespace quirabel::ui::qt
