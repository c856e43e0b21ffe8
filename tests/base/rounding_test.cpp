#include "base/rounding.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>

namespace quirabel {
namespace {

TEST(RoundingTest, HalvesGoToEvenOrUp) {
  const struct {
    double x;
    int even;
    int up;
  } cases[] = {
      {0.5, 0, 1},
      {2.5, 2, 3},
      {3.5, 4, 4},
      {14.5, 14, 15},
      {-0.5, 0, 0},
      {-1.5, -2, -1},
      {-2.5, -2, -2},
      {-2.5001, -3, -3},
      // floor(x + 0.5) rounds the first one up: the sum is 1.0 in doubles.
      {0.49999999999999994, 0, 0},
      {-0.49999999999999994, 0, 0},
      {2.5000000000000004, 3, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.x);
    EXPECT_EQ(RoundHalfEven(c.x), c.even);
    EXPECT_EQ(RoundHalfUp(c.x), c.up);
  }
  EXPECT_EQ(TruncToInt(2.9), 2);
  EXPECT_EQ(TruncToInt(-2.9), -2);
}

TEST(RoundingTest, TotalOnNaNAndOutOfRange) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  for (int (*f)(double) : {&RoundHalfEven, &RoundHalfUp, &TruncToInt}) {
    EXPECT_EQ(f(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(f(kInf), INT_MAX);
    EXPECT_EQ(f(-kInf), INT_MIN);
    EXPECT_EQ(f(1e300), INT_MAX);
    EXPECT_EQ(f(-2147483649.0), INT_MIN);
  }
  // Right at the edges rounding and clamping meet.
  EXPECT_EQ(RoundHalfUp(2147483646.5), INT_MAX);
  EXPECT_EQ(RoundHalfEven(2147483646.5), INT_MAX - 1);
  EXPECT_EQ(RoundHalfEven(-2147483647.5), INT_MIN);
  EXPECT_EQ(TruncToInt(2147483647.9), INT_MAX);
  EXPECT_EQ(TruncToInt(-2147483648.9), INT_MIN);
}

}  // namespace
}  // namespace quirabel
