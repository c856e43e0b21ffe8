#pragma once

#include <string>
#include <string_view>

namespace quirabel::app {

// A page as a picture file: pixels (PNG) or vectors (SVG, text as outlines, pictures embedded).
enum class PictureKind { png, svg };

struct PictureRequest {
  PictureKind kind = PictureKind::png;
  int page = 0;          // counted from 0
  double dpi = 300;      // PNG only
  double trim = 0;       // points cut off each edge (the bleed of an orderable page)
};

// The answer: the file's bytes, or why there are none (a German sentence without its full stop).
struct PictureResult {
  std::string bytes;
  std::string problem;
};

// The picture module (pdf-picture.so, over poppler-glib and cairo), opened on first use, so that
// no other command loads those libraries. It draws a page of our own PDF. It comes from the same
// build as the programs; `abi` turns away a copy of another.
struct PictureModule {
  int abi;
  PictureResult (*drawPage)(std::string_view pdf, const PictureRequest& request);
};

// The most pixels a PNG may have (a 1 m² poster at 300 dpi is about 140 million).
inline constexpr double kMaxPicturePixels = 150e6;

inline constexpr int kPictureModuleAbi = 1;
inline constexpr char kPictureModuleFile[] = "pdf-picture.so";
inline constexpr char kPictureModuleEntry[] = "quirabel_picture_module";

}  // namespace quirabel::app
