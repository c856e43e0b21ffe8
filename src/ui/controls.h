#pragma once

#include <string>

#include "graphics/picture.h"
#include "ui/control.h"

namespace quirabel::ui {

// A window: top-level control with a caption.
class TForm : public Control {
 public:
  using Control::Control;
  std::string ClassName() const override { return "TForm"; }
  bool Maximized() const { return maximized_; }
  void SetMaximized(bool value) { maximized_ = value; }
  void Paint(Canvas& canvas) override;

 private:
  bool maximized_ = false;
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
