#include "base/clock.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace quirabel {
namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;
// Serial day numbers of 0001-01-01 and 9999-12-31.
constexpr std::int64_t kFirstDay = -693'593;
constexpr std::int64_t kLastDay = 2'958'465;
// 1970-01-01 as a serial day; the calendar helpers below count from there.
constexpr std::int64_t kUnixEpochDay = 25'569;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::int64_t FloorMod(std::int64_t a, std::int64_t b) { return a - FloorDiv(a, b) * b; }

// Proleptic Gregorian calendar on 400-year eras counted from March 1, so the leap day falls at
// the end of each cycle. `month` must be 1..12.
std::int64_t DaysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = FloorDiv(year, 400);
  const std::int64_t year_of_era = year - era * 400;
  const std::int64_t day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146'097 + day_of_era - 719'468;
}

void CivilFromDays(std::int64_t days, LocalDateTime* out) {
  days += 719'468;
  const std::int64_t era = FloorDiv(days, 146'097);
  const std::int64_t day_of_era = days - era * 146'097;
  const std::int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36'524 - day_of_era / 146'096) / 365;
  const std::int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::int64_t shifted_month = (5 * day_of_year + 2) / 153;  // 0 = March
  const std::int64_t month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
  out->year = static_cast<int>(year_of_era + era * 400 + (month <= 2 ? 1 : 0));
  out->month = static_cast<int>(month);
  out->day = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
}

// Ties go to even, as in the programs that wrote these serials; it only matters when the product
// lands exactly on half a millisecond. |x| < 2^53 here, so x - floor(x) is exact.
std::int64_t RoundToMs(double x) {
  double whole = std::floor(x);
  const double rest = x - whole;
  if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0)) whole += 1;
  return static_cast<std::int64_t>(whole);
}

LocalDateTime FromParts(std::int64_t day, std::int64_t ms_of_day) {
  LocalDateTime result;
  CivilFromDays(day - kUnixEpochDay, &result);
  result.hour = static_cast<int>(ms_of_day / 3'600'000);
  result.minute = static_cast<int>(ms_of_day / 60'000 % 60);
  result.second = static_cast<int>(ms_of_day / 1000 % 60);
  result.millisecond = static_cast<int>(ms_of_day % 1000);
  return result;
}

}  // namespace

Clock::~Clock() = default;

SystemClock::SystemClock() {
  // localtime_r need not pick up the time zone by itself.
  tzset();
}

LocalDateTime SystemClock::Now() const {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const time_t seconds = now.tv_sec;
  tm local{};
  if (localtime_r(&seconds, &local) == nullptr) return FromParts(kUnixEpochDay, 0);
  return LocalDateTime{local.tm_year + 1900,
                       local.tm_mon + 1,
                       local.tm_mday,
                       local.tm_hour,
                       local.tm_min,
                       std::min(local.tm_sec, 59),  // a leap second would be :60
                       static_cast<int>(now.tv_nsec / 1'000'000)};
}

const Clock& DefaultClock() {
  static const SystemClock clock;
  return clock;
}

LocalDateTime DateTimeFromSerial(double serial) {
  if (std::isnan(serial)) return FromParts(0, 0);
  // Coarse bounds first keep the millisecond count far from int64 overflow.
  if (serial <= static_cast<double>(kFirstDay - 1)) return FromParts(kFirstDay, 0);
  if (serial >= static_cast<double>(kLastDay + 1)) return FromParts(kLastDay, kMsPerDay - 1);

  const std::int64_t ms = RoundToMs(serial * static_cast<double>(kMsPerDay));
  const std::int64_t day = ms / kMsPerDay;  // truncates: negative serials count days back
  if (day < kFirstDay) return FromParts(kFirstDay, 0);
  if (day > kLastDay) return FromParts(kLastDay, kMsPerDay - 1);
  return FromParts(day, (ms < 0 ? -ms : ms) % kMsPerDay);
}

double SerialFromDateTime(const LocalDateTime& date_time) {
  const std::int64_t month0 = std::int64_t{date_time.month} - 1;
  const std::int64_t year = date_time.year + FloorDiv(month0, 12);
  std::int64_t day =
      DaysFromCivil(year, FloorMod(month0, 12) + 1, 1) + date_time.day - 1 + kUnixEpochDay;
  std::int64_t ms = std::int64_t{date_time.hour} * 3'600'000 +
                    std::int64_t{date_time.minute} * 60'000 +
                    std::int64_t{date_time.second} * 1000 + date_time.millisecond;
  day += FloorDiv(ms, kMsPerDay);
  ms = FloorMod(ms, kMsPerDay);
  const double fraction = static_cast<double>(ms) / static_cast<double>(kMsPerDay);
  return day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
}

std::string PdfDateText(const LocalDateTime& date_time) {
  char text[32];
  std::snprintf(text, sizeof text, "D:%04d%02d%02d%02d%02d%02d",
                std::clamp(date_time.year, 0, 9999), std::clamp(date_time.month, 1, 12),
                std::clamp(date_time.day, 1, 31), std::clamp(date_time.hour, 0, 23),
                std::clamp(date_time.minute, 0, 59), std::clamp(date_time.second, 0, 59));
  return text;
}

}  // namespace quirabel
