#pragma once

#include <string>

#include "graphics/picture.h"
#include "ui/control.h"

namespace quirabel::ui {

// Results of a modal window.
using TModalResult = int;
inline constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4,
                              mrIgnore = 5, mrYes = 6, mrNo = 7;

// A window: top-level control with a caption.
class TForm : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TForm"; }
  bool Maximized() const { return maximized_; }
  void SetMaximized(bool value) { maximized_ = value; }
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult value) { modalResult_ = value; }
  // Shows the window modally through the platform and gives its result (mrCancel without one).
  TModalResult ShowModal();
  void Paint(Canvas& canvas) override;

 private:
  bool maximized_ = false;
  TModalResult modalResult_ = mrNone;
};

// A one-line text field; the text is the caption.
class TEdit : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TEdit"; }
  const std::string& Text() const { return Caption(); }
  void SetText(std::string text) { SetCaption(std::move(text)); }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }

 private:
  bool readOnly_ = false;
};

// A push button; a click closes a modal window with its modal result when it has one.
class TButton : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TButton"; }
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
  void Paint(Canvas& canvas) override;
};

// A line of text.
class TLabel : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TLabel"; }
  const TFont& Font() const { return font_; }
  void SetFont(const TFont& font);
  void Paint(Canvas& canvas) override;

 private:
  TFont font_;
};

// A picture on a window (handles, markers, icons); not part of any document.
class TImage : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TImage"; }
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
