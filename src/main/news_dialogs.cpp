#include "main/news_dialogs.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QVBoxLayout>

namespace quirabel::main {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The two windows are white tool windows that stay on top, in the middle of the screen.
void MakeToolWindow(QDialog& window, const char* name, const char* title, QSize client) {
  window.setObjectName(QString::fromUtf8(name));
  window.setWindowTitle(QString::fromUtf8(title));
  window.setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                        Qt::WindowCloseButtonHint);
  window.setFixedSize(client);
  QPalette white = window.palette();
  white.setColor(QPalette::Window, Qt::white);
  window.setPalette(white);
  window.setAutoFillBackground(true);
}

void Centre(QWidget& window) {
  const QScreen* screen =
      window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  window.move(area.center() - QPoint(window.width() / 2, window.height() / 2));
}

// A read-only text of a few fixed lines, on the window's white.
QPlainTextEdit* FixedText(const char* name, const char* text) {
  auto* memo = new QPlainTextEdit(QString::fromUtf8(text));
  memo->setObjectName(QString::fromUtf8(name));
  memo->setReadOnly(true);
  memo->setFrameShape(QFrame::NoFrame);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo->setFocusPolicy(Qt::NoFocus);
  return memo;
}

}  // namespace

void RunInBoundary(const RunHandlerType& boundary, const std::function<void()>& handler) {
  if (boundary) {
    boundary(handler);
  } else {
    handler();
  }
}

UpdateDialog::UpdateDialog(online::UpdateWindow& form, QWidget* parent)
    : QDialog(parent), form_(form) {
  MakeToolWindow(*this, "Form35", "Update Infos", QSize(353, 433));
  descriptionMemo_ = new QPlainTextEdit();
  descriptionMemo_->setObjectName(QStringLiteral("Memo1"));
  descriptionMemo_->setReadOnly(true);  // plain text: whatever the server sends is never markup
  descriptionMemo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  descriptionMemo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  descriptionMemo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto* download = new QPushButton(QString::fromUtf8("Zum Download (Online)"));
  download->setObjectName(QStringLiteral("BitBtn1"));
  auto* close = new QPushButton(QString::fromUtf8("Schließen"));
  close->setObjectName(QStringLiteral("BitBtn2"));
  connect(download, &QPushButton::clicked, this,
          [this] { RunInBoundary(RunHandler, [this] { form_.DownloadClick(); }); });
  connect(close, &QPushButton::clicked, this,
          [this] { RunInBoundary(RunHandler, [this] { form_.CloseClick(); }); });
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(download);
  buttons->addStretch();
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(descriptionMemo_, 1);
  layout->addLayout(buttons);
  form_.OnChange = [this] { Follow(); };
}

void UpdateDialog::Follow() {
  descriptionMemo_->setPlainText(Q(form_.description));
  if (form_.visible && !isVisible()) {
    Centre(*this);
    show();
  } else if (!form_.visible && isVisible()) {
    hide();
  }
  if (form_.visible) raise();
}

void UpdateDialog::done(int result) {
  form_.visible = false;
  QDialog::done(result);
}

