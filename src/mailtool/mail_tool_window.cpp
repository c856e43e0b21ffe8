#include "mailtool/mail_tool_window.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QSettings>
#include <QShortcut>
#include <QVBoxLayout>

#include <cstdlib>

#include "base/atomic_file.h"
#include "mail/address.h"
#include "mail/send_log.h"
#include "serial/serial_error.h"
#include "ui/qt/file_dialog.h"

namespace quirabel::mailtool {

namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string S(const QString& text) { return text.toStdString(); }

struct SeparatorChoice {
  char separator;
  const char* shown;
};
constexpr SeparatorChoice kSeparators[] = {
    {';', "Semikolon ;"}, {',', "Komma ,"}, {'\t', "Tabulator"}, {'|', "Senkrechter Strich |"}};

constexpr mail::Security kSecurities[] = {mail::Security::StartTls, mail::Security::SslTls,
                                          mail::Security::None};

constexpr const char* kIdentifierEntry = "Bezeichner+Inkrement";

// Whether mail to this server stays on this machine.
bool IsLoopback(const std::string& host) {
  return host == "localhost" || host == "::1" || host == "[::1]" || host.starts_with("127.");
}

// "anna@example.org, bernd@example.org, …": the first few of the addresses.
QString FirstAddresses(const std::vector<std::string>& addresses) {
  constexpr std::size_t kShown = 3;
  QStringList shown;
  for (std::size_t i = 0; i < addresses.size() && i < kShown; ++i) shown << Q(addresses[i]);
  if (addresses.size() > kShown) shown << QString::fromUtf8("…");
  return shown.join(QStringLiteral(", "));
}

}  // namespace

