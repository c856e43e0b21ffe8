#include "designer/print_formats.h"

#include <string>

namespace quirabel::designer {

namespace {

// Open sizes: a folded card is listed as it lies flat before folding.
constexpr PrintFormat kPrintFormats[] = {
    {"visitenkarte", "Visitenkarte 85 × 55", 85, 55, 0, 0, 0, 0},
    {"visitenkarte-gefalzt", "Visitenkarte 85 × 55 quer gefalzt", 85, 110, 0, 1, 0, 0},
    {"klappkarte-a6", "Klappkarte A6", 210, 148, 1, 0, 0, 0},
    {"flyer-din-lang-wickelfalz", "Flyer DIN lang Wickelfalz", 297, 210, 2, 0, 0, 0},
    {"flyer-a5", "Flyer A5", 148, 210, 0, 0, 0, 0},
    {"postkarte-a6", "Postkarte A6", 148, 105, 0, 0, 0, 0},
    {"eintrittskarte", "Eintrittskarte 210 × 99", 210, 99, 0, 0, 1, 0},
};

}  // namespace

std::span<const PrintFormat> PrintFormats() { return kPrintFormats; }

const PrintFormat* FindPrintFormat(std::string_view keyOrName) {
  for (const PrintFormat& format : kPrintFormats) {
    if (format.key == keyOrName || format.name == keyOrName) return &format;
  }
  return nullptr;
}

PageFormat PageFormatOf(const PrintFormat& format) {
  return {"", std::to_string(format.trimmedWidthMm + 2 * kBleedMm),
          std::to_string(format.trimmedHeightMm + 2 * kBleedMm)};
}

}  // namespace quirabel::designer
