// The picture module: draws a page of our own PDF into a PNG or an SVG file in memory.
#include "app/picture_module.h"

#include <cairo-svg.h>
#include <cairo.h>
#include <poppler.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace quirabel::app {

namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const { Free(p); }
};
template <typename T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, Deleter<T, Free>>;

void Unref(void* object) { g_object_unref(object); }
void UnrefDocument(PopplerDocument* d) { Unref(d); }
void UnrefPage(PopplerPage* p) { Unref(p); }
void FreeBytes(GBytes* b) { g_bytes_unref(b); }

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

PictureResult DrawPage(std::string_view pdf, const PictureRequest& request) {
  PictureResult result;
  const Owned<GBytes, FreeBytes> bytes(g_bytes_new_static(pdf.data(), pdf.size()));
  GError* error = nullptr;
  const Owned<PopplerDocument, UnrefDocument> document(
      poppler_document_new_from_bytes(bytes.get(), nullptr, &error));
  if (!document) {
    if (error != nullptr) g_error_free(error);
    result.problem = "Die Seite ließ sich nicht zeichnen";
    return result;
  }
  const int pages = poppler_document_get_n_pages(document.get());
  if (request.page < 0 || request.page >= pages) {
    result.problem = "Eine Seite " + std::to_string(request.page + 1) + " gibt es nicht (" +
                     std::to_string(pages) + (pages == 1 ? " Seite)" : " Seiten)");
    return result;
  }
  const Owned<PopplerPage, UnrefPage> page(poppler_document_get_page(document.get(), request.page));
  double width = 0, height = 0;
  poppler_page_get_size(page.get(), &width, &height);
  const double trim = std::max(0.0, std::min(request.trim, std::min(width, height) / 2 - 1));
  const double shownWidth = width - 2 * trim;
  const double shownHeight = height - 2 * trim;

  cairo_surface_t* surface = nullptr;
  double scale = 1;
  if (request.kind == PictureKind::svg) {
    surface = cairo_svg_surface_create_for_stream(&Append, &result.bytes, shownWidth, shownHeight);
    cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PT);
  } else {
    scale = request.dpi / 72;
    const int pixelsAcross = std::max(1, static_cast<int>(std::lround(shownWidth * scale)));
    const int pixelsDown = std::max(1, static_cast<int>(std::lround(shownHeight * scale)));
    const double pixels = static_cast<double>(pixelsAcross) * pixelsDown;
    if (!(request.dpi > 0) || pixels > kMaxPicturePixels) {
      result.problem = "Das Bild wäre mit " + std::to_string(static_cast<long long>(pixels)) +
                       " Pixeln zu groß; bitte weniger dpi wählen";
      return result;
    }
    surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, pixelsAcross, pixelsDown);
  }
  cairo_t* cr = cairo_create(surface);
  if (request.kind == PictureKind::png) {
    // Paper is white; the page draws on it.
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
  }
  cairo_scale(cr, scale, scale);
  cairo_translate(cr, -trim, -trim);
  poppler_page_render_for_printing(page.get(), cr);
  cairo_destroy(cr);
  if (request.kind == PictureKind::png) {
    cairo_surface_flush(surface);
    if (cairo_surface_write_to_png_stream(surface, &Append, &result.bytes) !=
        CAIRO_STATUS_SUCCESS) {
      result.problem = "Das PNG-Bild ließ sich nicht schreiben";
    }
  } else {
    cairo_surface_finish(surface);
  }
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS && result.problem.empty())
    result.problem = std::string("Das Bild ließ sich nicht zeichnen: ") +
                     cairo_status_to_string(cairo_surface_status(surface));
  cairo_surface_destroy(surface);
  if (!result.problem.empty()) result.bytes.clear();
  return result;
}

constexpr PictureModule kModule{kPictureModuleAbi, &DrawPage};

}  // namespace

}  // namespace quirabel::app

extern "C" __attribute__((visibility("default"))) const quirabel::app::PictureModule*
quirabel_picture_module() {
  return &quirabel::app::kModule;
}
