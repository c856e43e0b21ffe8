#ifndef QUIRABEL_BASE_ROUNDING_H_
#define QUIRABEL_BASE_ROUNDING_H_

namespace quirabel {

// Conversions of floating values to pixel counts. All are defined for every input: NaN gives 0
// and values beyond the int range (including infinities) clamp to INT_MIN / INT_MAX. They do not
// depend on the floating-point rounding mode.

// Nearest integer, ties to even: 2.5 -> 2, 3.5 -> 4, -2.5 -> -2.
int RoundHalfEven(double x);

// Nearest integer, ties toward +infinity: 14.5 -> 15, -2.5 -> -2.
int RoundHalfUp(double x);

// Integer part, toward zero.
int TruncToInt(double x);

}  // namespace quirabel

#endif  // QUIRABEL_BASE_ROUNDING_H_
