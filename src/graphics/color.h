#pragma once

#include <cstdint>

namespace quirabel::graphics {

// A window-system colour value: red in the low byte, then green, then blue (0x00BBGGRR).
// Values with the top bit set are system colours; clNone means no colour.
using TColor = std::int32_t;

inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clBlue = 0xFF0000;

constexpr TColor RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return static_cast<TColor>(r | (g << 8) | (b << 16));
}
constexpr std::uint8_t GetRValue(TColor c) { return static_cast<std::uint8_t>(c & 0xFF); }
constexpr std::uint8_t GetGValue(TColor c) { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
constexpr std::uint8_t GetBValue(TColor c) { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }

// A palette entry of an indexed bitmap.
struct PaletteEntry {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

constexpr TColor ToColor(PaletteEntry e) { return RGB(e.r, e.g, e.b); }

}  // namespace quirabel::graphics
