#include "ui/controls.h"

namespace quirabel::ui {

TModalResult TForm::ShowModal() {
  Platform* platform = GetPlatform();
  modalResult_ = platform != nullptr ? platform->ShowModal(*this) : mrCancel;
  return modalResult_;
}

void TForm::Paint(Canvas& canvas) {
  canvas.brush = {graphics::ResolveSystemColor(Color()), TBrushStyle::bsSolid};
  canvas.FillRect(ClientRect());
}

void TPanel::Paint(Canvas& canvas) {
  canvas.brush = {graphics::ResolveSystemColor(Color()), TBrushStyle::bsSolid};
  canvas.FillRect(ClientRect());
}

void TLabel::SetFont(const TFont& font) {
  if (font == font_) return;
  font_ = font;
  Invalidate();
}

void TLabel::Paint(Canvas& canvas) {
  canvas.font = font_;
  canvas.brush.style = TBrushStyle::bsClear;
  canvas.TextOut(0, 0, Caption());
}

void TImage::SetPicture(const graphics::Picture& picture) {
  picture_ = picture;
  Invalidate();
}

void TImage::SetStretch(bool value) {
  if (value == stretch_) return;
  stretch_ = value;
  Invalidate();
}

void TImage::Paint(Canvas& canvas) {
  if (picture_.Empty()) return;
  if (stretch_) {
    canvas.StretchDraw(ClientRect(), picture_);
  } else {
    canvas.Draw(0, 0, picture_);
  }
}

}  // namespace quirabel::ui