MailToolWindow::MailToolWindow(std::optional<mail::MailSource> source,
                               std::filesystem::path settingsFile)
    : settingsFile_(std::move(settingsFile)) {
  setWindowTitle(QString::fromUtf8("Serien-Mailer – Quirabel"));
  resize(1000, 900);
  // Escape closes the window as its close button does.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &QWidget::close);

  csvEdit_ = new QLineEdit();
  csvEdit_->setObjectName(QStringLiteral("csvEdit"));
  auto* chooseCsvButton = new QPushButton(QString::fromUtf8("CSV-Datei wählen..."));
  separatorBox_ = new QComboBox();
  for (const SeparatorChoice& choice : kSeparators)
    separatorBox_->addItem(QString::fromUtf8(choice.shown));
  namingBox_ = new QComboBox();
  namingBox_->setObjectName(QStringLiteral("namingBox"));
  namingBox_->addItem(QString::fromUtf8(kIdentifierEntry));
  identifierEdit_ = new QLineEdit(Q(serial::kDefaultIdentifier));
  folderEdit_ = new QLineEdit();
  folderEdit_->setObjectName(QStringLiteral("folderEdit"));
  auto* chooseFolderButton = new QPushButton(QString::fromUtf8("Ordner wählen..."));
  addressBox_ = new QComboBox();
  addressBox_->setObjectName(QStringLiteral("addressBox"));

  auto* csvRow = new QHBoxLayout();
  csvRow->addWidget(csvEdit_, 1);
  csvRow->addWidget(chooseCsvButton);
  auto* namingRow = new QHBoxLayout();
  namingRow->addWidget(namingBox_);
  namingRow->addWidget(new QLabel(QString::fromUtf8("Bezeichner:")));
  namingRow->addWidget(identifierEdit_, 1);
  auto* folderRow = new QHBoxLayout();
  folderRow->addWidget(folderEdit_, 1);
  folderRow->addWidget(chooseFolderButton);
  auto* sourceBox = new QGroupBox(QString::fromUtf8("Serien-PDF"));
  auto* sourceForm = new QFormLayout(sourceBox);
  sourceForm->addRow(QString::fromUtf8("CSV-Datei:"), csvRow);
  sourceForm->addRow(QString::fromUtf8("Trennzeichen:"), separatorBox_);
  sourceForm->addRow(QString::fromUtf8("Dateinamen nach:"), namingRow);
  sourceForm->addRow(QString::fromUtf8("PDF-Ordner:"), folderRow);
  sourceForm->addRow(QString::fromUtf8("Adressspalte:"), addressBox_);

  rowTable_ = new QTableWidget(0, 4);
  rowTable_->setObjectName(QStringLiteral("rowTable"));
  rowTable_->setHorizontalHeaderLabels({QString::fromUtf8("Zeile"), QString::fromUtf8("PDF-Datei"),
                                        QString::fromUtf8("Adresse"), QString::fromUtf8("Status")});
  rowTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  rowTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
  rowTable_->verticalHeader()->setVisible(false);
  rowTable_->verticalHeader()->setDefaultSectionSize(22);
  rowTable_->horizontalHeader()->setStretchLastSection(true);
  rowTable_->setColumnWidth(0, 60);
  rowTable_->setColumnWidth(1, 260);
  rowTable_->setColumnWidth(2, 280);

  subjectEdit_ = new QLineEdit();
  subjectEdit_->setObjectName(QStringLiteral("subjectEdit"));
  textEdit_ = new QPlainTextEdit();
  textEdit_->setObjectName(QStringLiteral("textEdit"));
  // The rows get the room; the text shows a few lines and scrolls.
  textEdit_->setFixedHeight(100);
  fromNameEdit_ = new QLineEdit();
  fromNameEdit_->setObjectName(QStringLiteral("fromNameEdit"));
  fromAddressEdit_ = new QLineEdit();
  fromAddressEdit_->setObjectName(QStringLiteral("fromAddressEdit"));
  auto* mailBox =
      new QGroupBox(QString::fromUtf8("Mail (<Feld2> setzt den Wert der Spalte 2 ein)"));
  auto* mailForm = new QFormLayout(mailBox);
  mailForm->addRow(QString::fromUtf8("Betreff:"), subjectEdit_);
  mailForm->addRow(QString::fromUtf8("Text:"), textEdit_);
  mailForm->addRow(QString::fromUtf8("Absender-Name:"), fromNameEdit_);
  mailForm->addRow(QString::fromUtf8("Absender-Adresse:"), fromAddressEdit_);

  hostEdit_ = new QLineEdit();
  hostEdit_->setObjectName(QStringLiteral("hostEdit"));
  portBox_ = new QSpinBox();
  portBox_->setObjectName(QStringLiteral("portBox"));
  portBox_->setRange(1, 65535);
  securityBox_ = new QComboBox();
  securityBox_->setObjectName(QStringLiteral("securityBox"));
  securityBox_->addItems(
      {QStringLiteral("STARTTLS"), QStringLiteral("SSL/TLS"), QString::fromUtf8("keine")});
  userEdit_ = new QLineEdit();
  passwordEdit_ = new QLineEdit();
  passwordEdit_->setEchoMode(QLineEdit::Password);
  keepPasswordBox_ = new QCheckBox(QString::fromUtf8("Passwort speichern"));
  auto* serverRow = new QHBoxLayout();
  serverRow->addWidget(hostEdit_, 1);
  serverRow->addWidget(new QLabel(QString::fromUtf8("Port:")));
  serverRow->addWidget(portBox_);
  serverRow->addWidget(new QLabel(QString::fromUtf8("Verschlüsselung:")));
  serverRow->addWidget(securityBox_);
  auto* loginRow = new QHBoxLayout();
  loginRow->addWidget(userEdit_, 1);
  loginRow->addWidget(new QLabel(QString::fromUtf8("Passwort:")));
  loginRow->addWidget(passwordEdit_, 1);
  loginRow->addWidget(keepPasswordBox_);
  auto* serverBox = new QGroupBox(QString::fromUtf8("Mailserver"));
  auto* serverForm = new QFormLayout(serverBox);
  serverForm->addRow(QString::fromUtf8("Server:"), serverRow);
  serverForm->addRow(QString::fromUtf8("Benutzer:"), loginRow);

  resendBox_ = new QCheckBox(QString::fromUtf8("Alle erneut senden"));
  resendBox_->setObjectName(QStringLiteral("resendBox"));
  unlistedBox_ = new QCheckBox(QString::fromUtf8("Ohne Serien-PDF-Liste nach Dateinamen zuordnen"));
  unlistedBox_->setObjectName(QStringLiteral("unlistedBox"));
  unlistedBox_->setToolTip(QString::fromUtf8(
      "Nur für Ordner ohne quirabel-serie.json: die PDFs werden nach ihrem Namen den Zeilen "
      "zugeordnet, ohne zu prüfen, ob die CSV-Datei sich seit dem Druck geändert hat."));
  resendUncertainButton_ = new QPushButton(QString::fromUtf8("Unklare erneut senden…"));
  resendUncertainButton_->setObjectName(QStringLiteral("resendUncertainButton"));
  resendUncertainButton_->setEnabled(false);
  progressBar_ = new QProgressBar();
  progressBar_->setObjectName(QStringLiteral("progressBar"));
  progressBar_->setValue(0);
  statusLabel_ = new QLabel();
  statusLabel_->setObjectName(QStringLiteral("statusLabel"));
  statusLabel_->setWordWrap(true);
  testMailButton_ = new QPushButton(QString::fromUtf8("Testmail an mich"));
  previewButton_ = new QPushButton(QString::fromUtf8("Nur Vorschau"));
  sendButton_ = new QPushButton(QString::fromUtf8("Senden"));
  cancelButton_ = new QPushButton(QString::fromUtf8("Abbrechen"));
  cancelButton_->setEnabled(false);
  auto* closeButton = new QPushButton(QString::fromUtf8("Schließen"));
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(resendBox_);
  buttons->addWidget(unlistedBox_);
  buttons->addWidget(resendUncertainButton_);
  buttons->addWidget(progressBar_, 1);
  buttons->addWidget(testMailButton_);
  buttons->addWidget(previewButton_);
  buttons->addWidget(sendButton_);
  buttons->addWidget(cancelButton_);
  buttons->addWidget(closeButton);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(sourceBox);
  layout->addWidget(rowTable_, 1);
  layout->addWidget(mailBox);
  layout->addWidget(serverBox);
  layout->addLayout(buttons);
  layout->addWidget(statusLabel_);

  // The settings last used; a file that cannot be read leaves the fields empty.
  mail::MailSettings settings;
  try {
    settings = mail::ReadSettings(settingsFile_);
  } catch (const FileError& e) {
    statusLabel_->setText(QString::fromUtf8("Die Einstellungen sind nicht lesbar: ") +
                          Q(e.Reason()));
  }
  if (const char* password = std::getenv("QUIRABEL_SMTP_PASSWORD");
      password != nullptr && settings.password.empty()) {
    settings.password = password;
  }
  hostEdit_->setText(Q(settings.host));
  portBox_->setValue(settings.port);
  for (int i = 0; i < 3; ++i) {
    if (kSecurities[i] == settings.security) securityBox_->setCurrentIndex(i);
  }
  userEdit_->setText(Q(settings.user));
  passwordEdit_->setText(Q(settings.password));
  keepPasswordBox_->setChecked(settings.keepPassword);
  fromNameEdit_->setText(Q(settings.fromName));
  fromAddressEdit_->setText(Q(settings.fromAddress));
  subjectEdit_->setText(Q(settings.subject));
  textEdit_->setPlainText(Q(settings.text));

  connect(chooseCsvButton, &QPushButton::clicked, this, [this] { OnChooseCsvClick(); });
  connect(chooseFolderButton, &QPushButton::clicked, this, [this] { OnChooseFolderClick(); });
  // Paths typed or pasted are taken when the field is left.
  ui::qt::OnPathTyped(csvEdit_, this, [this](const QString& typed) { OnCsvTyped(typed); });
  ui::qt::OnPathTyped(folderEdit_, this, [this](const QString& typed) { OnFolderTyped(typed); });
  connect(separatorBox_, &QComboBox::currentIndexChanged, this, [this] { OnSourceChange(); });
  connect(namingBox_, &QComboBox::currentIndexChanged, this, [this] { OnSourceChange(); });
  connect(identifierEdit_, &QLineEdit::editingFinished, this, [this] { OnSourceChange(); });
  connect(addressBox_, &QComboBox::currentIndexChanged, this, [this] { OnAddressColumnChange(); });
  // A port the user typed stays; only a standard port follows the encryption.
  connect(securityBox_, &QComboBox::activated, this, [this](int index) {
    const int port = portBox_->value();
    bool standard = false;
    for (mail::Security security : kSecurities) standard |= port == mail::DefaultPort(security);
    if (standard) portBox_->setValue(mail::DefaultPort(kSecurities[index]));
  });
  connect(unlistedBox_, &QCheckBox::toggled, this, [this] { ShowRows(); });
  connect(resendUncertainButton_, &QPushButton::clicked, this,
          [this] { OnResendUncertainClick(); });
  connect(testMailButton_, &QPushButton::clicked, this, [this] { OnTestMailClick(); });
  connect(previewButton_, &QPushButton::clicked, this, [this] { OnPreviewClick(); });
  connect(sendButton_, &QPushButton::clicked, this, [this] { OnSendClick(); });
  connect(cancelButton_, &QPushButton::clicked, this, [this] { OnCancelClick(); });
  connect(closeButton, &QPushButton::clicked, this, [this] { close(); });

  if (!source) source = LastSource();
  if (source) LoadSource(*source);
}

