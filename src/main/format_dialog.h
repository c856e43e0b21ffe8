#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>

#include "dialogs/project_windows.h"

namespace quirabel::main {

// "Format": the format window on screen. It shows the headless window's choice and writes the
// person's choice back into it when "Dokument erstellen..." is pressed.
class FormatDialog : public QDialog {
 public:
  FormatDialog(dialogs::FormatWindow& form, QWidget* parent);

 private:
  // "DIN" enables the sizes, "freie Maße " the two fields; the orientation matters for DIN only
  // but stays enabled, as it always was.
  void ModeChanged();
  // The size the choice gives, and how many fit on an A3 sheet.
  void ShowSize();
  // The print format chosen, or none when another choice is.
  const designer::PrintFormat* ChosenPrintFormat() const;
  // Writes the choice into the headless window.
  void Store();

  dialogs::FormatWindow& form_;
  QRadioButton* din_;
  QRadioButton* free_;
  QRadioButton* print_;      // "Druckformat (bestellfähig)"
  QComboBox* printFormats_;  // the print formats by name
  QRadioButton* a4_;
  QRadioButton* a5_;
  QRadioButton* a6_;
  QRadioButton* portrait_;
  QRadioButton* landscape_;
  QSpinBox* width_;
  QSpinBox* height_;
  QLabel* size_;
};

}  // namespace quirabel::main
