#include "report/pr_images.h"

#include <algorithm>
#include <optional>

#include "graphics/jpeg.h"
#include "pdf/pdf_images.h"

namespace quirabel::report {

using graphics::GraphicKind;

TPRImage::TPRImage(ui::Component* owner) : TPRItem(owner) {}

void TPRImage::SetPicture(const graphics::Picture& picture) {
  if (picture.Kind() != GraphicKind::None && picture.Kind() != GraphicKind::Bitmap) {
    throw pdf::EPdfInvalidValue("only bitmap image is allowed.");
  }
  picture_ = picture;
  Invalidate();
}

void TPRImage::SetStretch(bool value) {
  if (value == stretch_) return;
  stretch_ = value;
  Invalidate();
}

namespace {

// In a small picture of the page, a JPEG far larger than its pixels there is decoded at a reduced
// scale (1/2 to 1/8, as libjpeg decodes without the full picture in memory) and embedded anew, so
// that whatever draws the page never decodes it whole. None when the picture is shown as it is.
std::optional<graphics::Picture> PreviewOf(const graphics::Picture& picture, const ui::TRect& rect,
                                           double pointsPerPixel) {
  const graphics::JpegImage* jpeg = picture.AsJpeg();
  if (pointsPerPixel <= 0 || jpeg == nullptr) return std::nullopt;
  const int width = std::max(1, static_cast<int>(rect.Width() / pointsPerPixel));
  const int height = std::max(1, static_cast<int>(rect.Height() / pointsPerPixel));
  const int scale = graphics::JpegScaleDenomFor(jpeg->Info(), width, height);
  if (scale == 1) return std::nullopt;
  return graphics::Picture::FromJpeg(graphics::JpegImage::FromBitmap(jpeg->Decode(scale)));
}

}  // namespace

void TPRImage::PrintPicture(TPRCanvas& canvas, const ui::TRect& rect, std::string_view creator) {
  pdf::TPdfCanvas& pdf = canvas.Pdf();
  const std::optional<graphics::Picture> preview =
      PreviewOf(picture_, rect, canvas.PreviewPointsPerPixel());
  const std::string name =
      preview ? pdf::PrepareElementImage(pdf.Doc(), *preview, Name() + "Vorschau", false, creator,
                                         canvas.Random())
              : pdf::PrepareElementImage(pdf.Doc(), picture_, Name(), sharedImage_, creator,
                                         canvas.Random());
  const int H = canvas.PageHeight();
  const int w = rect.Width();
  const int h = rect.Height();
  if (stretch_) {
    pdf.DrawXObject(rect.left, H - rect.bottom, w, h, name);
  } else {
    const int pw = picture_.Width();
    const int ph = picture_.Height();
    pdf.DrawXObjectEx(rect.left, H - rect.top - ph, pw, ph, rect.left, H - rect.top - h, w, h,
                      name);
  }
}

void TPRImage::Print(TPRCanvas& canvas, const ui::TRect& rect) {
  if (picture_.Kind() != GraphicKind::Bitmap || picture_.Empty()) return;
  PrintPicture(canvas, rect, pdf::kBitmapCreator);
}

void TPRImage::Paint(ui::Canvas& canvas) {
  if (picture_.Empty()) {
    canvas.font = ui::TFont{};
    canvas.brush.style = ui::TBrushStyle::bsClear;
    canvas.TextOut(4, 4, Name());
    canvas.pen = {graphics::clBlue, 1, ui::TPenStyle::psDot};
    const ui::TRect r = ClientRect();
    const ui::TPoint outline[] = {{r.left, r.top},
                                  {r.right - 1, r.top},
                                  {r.right - 1, r.bottom - 1},
                                  {r.left, r.bottom - 1},
                                  {r.left, r.top}};
    canvas.Polyline(outline);
    return;
  }
  if (stretch_) {
    canvas.StretchDraw(ClientRect(), picture_);
  } else {
    canvas.Draw(0, 0, picture_);
  }
}

TPRJpegImage::TPRJpegImage(ui::Component* owner) : TPRImage(owner) {}

void TPRJpegImage::SetPicture(const graphics::Picture& picture) {
  if (picture.Kind() != GraphicKind::None && picture.Kind() != GraphicKind::Jpeg) {
    throw pdf::EPdfInvalidValue("only jpeg image is allowed.");
  }
  picture_ = picture;
  Invalidate();
}

void TPRJpegImage::Print(TPRCanvas& canvas, const ui::TRect& rect) {
  // The element notes what keeps its picture out of the PDF, one note a finding; the command
  // that printed tells them.
  auto tell = [&canvas](const char* note) { canvas.Note(note); };
  if (picture_.Kind() == GraphicKind::None) {
    tell("FPicture.Graphic = nil");
  } else {
    if (picture_.Empty()) tell("FPicture.Graphic.Empty");
    if (picture_.Kind() != GraphicKind::Jpeg) tell(" not (FPicture.Graphic is TJpegImage)");
  }
  if (picture_.Kind() == GraphicKind::Jpeg && !picture_.Empty()) {
    PrintPicture(canvas, rect, pdf::kJpegCreator);
  } else {
    tell("geht nicht");
  }
}

}  // namespace quirabel::report
