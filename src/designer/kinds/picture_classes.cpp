// Pictures: JPEG elements keep their compressed bytes, bitmap elements their pixels; both are
// stored as an image record with the picture's bytes after it.
#include "designer/kinds/element_classes.h"
#include "report/pr_images.h"

namespace quirabel::designer::kinds {

namespace pf = projectfile;

namespace {

class Picture final : public ElementClass {
 public:
  explicit Picture(const ElementType& type) : ElementClass(type) {}

  report::TPRItem* Make(ui::Component* owner) const override {
    if (Type().kind == ElementKind::Jpeg) return new report::TPRJpegImage(owner);
    return new report::TPRImage(owner);
  }

  pf::ElementBlock Store(const report::TPRItem& item) const override {
    const auto& i = static_cast<const report::TPRImage&>(item);
    pf::ElementBlock block;
    block.kind = Type().kind;
    // A bitmap read from a PNG says so, for the PDF to hold it compressed again.
    block.record = pf::ImageRecord{pf::ToFileText(i.Name()),
                                   i.Color(),
                                   i.Top(),
                                   i.Left(),
                                   i.Height(),
                                   i.Width(),
                                   block.kind == ElementKind::Bitmap && i.Picture().CameFromPng()};
    block.data = i.Picture().FileBytes();
    return block;
  }

  report::TPRItem* Restore(const pf::ElementBlock& block, const graphics::Picture& picture,
                           ui::Component* owner) const override {
    const auto& r = std::get<pf::ImageRecord>(block.record);
    auto* image = static_cast<report::TPRImage*>(Make(owner));
    image->SetName(FromFile(r.name));
    image->SetPicture(picture);
    PlaceAsStored(*image, r);
    return image;
  }

  const graphics::Picture* PictureOf(const report::TPRItem& item) const override {
    return &static_cast<const report::TPRImage&>(item).Picture();
  }

  // The picture numbered 1 is not counted.
  void CheckInks(const report::TPRItem& item, int number, graphics::InkFlags& inks,
                 const std::function<void()>&) const override {
    if (number > 1) inks.TestPicture(static_cast<const report::TPRImage&>(item).Picture());
  }
};

}  // namespace

const ElementClass& JpegClass() {
  static const Picture jpeg({ElementKind::Jpeg,
                             "PRJpegImage",
                             "jpeg",
                             ElementMenu::Image,
                             false,
                             {2, 2, 0},
                             "Bild",
                             {},
                             "PRJpeg"});
  return jpeg;
}

const ElementClass& BitmapClass() {
  static const Picture bitmap(
      {ElementKind::Bitmap, "PRImage", "bitmap", ElementMenu::Image, false, {2, 2, 0}, "Bild"});
  return bitmap;
}

}  // namespace quirabel::designer::kinds
