#pragma once

#include "graphics/picture.h"
#include "report/pr_item.h"

namespace quirabel::report {

// A bitmap image element.
class TPRImage : public TPRItem {
 public:
  explicit TPRImage(ui::Component* owner = nullptr);
  std::string ClassName() const override { return "TPRImage"; }
  ElementKind Kind() const override { return ElementKind::Bitmap; }

  const graphics::Picture& Picture() const { return picture_; }
  // Takes a bitmap or an empty picture; anything else raises EPdfInvalidValue
  // "only bitmap image is allowed.".
  virtual void SetPicture(const graphics::Picture& picture);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);
  bool SharedImage() const { return sharedImage_; }
  void SetSharedImage(bool value) { sharedImage_ = value; }

  void Print(TPRCanvas& canvas, const ui::TRect& rect) override;
  void Paint(ui::Canvas& canvas) override;

 protected:
  // Registers the picture with the document under the image naming rules and draws it.
  void PrintPicture(TPRCanvas& canvas, const ui::TRect& rect, std::string_view creator);
  graphics::Picture picture_;

 private:
  bool stretch_ = true;
  bool sharedImage_ = true;
};

// A JPEG image element; the page background is one too.
class TPRJpegImage : public TPRImage {
 public:
  explicit TPRJpegImage(ui::Component* owner = nullptr);
  std::string ClassName() const override { return "TPRJpegImage"; }
  ElementKind Kind() const override { return ElementKind::Jpeg; }

  // Takes a JPEG or an empty picture; anything else raises EPdfInvalidValue
  // "only jpeg image is allowed.".
  void SetPicture(const graphics::Picture& picture) override;
  void Print(TPRCanvas& canvas, const ui::TRect& rect) override;
};

}  // namespace quirabel::report