MailToolWindow::~MailToolWindow() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
}

void MailToolWindow::closeEvent(QCloseEvent* event) {
  if (worker_.joinable()) {
    // Mails under way are stopped; what went out is in the log.
    cancel_ = true;
    worker_.join();
    ++jobNumber_;  // its last word is not shown in a closed window
    SetBusy(false);
  }
  event->accept();
}

void MailToolWindow::Notify(const QString& text) {
  statusLabel_->setText(text);
  if (notify_) {
    notify_(text);
  } else {
    QMessageBox::information(this, windowTitle(), text);
  }
}

bool MailToolWindow::LoadSource(const mail::MailSource& source) {
  std::shared_ptr<const serial::CsvTable> table;
  try {
    table =
        std::make_shared<const serial::CsvTable>(serial::ReadCsvFile(source.csv, source.separator));
  } catch (const serial::SerialError& e) {
    Notify(Q(e.what()));
    return false;
  }
  const bool newFile = loadedCsv_ != source.csv || !table_;
  table_ = std::move(table);
  loadedCsv_ = source.csv;
  loadedFolder_ = source.folder;
  filling_ = true;
  csvEdit_->setText(Q(source.csv.string()));
  for (int i = 0; i < separatorBox_->count(); ++i) {
    if (kSeparators[i].separator == table_->Separator()) separatorBox_->setCurrentIndex(i);
  }
  const int columns = std::max(1, table_->ColumnCount());
  const int chosenAddress = addressBox_->currentIndex();
  namingBox_->clear();
  namingBox_->addItem(QString::fromUtf8(kIdentifierEntry));
  addressBox_->clear();
  for (int c = 1; c <= columns; ++c) {
    namingBox_->addItem(QStringLiteral("Feld%1").arg(c));
    addressBox_->addItem(QStringLiteral("Feld%1").arg(c));
  }
  namingBox_->setCurrentIndex(source.naming.column <= columns ? source.naming.column : 0);
  identifierEdit_->setText(Q(source.naming.identifier));
  identifierEdit_->setEnabled(namingBox_->currentIndex() == 0);
  folderEdit_->setText(Q(source.folder.string()));
  // A new file gets the column whose cells look like addresses; a file read again keeps the
  // column the user chose.
  int guessed = mail::GuessAddressColumn(*table_);
  // The column chosen the last time this file was mailed comes before the guess.
  if (const QSettings remembered(RememberedPath(), QSettings::IniFormat);
      newFile && remembered.value(QStringLiteral("last/csv")).toString() == csvEdit_->text()) {
    const int column = remembered.value(QStringLiteral("last/address"), 0).toInt();
    if (column >= 1 && column <= columns) guessed = column;
  }
  addressBox_->setCurrentIndex(newFile || chosenAddress < 0 || chosenAddress >= columns
                                   ? (guessed > 0 ? guessed - 1 : -1)
                                   : chosenAddress);
  filling_ = false;
  ShowRows();
  RememberSource();
  return true;
}

