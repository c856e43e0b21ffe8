#include "main/serial_dialogs.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quirabel::main {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

SerialSettingsDialog::SerialSettingsDialog(app::SerialPdf& serialPdf, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowSystemMenuHint),
      serialPdf_(serialPdf),
      form_(serialPdf.SettingsWindow()) {
  setWindowTitle(Q(form_.Caption()));
  setObjectName(QStringLiteral("Form30"));
  resize(form_.Width(), form_.Height());

  const auto& rows = form_.gridRows;
  auto* grid = new QTableWidget(rows.empty() ? 0 : static_cast<int>(rows.size()) - 1,
                                rows.empty() ? 1 : static_cast<int>(rows.front().size()));
  grid->setObjectName(QStringLiteral("StringGrid1"));
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->verticalHeader()->setVisible(false);
  if (!rows.empty()) {
    QStringList captions;
    for (const std::string& caption : rows.front()) captions << Q(caption);
    grid->setHorizontalHeaderLabels(captions);
    for (std::size_t r = 1; r < rows.size(); ++r) {
      for (std::size_t c = 0; c < rows[r].size() && c < rows.front().size(); ++c)
        grid->setItem(static_cast<int>(r - 1), static_cast<int>(c),
                      new QTableWidgetItem(Q(rows[r][c])));
    }
  }

  namingBox_ = new QComboBox();
  namingBox_->setObjectName(QStringLiteral("ComboBox1"));
  for (const std::string& entry : form_.namingEntries) namingBox_->addItem(Q(entry));
  namingBox_->setPlaceholderText(QString::fromUtf8(dialogs::kChooseNaming));
  namingBox_->setCurrentIndex(form_.namingIndex);
  identifierEdit_ = new QLineEdit(Q(form_.identifierEdit->Text()));
  identifierEdit_->setObjectName(QStringLiteral("Edit2"));
  auto* assignments = new QListWidget();
  assignments->setObjectName(QStringLiteral("ListBox1"));
  for (const std::string& entry : form_.assignments) assignments->addItem(Q(entry));
  folderLabel_ = new QLabel(Q(form_.targetFolderLabel->Caption()));
  folderLabel_->setObjectName(QStringLiteral("Label3"));
  auto* otherFolder = new QPushButton(QString::fromUtf8("Anderes Verzeichnis"));
  otherFolder->setObjectName(QStringLiteral("BitBtn2"));
  mailBox_ = new QCheckBox(QString::fromUtf8(
      "Dokumente sollen nach dem Druck per eMail versendet werden? (Attatchment)"));
  mailBox_->setObjectName(QStringLiteral("CheckBox1"));
  mailBox_->setChecked(form_.sendByMail);
  auto* print = new QPushButton(QString::fromUtf8("Serien-PDF drucken / senden ->"));
  print->setObjectName(QStringLiteral("BitBtn1"));
  print->setDefault(true);

  auto* layout = new QGridLayout(this);
  layout->addWidget(grid, 0, 0, 1, 2);
  layout->addWidget(new QLabel(QString::fromUtf8("Die Dateinamen werden gebildet aus..")), 1, 0);
  layout->addWidget(new QLabel(QString::fromUtf8("Dateinamen nach: (Feldinhalt.pdf)")), 2, 0);
  layout->addWidget(namingBox_, 2, 1);
  layout->addWidget(new QLabel(QString::fromUtf8("Bezeichner:")), 3, 0);
  layout->addWidget(identifierEdit_, 3, 1);
  layout->addWidget(assignments, 4, 0, 1, 2);
  layout->addWidget(new QLabel(QString::fromUtf8("Bitte wählen Sie ein Zielverzeichnis:")), 5, 0);
  layout->addWidget(folderLabel_, 5, 1);
  layout->addWidget(otherFolder, 6, 1);
  layout->addWidget(mailBox_, 7, 0, 1, 2);
  layout->addWidget(print, 8, 1);

  connect(namingBox_, &QComboBox::currentIndexChanged, this, [this] { OnNamingChange(); });
  connect(otherFolder, &QPushButton::clicked, this, [this] { OnOtherFolderClick(); });
  connect(print, &QPushButton::clicked, this, [this] {
    Store();
    accept();
  });
  OnNamingChange();
}

