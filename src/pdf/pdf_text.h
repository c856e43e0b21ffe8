#pragma once

#include <string>
#include <string_view>

#include "base/clock.h"

// Small text helpers shared by the object model and the canvas. All text here is Windows-1252
// bytes, the PDF writer's single-byte text encoding.
namespace quirabel::pdf {

// The number format of every operator operand: x is rounded to hundredths the writer's way
// (x * 100 + 0.5, truncated toward zero, so negative halves round up) and printed without exponent
// or trailing zeros, with a full stop whatever the locale. NaN prints "0"; values beyond the range
// of a 32-bit count of hundredths are clamped to it.
std::string FormatReal(double x);
void AppendReal(std::string& out, double x);

// Shortest decimal form with up to 15 significant digits, never an exponent (PDF has none).
std::string FormatDouble(double x);

// Backslash-escapes ( ) \ CR LF TAB BS FF for a literal string.
std::string EscapeText(std::string_view bytes);
void AppendEscapedText(std::string& out, std::string_view bytes);

// A name's bytes with "#xx" for delimiters, '#', and bytes outside 33..126; without the slash.
// A name cannot hold a NUL byte, not even escaped: NUL bytes are left out.
std::string EscapeName(std::string_view bytes);
void AppendEscapedName(std::string& out, std::string_view bytes);

// True when some byte leads a double-byte character in the text code page. Windows-1252 is a
// single-byte code page, so this is never true; callers keep the branch for the hexadecimal form.
bool HasMultiByte(std::string_view bytes);

// Two upper-case hexadecimal digits per byte, no separators.
std::string ToHex(std::string_view bytes);

// Number of characters; a double-byte character would count once.
int CharCount(std::string_view bytes);

// "D:YYYYMMDDHHMMSS" of a local time, no time-zone part.
std::string DateText(const LocalDateTime& when);

}  // namespace quirabel::pdf
