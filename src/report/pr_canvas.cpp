#include "report/pr_canvas.h"

#include "ui/errors.h"

namespace quirabel::report {

pdf::TPdfCanvas& TPRCanvas::Pdf() const {
  if (canvas_ == nullptr) throw ui::EInvalidOperation("TPRCanvas --no page is being printed.");
  return *canvas_;
}

pdf::TPdfRect TPRCanvas::ToPdf(const ui::TRect& rect) const {
  const int h = PageHeight();
  return {static_cast<float>(rect.left), static_cast<float>(h - rect.top),
          static_cast<float>(rect.right), static_cast<float>(h - rect.bottom)};
}

void TPRCanvas::TextRect(const ui::TRect& rect, std::string_view text, pdf::TAlignment alignment,
                         bool clipping) {
  Pdf().TextRect(ToPdf(rect), text, alignment, clipping);
}

}  // namespace quirabel::report
