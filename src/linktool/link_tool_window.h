#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QWidget>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "serial/csv_table.h"

namespace quirabel::linktool {

// The CSV link tool's window: a CSV file with its separator, encoding and first rows, a column
// for each data field of the project, and "Verknüpfung speichern", which writes the project's
// link file in the program folder.
class LinkToolWindow : public QWidget {
 public:
  LinkToolWindow(std::filesystem::path programFolder, std::string projectNumber,
                 std::vector<std::string> fields);

  // Reads a CSV file into the grid; a message box when it is refused.
  bool LoadCsv(const QString& file);
  // What the project's link file says, when it has one: its CSV file in the grid, with the
  // separator, and each field's column chosen. When the CSV file is gone the columns are kept
  // and the person is asked for the new file.
  enum class Restored { NoLinkFile, Restored, CsvMissing, Unreadable };
  Restored RestoreLink(bool ask = true);
  // The column (0: "keine") chosen for a data field.
  int ChosenColumn(const std::string& field) const;
  // Writes the link file; false after a message box when something is missing or cannot be
  // stored.
  bool Save();

  // The rows the grid shows.
  static constexpr std::size_t kShownRows = 200;

 private:
  void OnChooseCsvClick();
  void OnSeparatorChange();
  void ShowTable();
  void Refuse(const QString& text);

  std::filesystem::path programFolder_;
  std::string projectNumber_;
  std::vector<std::string> fields_;
  std::optional<serial::CsvTable> table_;
  QString csvPath_;

  QLineEdit* csvPathEdit_;
  QComboBox* separatorBox_;
  QLabel* encodingLabel_;
  QTableWidget* grid_;
  std::vector<QComboBox*> columnBoxes_;  // one per data field: "keine", Feld1 … FeldN
  // Columns from the link file kept for a CSV file not chosen yet: applied by ShowTable.
  std::vector<int> keptColumns_;
};

}  // namespace quirabel::linktool