void SerialSettingsDialog::OnNamingChange() {
  form_.namingIndex = namingBox_->currentIndex();
  form_.OnNamingChange();
  identifierEdit_->setEnabled(form_.identifierEdit->Enabled());
}

void SerialSettingsDialog::OnOtherFolderClick() {
  FolderChoiceDialog choice(serialPdf_, this);
  choice.RunHandler = RunHandler;
  if (choice.exec() == QDialog::Accepted)
    folderLabel_->setText(Q(form_.targetFolderLabel->Caption()));
}

void SerialSettingsDialog::Store() {
  form_.namingIndex = namingBox_->currentIndex();
  form_.identifierEdit->SetText(identifierEdit_->text().toStdString());
  form_.sendByMail = mailBox_->isChecked();
}

FolderChoiceDialog::FolderChoiceDialog(app::SerialPdf& serialPdf, QWidget* parent)
    : QDialog(parent), serialPdf_(serialPdf) {
  setWindowTitle(Q(serialPdf.FolderWindow().Caption()));
  setObjectName(QStringLiteral("Form31"));
  resize(420, 480);
  folders_ = new QFileSystemModel(this);
  folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  folders_->setRootPath(QStringLiteral("/"));
  tree_ = new QTreeView();
  tree_->setObjectName(QStringLiteral("DirectoryListBox1"));
  tree_->setModel(folders_);
  for (int column = 1; column < folders_->columnCount(); ++column) tree_->hideColumn(column);
  const QString start = Q(serialPdf.FolderWindow().currentFolder.string());
  tree_->setCurrentIndex(folders_->index(start));
  tree_->scrollTo(folders_->index(start));
  auto* newFolder = new QPushButton(QString::fromUtf8("Neues Verzeichniss"));
  newFolder->setObjectName(QStringLiteral("BitBtn1"));
  auto* apply = new QPushButton(QString::fromUtf8("Übernehmen"));
  apply->setObjectName(QStringLiteral("BitBtn2"));
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(newFolder);
  buttons->addStretch();
  buttons->addWidget(apply);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tree_);
  layout->addLayout(buttons);
  connect(newFolder, &QPushButton::clicked, this, [this] { OnNewFolderClick(); });
  connect(apply, &QPushButton::clicked, this, [this] { OnApplyClick(); });
}

QString FolderChoiceDialog::SelectedFolder() const {
  const QModelIndex index = tree_->currentIndex();
  return index.isValid() ? folders_->filePath(index)
                         : Q(serialPdf_.FolderWindow().currentFolder.string());
}

void FolderChoiceDialog::OnNewFolderClick() {
  dialogs::NewFolderWindow& form = serialPdf_.NewFolderWindow();
  bool ok = false;
  const QString name = QInputDialog::getText(this, Q(form.Caption()), QString(), QLineEdit::Normal,
                                             Q(form.nameEdit->Text()), &ok);
  if (!ok) return;  // "Abbruch"
  form.nameEdit->SetText(name.toStdString());
  const QString parent = SelectedFolder();
  bool made = false;
  RunInBoundary(RunHandler, [&] {
    form.CreateIn(parent.toStdString());
    made = true;
  });
  if (made) {
    const QModelIndex created = folders_->index(parent + "/" + name);
    if (created.isValid()) tree_->setCurrentIndex(created);
  }
}

void FolderChoiceDialog::OnApplyClick() {
  serialPdf_.FolderWindow().currentFolder = SelectedFolder().toStdString();
  serialPdf_.ApplyChosenFolder();
  accept();
}

}  // namespace quirabel::main
