#include "designer/page_margins.h"

#include <algorithm>
#include <cmath>

namespace quirabel::designer {

namespace {

// Moving keeps an element 5 mm (at 2.837 pixels a millimetre) off the page edges.
constexpr double kMargin = 14.185;

}  // namespace

// The nearest whole pixel at least 5 mm from the near edge is 15, from the far edge the page
// size less 15 (14.185 rounded outward).
MarginRange MovableRange(int page, int size) {
  const int low = static_cast<int>(std::ceil(kMargin));
  const int high = static_cast<int>(std::floor(page - size - kMargin));
  // An element larger than the room between the margins stands at the near margin.
  return {low, std::max(low, high)};
}

MarginRange MovableRange(int page, int size, int from) {
  const MarginRange range = MovableRange(page, size);
  return {std::min(range.low, from), std::max(range.high, from)};
}

int ClampToPage(int candidate, int page, int size, int from) {
  const MarginRange range = MovableRange(page, size, from);
  return std::clamp(candidate, range.low, range.high);
}

int PlaceOnPage(int candidate, int page, int size) {
  const MarginRange range = MovableRange(page, size);
  return std::clamp(candidate, range.low, range.high);
}

int NearEdgeLimit(int from) { return std::min(static_cast<int>(std::ceil(kMargin)), from); }

int FarEdgeLimit(int page, int from) {
  return std::max(static_cast<int>(std::floor(page - kMargin)), from);
}

}  // namespace quirabel::designer
