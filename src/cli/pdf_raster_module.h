#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace quirabel::cli {

// Pixels of a page: 4 bytes each, in memory B, G, R, A, `stride` bytes a row.
struct RasterImage {
  int width = 0;
  int height = 0;
  std::ptrdiff_t stride = 0;
  std::vector<unsigned char> pixels;
};

// The PDF drawing module (pdf-raster.so, over poppler-cpp), which the thumbnail opens on first
// use. It comes from the same build as the program; `abi` turns away a copy of another.
struct PdfRasterModule {
  int abi;
  // Page 1 of `pdf`, its longer side `size` pixels, smoothed; false when the PDF has no page the
  // library can draw.
  bool (*drawFirstPage)(std::string_view pdf, int size, RasterImage& image);
};

inline constexpr int kPdfRasterModuleAbi = 1;
inline constexpr char kPdfRasterModuleFile[] = "pdf-raster.so";
inline constexpr char kPdfRasterModuleEntry[] = "quirabel_pdf_raster_module";

}  // namespace quirabel::cli
