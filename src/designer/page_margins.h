#pragma once

namespace quirabel::designer {

// The one margin rule of moving and resizing: elements keep 5 mm off the page edges, which on
// whole page pixels is 15 pixels at the top and left and as far as whole pixels allow at the
// right and bottom. Moves and resizes are clamped to it, never refused.

// The lowest and highest top (or left) an element of `size` may take on a page of `page` pixels.
// `from` is where the element stands now: one already beyond a margin (read from a file, or
// larger than the page) may stay there and move inward freely, but never further out.
struct MarginRange {
  int low;
  int high;
};
MarginRange MovableRange(int page, int size, int from);
MarginRange MovableRange(int page, int size);
// The top (or left) a move to `candidate` gives the element that stood at `from`.
int ClampToPage(int candidate, int page, int size, int from);
// Where a new element (created, pasted) of `size` goes when asked for `candidate`.
int PlaceOnPage(int candidate, int page, int size);
// The near and far edge a resize may take: not past the margins, unless the edge already was.
int NearEdgeLimit(int from);
int FarEdgeLimit(int page, int from);

}  // namespace quirabel::designer
