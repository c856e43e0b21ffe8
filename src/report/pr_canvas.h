#pragma once

#include <string_view>

#include "base/random.h"

#include "pdf/pdf_canvas.h"
#include "ui/geometry.h"

namespace quirabel::report {

// The drawing surface handed to panels and elements while a page is rendered: the PDF canvas of
// that page. Page pixels (y down) become PDF points (y up) here.
class TPRCanvas {
 public:
  TPRCanvas() = default;
  TPRCanvas(const TPRCanvas&) = delete;
  TPRCanvas& operator=(const TPRCanvas&) = delete;

  pdf::TPdfCanvas* PdfCanvas() const { return canvas_; }
  // Where unshared images draw their numbers from.
  RandomSource& Random() const { return *random_; }
  void SetRandom(RandomSource* random) { random_ = random != nullptr ? random : &fallback_; }
  void SetPdfCanvas(pdf::TPdfCanvas* canvas) { canvas_ = canvas; }
  // The PDF canvas; EInvalidOperation while no page is being rendered.
  pdf::TPdfCanvas& Pdf() const;
  int PageHeight() const { return Pdf().PageHeight(); }

  // A rectangle of page pixels as PDF coordinates: left, H - top, right, H - bottom.
  pdf::TPdfRect ToPdf(const ui::TRect& rect) const;
  void TextRect(const ui::TRect& rect, std::string_view text, pdf::TAlignment alignment,
                bool clipping);

 private:
  pdf::TPdfCanvas* canvas_ = nullptr;
  DefaultRandom fallback_;
  RandomSource* random_ = &fallback_;
};

}  // namespace quirabel::report