QString MailToolWindow::RememberedPath() const {
  return Q((settingsFile_.parent_path() / "mail-serie.ini").string());
}

void MailToolWindow::RememberSource() {
  if (!table_) return;
  const mail::MailSource source = ChosenSource();
  QSettings remembered(RememberedPath(), QSettings::IniFormat);
  remembered.setValue(QStringLiteral("last/csv"), csvEdit_->text());
  remembered.setValue(QStringLiteral("last/separator"), QString(QChar(table_->Separator())));
  remembered.setValue(QStringLiteral("last/column"), source.naming.column);
  remembered.setValue(QStringLiteral("last/identifier"), Q(source.naming.identifier));
  remembered.setValue(QStringLiteral("last/folder"), folderEdit_->text());
  remembered.setValue(QStringLiteral("last/address"), addressBox_->currentIndex() + 1);
}

std::optional<mail::MailSource> MailToolWindow::LastSource() const {
  const QSettings remembered(RememberedPath(), QSettings::IniFormat);
  const QString csv = remembered.value(QStringLiteral("last/csv")).toString();
  std::error_code error;
  if (csv.isEmpty() || !std::filesystem::is_regular_file(S(csv), error)) return std::nullopt;
  mail::MailSource source;
  source.csv = S(csv);
  const QString separator = remembered.value(QStringLiteral("last/separator")).toString();
  if (separator.size() == 1 && separator[0].unicode() < 0x80)
    source.separator = static_cast<char>(separator[0].unicode());
  source.naming.column = std::max(0, remembered.value(QStringLiteral("last/column"), 0).toInt());
  source.naming.identifier =
      S(remembered.value(QStringLiteral("last/identifier"), Q(serial::kDefaultIdentifier))
            .toString());
  source.folder = S(remembered.value(QStringLiteral("last/folder")).toString());
  return source;
}

