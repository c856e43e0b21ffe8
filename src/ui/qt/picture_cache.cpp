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

namespace {

const void* GraphicOf(const graphics::Picture& picture) {
  if (picture.AsBitmap() != nullptr) return picture.AsBitmap();
  return picture.AsJpeg();
}

}  // namespace

const QImage* PictureCache::Find(const void* graphic, int scaleDenom, int width, int height) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->graphic == graphic && it->scaleDenom == scaleDenom && it->width == width &&
        it->height == height) {
      entries_.splice(entries_.begin(), entries_, it);  // most recent first
      return &entries_.front().image;
    }
  }
  return nullptr;
}

const QImage& PictureCache::Keep(const graphics::Picture& picture, int scaleDenom, int width,
                                 int height, QImage image) {
  entries_.push_front({GraphicOf(picture), picture, scaleDenom, width, height, std::move(image)});
  if (entries_.size() > kKeep) entries_.pop_back();
  return entries_.front().image;
}

const QImage& PictureCache::Image(const graphics::Picture& picture, int width, int height) {
  static const QImage kEmpty;
  const void* graphic = GraphicOf(picture);
  if (graphic == nullptr || picture.Empty()) return kEmpty;
  int scale = 1;
  if (const graphics::JpegImage* jpeg = picture.AsJpeg();
      jpeg != nullptr && width > 0 && height > 0) {
    scale = graphics::JpegScaleDenomFor(jpeg->Info(), width, height);
  }
  if (const QImage* found = Find(graphic, scale, 0, 0)) return *found;
  QImage image;
  try {
    image = picture.AsJpeg() != nullptr ? ToQImage(picture.AsJpeg()->Decode(scale))
                                        : ToQImage(*picture.AsBitmap());
  } catch (const graphics::ImageError&) {
    image = QImage();  // a picture that cannot be shown is left out, not fatal
  }
  return Keep(picture, scale, 0, 0, std::move(image));
}

const QImage& PictureCache::Scaled(const graphics::Picture& picture, int width, int height) {
  static const QImage kEmpty;
  const void* graphic = GraphicOf(picture);
  if (graphic == nullptr || picture.Empty() || width <= 0 || height <= 0) return kEmpty;
  if (const QImage* found = Find(graphic, 0, width, height)) return *found;
  const QImage& source = Image(picture, width, height);
  if (source.isNull()) return kEmpty;
  QImage scaled = source.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return Keep(picture, 0, width, height, std::move(scaled));
}

}  // namespace quirabel::ui::qt
