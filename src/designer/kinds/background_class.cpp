// The page background: the JPEG named like the document.
#include "designer/kinds/background_class.h"

#include "designer/projectfile/file_text.h"
#include "ui/component.h"

namespace quirabel::designer::kinds {

namespace pf = projectfile;

report::TPRJpegImage* BackgroundClass::Make(ui::Component* owner,
                                            std::string_view documentId) const {
  auto* background = new report::TPRJpegImage(owner);
  background->SetName(std::string(documentId));
  background->SetStretch(true);
  return background;
}

bool BackgroundClass::Is(const report::TPRItem& item, std::string_view documentId) const {
  return !documentId.empty() && item.Kind() == report::ElementKind::Jpeg &&
         ui::SameName(item.Name(), documentId);
}

void BackgroundClass::Store(const report::TPRJpegImage* background, std::string_view documentId,
                            pf::PageText& page) const {
  if (background == nullptr) {
    page.background.name = pf::ToFileText(documentId);
    return;
  }
  page.background = {pf::ToFileText(background->Name()),
                     background->Color(),
                     background->Top(),
                     background->Left(),
                     background->Height(),
                     background->Width()};
  page.backgroundJpeg = background->Picture().FileBytes();
}

void BackgroundClass::Restore(report::TPRJpegImage& background, const pf::PageText& page,
                              const graphics::Picture& picture) const {
  const pf::ImageRecord& b = page.background;
  background.SetPicture(picture);
  background.SetBounds(b.left, b.top, b.width, b.height);
}

void BackgroundClass::CheckInks(const report::TPRJpegImage& background,
                                graphics::InkFlags& inks) const {
  inks.TestPicture(background.Picture());
}

const BackgroundClass& Background() {
  static const BackgroundClass background;
  return background;
}

}  // namespace quirabel::designer::kinds
