#include "ui/qt/picture_cache.h"

#include "graphics/jpeg.h"

namespace quirabel::ui::qt {

QImage ToQImage(const graphics::Bitmap& source) {
  if (source.Empty()) return {};
  const bool rgb = source.Format() == graphics::PixelFormat::pf24bit;
  const graphics::Bitmap converted =
      rgb ? graphics::Bitmap() : source.Converted(graphics::PixelFormat::pf24bit);
  const graphics::Bitmap& b = rgb ? source : converted;
  QImage image(b.Width(), b.Height(), QImage::Format_RGB888);
  for (int y = 0; y < b.Height(); ++y) {
    const std::uint8_t* in = b.Row(y);
    uchar* out = image.scanLine(y);
    for (int x = 0; x < b.Width(); ++x) {  // blue, green, red -> red, green, blue
      out[3 * x] = in[3 * x + 2];
      out[3 * x + 1] = in[3 * x + 1];
      out[3 * x + 2] = in[3 * x];
    }
  }
  return image;
}

const QImage& PictureCache::Image(const graphics::Picture& picture, int width, int height) {
  static const QImage kEmpty;
  const void* graphic = picture.AsBitmap() != nullptr ? static_cast<const void*>(picture.AsBitmap())
                                                      : static_cast<const void*>(picture.AsJpeg());
  if (graphic == nullptr || picture.Empty()) return kEmpty;
  int scale = 1;
  if (const graphics::JpegImage* jpeg = picture.AsJpeg();
      jpeg != nullptr && width > 0 && height > 0) {
    scale = graphics::JpegScaleDenomFor(jpeg->Info(), width, height);
  }
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->graphic == graphic && it->scaleDenom == scale) {
      entries_.splice(entries_.begin(), entries_, it);  // most recent first
      return entries_.front().image;
    }
  }
  QImage image;
  try {
    image = picture.AsJpeg() != nullptr ? ToQImage(picture.AsJpeg()->Decode(scale))
                                        : ToQImage(*picture.AsBitmap());
  } catch (const graphics::ImageError&) {
    image = QImage();  // a picture that cannot be shown is left out, not fatal
  }
  entries_.push_front({graphic, scale, std::move(image)});
  if (entries_.size() > kKeep) entries_.pop_back();
  return entries_.front().image;
}

}  // namespace quirabel::ui::qt
