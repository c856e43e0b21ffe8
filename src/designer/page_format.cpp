#include "designer/page_format.h"

#include <algorithm>
#include <cstdint>

namespace quirabel::designer {

PageFormat DinFormat(DinSize size, bool landscape) {
  struct Row {
    const char* type;
    const char* shortSide;
    const char* longSide;
  };
  static constexpr Row kRows[] = {{"A4", "210", "297"}, {"A5", "148", "210"}, {"A6", "105", "148"}};
  const Row& row = kRows[static_cast<int>(size)];
  return landscape ? PageFormat{row.type, row.longSide, row.shortSide}
                   : PageFormat{row.type, row.shortSide, row.longSide};
}

namespace {

// floor(text x factor / 1000) for a decimal text "123" or "123.45", exactly; none for anything
// else or a result beyond the page limit.
std::optional<int> ScaledPixels(std::string_view text, std::int64_t factor) {
  if (text.empty()) return std::nullopt;
  std::int64_t whole = 0;
  std::int64_t fraction = 0;  // the fraction digits as an integer
  std::int64_t scale = 1;     // 10^(number of fraction digits kept)
  bool seenPoint = false;
  bool seenDigit = false;
  for (char c : text) {
    if (c == '.' && !seenPoint) {
      seenPoint = true;
      continue;
    }
    if (c < '0' || c > '9') return std::nullopt;
    seenDigit = true;
    if (!seenPoint) {
      whole = whole * 10 + (c - '0');
      if (whole > 1'000'000) return std::nullopt;  // far past any page
    } else if (scale < 1'000'000'000) {
      fraction = fraction * 10 + (c - '0');
      scale *= 10;
    }
  }
  if (!seenDigit) return std::nullopt;
  // (whole + fraction / scale) * factor / 1000, floored.
  const std::int64_t numerator = (whole * scale + fraction) * factor;
  const std::int64_t pixels = numerator / (scale * 1000);
  if (pixels < 1 || pixels > kMaxPagePoints) return std::nullopt;
  return static_cast<int>(pixels);
}

// Whole millimetres of a decimal text (fraction dropped); none when it is no number.
std::optional<std::int64_t> WholeMillimetres(std::string_view text) {
  std::int64_t value = 0;
  bool digit = false;
  for (char c : text) {
    if (c == '.') break;
    if (c < '0' || c > '9') return std::nullopt;
    digit = true;
    value = std::min<std::int64_t>(value * 10 + (c - '0'), 1'000'000);
  }
  if (!digit) return std::nullopt;
  return value;
}

}  // namespace

std::optional<int> WidthPixels(std::string_view widthMm) { return ScaledPixels(widthMm, 2838); }
std::optional<int> HeightPixels(std::string_view heightMm) { return ScaledPixels(heightMm, 2837); }

bool IsWholeMillimetres(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string PlainDecimal(std::string_view digits) {
  const std::size_t first = digits.find_first_not_of('0');
  return first == std::string_view::npos ? std::string(digits.empty() ? "" : "0")
                                         : std::string(digits.substr(first));
}

int CopiesPerA3Sheet(std::string_view widthMm, std::string_view heightMm) {
  const auto width = WholeMillimetres(widthMm);
  const auto height = WholeMillimetres(heightMm);
  if (!width || !height) return 0;
  const std::int64_t w = *width - 6;
  const std::int64_t h = *height - 6;
  if (h > 420 || w > 420 || h <= 0 || w <= 0) return 0;
  return static_cast<int>(std::max((297 / h) * (420 / w), (297 / w) * (420 / h)));
}

std::string TimeDigits(const LocalDateTime& when) {
  return std::to_string(when.hour) + std::to_string(when.minute) + std::to_string(when.second) +
         std::to_string(when.millisecond);
}

std::string MakeDocumentId(const LocalDateTime& when) { return "BImage0" + TimeDigits(when); }

}  // namespace quirabel::designer