NewsDialog::NewsDialog(online::NewsWindow& form, QWidget* parent) : QDialog(parent), form_(form) {
  MakeToolWindow(*this, "Form14", "Quirabel News, Meinungen und Vorschläge", QSize(563, 445));
  heading_ = new QLabel();
  heading_->setObjectName(QStringLiteral("Label2"));
  heading_->setTextFormat(Qt::PlainText);
  QFont large = heading_->font();
  large.setBold(true);
  large.setPointSizeF(large.pointSizeF() * 1.6);
  heading_->setFont(large);
  FollowHeading();

  QPlainTextEdit* about =
      FixedText("Memo1",
                "Prüfen Sie online ob Sie noch die neueste Version besitzen!\n"
                "Verpassen Sie keine neuen Produkt und Versionsinfos zu  Quirabel!\n"
                "Registrieren Sie Ihre EMail Adresse für den Quirabel Newsletter");
  signUpButton_ = new QRadioButton(QString::fromUtf8("eintragen "));
  signUpButton_->setObjectName(QStringLiteral("RadioButton1"));
  leaveButton_ = new QRadioButton(QString::fromUtf8("austragen / nicht eintragen"));
  leaveButton_->setObjectName(QStringLiteral("RadioButton2"));
  (form_.signUp ? signUpButton_ : leaveButton_)->setChecked(true);
  auto* mailLabel = new QLabel(QString::fromUtf8("Ihre EMail:"));
  mailLabel->setObjectName(QStringLiteral("Label1"));
  mailAddressEdit_ = new QLineEdit(Q(form_.mailAddress));
  mailAddressEdit_->setObjectName(QStringLiteral("Edit1"));
  mailLabel->setBuddy(mailAddressEdit_);
  QPlainTextEdit* invitation = FixedText("Memo3",
                                         "Schreiben Sie Ihre Meinung / Vorschläge zu Quirabel! \n"
                                         "Helfen Sie mit Quirabel zu verbessern!  ");
  messageMemo_ = new QPlainTextEdit(Q(form_.message));
  messageMemo_->setObjectName(QStringLiteral("Memo2"));
  auto* send = new QPushButton(QString::fromUtf8("Senden"));
  send->setObjectName(QStringLiteral("Button2"));
  auto* check = new QPushButton(QString::fromUtf8("Nur die Version prüfen!"));
  check->setObjectName(QStringLiteral("Button3"));
  auto* finish = new QPushButton(QString::fromUtf8("Beenden"));
  finish->setObjectName(QStringLiteral("Button4"));
  for (QPushButton* button : {send, check, finish}) button->setAutoDefault(false);
  connect(send, &QPushButton::clicked, this, [this] { OnSendClick(); });
  connect(check, &QPushButton::clicked, this, [this] { OnCheckVersionClick(); });
  connect(finish, &QPushButton::clicked, this, &QDialog::accept);

  // Two fixed lines each: the texts need no more room than that.
  const int lineHeight = fontMetrics().lineSpacing();
  about->setFixedHeight(lineHeight * 3 + 12);
  invitation->setFixedHeight(lineHeight * 2 + 12);

  auto* choice = new QHBoxLayout();
  choice->addWidget(signUpButton_);
  choice->addWidget(leaveButton_);
  choice->addStretch();
  auto* mail = new QHBoxLayout();
  mail->addWidget(mailLabel);
  mail->addWidget(mailAddressEdit_, 1);
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(send);
  buttons->addWidget(check);
  buttons->addStretch();
  buttons->addWidget(finish);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading_);
  layout->addWidget(about);
  layout->addLayout(choice);
  layout->addLayout(mail);
  layout->addWidget(invitation);
  layout->addWidget(messageMemo_, 1);
  layout->addLayout(buttons);
}

void NewsDialog::FollowHeading() { heading_->setText(Q(form_.heading)); }

void NewsDialog::Store() {
  form_.signUp = signUpButton_->isChecked();
  form_.mailAddress = mailAddressEdit_->text().toStdString();
  form_.message = messageMemo_->toPlainText().toStdString();
}

void NewsDialog::OnSendClick() {
  Store();
  RunInBoundary(RunHandler, [this] { form_.SendClick(); });
}

void NewsDialog::OnCheckVersionClick() {
  RunInBoundary(RunHandler, [this] { form_.CheckVersionClick(); });
}

void NewsDialog::showEvent(QShowEvent* event) {
  FollowHeading();
  Centre(*this);
  QDialog::showEvent(event);
}

void NewsDialog::done(int result) {
  Store();
  form_.Closed();
  FollowHeading();
  QDialog::done(result);
}

OnlineWindows::OnlineWindows(ui::Platform& platform, const std::string& programFolder,
                             QWidget* parent, const RunHandlerType& runHandler)
    : update(platform), news(platform, update) {
  news.server = online::ServerAddress(programFolder);
  newsDialog = new NewsDialog(news, parent);
  // A child of the news window, so that it takes input while the news window is modal.
  updateDialog = new UpdateDialog(update, newsDialog);
  newsDialog->RunHandler = runHandler;
  updateDialog->RunHandler = runHandler;
}

void OnlineWindows::ShowNews() {
  newsDialog->show();
  newsDialog->raise();
  newsDialog->activateWindow();
}

void OnlineWindows::ShowNewsModal() {
  newsDialog->exec();
  // The program ends now: the update window must not keep it alive.
  updateDialog->hide();
}

void OnlineWindows::OnlineNoticed() {
  news.OnlineNoticed();
  newsDialog->FollowHeading();
}

}  // namespace quirabel::main