mail::MailSource MailToolWindow::ChosenSource() const {
  mail::MailSource source;
  source.csv = S(csvEdit_->text());
  source.separator = kSeparators[std::max(0, separatorBox_->currentIndex())].separator;
  source.naming.column = std::max(0, namingBox_->currentIndex());
  source.naming.identifier = S(identifierEdit_->text());
  source.folder = S(folderEdit_->text());
  return source;
}

void MailToolWindow::OnChooseCsvClick() {
  ui::qt::FileDialogChoice choice;
  choice.title = QString::fromUtf8("CSV-Datei wählen");
  choice.filter = QString::fromUtf8("CSV-Dateien (*.csv *.txt);;Alle Dateien (*)");
  choice.start = csvEdit_->text();
  const QString file = ui::qt::ChooseFile(this, choice);
  if (!file.isEmpty()) OnCsvTyped(file);
}

void MailToolWindow::OnCsvTyped(const QString& file) {
  if (file.isEmpty()) {
    csvEdit_->setText(table_ ? Q(loadedCsv_.string()) : QString());
    return;
  }
  mail::MailSource source = ChosenSource();
  source.csv = S(file);
  source.separator.reset();
  // The serial run usually wrote its PDFs beside the CSV file or below it.
  if (source.folder.empty()) source.folder = source.csv.parent_path();
  // A file that cannot be read is told; the field shows the file in use again.
  if (!LoadSource(source)) csvEdit_->setText(table_ ? Q(loadedCsv_.string()) : QString());
}

void MailToolWindow::OnChooseFolderClick() {
  ui::qt::FileDialogChoice choice;
  choice.title = QString::fromUtf8("Ordner der PDF-Dateien wählen");
  choice.start = folderEdit_->text();
  choice.mode = ui::qt::FileDialogMode::Folder;
  const QString folder = ui::qt::ChooseFile(this, choice);
  if (!folder.isEmpty()) OnFolderTyped(folder);
}

void MailToolWindow::OnFolderTyped(const QString& folder) {
  std::error_code error;
  if (!std::filesystem::is_directory(S(folder), error)) {
    Notify(QString::fromUtf8("Den Ordner gibt es nicht: ") + folder);
    folderEdit_->setText(Q(loadedFolder_.string()));
    return;
  }
  folderEdit_->setText(folder);
  ShowRows();
  RememberSource();
}

