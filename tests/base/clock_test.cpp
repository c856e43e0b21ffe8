#include "base/clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>

namespace quirabel {

void PrintTo(const LocalDateTime& t, std::ostream* os) {
  *os << t.year << "-" << t.month << "-" << t.day << " " << t.hour << ":" << t.minute << ":"
      << t.second << "." << t.millisecond;
}

namespace {

TEST(ClockTest, SerialToDateTime) {
  EXPECT_EQ(DateTimeFromSerial(37776.56454474537), (LocalDateTime{2003, 6, 4, 13, 32, 56, 666}));
  EXPECT_EQ(DateTimeFromSerial(0), (LocalDateTime{1899, 12, 30, 0, 0, 0, 0}));
  EXPECT_EQ(DateTimeFromSerial(2.25), (LocalDateTime{1900, 1, 1, 6, 0, 0, 0}));
  EXPECT_EQ(DateTimeFromSerial(-1.25), (LocalDateTime{1899, 12, 29, 6, 0, 0, 0}));
  EXPECT_EQ(DateTimeFromSerial(-0.5), (LocalDateTime{1899, 12, 30, 12, 0, 0, 0}));
  EXPECT_EQ(DateTimeFromSerial(36585.0), (LocalDateTime{2000, 2, 29, 0, 0, 0, 0}));
  // Rounding to milliseconds happens before the split, so this is midnight, not 23:59:59.999.
  EXPECT_EQ(DateTimeFromSerial(0.999999999999), (LocalDateTime{1899, 12, 31, 0, 0, 0, 0}));
  EXPECT_EQ(DateTimeFromSerial(-1.999999999999), (LocalDateTime{1899, 12, 28, 0, 0, 0, 0}));
  // serial * 86400000 is exactly ...498.5 here; ties go to even.
  EXPECT_EQ(DateTimeFromSerial(987849.6116492882), (LocalDateTime{4604, 8, 20, 14, 40, 46, 498}));
}

TEST(ClockTest, SerialOutOfRangeIsClamped) {
  const LocalDateTime epoch{1899, 12, 30, 0, 0, 0, 0};
  const LocalDateTime first{1, 1, 1, 0, 0, 0, 0};
  const LocalDateTime last{9999, 12, 31, 23, 59, 59, 999};
  EXPECT_EQ(DateTimeFromSerial(std::numeric_limits<double>::quiet_NaN()), epoch);
  EXPECT_EQ(DateTimeFromSerial(std::numeric_limits<double>::infinity()), last);
  EXPECT_EQ(DateTimeFromSerial(-std::numeric_limits<double>::infinity()), first);
  EXPECT_EQ(DateTimeFromSerial(1e300), last);
  EXPECT_EQ(DateTimeFromSerial(-1e300), first);
  EXPECT_EQ(DateTimeFromSerial(-693594.0), first);
  EXPECT_EQ(DateTimeFromSerial(-693593.5), (LocalDateTime{1, 1, 1, 12, 0, 0, 0}));
  EXPECT_EQ(DateTimeFromSerial(2958465.5), (LocalDateTime{9999, 12, 31, 12, 0, 0, 0}));
}

TEST(ClockTest, DateTimeToSerialAndBack) {
  EXPECT_EQ(SerialFromDateTime({1899, 12, 29, 6, 0, 0, 0}), -1.25);
  EXPECT_EQ(SerialFromDateTime({1900, 1, 1, 6, 0, 0, 0}), 2.25);
  EXPECT_NEAR(SerialFromDateTime({2003, 6, 4, 13, 32, 56, 666}), 37776.56454474537, 1e-9);
  // Overflowing fields carry into the next unit.
  EXPECT_EQ(SerialFromDateTime({1899, 13, 30, 0, 0, 0, 0}),
            SerialFromDateTime({1900, 1, 30, 0, 0, 0, 0}));
  EXPECT_EQ(SerialFromDateTime({1899, 12, 30, 24, 0, 0, 0}), 1.0);

  const LocalDateTime samples[] = {
      {1, 1, 1, 0, 0, 0, 0},      {1600, 2, 29, 23, 59, 59, 999},  {1899, 12, 29, 0, 0, 0, 1},
      {1899, 12, 30, 0, 0, 0, 0}, {1900, 2, 28, 12, 0, 0, 0},      {1900, 3, 1, 0, 0, 0, 0},
      {2000, 2, 29, 1, 2, 3, 4},  {2024, 12, 31, 23, 59, 59, 999}, {9999, 12, 31, 23, 59, 59, 999},
  };
  for (const LocalDateTime& sample : samples) {
    EXPECT_EQ(DateTimeFromSerial(SerialFromDateTime(sample)), sample);
  }
}

TEST(ClockTest, PdfDateText) {
  EXPECT_EQ(PdfDateText(DateTimeFromSerial(37776.56454474537)), "D:20030604133256");
  EXPECT_EQ(PdfDateText({7, 1, 2, 3, 4, 5, 0}), "D:00070102030405");
  EXPECT_EQ(PdfDateText({-5, 1, 1, 0, 0, 0, 0}), "D:00000101000000");
  EXPECT_EQ(PdfDateText({12345, 1, 1, 0, 0, 0, 0}), "D:99990101000000");
}

TEST(ClockTest, Clocks) {
  FixedClock fixed({2003, 6, 4, 13, 32, 56, 666});
  fixed.Set({2024, 1, 1, 0, 0, 0, 0});
  EXPECT_EQ(static_cast<const Clock&>(fixed).Now(), (LocalDateTime{2024, 1, 1, 0, 0, 0, 0}));

  const LocalDateTime now = DefaultClock().Now();
  EXPECT_GE(now.year, 2020);
  EXPECT_LT(now.millisecond, 1000);
}

}  // namespace
}  // namespace quirabel
