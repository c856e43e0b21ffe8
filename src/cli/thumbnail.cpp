#include "cli/thumbnail.h"

#include <png.h>
#include <poppler-document.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "base/atomic_file.h"

namespace quirabel::cli {

namespace {

std::string PngBytes(const poppler::image& image) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width());
  png.height = static_cast<png_uint_32>(image.height());
  // poppler's ARGB32 is a 32-bit value per pixel, in memory B, G, R, A on this byte order.
  png.format = PNG_FORMAT_BGRA;
  const auto stride = static_cast<png_int_32>(image.bytes_per_row());
  // Speed before the last byte of compression: a file manager waits for it. One pass, into room
  // for the largest PNG such an image can make (asking for the size first compresses twice).
  png.flags = PNG_IMAGE_FLAG_FAST;
  png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(png);
  std::string bytes(size, '\0');
  if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, image.const_data(), stride,
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
  const std::unique_ptr<poppler::document> document(
      poppler::document::load_from_raw_data(pdf->data(), static_cast<int>(pdf->size())));
  const std::unique_ptr<poppler::page> page(
      document && document->pages() > 0 ? document->create_page(0) : nullptr);
  if (!page) {
    application.GetPlatform()->ShowMessage("Die Vorschau der ersten Seite ging nicht.");
    return false;
  }
  // The resolution that makes the longer side `size` pixels.
  const poppler::rectf box = page->page_rect(poppler::media_box);
  const double longer = std::max(box.width(), box.height());
  const double resolution = longer > 0 ? 72.0 * size / longer : 72.0;
  poppler::page_renderer renderer;
  renderer.set_render_hint(poppler::page_renderer::antialiasing);
  renderer.set_render_hint(poppler::page_renderer::text_antialiasing);
  renderer.set_image_format(poppler::image::format_argb32);
  const poppler::image image = renderer.render_page(page.get(), resolution, resolution);
  if (!image.is_valid()) {
    application.GetPlatform()->ShowMessage("Die Vorschau der ersten Seite ging nicht.");
    return false;
  }
  WriteFileAtomic(output, PngBytes(image));
  return true;
}

}  // namespace quirabel::cli
