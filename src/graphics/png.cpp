#include "graphics/png.h"

#include <png.h>

#include <cstring>
#include <string>

namespace quirabel::graphics {

namespace {

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Deflate packs at most about 1032 bytes into one; with the chunk overhead counted generously a
// file needs at least this share of its raw image data.
constexpr std::uint64_t kBestDeflateRatio = 1100;

// A png_image that libpng's memory is freed with, also when a check after the start of reading
// throws (a member is destroyed even when the constructor of its owner does not finish).
struct OwnedPngImage {
  OwnedPngImage() {
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
  }
  ~OwnedPngImage() { png_image_free(&image); }
  OwnedPngImage(const OwnedPngImage&) = delete;
  OwnedPngImage& operator=(const OwnedPngImage&) = delete;
  png_image image;
};

// A PNG whose header has been read and checked.
class PngImage {
 public:
  explicit PngImage(std::string_view bytes) {
    png_image& image_ = owned_.image;
    if (!IsPng(bytes)) throw ImageError("no PNG picture");
    if (png_image_begin_read_from_memory(&image_, bytes.data(), bytes.size()) == 0)
      throw ImageError(std::string("PNG: ") + image_.message);
    const char* reason = nullptr;
    if (!Bitmap::SizeAllowed(image_.width, image_.height, PixelFormat::pf24bit, &reason))
      throw ImageError(std::string("PNG: ") + (reason != nullptr ? reason : "too large"));
    // The raw data: per row a filter byte and the packed samples. libpng has checked the header
    // chunk, which always comes first, right after the signature.
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const std::uint64_t bitDepth = at(24);
    const unsigned colourType = at(25);
    const std::uint64_t channels = colourType == 2   ? 3
                                   : colourType == 4 ? 2
                                   : colourType == 6 ? 4
                                                     : 1;
    const std::uint64_t rawBytes = static_cast<std::uint64_t>(image_.height) *
                                   (1 + (image_.width * channels * bitDepth + 7) / 8);
    if (bytes.size() < rawBytes / kBestDeflateRatio)
      throw ImageError("PNG: the file is too short for its picture size");
  }

  png_image& Image() { return owned_.image; }

 private:
  OwnedPngImage owned_;
};

}  // namespace

bool IsPng(std::string_view bytes) {
  return bytes.size() >= sizeof kSignature &&
         std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

PngInfo ReadPngInfo(std::string_view bytes) {
  PngImage png(bytes);
  return {static_cast<int>(png.Image().width), static_cast<int>(png.Image().height)};
}

Bitmap ReadPng(std::string_view bytes) {
  PngImage png(bytes);
  png_image& image = png.Image();
  Bitmap bitmap(static_cast<int>(image.width), static_cast<int>(image.height),
                PixelFormat::pf24bit);
  // Our 24-bit rows are blue, green, red, packed without padding: the same as libpng's BGR.
  image.format = PNG_FORMAT_BGR;
  png_color white{255, 255, 255};
  if (png_image_finish_read(&image, &white, bitmap.Row(0), static_cast<png_int_32>(bitmap.Stride()),
                            nullptr) == 0) {
    throw ImageError(std::string("PNG: ") + image.message);
  }
  return bitmap;
}

}  // namespace quirabel::graphics
