#ifndef QUIRABEL_BASE_CLOCK_H_
#define QUIRABEL_BASE_CLOCK_H_

#include <string>

namespace quirabel {

struct LocalDateTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;

  friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

// Source of the current local time. Code that stamps dates takes a Clock so tests can pin the
// output byte for byte with a FixedClock.
class Clock {
 public:
  virtual ~Clock();
  virtual LocalDateTime Now() const = 0;
};

// The machine's local time, to the millisecond. Stateless, so one instance can be shared freely.
class SystemClock final : public Clock {
 public:
  SystemClock();
  LocalDateTime Now() const override;
};

// Always reports the time it was given. Set() is not synchronised with concurrent Now() calls.
class FixedClock final : public Clock {
 public:
  explicit FixedClock(const LocalDateTime& now) : now_(now) {}
  void Set(const LocalDateTime& now) { now_ = now; }
  LocalDateTime Now() const override { return now_; }

 private:
  LocalDateTime now_;
};

// The process-wide SystemClock.
const Clock& DefaultClock();

// Date serial numbers as stored in our files: days since 1899-12-30 00:00, the fraction of the
// day being the time. For negative serials the integer part counts days back and the absolute
// value of the fraction is still the time of day (-1.25 is 1899-12-29 06:00).
//
// DateTimeFromSerial first rounds to whole milliseconds (ties to even), then splits, so
// 37776.56454474537 is 2003-06-04 13:32:56.666. NaN gives 1899-12-30 00:00:00.000; values before
// year 1 or after year 9999 (infinities included) clamp to 0001-01-01 00:00:00.000 or 9999-12-31
// 23:59:59.999.
LocalDateTime DateTimeFromSerial(double serial);

// The inverse of DateTimeFromSerial. Fields out of their usual range carry over (month 13 is
// January of the next year, minute 60 the next hour), so any input gives a finite result.
double SerialFromDateTime(const LocalDateTime& date_time);

// "D:YYYYMMDDHHmmSS" as used in PDF date strings, e.g. "D:20030604133256". The year is clamped
// to 0..9999 and the other fields to their valid ranges so the text always has this shape.
std::string PdfDateText(const LocalDateTime& date_time);

}  // namespace quirabel

#endif  // QUIRABEL_BASE_CLOCK_H_
