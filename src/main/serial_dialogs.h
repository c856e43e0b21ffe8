#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>

#include "app/serial_pdf.h"
#include "main/news_dialogs.h"

namespace quirabel::main {

// "SerienPDF": the settings window on screen. It shows the headless window's content and writes
// the person's choice back into it; "Serien-PDF drucken / senden ->" accepts.
class SerialSettingsDialog : public QDialog {
 public:
  SerialSettingsDialog(app::SerialPdf& serialPdf, QWidget* parent);
  QComboBox* NamingBox() const { return namingBox_; }
  QLabel* FolderLabel() const { return folderLabel_; }
  // Runs a button's handler inside the program's command boundary (also the folder choice's).
  RunHandlerType RunHandler;

 private:
  // ComboBox1Change: the identifier field is on for "Bezeichner+Inkrement" and off otherwise.
  void OnNamingChange();
  // "Anderes Verzeichnis": the folder choice.
  void OnOtherFolderClick();
  void Store();

  app::SerialPdf& serialPdf_;
  dialogs::SerialSettingsWindow& form_;
  QComboBox* namingBox_;
  QLineEdit* identifierEdit_;
  QLabel* folderLabel_;
  QCheckBox* mailBox_;
};

// "Verzeichnisauswahl": a tree of folders, "Neues Verzeichniss" and "Übernehmen".
class FolderChoiceDialog : public QDialog {
 public:
  FolderChoiceDialog(app::SerialPdf& serialPdf, QWidget* parent);
  QTreeView* FolderTree() const { return tree_; }
  RunHandlerType RunHandler;

 private:
  void OnNewFolderClick();
  void OnApplyClick();
  QString SelectedFolder() const;

  app::SerialPdf& serialPdf_;
  QFileSystemModel* folders_;
  QTreeView* tree_;
};

}  // namespace quirabel::main
