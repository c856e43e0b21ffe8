#include "linktool/link_tool_window.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>

#include "serial/link_file.h"
#include "serial/serial_error.h"
#include "ui/qt/file_dialog.h"

namespace quirabel::linktool {

namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The separators offered, with the names shown for them.
struct SeparatorChoice {
  char separator;
  const char* shown;
};
constexpr SeparatorChoice kSeparators[] = {
    {';', "Semikolon ;"}, {',', "Komma ,"}, {'\t', "Tabulator"}, {'|', "Senkrechter Strich |"}};

}  // namespace

LinkToolWindow::LinkToolWindow(std::filesystem::path programFolder, std::string projectNumber,
                               std::vector<std::string> fields)
    : programFolder_(std::move(programFolder)),
      projectNumber_(std::move(projectNumber)),
      fields_(std::move(fields)) {
  // A field that several elements carry (a code and a text line) is assigned once.
  std::vector<std::string> once;
  for (std::string& field : fields_) {
    if (std::find(once.begin(), once.end(), field) == once.end()) once.push_back(std::move(field));
  }
  fields_ = std::move(once);
  setWindowTitle(QString::fromUtf8("CSV-Datenverknüpfung – Projekt ") + Q(projectNumber_));
  resize(760, 560);
  // Escape closes the window as its close button does.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &QWidget::close);

  csvPathEdit_ = new QLineEdit();
  csvPathEdit_->setObjectName(QStringLiteral("csvPathEdit"));
  auto* chooseCsvButton = new QPushButton(QString::fromUtf8("CSV-Datei wählen..."));
  separatorBox_ = new QComboBox();
  for (const SeparatorChoice& choice : kSeparators)
    separatorBox_->addItem(QString::fromUtf8(choice.shown));
  separatorBox_->setObjectName(QStringLiteral("separatorBox"));
  encodingLabel_ = new QLabel();
  encodingLabel_->setObjectName(QStringLiteral("encodingLabel"));
  grid_ = new QTableWidget();
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);

  auto* fileRow = new QHBoxLayout();
  fileRow->addWidget(csvPathEdit_, 1);
  fileRow->addWidget(chooseCsvButton);
  auto* settings = new QFormLayout();
  settings->addRow(QString::fromUtf8("CSV-Datei:"), fileRow);
  settings->addRow(QString::fromUtf8("Trennzeichen:"), separatorBox_);
  settings->addRow(QString::fromUtf8("Zeichensatz:"), encodingLabel_);

  auto* assignment = new QGroupBox(QString::fromUtf8("Zuordnung der Datenfelder"));
  auto* assignmentForm = new QFormLayout(assignment);
  for (const std::string& field : fields_) {
    auto* box = new QComboBox();
    box->setObjectName(QStringLiteral("column:") + Q(field));
    box->addItem(QString::fromUtf8("keine"));
    columnBoxes_.push_back(box);
    assignmentForm->addRow(Q(field), box);
  }
  if (fields_.empty()) {
    assignmentForm->addRow(new QLabel(
        QString::fromUtf8("Die Seite hat keine Datenfelder. Legen Sie zuerst Datenfelder an.")));
  }
  auto* saveButton = new QPushButton(QString::fromUtf8("Verknüpfung speichern"));
  auto* closeButton = new QPushButton(QString::fromUtf8("Schließen"));
  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  buttons->addWidget(saveButton);
  buttons->addWidget(closeButton);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(settings);
  layout->addWidget(grid_, 1);
  layout->addWidget(assignment);
  layout->addLayout(buttons);

  connect(chooseCsvButton, &QPushButton::clicked, this, [this] { OnChooseCsvClick(); });
  // A typed or pasted path is read when the field is left; one that cannot be read is told and
  // the field shows the file in use again.
  ui::qt::OnPathTyped(csvPathEdit_, this, [this](const QString& typed) {
    if (typed.isEmpty() || typed == csvPath_ || !LoadCsv(typed)) csvPathEdit_->setText(csvPath_);
  });
  connect(separatorBox_, &QComboBox::currentIndexChanged, this, [this] { OnSeparatorChange(); });
  connect(saveButton, &QPushButton::clicked, this, [this] {
    if (Save()) {
      QMessageBox::information(this, windowTitle(),
                               QString::fromUtf8("Die Datenverknüpfung wurde gespeichert."));
    }
  });
  connect(closeButton, &QPushButton::clicked, this, [this] { close(); });
}

void LinkToolWindow::Refuse(const QString& text) {
  QMessageBox::warning(this, windowTitle(), text);
}

void LinkToolWindow::OnChooseCsvClick() {
  ui::qt::FileDialogChoice choice;
  choice.title = QString::fromUtf8("CSV-Datei wählen");
  choice.filter = QString::fromUtf8("CSV-Dateien (*.csv *.txt);;Alle Dateien (*)");
  choice.start = csvPathEdit_->text();
  const QString file = ui::qt::ChooseFile(this, choice);
  if (!file.isEmpty()) LoadCsv(file);
}

