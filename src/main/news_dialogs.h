#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <functional>
#include <string>

#include "online/news_window.h"
#include "online/update_window.h"

namespace quirabel::main {

using RunHandlerType = std::function<void(const std::function<void()>&)>;
// A handler runs inside the main window's command boundary; without one (tests) as it is.
void RunInBoundary(const RunHandlerType& boundary, const std::function<void()>& handler);

// "Update Infos": the description of a newer version, and the way to its download page.
class UpdateDialog : public QDialog {
 public:
  UpdateDialog(online::UpdateWindow& form, QWidget* parent);
  // Runs a button's handler inside the program's command boundary.
  RunHandlerType RunHandler;
  QPlainTextEdit* DescriptionMemo() const { return descriptionMemo_; }

 protected:
  void done(int result) override;

 private:
  // Shows what the headless window holds.
  void Follow();

  online::UpdateWindow& form_;
  QPlainTextEdit* descriptionMemo_;
};

// "Quirabel News, Meinungen und Vorschläge": newsletter, a message to the makers, the version
// check.
class NewsDialog : public QDialog {
 public:
  NewsDialog(online::NewsWindow& form, QWidget* parent);
  RunHandlerType RunHandler;

  // Shows the heading the headless window holds (it changes when the machine goes online).
  void FollowHeading();
  QLineEdit* MailAddressEdit() const { return mailAddressEdit_; }
  QPlainTextEdit* MessageMemo() const { return messageMemo_; }
  QRadioButton* LeaveButton() const { return leaveButton_; }
  QLabel* Heading() const { return heading_; }

 protected:
  void done(int result) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Writes the person's entries into the headless window.
  void Store();
  void OnSendClick();
  void OnCheckVersionClick();

  online::NewsWindow& form_;
  QLabel* heading_;
  QRadioButton* signUpButton_;
  QRadioButton* leaveButton_;
  QLineEdit* mailAddressEdit_;
  QPlainTextEdit* messageMemo_;
};

// The main window's news and update windows, made once at the start and shown when asked for.
class OnlineWindows {
 public:
  OnlineWindows(ui::Platform& platform, const std::string& programFolder, QWidget* parent,
                const RunHandlerType& runHandler);
  // "Udate?": the news window, not modal.
  void ShowNews();
  // At the end of a run while online; the update window goes with it.
  void ShowNewsModal();
  // The main window noticed that the machine went online.
  void OnlineNoticed();

  online::UpdateWindow update;
  online::NewsWindow news;
  NewsDialog* newsDialog;
  UpdateDialog* updateDialog;
};

}  // namespace quirabel::main
