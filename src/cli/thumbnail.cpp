#include "cli/thumbnail.h"

#include <png.h>
#include <poppler-document.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>
#include <stdlib.h>

#include <algorithm>
#include <memory>
#include <string>
#include <system_error>

#include "base/atomic_file.h"

namespace quirabel::cli {

namespace {

// A scratch folder of its own, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) base = "/tmp";
    std::string pattern = (base / "quirabel-thumbnail.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw FileError("create", pattern, errno);
    }
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::string PngBytes(const poppler::image& image) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width());
  png.height = static_cast<png_uint_32>(image.height());
  // poppler's ARGB32 is a 32-bit value per pixel, in memory B, G, R, A on this byte order.
  png.format = PNG_FORMAT_BGRA;
  const auto stride = static_cast<png_int_32>(image.bytes_per_row());
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&png, nullptr, &size, 0, image.const_data(), stride, nullptr)) {
    throw std::runtime_error(std::string("PNG: ") + png.message);
  }
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
  const ScratchFolder scratch;
  const std::filesystem::path pdf = scratch.Path() / "seite.pdf";
  if (!application.ExportPdfTo(pdf.string())) return false;

  const std::unique_ptr<poppler::document> document(poppler::document::load_from_file(pdf));
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
