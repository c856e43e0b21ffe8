#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quirabel::dialogs {

// A number field of a property window (size, spacing, leading, border width) and the range its
// arrows keep to. A value outside the range would be refused by the PDF writer or make no sense
// on the page, so it never reaches the element.
struct NumberRange {
  double min;
  double max;
  bool whole;  // the field is read as a whole number
};

// The number a field holds: decimals with a point or a comma, whole numbers as digits with an
// optional sign. None, and `error` says why in the person's words, when the text is no number of
// that kind (NaN and infinity included) or lies outside the range.
std::optional<double> ReadNumber(std::string_view text, const NumberRange& range,
                                 std::string& error);

// A value as its field shows it: the shortest decimal that reads back as the same value (12 gives
// "12", 10.5 gives "10.5").
std::string ShortestDecimal(float value);

}  // namespace quirabel::dialogs
