// Rectangles: a fill and a line colour, a line width.
#include "designer/kinds/shape_class.h"

namespace quirabel::designer::kinds {

const ElementClass& RectClass() {
  static const ShapeClass<report::TPRRect> rect({ElementKind::Rect,
                                                 "PRRect",
                                                 "rect",
                                                 ElementMenu::Rect,
                                                 true,
                                                 {2, 2, 2},
                                                 "Rechteck",
                                                 "Rect"});
  return rect;
}

}  // namespace quirabel::designer::kinds
