#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/clock.h"

namespace quirabel::designer {

// A page size in millimetres as the format window and the project file hold it: decimal strings.
struct PageFormat {
  std::string docType;  // "A4", "A5", "A6" or empty for free dimensions
  std::string widthMm;
  std::string heightMm;
};

enum class DinSize { A4, A5, A6 };

// The DIN formats, width and height written as the format window writes them.
PageFormat DinFormat(DinSize size, bool landscape);

// Page pixels of a millimetre size: the integer part of width x 2.838 and of height x 2.837, in
// exact decimal arithmetic. None when the text is no non-negative decimal number, or the page
// would have no pixels or pass the largest page a PDF may have (14,400 points).
std::optional<int> WidthPixels(std::string_view widthMm);
std::optional<int> HeightPixels(std::string_view heightMm);
inline constexpr int kMaxPagePoints = 14400;
// Page pixels of a millimetre across and down (what WidthPixels and HeightPixels multiply by), and
// millimetres of page pixels, for showing positions and sizes.
inline constexpr double kPixelsPerMmAcross = 2.838;
inline constexpr double kPixelsPerMmDown = 2.837;
inline double MillimetresAcross(double pixels) { return pixels / kPixelsPerMmAcross; }
inline double MillimetresDown(double pixels) { return pixels / kPixelsPerMmDown; }

// The format window's check of a typed size: digits "0" to "9" only, not empty.
bool IsWholeMillimetres(std::string_view text);
// "0150" -> "150".
std::string PlainDecimal(std::string_view digits);

// Copies of the trimmed format (3 mm bleed off each side) on an A3 sheet of 297 x 420 mm.
// Formats of 6 mm or less in a direction have no copies (0).
int CopiesPerA3Sheet(std::string_view widthMm, std::string_view heightMm);

// Hour, minute, second and millisecond in decimal, run together: 14:05:07.042 gives "145742".
std::string TimeDigits(const LocalDateTime& when);
// "BImage0" + TimeDigits.
std::string MakeDocumentId(const LocalDateTime& when);

}  // namespace quirabel::designer
