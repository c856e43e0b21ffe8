#pragma once

namespace quirabel::model {

// The kinds of page element, in the order a page text lists elements of one number.
enum class ElementKind { Rect, Label, Text, Jpeg, Bitmap, Code, Ellipse };

}  // namespace quirabel::model
