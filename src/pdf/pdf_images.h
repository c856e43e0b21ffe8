#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "base/random.h"
#include "graphics/picture.h"
#include "pdf/pdf_doc.h"
#include "pdf/pdf_objects.h"

namespace quirabel::pdf {

// Turns a picture into an image object the caller owns.
class TPdfImageCreator {
 public:
  virtual ~TPdfImageCreator() = default;
  virtual std::unique_ptr<TPdfImage> CreateImage(const graphics::Picture& graphic) const;
};

// "Pdf-Bitmap": uncompressed samples, 8-bit indexed for 1/4/8-bit bitmaps, else 24-bit RGB.
class TPdfBitmapImage final : public TPdfImageCreator {
 public:
  std::unique_ptr<TPdfImage> CreateImage(const graphics::Picture& graphic) const override;
};

// "Pdf-Jpeg": the JPEG file bytes as they are, under the DCT filter.
class TPdfJpegImage final : public TPdfImageCreator {
 public:
  std::unique_ptr<TPdfImage> CreateImage(const graphics::Picture& graphic) const override;
};

inline constexpr std::string_view kBitmapCreator = "Pdf-Bitmap";
inline constexpr std::string_view kJpegCreator = "Pdf-Jpeg";

// Creates an image through the creator registered under name; EPdfInvalidValue for an unknown name.
std::unique_ptr<TPdfImage> CreatePdfImage(std::string_view creatorName,
                                          const graphics::Picture& graphic);

// The part of an image name taken from an element's name, which comes from the project file: its
// bytes without NUL (no PDF name can hold one), or "Image" when nothing is left. Every function
// below names images through it.
std::string ImageNameBase(std::string_view elementName);

// Names of an unshared image of element E: E followed by a number not yet in use in the document.
// Bitmap: from a random start, counting up and wrapping; when every name is taken the last one
// tried comes back (and registering it fails). JPEG: random numbers; EPdfException "image count
// over max value.." when 65535 draws all hit names in use.
std::string ChooseBitmapImageName(const TPdfDoc& doc, std::string_view elementName,
                                  RandomSource& random);
std::string ChooseJpegImageName(const TPdfDoc& doc, std::string_view elementName,
                                RandomSource& random);

// The name under which an image element's picture is drawn, creating and registering the image
// object when needed; a picture already in the document (shared or not) is drawn again. A shared
// image is named after the element and registered once per document; a picture already registered
// (under any name) is drawn again, and another picture under a name already taken gets a fresh name
// as an unshared one would.
std::string PrepareElementImage(TPdfDoc& doc, const graphics::Picture& picture,
                                std::string_view elementName, bool shared,
                                std::string_view creatorName, RandomSource& random);

}  // namespace quirabel::pdf
