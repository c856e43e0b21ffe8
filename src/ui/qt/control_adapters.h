#pragma once

#include <QFont>
#include <QObject>
#include <QWidget>

#include <functional>
#include <memory>

#include "ui/control.h"
#include "ui/controls.h"
#include "ui/qt/picture_cache.h"

namespace quirabel::ui::qt {

// What an adapter needs of the window that shows its control. `FormHost` is one; the adapters
// know only this, so the host depends on the adapters and not the other way round.
class AdapterHost {
 public:
  // Runs a person's action inside the program's boundary (and ends a modal run it answered).
  virtual void Dispatch(const std::function<void()>& action) = 0;
  // A button with a modal result was pressed.
  virtual void AnswerModal(TModalResult result) = 0;
  // A control changed its bounds or visibility.
  virtual void ContentChanged() = 0;
  virtual PictureCache& Pictures() = 0;

 protected:
  ~AdapterHost() = default;
};

// Keeps one control and its widget in step. The control tells the adapter of every change it
// takes (it is the control's observer) and the adapter shows it; the adapter turns the person's
// actions on the widget into the control's actions. The control may be freed while its widget
// stays (a handler freeing part of its window): from then on the adapter does nothing.
class ControlAdapter : public QObject, public ControlObserver {
 public:
  ControlAdapter(AdapterHost& host, Control& control, QWidget* widget);
  ~ControlAdapter() override;

  Control* GetControl() const { return control_.Get(); }
  QWidget* Widget() const { return widget_; }
  // The widget the control's children go into.
  virtual QWidget* Container() const { return widget_; }

  // Shows the control's whole state: bounds, visibility, enabled state, hint, then what its kind
  // adds.
  void Refresh();

  void ControlChanged(Control& control) override;
  void ControlFreed(Control& control) override;

 protected:
  virtual void RefreshKind(Control& control) = 0;
  // Runs a person's action on the control, if it is still there, through the host, and shows
  // the control's state afterwards (a handler may have refused or undone the action).
  void Act(const std::function<void(Control&)>& action);
  // Forwards key presses and releases of the widget (or one inside it) to the control.
  void ForwardKeys(QObject* source, std::function<void(Control&, int, TShiftState)> down,
                   std::function<void(Control&, int, TShiftState)> up);
  bool eventFilter(QObject* watched, QEvent* event) override;

  AdapterHost& host_;

 private:
  ComponentRef<Control> control_;
  QWidget* widget_;
  std::function<void(Control&, int, TShiftState)> keyDown_;
  std::function<void(Control&, int, TShiftState)> keyUp_;
};

// Makes the adapter (and widget) of a control's kind, its widget a child of `parent`.
std::unique_ptr<ControlAdapter> MakeAdapter(AdapterHost& host, Control& control, QWidget* parent);

// The Qt font of a control's font (name, size in points, bold, italic).
QFont ToQFont(const TFont& font);
// Our virtual-key number of a Qt key; 0 for keys without one.
int VirtualKey(int qtKey);
TShiftState ShiftState(Qt::KeyboardModifiers modifiers);

}  // namespace quirabel::ui::qt