void MailToolWindow::OnSourceChange() {
  if (filling_ || csvEdit_->text().isEmpty()) return;
  identifierEdit_->setEnabled(namingBox_->currentIndex() == 0);
  LoadSource(ChosenSource());
}

void MailToolWindow::OnAddressColumnChange() {
  if (filling_) return;
  ShowRows();
  RememberSource();
}

void MailToolWindow::ShowRows() {
  if (!table_) return;
  const mail::MailSource source = ChosenSource();
  rows_.clear();
  states_.clear();
  mailRows_.reset();
  uncertainCount_ = 0;
  QString problem;
  try {
    mailRows_ = std::make_shared<const mail::MailRows>(
        table_, source, addressBox_->currentIndex() + 1, unlistedBox_->isChecked());
  } catch (const std::exception& e) {
    problem = Q(e.what());
  }
  mail::SendLogIndex index;
  try {
    index = mail::ReadSendLogIndex(source.folder);
  } catch (const FileError& e) {
    if (problem.isEmpty())
      problem = QString::fromUtf8("Das Versandprotokoll ist nicht lesbar: ") + Q(e.Reason());
  }
  const std::size_t count = mailRows_ ? mailRows_->Count() : 0;
  rowTable_->setRowCount(static_cast<int>(count));
  std::size_t ready = 0;
  std::size_t alreadySent = 0;
  for (std::size_t i = 0; i < count; ++i) {
    mail::MailRow row = mailRows_->Row(i);
    row.cells.clear();
    const int r = static_cast<int>(i);
    mail::MailState state =
        mail::StateIn(index, mail::KeyOf(row.runId, row.row, row.address, row.pdfSha256));
    if (state == mail::MailState::Unknown && !mailRows_->Listed())
      state = mail::StateIn(index, mail::LegacyKeyOf(row.file, row.address));
    QString status = QString::fromUtf8("bereit");
    QColor shade;
    if (!row.Ready()) {
      status = Q(row.problem);
      shade = QColor(250, 215, 210);
    } else if (state == mail::MailState::Sent) {
      status = QString::fromUtf8("gesendet");
      shade = QColor(225, 240, 225);
      ++alreadySent;
    } else if (state == mail::MailState::Uncertain) {
      status = QString::fromUtf8("unklar – vielleicht angekommen, bitte prüfen");
      shade = QColor(255, 240, 200);
      ++uncertainCount_;
    } else if (row.changed) {
      status = QString::fromUtf8("seit dem Druck geändert");
      shade = QColor(250, 215, 210);
    } else {
      ++ready;
      if (state == mail::MailState::Open) {
        status = QString::fromUtf8("bereit – zuletzt nicht gesendet");
        shade = QColor(255, 240, 200);
      }
    }
    // A cell with a line break is shown on one line; it is never sent anyway.
    QString address = Q(row.address.empty() ? row.cell : row.address);
    address.replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString cells[] = {QString::number(row.row), Q(row.file), address, status};
    for (int c = 0; c < 4; ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      item->setToolTip(cells[c]);
      if (shade.isValid()) item->setBackground(shade);
      rowTable_->setItem(r, c, item);
    }
    rows_.push_back(std::move(row));
    states_.push_back(state);
  }
  resendUncertainButton_->setEnabled(uncertainCount_ > 0 && !Sending());
  if (!problem.isEmpty()) {
    statusLabel_->setText(problem);
    return;
  }
  QString text = QString::fromUtf8(count == 1 ? "%1 Zeile" : "%1 Zeilen").arg(count) +
                 QString::fromUtf8(": %1 bereit, %2 schon gesendet, ").arg(ready).arg(alreadySent);
  if (uncertainCount_ > 0) text += QString::fromUtf8("%1 unklar, ").arg(uncertainCount_);
  text += QString::fromUtf8("%1 nicht sendbar.").arg(count - ready - alreadySent - uncertainCount_);
  statusLabel_->setText(text);
}

