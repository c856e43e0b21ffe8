#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "base/random.h"
#include "base/user_error.h"

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

  // A picture of the page rather than a document: how many points one pixel of it covers (0, the
  // default, for a document). Elements may then leave out detail no pixel could show.
  double PreviewPointsPerPixel() const { return previewPointsPerPixel_; }
  void SetPreviewPointsPerPixel(double points) { previewPointsPerPixel_ = points; }

  // What kept an element out of the document, in the order printing met it; printing goes on.
  void Note(std::string text) { notes_.push_back(std::move(text)); }
  Notices TakeNotes() { return std::exchange(notes_, {}); }

 private:
  pdf::TPdfCanvas* canvas_ = nullptr;
  DefaultRandom fallback_;
  RandomSource* random_ = &fallback_;
  Notices notes_;
  double previewPointsPerPixel_ = 0;
};

}  // namespace quirabel::report
