#pragma once

#include <string>

#include "graphics/picture.h"
#include "ui/control.h"

namespace quirabel::ui {

// Results of a modal window.
using TModalResult = int;
inline constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4,
                              mrIgnore = 5, mrYes = 6, mrNo = 7;

// Where a window appears when it is shown without a position of its own.
enum class TFormPosition { poDesigned, poScreenCenter };

// A window: top-level control with a caption. Its bounds are its client area, placed at screen
// coordinates. A host that watches the window (the Qt backend) puts it on the screen while it is
// Showing; without a host, showing only changes that state (and runs OnShow), which is what the
// window logic and its tests need.
class TForm : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TForm"; }
  void Accept(ControlVisitor& visitor) override;
  bool Maximized() const { return maximized_; }
  void SetMaximized(bool value) { maximized_ = value; }
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult value) { modalResult_ = value; }
  // Shows the window modally through the platform and gives its result (mrCancel without one).
  TModalResult ShowModal();
  void Paint(Canvas& canvas) override;

  // A small tool window (thin title bar, system menu only) that stays above the main window.
  bool ToolWindow() const { return toolWindow_; }
  void SetToolWindow(bool value);
  TFormPosition Position() const { return position_; }
  void SetPosition(TFormPosition value) { position_ = value; }
  // Scrolls its contents when they do not fit its client area.
  bool AutoScroll() const { return autoScroll_; }
  void SetAutoScroll(bool value);

  // Shows the window without waiting (where it last stood, or after its Position the first
  // time); OnShow runs each time it comes up.
  void Show();
  // Shows it with its top-left corner at a point of the screen.
  void ShowAt(TPoint screenPoint);
  void Hide();
  // The person closes the window: OnClose runs, then the window hides (it is not freed).
  void Close();
  bool Showing() const { return showing_; }

  TNotifyEvent OnShow;
  TNotifyEvent OnClose;

 private:
  bool maximized_ = false;
  bool toolWindow_ = false;
  bool autoScroll_ = false;
  bool showing_ = false;
  TFormPosition position_ = TFormPosition::poDesigned;
  TModalResult modalResult_ = mrNone;
};

// A one-line text field; the text is the caption. The person's typing arrives as the new text
// (SetText) followed by Change, and each key as KeyDown/KeyUp.
class TEdit : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TEdit"; }
  void Accept(ControlVisitor& visitor) override;
  const std::string& Text() const { return Caption(); }
  void SetText(std::string text) { SetCaption(std::move(text)); }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);

  TNotifyEvent OnChange;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  // The person is done with the text: Enter, or the field lost the focus (Tab, a click
  // elsewhere, its window closed).
  TNotifyEvent OnEditingDone;

  // The person's actions.
  void Change();
  void KeyDown(int key, TShiftState shift);
  void KeyUp(int key, TShiftState shift);
  void FinishEditing();

 private:
  bool readOnly_ = false;
};

// A push button; a click closes a modal window with its modal result when it has one.
class TButton : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TButton"; }
  void Accept(ControlVisitor& visitor) override;
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult value) { modalResult_ = value; }

 private:
  TModalResult modalResult_ = mrNone;
};

// A plain panel filled with its colour.
class TPanel : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TPanel"; }
  void Accept(ControlVisitor& visitor) override;
  void Paint(Canvas& canvas) override;
};

// A line of text.
class TLabel : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TLabel"; }
  void Accept(ControlVisitor& visitor) override;
  const TFont& Font() const { return font_; }
  void SetFont(const TFont& font);
  // A long caption is broken into lines at blanks to fit the label's width.
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  void Paint(Canvas& canvas) override;

 private:
  TFont font_;
  bool wordWrap_ = false;
};

// A picture on a window (handles, markers, icons); not part of any document.
class TImage : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TImage"; }
  void Accept(ControlVisitor& visitor) override;
  const graphics::Picture& Picture() const { return picture_; }
  void SetPicture(const graphics::Picture& picture);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);
  void Paint(Canvas& canvas) override;

 private:
  graphics::Picture picture_;
  bool stretch_ = false;
};

}  // namespace quirabel::ui
