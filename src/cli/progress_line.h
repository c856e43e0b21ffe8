#pragma once

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>

namespace quirabel::cli {

// The progress of a long command on one terminal line of standard error: how many of how many,
// how many a second, and the time left ("1200/4000 PDF-Dateien · 410/s · noch 0:07"). It shows
// only on a terminal and when not asked to be quiet, at most five times a second, and ends its
// line when the work is done or the line goes away.
class ProgressLine {
 public:
  // `unit` follows the count ("PDF-Dateien", "Mails").
  ProgressLine(std::ostream& out, bool terminal, std::string unit);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void Update(std::size_t done, std::size_t total);

  // The text shown for a state: count, rate and time left once there is a rate.
  static std::string Text(std::size_t done, std::size_t total, double seconds,
                          const std::string& unit);

 private:
  std::ostream& out_;
  const bool shown_;
  const std::string unit_;
  const std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastShown_;
  bool open_ = false;  // a line is on the screen without its end
};

// Whether standard error is a terminal.
bool StandardErrorIsTerminal();

}  // namespace quirabel::cli
