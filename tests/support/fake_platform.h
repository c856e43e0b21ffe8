#pragma once

#include <string>
#include <vector>

#include "base/clock.h"
#include "base/random.h"
#include "ui/platform.h"

namespace quirabel::testing {

// The platform of tests: records every message box and repaint request, keeps the cursor, and
// hands out a fixed clock and a scripted random source.
class FakePlatform : public ui::Platform {
 public:
  FakePlatform() : clock(LocalDateTime{2026, 12, 7, 9, 30, 0, 0}), random({0}) {}

  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  ui::TCursor ScreenCursor() const override { return cursor; }
  void SetScreenCursor(ui::TCursor value) override { cursor = value; }
  void Invalidate(ui::Control& /*control*/) override { ++invalidations; }
  void ProcessMessages() override { ++processed; }
  const Clock& GetClock() override { return clock; }
  RandomSource& Random() override { return random; }

  std::vector<std::string> messages;
  ui::TCursor cursor = ui::crDefault;
  int invalidations = 0;
  int processed = 0;
  FixedClock clock;
  SequenceRandom random;
};

}  // namespace quirabel::testing
