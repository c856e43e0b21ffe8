#include "ui/controls.h"

namespace quirabel::ui {

TModalResult TForm::ShowModal() {
  Platform* platform = GetPlatform();
  modalResult_ = platform != nullptr ? platform->ShowModal(*this) : mrCancel;
  return modalResult_;
}

void TForm::SetToolWindow(bool value) {
  if (value == toolWindow_) return;
  toolWindow_ = value;
  Changed();
}

void TForm::SetAutoScroll(bool value) {
  if (value == autoScroll_) return;
  autoScroll_ = value;
  Changed();
}

void TForm::Show() {
  showing_ = true;
  // Told even when it is up already: the host brings it to the front again.
  Changed();
  if (OnShow) OnShow(*this);
}

void TForm::ShowAt(TPoint screenPoint) {
  position_ = TFormPosition::poDesigned;
  SetBounds(screenPoint.x, screenPoint.y, Width(), Height());
  Show();
}

void TForm::Hide() {
  if (!showing_) return;
  showing_ = false;
  Changed();
}

void TForm::Close() {
  // The window closes even when its OnClose refuses something (and throws to tell so).
  try {
    if (OnClose) OnClose(*this);
  } catch (...) {
    Hide();
    throw;
  }
  Hide();
}

void TForm::Paint(Canvas& canvas) {
  canvas.brush = {graphics::ResolveSystemColor(Color()), TBrushStyle::bsSolid};
  canvas.FillRect(ClientRect());
}

void TEdit::SetReadOnly(bool value) {
  if (value == readOnly_) return;
  readOnly_ = value;
  Changed();
}

void TEdit::Change() {
  if (OnChange) OnChange(*this);
}

void TEdit::KeyDown(int key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(*this, key, shift);
}

void TEdit::KeyUp(int key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(*this, key, shift);
}

void TEdit::FinishEditing() {
  if (OnEditingDone) OnEditingDone(*this);
}

void TPanel::Paint(Canvas& canvas) {
  canvas.brush = {graphics::ResolveSystemColor(Color()), TBrushStyle::bsSolid};
  canvas.FillRect(ClientRect());
}

void TLabel::SetFont(const TFont& font) {
  if (font == font_) return;
  font_ = font;
  Changed();
}

void TLabel::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  Changed();
}

void TLabel::Paint(Canvas& canvas) {
  canvas.font = font_;
  canvas.brush.style = TBrushStyle::bsClear;
  canvas.TextOut(0, 0, Caption());
}

void TImage::SetPicture(const graphics::Picture& picture) {
  picture_ = picture;
  Changed();
}

void TImage::SetStretch(bool value) {
  if (value == stretch_) return;
  stretch_ = value;
  Changed();
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
