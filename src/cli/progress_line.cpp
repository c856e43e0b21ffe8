#include "cli/progress_line.h"

#include <unistd.h>

#include <cmath>

namespace quirabel::cli {

namespace {

std::string Duration(double seconds) {
  const auto total = static_cast<long long>(std::ceil(seconds));
  const long long hours = total / 3600, minutes = total / 60 % 60, rest = total % 60;
  std::string text = hours > 0 ? std::to_string(hours) + ":" : "";
  text += (hours > 0 && minutes < 10 ? "0" : "") + std::to_string(minutes) + ":";
  text += (rest < 10 ? "0" : "") + std::to_string(rest);
  return text;
}

}  // namespace

ProgressLine::ProgressLine(std::ostream& out, bool terminal, std::string unit)
    : out_(out),
      shown_(terminal),
      unit_(std::move(unit)),
      start_(std::chrono::steady_clock::now()),
      lastShown_(start_) {}

ProgressLine::~ProgressLine() {
  if (open_) out_ << "\n" << std::flush;
}

void ProgressLine::Update(std::size_t done, std::size_t total) {
  if (!shown_) return;
  const auto now = std::chrono::steady_clock::now();
  if (done < total && now - lastShown_ < std::chrono::milliseconds(200)) return;
  lastShown_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  // Clear to the end of the line: the new text may be shorter than the last.
  out_ << "\r" << Text(done, total, seconds, unit_) << "\033[K";
  open_ = done < total;
  out_ << (open_ ? "" : "\n") << std::flush;
}

std::string ProgressLine::Text(std::size_t done, std::size_t total, double seconds,
                               const std::string& unit) {
  std::string text = std::to_string(done) + "/" + std::to_string(total) + " " + unit;
  if (done == 0 || seconds <= 0) return text;
  const double rate = static_cast<double>(done) / seconds;
  text += " · " + std::to_string(static_cast<long long>(std::llround(rate))) + "/s";
  if (done < total) text += " · noch " + Duration(static_cast<double>(total - done) / rate);
  return text;
}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace quirabel::cli
