// Ellipses: a rectangle's record, colours and property window, drawn as the ellipse inside it.
#include "designer/kinds/shape_class.h"

namespace quirabel::designer::kinds {

const ElementClass& EllipseClass() {
  static const ShapeClass<report::TPREllipse> ellipse({ElementKind::Ellipse,
                                                       "PREllipse",
                                                       "ellipse",
                                                       ElementMenu::Rect,
                                                       true,
                                                       {2, 2, 2},
                                                       "Ellipse",
                                                       "Ellipse"});
  return ellipse;
}

}  // namespace quirabel::designer::kinds
