#pragma once

#include <QFont>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include "ui/control.h"
#include "ui/controls.h"
#include "ui/qt/control_adapters.h"
#include "ui/qt/picture_cache.h"

class QEventLoop;
class QScrollArea;

class QPushButton;

namespace quirabel::ui::qt {

class ControlAdapter;

// Shows one of our headless windows (a TForm and its child controls) as a Qt window. Every child
// gets one widget through the adapter of its kind, placed at its bounds; both sides stay in step:
// a change made by code to a control reaches its widget through the control's observer, and the
// person's action on a widget writes the control and then runs the control's event.
//
// The host follows the form's Showing state: a shown form comes up, a hidden one goes away, and
// the person's closing only hides it (after the form's OnClose). A tool window stays above the
// window given as parent. Controls added to the form after the host was made are not shown:
// windows build their controls first and are hosted after.
class FormHost : public QWidget, public AdapterHost {
 public:
  // The host belongs to `parent` (the main window), as the form belongs to its owner; a host
  // whose form is freed hides and frees itself.
  explicit FormHost(TForm& form, QWidget* parent = nullptr);
  ~FormHost() override;

  TForm* Form() const { return form_.Get(); }
  // The host of a form, when it has one.
  static FormHost* Of(TForm& form);

  // Runs the form modally until a button with a modal result is pressed, a handler sets the
  // form's modal result, or the person closes it (mrCancel); gives that result.
  TModalResult ShowModal();

  // Every event of a control runs through here; the designer puts its command boundary here, so
  // a failure inside a handler becomes a message instead of leaving through the event loop.
  std::function<void(const std::function<void()>& handler)> RunHandler;

  // Runs a person's action: through RunHandler, then ends a modal run that it answered.
  void Dispatch(const std::function<void()>& action) override;
  // A button with a modal result was pressed.
  void AnswerModal(TModalResult result) override;

  // The widget that shows a control of this form; none for a control it does not show.
  QWidget* WidgetOf(const Control& control) const;
  PictureCache& Pictures() override { return pictures_; }

  // Follows the form's state (called by the form's observer).
  void FormChanged();
  void FormFreed();
  // A control changed its bounds or visibility: the scrolled area follows.
  void ContentChanged() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  // Escape closes the window as its close button does (a modal run answers mrCancel).
  void keyPressEvent(QKeyEvent* event) override;
  // The button Enter presses in a modal run: the focused one, else the first that answers "OK".
  QPushButton* AcceptingButton() const;
  void moveEvent(QMoveEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class FormObserver;
  void Build(Control& control, QWidget* parentWidget);
  void PlaceOnScreen();

  ComponentRef<TForm> form_;
  std::unique_ptr<FormObserver> formObserver_;
  QScrollArea* scroll_ = nullptr;
  QWidget* content_ = nullptr;
  std::vector<std::unique_ptr<ControlAdapter>> adapters_;
  PictureCache pictures_;
  bool placed_ = false;   // shown once at least: later it comes back where it last stood
  bool syncing_ = false;  // the host itself is moving the window
  QEventLoop* modalLoop_ = nullptr;
};

}  // namespace quirabel::ui::qt
