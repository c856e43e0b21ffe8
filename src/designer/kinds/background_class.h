#pragma once

#include <string_view>

#include "designer/projectfile/page_text.h"
#include "graphics/ink.h"
#include "graphics/picture.h"
#include "report/pr_images.h"

namespace quirabel::designer::kinds {

// The page background: a JPEG picture below every element, named like the document (its id).
// It is no numbered element: it is not listed with the elements, has no popup menu and no
// property window, cannot be deleted, and its record stands in the page text's header before the
// element blocks, with the JPEG after it (an empty one when the page has no picture).
class BackgroundClass {
 public:
  // A new background of a document, owned by `owner`; it stretches its picture over its bounds.
  report::TPRJpegImage* Make(ui::Component* owner, std::string_view documentId) const;
  // Whether an item is the background of the document with this id.
  bool Is(const report::TPRItem& item, std::string_view documentId) const;
  // The background into the header of its page text; a page without one stores an empty
  // record named like the document.
  void Store(const report::TPRJpegImage* background, std::string_view documentId,
             projectfile::PageText& page) const;
  // A background made for a page just read takes the picture and bounds stored with it.
  void Restore(report::TPRJpegImage& background, const projectfile::PageText& page,
               const graphics::Picture& picture) const;
  // Tests the background picture for the ink check.
  void CheckInks(const report::TPRJpegImage& background, graphics::InkFlags& inks) const;
};

const BackgroundClass& Background();

}  // namespace quirabel::designer::kinds