mail::MailSettings MailToolWindow::ServerSettings() const {
  mail::MailSettings settings;
  settings.host = S(hostEdit_->text().trimmed());
  settings.port = portBox_->value();
  settings.security = kSecurities[std::max(0, securityBox_->currentIndex())];
  settings.user = S(userEdit_->text());
  settings.password = S(passwordEdit_->text());
  settings.keepPassword = keepPasswordBox_->isChecked();
  settings.fromName = S(fromNameEdit_->text());
  settings.fromAddress = S(fromAddressEdit_->text().trimmed());
  settings.subject = S(subjectEdit_->text());
  settings.text = S(textEdit_->toPlainText());
  return settings;
}

mail::MailTemplate MailToolWindow::Template() const {
  const mail::MailSettings settings = ServerSettings();
  return {settings.fromName, settings.fromAddress, settings.subject, settings.text};
}

void MailToolWindow::StoreSettings() {
  try {
    mail::WriteSettings(settingsFile_, ServerSettings());
  } catch (const FileError& e) {
    statusLabel_->setText(
        QString::fromUtf8("Die Einstellungen konnten nicht gespeichert werden: ") + Q(e.Reason()));
  }
}

void MailToolWindow::SetBusy(bool busy) {
  for (QPushButton* button : {testMailButton_, previewButton_, sendButton_})
    button->setEnabled(!busy);
  cancelButton_->setEnabled(busy);
  resendBox_->setEnabled(!busy);
  unlistedBox_->setEnabled(!busy);
  resendUncertainButton_->setEnabled(!busy && uncertainCount_ > 0);
}

void MailToolWindow::OnSendClick() { Start(Job::Send); }

void MailToolWindow::OnResendUncertainClick() {
  ShowRows();
  if (uncertainCount_ == 0) return;
  const QString question =
      QString::fromUtf8(uncertainCount_ == 1
                            ? "%1 Mail ist vielleicht schon angekommen. Wirklich erneut senden? "
                              "Der Empfänger bekommt sie dann womöglich zweimal."
                            : "%1 Mails sind vielleicht schon angekommen. Wirklich erneut "
                              "senden? Die Empfänger bekommen sie dann womöglich zweimal.")
          .arg(uncertainCount_);
  if (Ask(question)) Start(Job::ResendUncertain);
}
void MailToolWindow::OnTestMailClick() { Start(Job::TestMail); }

bool MailToolWindow::Ask(const QString& question) {
  if (confirm_) return confirm_(question);
  QMessageBox box(QMessageBox::Question, windowTitle(), question, QMessageBox::NoButton, this);
  QPushButton* yes = box.addButton(QString::fromUtf8("Ja"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QString::fromUtf8("Nein"), QMessageBox::NoRole);
  box.setDefaultButton(no);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes;
}

QString MailToolWindow::SendQuestion() const {
  std::size_t mails = 0;
  std::vector<std::string> addresses;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const mail::MailRow& row = rows_[i];
    const bool settled =
        states_[i] == mail::MailState::Sent || states_[i] == mail::MailState::Uncertain;
    if (!row.Ready() || (settled && !resendBox_->isChecked())) continue;
    ++mails;
    if (std::find(addresses.begin(), addresses.end(), row.address) == addresses.end())
      addresses.push_back(row.address);
  }
  if (mails == 0) return {};
  return QString::fromUtf8("%1 %2 an %3 Empfänger senden? (an %4)")
      .arg(mails)
      .arg(QString::fromUtf8(mails == 1 ? "Mail" : "Mails"))
      .arg(addresses.size())
      .arg(FirstAddresses(addresses));
}
void MailToolWindow::OnPreviewClick() { Start(Job::Preview); }

void MailToolWindow::OnCancelClick() {
  cancel_ = true;
  statusLabel_->setText(QString::fromUtf8("Wird abgebrochen..."));
}

