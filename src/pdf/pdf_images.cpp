#include "pdf/pdf_images.h"

#include "pdf/pdf_text.h"

namespace quirabel::pdf {

using graphics::Bitmap;
using graphics::GraphicKind;
using graphics::PixelFormat;

namespace {

constexpr int kNameCount = 65535;

std::unique_ptr<TPdfImage> NewImageObject() {
  auto image = std::make_unique<TPdfImage>(nullptr);
  image->Attributes().Put("Type", std::make_unique<TPdfName>("XObject"));
  image->Attributes().Put("Subtype", std::make_unique<TPdfName>("Image"));
  return image;
}

void PutSize(TPdfImage& image, int width, int height) {
  image.Attributes().Put("Width", std::make_unique<TPdfNumber>(width));
  image.Attributes().Put("Height", std::make_unique<TPdfNumber>(height));
  image.Attributes().Put("BitsPerComponent", std::make_unique<TPdfNumber>(8));
}

void WriteIndexed(TPdfImage& image, const Bitmap& bitmap) {
  if (bitmap.Format() != PixelFormat::pf8bit) {
    throw EPdfInvalidImageFormat("only 8 bit color image is allowed.");
  }
  if (bitmap.Palette().empty()) throw EPdfInvalidImageFormat("failed to get Palette..");
  std::string& data = image.Data();
  const auto width = static_cast<std::size_t>(bitmap.Width());
  data.reserve(width * static_cast<std::size_t>(bitmap.Height()));
  for (int y = 0; y < bitmap.Height(); ++y) {
    data.append(reinterpret_cast<const char*>(bitmap.Row(y)), width);
  }
  auto lookup = std::make_unique<TPdfBinary>();
  std::string& hex = lookup->Data();
  hex.reserve(2 + 256 * 7);
  hex.push_back('<');
  for (std::size_t i = 0; i < 256; ++i) {
    // Entries past the bitmap's own palette are never used by its pixels.
    const graphics::PaletteEntry e =
        i < bitmap.Palette().size() ? bitmap.Palette()[i] : graphics::PaletteEntry{};
    const char rgb[3] = {static_cast<char>(e.r), static_cast<char>(e.g), static_cast<char>(e.b)};
    hex += ToHex(std::string_view(rgb, 3));
    hex.push_back(' ');
  }
  hex.push_back('>');
  auto colorSpace = std::make_unique<TPdfArray>(nullptr);
  colorSpace->Add(std::make_unique<TPdfName>("Indexed"));
  colorSpace->Add(std::make_unique<TPdfName>("DeviceRGB"));
  colorSpace->Add(std::make_unique<TPdfNumber>(255));
  colorSpace->Add(std::move(lookup));
  image.Attributes().Put("ColorSpace", std::move(colorSpace));
}

void WriteRgb(TPdfImage& image, const Bitmap& bitmap) {
  std::string& data = image.Data();
  const auto width = static_cast<std::size_t>(bitmap.Width());
  data.resize(width * 3 * static_cast<std::size_t>(bitmap.Height()));
  char* out = data.data();
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* row = bitmap.Row(y);
    for (std::size_t x = 0; x < width; ++x, row += 3) {
      *out++ = static_cast<char>(row[2]);
      *out++ = static_cast<char>(row[1]);
      *out++ = static_cast<char>(row[0]);
    }
  }
  image.Attributes().Put("ColorSpace", std::make_unique<TPdfName>("DeviceRGB"));
}

// Whether a JPEG carries the APP14 "Adobe" marker; CMYK JPEGs written with it store inverted inks.
bool HasAdobeMarker(std::string_view bytes) {
  std::size_t pos = 2;  // after SOI
  while (pos + 4 <= bytes.size() && static_cast<unsigned char>(bytes[pos]) == 0xFF) {
    const auto marker = static_cast<unsigned char>(bytes[pos + 1]);
    if (marker == 0xDA || marker == 0xD9) break;  // start of scan or end: no more headers
    const std::size_t length = (static_cast<unsigned char>(bytes[pos + 2]) << 8) |
                               static_cast<unsigned char>(bytes[pos + 3]);
    if (marker == 0xEE && length >= 7 && pos + 9 <= bytes.size() &&
        bytes.substr(pos + 4, 5) == "Adobe") {
      return true;
    }
    pos += 2 + length;
  }
  return false;
}

}  // namespace

std::unique_ptr<TPdfImage> TPdfImageCreator::CreateImage(const graphics::Picture&) const {
  return nullptr;
}

std::unique_ptr<TPdfImage> TPdfBitmapImage::CreateImage(const graphics::Picture& graphic) const {
  // A JPEG handed to the bitmap creator is decoded, as copying it into a bitmap would.
  const Bitmap& source = graphic.Pixels();
  if (source.Empty()) throw EPdfInvalidImageFormat("the image is empty.");
  auto image = NewImageObject();
  if (graphics::IsIndexed(source.Format())) {
    WriteIndexed(*image, source.Converted(PixelFormat::pf8bit));
  } else {
    WriteRgb(*image, source.Format() == PixelFormat::pf24bit
                         ? source
                         : source.Converted(PixelFormat::pf24bit));
  }
  PutSize(*image, source.Width(), source.Height());
  if (graphic.CameFromPng()) image->CompressWithFlate();
  return image;
}

