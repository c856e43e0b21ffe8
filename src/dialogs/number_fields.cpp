#include "dialogs/number_fields.h"

#include <charconv>
#include <cmath>

namespace quirabel::dialogs {

namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string RangeText(const NumberRange& range) {
  return ShortestDecimal(static_cast<float>(range.min)) + " bis " +
         ShortestDecimal(static_cast<float>(range.max));
}

// Digits with an optional sign, or a decimal; nothing else (no exponent, no "nan", no blanks
// inside), so that what the person sees is what is read.
std::optional<double> Parse(std::string_view text, bool whole) {
  if (text.empty()) return std::nullopt;
  std::string plain(text);
  if (!whole) {
    for (char& c : plain) {
      if (c == ',') c = '.';
    }
  }
  const char* first = plain.data();
  const char* last = first + plain.size();
  if (*first == '+') ++first;
  for (const char* p = first; p != last; ++p) {
    const bool sign = p == first && *p == '-';
    if (!sign && (*p < '0' || *p > '9') && (whole || *p != '.')) return std::nullopt;
  }
  double value = 0;
  const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
  if (ec != std::errc() || end != last || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

std::optional<double> ReadNumber(std::string_view text, const NumberRange& range,
                                 std::string& error) {
  const std::string_view trimmed = Trimmed(text);
  const std::optional<double> value = Parse(trimmed, range.whole);
  if (!value) {
    error = "„" + std::string(trimmed) + "“ ist kein gültiger " +
            (range.whole ? "ganzzahliger Wert" : "Zahlenwert") + " (erlaubt: " + RangeText(range) +
            ").";
    return std::nullopt;
  }
  if (*value < range.min || *value > range.max) {
    error = "„" + std::string(trimmed) + "“ liegt außerhalb des erlaubten Bereichs von " +
            RangeText(range) + ".";
    return std::nullopt;
  }
  return *value;
}

std::string ShortestDecimal(float value) {
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) return "0";
  return std::string(buffer, end);
}

}  // namespace quirabel::dialogs
