#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "designer/page_format.h"

namespace quirabel::designer {

// A product a print shop makes: its size after trimming and how it is folded or perforated. A
// document in such a format is orderable: its page is 3 mm larger on every side (the bleed), and
// it carries guide lines for the cuts, folds and perforations.
struct PrintFormat {
  std::string_view key;   // for the command line: lower case, no spaces
  std::string_view name;  // as the format window lists it
  int trimmedWidthMm = 0;
  int trimmedHeightMm = 0;
  std::uint8_t verticalFolds = 0;
  std::uint8_t horizontalFolds = 0;
  std::uint8_t verticalPerforations = 0;
  std::uint8_t horizontalPerforations = 0;
};

inline constexpr int kBleedMm = 3;
// The bleed in PDF points (3 mm at 72 points to the inch).
inline constexpr double kBleedPoints = 8.504;

// Every orderable format, in the order the format window lists them.
std::span<const PrintFormat> PrintFormats();

// The format of that key or name; none when there is no such format.
const PrintFormat* FindPrintFormat(std::string_view keyOrName);

// The page of a document in that format: the trimmed size plus the bleed on every side.
PageFormat PageFormatOf(const PrintFormat& format);

}  // namespace quirabel::designer