bool LinkToolWindow::LoadCsv(const QString& file) {
  try {
    serial::CsvTable table = serial::ReadCsvFile(file.toStdString());
    csvPath_ = file;
    table_ = std::move(table);
  } catch (const serial::SerialError& e) {
    Refuse(QString::fromUtf8(e.what()));
    return false;
  }
  csvPathEdit_->setText(csvPath_);
  // The detected separator; setting the box reads the file again only when it differs.
  for (int i = 0; i < separatorBox_->count(); ++i) {
    if (kSeparators[i].separator == table_->Separator()) {
      const QSignalBlocker quiet(separatorBox_);
      separatorBox_->setCurrentIndex(i);
    }
  }
  ShowTable();
  return true;
}

void LinkToolWindow::OnSeparatorChange() {
  if (csvPath_.isEmpty()) return;
  const char separator = kSeparators[separatorBox_->currentIndex()].separator;
  try {
    table_ = serial::ReadCsvFile(csvPath_.toStdString(), separator);
  } catch (const serial::SerialError& e) {
    Refuse(QString::fromUtf8(e.what()));
    return;
  }
  ShowTable();
}

void LinkToolWindow::ShowTable() {
  const int columns = std::max(1, table_->ColumnCount());
  const std::size_t rows = std::min(table_->RowCount(), kShownRows);
  grid_->clear();
  grid_->setColumnCount(columns);
  grid_->setRowCount(static_cast<int>(rows));
  QStringList captions;
  for (int c = 1; c <= columns; ++c) captions << QStringLiteral("Feld%1").arg(c);
  grid_->setHorizontalHeaderLabels(captions);
  for (std::size_t r = 0; r < rows; ++r) {
    const std::vector<std::string> cells = table_->Row(r);
    for (int c = 0; c < columns && static_cast<std::size_t>(c) < cells.size(); ++c)
      grid_->setItem(static_cast<int>(r), c,
                     new QTableWidgetItem(Q(cells[static_cast<std::size_t>(c)])));
  }
  encodingLabel_->setText(Q(serial::EncodingName(table_->Encoding())));
  for (std::size_t i = 0; i < columnBoxes_.size(); ++i) {
    QComboBox* box = columnBoxes_[i];
    const int chosen = keptColumns_.empty() ? box->currentIndex() : keptColumns_[i];
    box->clear();
    box->addItem(QString::fromUtf8("keine"));
    for (const QString& caption : captions) box->addItem(caption);
    box->setCurrentIndex(chosen <= columns ? chosen : 0);
  }
  keptColumns_.clear();
}

int LinkToolWindow::ChosenColumn(const std::string& field) const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i] != field) continue;
    return keptColumns_.empty() ? columnBoxes_[i]->currentIndex() : keptColumns_[i];
  }
  return 0;
}

LinkToolWindow::Restored LinkToolWindow::RestoreLink(bool ask) {
  const std::filesystem::path file = serial::LinkFilePath(programFolder_, projectNumber_);
  std::error_code error;
  if (!std::filesystem::exists(file, error)) return Restored::NoLinkFile;
  serial::LinkFile link;
  try {
    link = serial::ReadLinkFile(file);
  } catch (const serial::SerialError& e) {
    if (ask) Refuse(QString::fromUtf8(e.what()));
    return Restored::Unreadable;
  }
  // The columns by field, for whichever CSV file the grid shows next.
  keptColumns_.assign(fields_.size(), 0);
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    try {
      keptColumns_[i] = serial::AssignedColumn(link.assignments, fields_[i]).value_or(0);
    } catch (const serial::SerialError&) {
      keptColumns_[i] = 0;
    }
  }
  for (int i = 0; i < separatorBox_->count(); ++i) {
    if (kSeparators[i].separator == link.separator) {
      const QSignalBlocker quiet(separatorBox_);
      separatorBox_->setCurrentIndex(i);
    }
  }
  const QString csv = Q(link.csvPath);
  if (!link.csvPath.empty() && std::filesystem::is_regular_file(link.csvPath, error)) {
    try {
      table_ = serial::ReadCsvFile(link.csvPath, link.separator);
      csvPath_ = csv;
      csvPathEdit_->setText(csvPath_);
      ShowTable();
      return Restored::Restored;
    } catch (const serial::SerialError&) {
      // Told below as a file to choose again.
    }
  }
  csvPathEdit_->setText(csv);
  if (ask) {
    Refuse(QString::fromUtf8("Die CSV-Datei der Verknüpfung gibt es nicht mehr: ") + csv +
           QString::fromUtf8("\nBitte wählen Sie die neue Datei; die Zuordnung der Spalten "
                             "bleibt erhalten."));
    OnChooseCsvClick();
  }
  return Restored::CsvMissing;
}

bool LinkToolWindow::Save() {
  if (!table_) {
    Refuse(QString::fromUtf8("Bitte wählen Sie zuerst eine CSV-Datei."));
    return false;
  }
  serial::LinkFile link;
  link.csvPath = csvPath_.toStdString();
  link.separator = kSeparators[separatorBox_->currentIndex()].separator;
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const int column = columnBoxes_[i]->currentIndex();
    if (column > 0) link.assignments.push_back(serial::AssignmentEntry(fields_[i], column));
  }
  if (link.assignments.empty()) {
    Refuse(QString::fromUtf8("Bitte ordnen Sie mindestens einem Datenfeld eine Spalte zu."));
    return false;
  }
  try {
    serial::WriteLinkFile(serial::LinkFilePath(programFolder_, projectNumber_), link);
  } catch (const serial::SerialError& e) {
    Refuse(QString::fromUtf8(e.what()));
    return false;
  }
  return true;
}

}  // namespace quirabel::linktool
