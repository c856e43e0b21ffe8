#include "base/rounding.h"

#include <climits>
#include <cmath>

namespace quirabel {
namespace {

// `r` is integral or infinite. Both bounds are exact doubles, so the comparisons are exact and
// the cast only ever sees in-range values.
int ClampToInt(double r) {
  if (r >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (r <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(r);
}

}  // namespace

// x - floor(x) is exact for every finite double, so comparing it with 0.5 decides ties exactly,
// unlike floor(x + 0.5), which rounds 0.49999999999999994 up.

int RoundHalfEven(double x) {
  if (std::isnan(x)) return 0;
  if (std::isinf(x)) return x > 0 ? INT_MAX : INT_MIN;
  const double low = std::floor(x);
  const double diff = x - low;
  if (diff < 0.5) return ClampToInt(low);
  if (diff > 0.5) return ClampToInt(low + 1);
  return ClampToInt(std::fmod(low, 2.0) == 0 ? low : low + 1);
}

int RoundHalfUp(double x) {
  if (std::isnan(x)) return 0;
  if (std::isinf(x)) return x > 0 ? INT_MAX : INT_MIN;
  const double low = std::floor(x);
  return ClampToInt(x - low >= 0.5 ? low + 1 : low);
}

int TruncToInt(double x) {
  if (std::isnan(x)) return 0;
  return ClampToInt(std::trunc(x));
}

}  // namespace quirabel
