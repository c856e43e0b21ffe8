#pragma once

#include <QCursor>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProgressDialog>
#include <QWidget>

#include <functional>

#include "base/clock.h"
#include "base/random.h"
#include "ui/platform.h"

namespace quirabel::ui::qt {

// The platform of the designer on screen: Qt message boxes, file dialogs, cursors, and our
// headless forms shown as Qt dialogs built from their controls (one adapter per control kind).
class QtPlatform : public Platform {
 public:
  explicit QtPlatform(QWidget* window = nullptr) : window_(window) {}
  void SetWindow(QWidget* window) { window_ = window; }
  // Called when a control asks for a repaint.
  std::function<void(Control&)> OnInvalidate;

  void ShowMessage(std::string_view text) override;
  int ShowModal(TForm& form) override;
  std::optional<std::string> FileDialog(const FileDialogRequest& request) override;
  std::optional<graphics::TColor> ColorDialog(graphics::TColor initial) override;
  TCursor ScreenCursor() const override { return cursor_; }
  TPoint CursorPosition() const override;
  void SetScreenCursor(TCursor cursor) override;
  void Invalidate(Control& control) override;
  void ProcessMessages() override;
  void Progress(std::string_view label, std::uint64_t done, std::uint64_t total) override;
  void EndProgress() override;
  bool CancellableProgress(std::string_view label, std::uint64_t done,
                           std::uint64_t total) override;
  bool StartProgram(const std::string& program, const std::vector<std::string>& arguments) override;
  FetchResult Fetch(const FetchRequest& request) override;
  bool OpenUrl(std::string_view url) override;
  const Clock& GetClock() override { return clock_; }
  RandomSource& Random() override { return random_; }

 private:
  QWidget* window_;
  QProgressDialog* progress_ = nullptr;
  QElapsedTimer progressShown_;
  TCursor cursor_ = crDefault;
  SystemClock clock_;
  DefaultRandom random_;
};

// The window a message or dialog belongs over: the modal window on top, else the active one,
// else a window that stays on top of the others, else `fallback`.
QWidget* DialogParent(QWidget* fallback);
// A dialog stays above the windows that stay on top (the news window, the preview) while any
// shows, so that it is never hidden behind one while it blocks the others.
void KeepAboveWindowsOnTop(QWidget& dialog);
// Shows a message box over DialogParent and waits for it. It is raised and activated before it
// takes input, and stays above windows that stay on top, so it is never hidden behind one.
void ShowMessageBox(QWidget* fallback, QMessageBox::Icon icon, const QString& title,
                    const QString& text);
// The window closes on Escape as its close button closes it.
void CloseOnEscape(QWidget& window);

// The Qt cursor shape of one of our cursor numbers.
Qt::CursorShape CursorShape(TCursor cursor);
// The cursor of one of our numbers; the program's own three are drawn.
QCursor MakeCursor(TCursor cursor);

}  // namespace quirabel::ui::qt