std::unique_ptr<TPdfImage> TPdfJpegImage::CreateImage(const graphics::Picture& graphic) const {
  const graphics::JpegImage* jpeg = graphic.AsJpeg();
  if (jpeg == nullptr || jpeg->Empty()) throw EPdfInvalidValue("only jpeg image is allowed.");
  auto image = NewImageObject();
  image->SetSharedData(jpeg->Bytes());
  // The colour space must have as many components as the JPEG, or readers draw garbage: grey
  // and CMYK pictures say so, everything else is RGB.
  const int components = jpeg->Info().components;
  const char* colorSpace = components == 1   ? "DeviceGray"
                           : components == 4 ? "DeviceCMYK"
                                             : "DeviceRGB";
  image->Attributes().Put("ColorSpace", std::make_unique<TPdfName>(colorSpace));
  PutSize(*image, jpeg->Width(), jpeg->Height());
  if (components == 4 && HasAdobeMarker(jpeg->Bytes())) {
    auto decode = std::make_unique<TPdfArray>(nullptr);
    for (int i = 0; i < 4; ++i) {
      decode->Add(std::make_unique<TPdfNumber>(1));
      decode->Add(std::make_unique<TPdfNumber>(0));
    }
    image->Attributes().Put("Decode", std::move(decode));
  }
  image->Attributes().ArrayOf("Filter")->Add(std::make_unique<TPdfName>("DCTDecode"));
  return image;
}

std::unique_ptr<TPdfImage> CreatePdfImage(std::string_view creatorName,
                                          const graphics::Picture& graphic) {
  if (creatorName == kBitmapCreator) return TPdfBitmapImage().CreateImage(graphic);
  if (creatorName == kJpegCreator) return TPdfJpegImage().CreateImage(graphic);
  throw EPdfInvalidValue("CreateImage --image creator not found: " + std::string(creatorName));
}

std::string ImageNameBase(std::string_view elementName) {
  std::string base;
  base.reserve(elementName.size());
  for (char c : elementName) {
    if (c != '\0') base.push_back(c);
  }
  return base.empty() ? std::string("Image") : base;
}

std::string ChooseBitmapImageName(const TPdfDoc& doc, std::string_view elementName,
                                  RandomSource& random) {
  const std::string base = ImageNameBase(elementName);
  int number = random.Next(kNameCount - 1);  // 0 .. 65533
  std::string name;
  for (int i = 0; i < kNameCount; ++i) {
    name = base + std::to_string(number);
    if (doc.GetXObject(name) == nullptr) return name;
    number = number >= kNameCount - 1 ? 0 : number + 1;  // 65534 wraps to 0
  }
  return name;
}

std::string ChooseJpegImageName(const TPdfDoc& doc, std::string_view elementName,
                                RandomSource& random) {
  const std::string base = ImageNameBase(elementName);
  for (int i = 0; i < kNameCount; ++i) {
    std::string name = base + std::to_string(random.Next(kNameCount));
    if (doc.GetXObject(name) == nullptr) return name;
  }
  throw EPdfException("image count over max value..");
}

namespace {

// Two image objects show the same picture: same samples or JPEG bytes, size and colours.
bool SameImage(TPdfImage& a, TPdfImage& b) {
  if (a.DataView() != b.DataView()) return false;
  for (const char* key : {"Width", "Height", "ColorSpace", "Filter", "Decode"}) {
    TPdfObject* va = a.Attributes().Lookup(key);
    TPdfObject* vb = b.Attributes().Lookup(key);
    if ((va == nullptr) != (vb == nullptr)) return false;
    if (va == nullptr) continue;
    std::string wa, wb;
    va->WriteItem(wa);
    vb->WriteItem(wb);
    if (wa != wb) return false;
  }
  return true;
}

}  // namespace

std::string PrepareElementImage(TPdfDoc& doc, const graphics::Picture& picture,
                                std::string_view elementName, bool shared,
                                std::string_view creatorName, RandomSource& random) {
  auto image = CreatePdfImage(creatorName, picture);
  const bool jpeg = creatorName == kJpegCreator;
  std::string name;
  TPdfImage* named = nullptr;
  if (shared) {
    // Pages made from one template carry elements of the same name with other pictures: a name
    // is shared only with the same picture.
    name = ImageNameBase(elementName);
    named = doc.GetXObject(name);
    if (named != nullptr && SameImage(*named, *image)) return name;
  }
  // A picture already in the document is drawn again whatever it was registered as: each page
  // names its background after itself, and a logo on every row of a series is still one object
  // of the file.
  for (std::size_t i = 0; i < doc.XObjectCount(); ++i) {
    TPdfImage* other = doc.XObject(i);
    if (other != nullptr && SameImage(*other, *image)) {
      return other->Attributes().NameOf("Name")->Value();
    }
  }
  if (shared && named == nullptr) {
    doc.AddXObject(name, std::move(image));
    return name;
  }
  name = jpeg ? ChooseJpegImageName(doc, elementName, random)
              : ChooseBitmapImageName(doc, elementName, random);
  doc.AddXObject(name, std::move(image));
  return name;
}

}  // namespace quirabel::pdf
