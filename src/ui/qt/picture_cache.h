#pragma once

#include <QImage>

#include <list>
#include <memory>

#include "graphics/picture.h"

namespace quirabel::ui::qt {

// Pictures as Qt images, decoded once and at the size they are shown: a large JPEG behind a
// small element is decoded at a reduced scale. A few recent pictures are kept.
class PictureCache {
 public:
  // The image of a picture shown at about width x height screen pixels (0: its own size).
  const QImage& Image(const graphics::Picture& picture, int width = 0, int height = 0);
  // The picture scaled smoothly to exactly width x height screen pixels, made once: repainting
  // it is a plain copy.
  const QImage& Scaled(const graphics::Picture& picture, int width, int height);

 private:
  struct Entry {
    const void* graphic;  // the picture's bitmap or JPEG, shared between copies of the picture
    // Holds that graphic while the entry lives: a freed graphic's address may be given to a new
    // picture, which must not find this entry.
    graphics::Picture holder;
    int scaleDenom;
    int width;  // the exact size of a scaled image; 0 for a decoded one
    int height;
    QImage image;
  };
  const QImage* Find(const void* graphic, int scaleDenom, int width, int height);
  const QImage& Keep(const graphics::Picture& picture, int scaleDenom, int width, int height,
                     QImage image);
  std::list<Entry> entries_;
  static constexpr std::size_t kKeep = 32;
};

// A bitmap as a Qt image (copied).
QImage ToQImage(const graphics::Bitmap& bitmap);

}  // namespace quirabel::ui::qt
