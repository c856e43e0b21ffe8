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
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clGray = 0x808080;
// System colours: the window system's own, by index, with the top bit set.
inline constexpr TColor clWindow = static_cast<TColor>(0x80000005u);
inline constexpr TColor clBtnFace = static_cast<TColor>(0x8000000Fu);

// The colour a system colour stands for on this desktop; other values pass unchanged.
constexpr TColor ResolveSystemColor(TColor c) {
  if (c == clWindow) return clWhite;
  if (c == clBtnFace) return clSilver;
  return c < 0 ? clBlack : c;
}

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
