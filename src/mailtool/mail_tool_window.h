#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "mail/mail_run.h"
#include "mail/mail_settings.h"
#include "mail/send_log.h"
#include "serial/csv_table.h"

namespace quirabel::mailtool {

// The e-mail tool's window: the serial run's CSV file, naming and folder (as the designer passes
// them, or chosen here), every row with its PDF and address, the mail's subject and text, the
// sender and the server, and "Testmail an mich", "Nur Vorschau" and "Senden" with progress and
// "Abbrechen". Mails go out on a worker thread, so the window stays alive while they do.
class MailToolWindow : public QWidget {
 public:
  explicit MailToolWindow(std::optional<mail::MailSource> source,
                          std::filesystem::path settingsFile = mail::SettingsPath());
  ~MailToolWindow() override;

  // Reads the CSV file with the naming and folder chosen, and lists its rows; a message when
  // the file is refused.
  bool LoadSource(const mail::MailSource& source);
  // The rows as listed now.
  const std::vector<mail::MailRow>& Rows() const { return rows_; }
  // Whether mails are on their way.
  bool Sending() const { return worker_.joinable(); }
  // Where messages go: message boxes unless a test listens.
  void SetNotifier(std::function<void(const QString&)> notify) { notify_ = std::move(notify); }
  // Where questions go: a message box unless a test answers.
  void SetConfirmer(std::function<bool(const QString&)> confirm) { confirm_ = std::move(confirm); }
  // The rows' mails that may have arrived, as the log says now.
  std::size_t UncertainCount() const { return uncertainCount_; }
  // The time limits of the network steps (a test shortens them).
  void SetTimeLimits(mail::TimeLimits limits) { limits_ = limits; }

  void OnSendClick();
  void OnTestMailClick();
  void OnPreviewClick();
  void OnCancelClick();
  // "Unklare erneut senden…": asks, naming the count, then sends only the uncertain mails again.
  void OnResendUncertainClick();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  enum class Job { Send, ResendUncertain, TestMail, Preview };

  void OnChooseCsvClick();
  void OnChooseFolderClick();
  // A path typed, pasted or chosen: read when it is a file or folder, else told.
  void OnCsvTyped(const QString& file);
  void OnFolderTyped(const QString& folder);
  // The question before sending: "29 Mails an 29 Empfänger senden? (an anna@…, …)"; empty when
  // no mail would go.
  QString SendQuestion() const;
  // A yes/no question ("Ja"/"Nein"; Escape says no), or the test's answer.
  bool Ask(const QString& question);
  // The source last mailed from and its address column, kept beside the mail settings, so the
  // tool started without parameters opens where it was left.
  QString RememberedPath() const;
  void RememberSource();
  std::optional<mail::MailSource> LastSource() const;
  void OnSourceChange();
  void OnAddressColumnChange();
  void ShowRows();
  void StoreSettings();
  mail::MailSettings ServerSettings() const;
  mail::MailTemplate Template() const;
  void Start(Job job);
  // The end of job `number`; a word from a job that is no longer the current one is dropped.
  void Finish(std::uint64_t number);
  void Notify(const QString& text);
  void SetBusy(bool busy);
  mail::MailSource ChosenSource() const;

  std::filesystem::path settingsFile_;
  std::shared_ptr<const serial::CsvTable> table_;
  std::shared_ptr<const mail::MailRows> mailRows_;  // none when the folder cannot be paired
  std::vector<mail::MailRow> rows_;                 // as shown, without their cells
  std::vector<mail::MailState> states_;             // each row's state in the send log
  std::filesystem::path loadedCsv_;                 // the file the rows were read from
  std::filesystem::path loadedFolder_;
  std::size_t uncertainCount_ = 0;
  std::function<void(const QString&)> notify_;
  std::function<bool(const QString&)> confirm_;
  mail::TimeLimits limits_;
  bool filling_ = false;  // while the window sets its own boxes

  std::thread worker_;
  std::atomic<bool> cancel_{false};
  std::uint64_t jobNumber_ = 0;
  QString result_;  // the worker's last word, read after it has ended

  QLineEdit* csvEdit_;
  QComboBox* separatorBox_;
  QComboBox* namingBox_;
  QLineEdit* identifierEdit_;
  QLineEdit* folderEdit_;
  QComboBox* addressBox_;
  QTableWidget* rowTable_;
  QLineEdit* subjectEdit_;
  QPlainTextEdit* textEdit_;
  QLineEdit* fromNameEdit_;
  QLineEdit* fromAddressEdit_;
  QLineEdit* hostEdit_;
  QSpinBox* portBox_;
  QComboBox* securityBox_;
  QLineEdit* userEdit_;
  QLineEdit* passwordEdit_;
  QCheckBox* keepPasswordBox_;
  QCheckBox* resendBox_;
  QCheckBox* unlistedBox_;
  QPushButton* resendUncertainButton_;
  QProgressBar* progressBar_;
  QLabel* statusLabel_;
  QPushButton* testMailButton_;
  QPushButton* previewButton_;
  QPushButton* sendButton_;
  QPushButton* cancelButton_;
};

}  // namespace quirabel::mailtool
