#include "cli/thumbnail.h"

#include <png.h>

#include <limits>
#include <optional>
#include <stdexcept>
#include <string>

#include "base/atomic_file.h"
#include "base/module.h"
#include "cli/pdf_raster_module.h"

namespace quirabel::cli {

namespace {

// The PDF drawing module, opened on first use: only this command needs poppler.
const ModuleTable<PdfRasterModule>& PdfRaster() {
  static const ModuleTable<PdfRasterModule> loaded = OpenModuleTable<PdfRasterModule>(
      kPdfRasterModuleFile, kPdfRasterModuleEntry, kPdfRasterModuleAbi);
  return loaded;
}

std::string PngBytes(const RasterImage& image) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_BGRA;
  const auto stride = static_cast<png_int_32>(image.stride);
  // Speed before the last byte of compression: a file manager waits for it. One pass, into room
  // for the largest PNG such an image can make (asking for the size first compresses twice).
  png.flags = PNG_IMAGE_FLAG_FAST;
  png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(png);
  std::string bytes(size, '\0');
  if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, image.pixels.data(), stride,
                                 nullptr)) {
    throw std::runtime_error(std::string("PNG: ") + png.message);
  }
  bytes.resize(size);
  return bytes;
}

}  // namespace

bool WriteThumbnail(app::Application& application, const std::filesystem::path& output, int size) {
  // Made in memory: a file manager's preview writes nothing but the picture.
  const std::optional<std::string> pdf = application.ExportPdfBytes();
  if (!pdf) return false;
  if (pdf->size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    application.GetPlatform()->ShowMessage("Die Vorschau der ersten Seite ging nicht.");
    return false;
  }
  const ModuleTable<PdfRasterModule>& raster = PdfRaster();
  if (raster.table == nullptr) {
    application.GetPlatform()->ShowMessage(
        "Die Vorschau der ersten Seite ging nicht: " + raster.problem + ".");
    return false;
  }
  RasterImage image;
  if (!raster.table->drawFirstPage(*pdf, size, image)) {
    application.GetPlatform()->ShowMessage("Die Vorschau der ersten Seite ging nicht.");
    return false;
  }
  WriteFileAtomic(output, PngBytes(image));
  return true;
}

}  // namespace quirabel::cli
