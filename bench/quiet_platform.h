#pragma once

#include "base/clock.h"
#include "ui/headless_platform.h"

namespace quirabel::bench {

// The benchmarks' documents: no screen, every question answered with OK, a fixed date.
inline const FixedClock& BenchClock() {
  static const FixedClock clock{LocalDateTime{2026, 12, 7, 10, 0, 0, 0}};
  return clock;
}

class QuietPlatform : public ui::HeadlessPlatform {
 public:
  QuietPlatform() : HeadlessPlatform(BenchClock(), ui::mrOk) {}
};

}  // namespace quirabel::bench