void MailToolWindow::Start(Job job) {
  if (worker_.joinable()) return;
  if (!table_) {
    Notify(QString::fromUtf8("Bitte wählen Sie zuerst eine CSV-Datei."));
    return;
  }
  const mail::MailTemplate mailTemplate = Template();
  if (std::string problem = mail::SenderProblem(mailTemplate); !problem.empty()) {
    Notify(Q(problem));
    return;
  }
  const mail::MailSettings server = ServerSettings();
  if (job != Job::Preview && mail::ServerUrl(server).empty()) {
    Notify(QString::fromUtf8("Bitte geben Sie den Mailserver an."));
    return;
  }
  StoreSettings();
  ShowRows();
  if (!mailRows_) {
    Notify(statusLabel_->text());
    return;
  }
  // Nothing goes out by surprise: the count and the first addresses first, then, for a server
  // elsewhere without encryption, what would travel readable.
  if (job == Job::Send) {
    const QString question = SendQuestion();
    if (!question.isEmpty() && !Ask(question)) return;
  }
  if (job != Job::Preview && server.security == mail::Security::None && !IsLoopback(server.host) &&
      !Ask(QString::fromUtf8("Die Verbindung zu %1 ist nicht verschlüsselt: das Passwort und die "
                             "PDF-Dateien gingen lesbar durch das Netz. Trotzdem ohne "
                             "Verschlüsselung senden?")
               .arg(Q(server.host)))) {
    return;
  }
  const std::filesystem::path folder = ChosenSource().folder;
  const std::filesystem::path previewFolder = folder / "Vorschau";
  mail::MailRunOptions options;
  options.resend = resendBox_->isChecked() && job == Job::Send;
  options.resendUncertain = job == Job::ResendUncertain;
  options.writeLog = job == Job::Send || job == Job::ResendUncertain;
  options.progress = [this](std::size_t done, std::size_t total) {
    QMetaObject::invokeMethod(
        progressBar_,
        [bar = progressBar_, done, total] {
          bar->setMaximum(static_cast<int>(total));
          bar->setValue(static_cast<int>(done));
        },
        Qt::QueuedConnection);
    return !cancel_.load();
  };
  cancel_ = false;
  progressBar_->setValue(0);
  SetBusy(true);
  statusLabel_->setText(job == Job::Preview ? QString::fromUtf8("Vorschau wird geschrieben...")
                                            : QString::fromUtf8("Mails werden gesendet..."));
  const std::uint64_t number = ++jobNumber_;
  worker_ = std::thread([this, job, rows = mailRows_, mailTemplate, server, folder, previewFolder,
                         options, limits = limits_, number] {
    QString result;
    try {
      if (job == Job::TestMail) {
        mail::SmtpTransport transport(server, limits, &cancel_);
        const mail::SendResult sent = mail::SendTestMail(*rows, mailTemplate, transport);
        result = sent.kind == mail::SendResult::Kind::Sent
                     ? QString::fromUtf8("Die Testmail wurde an %1 gesendet.")
                           .arg(Q(mailTemplate.fromAddress))
                     : QString::fromUtf8("Die Testmail wurde nicht gesendet: ") + Q(sent.text);
      } else {
        std::unique_ptr<mail::Transport> transport;
        if (job == Job::Preview) {
          transport = std::make_unique<mail::EmlTransport>(previewFolder);
        } else {
          transport = std::make_unique<mail::SmtpTransport>(server, limits, &cancel_);
        }
        const mail::MailOutcome outcome = mail::SendRows(*rows, mailTemplate, *transport, options);
        if (job == Job::Preview) {
          result = QString::fromUtf8("%1 Mails als .eml-Datei in %2 geschrieben.")
                       .arg(outcome.sent)
                       .arg(Q(previewFolder.string()));
          if (outcome.failed > 0)
            result += QString::fromUtf8(" %1 Zeilen nicht.").arg(outcome.failed);
        } else {
          result = Q(mail::OutcomeText(outcome));
          if (outcome.cancelled) result = QString::fromUtf8("Abgebrochen. ") + result;
        }
        if (!outcome.stopMessage.empty()) result = Q(outcome.stopMessage) + "\n" + result;
      }
    } catch (const std::exception& e) {
      result = QString::fromUtf8("Fehler: ") + Q(e.what());
    } catch (...) {
      result = QString::fromUtf8("Unbekannter Fehler.");
    }
    result_ = result;
    QMetaObject::invokeMethod(
        this, [this, number] { Finish(number); }, Qt::QueuedConnection);
  });
}

void MailToolWindow::Finish(std::uint64_t number) {
  if (number != jobNumber_) return;
  if (worker_.joinable()) worker_.join();
  SetBusy(false);
  ShowRows();
  Notify(result_);
}

}  // namespace quirabel::mailtool
