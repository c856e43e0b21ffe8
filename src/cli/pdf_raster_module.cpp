// The PDF drawing module: page 1 of a PDF into pixels through poppler-cpp, behind the table in
// cli/pdf_raster_module.h.
#include "cli/pdf_raster_module.h"

#include <poppler-document.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

namespace quirabel::cli {

namespace {

bool DrawFirstPage(std::string_view pdf, int size, RasterImage& image) {
  if (pdf.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return false;
  const std::unique_ptr<poppler::document> document(
      poppler::document::load_from_raw_data(pdf.data(), static_cast<int>(pdf.size())));
  const std::unique_ptr<poppler::page> page(
      document && document->pages() > 0 ? document->create_page(0) : nullptr);
  if (!page) return false;
  // The resolution that makes the longer side `size` pixels.
  const poppler::rectf box = page->page_rect(poppler::media_box);
  const double longer = std::max(box.width(), box.height());
  const double resolution = longer > 0 ? 72.0 * size / longer : 72.0;
  poppler::page_renderer renderer;
  renderer.set_render_hint(poppler::page_renderer::antialiasing);
  renderer.set_render_hint(poppler::page_renderer::text_antialiasing);
  // poppler's ARGB32 is a 32-bit value per pixel, in memory B, G, R, A on this byte order.
  renderer.set_image_format(poppler::image::format_argb32);
  const poppler::image drawn = renderer.render_page(page.get(), resolution, resolution);
  if (!drawn.is_valid()) return false;
  image.width = drawn.width();
  image.height = drawn.height();
  image.stride = drawn.bytes_per_row();
  const auto bytes =
      static_cast<std::size_t>(image.stride) * static_cast<std::size_t>(image.height);
  image.pixels.resize(bytes);
  std::memcpy(image.pixels.data(), drawn.const_data(), bytes);
  return true;
}

constexpr PdfRasterModule kModule{kPdfRasterModuleAbi, &DrawFirstPage};

}  // namespace

}  // namespace quirabel::cli

extern "C" __attribute__((visibility("default"))) const quirabel::cli::PdfRasterModule*
quirabel_pdf_raster_module() {
  return &quirabel::cli::kModule;
}
