#pragma once

// The model of a page's elements as plain values: one record per kind, as the project file keeps
// it (geometry in page points, colours, texts as Windows-1252 bytes, fonts, the code's kind). No
// control, no window, nothing of the screen: copyable and comparable. designer/projectfile turns
// them into bytes and back.

#include <cstddef>
#include <cstdint>
#include <string>

namespace quirabel::model {

// The fixed-size little-endian records spliced into a page text, one per element. Text fields are
// Windows-1252 bytes. Reserved bytes are written as zero and ignored on reading, so a record read
// and written again gives the same bytes as long as those were zero; float fields are copied bit
// for bit (NaN payloads included). The defaulted comparisons compare floats as numbers.

inline constexpr std::size_t kRectRecordSize = 72;
inline constexpr std::size_t kLabelRecordSize = 368;
inline constexpr std::size_t kTextRecordSize = 120;
inline constexpr std::size_t kImageRecordSize = 76;
inline constexpr std::size_t kCodeRecordSize = 68;

// Longest texts the records can hold; longer ones are cut when encoding.
inline constexpr std::size_t kMaxNameLength = 40;
inline constexpr std::size_t kMaxCaptionLength = 250;

// Ordinals of the one-byte enumerations.
inline constexpr std::uint8_t kFontFixed = 0;
inline constexpr std::uint8_t kFontArial = 1;
inline constexpr std::uint8_t kFontTimes = 2;
inline constexpr std::uint8_t kAlignLeft = 0;
inline constexpr std::uint8_t kAlignRight = 1;
inline constexpr std::uint8_t kAlignCentre = 2;
inline constexpr std::uint8_t kCodeQr = 0;
inline constexpr std::uint8_t kCodeDataMatrix = 1;
inline constexpr std::uint8_t kCodeCode128 = 2;
inline constexpr std::uint8_t kCodeEan13 = 3;
inline constexpr std::uint8_t kCorrectionL = 0;
inline constexpr std::uint8_t kCorrectionM = 1;
inline constexpr std::uint8_t kCorrectionQ = 2;
inline constexpr std::uint8_t kCorrectionH = 3;

// Colours are 0x00BBGGRR, or a system colour with the top bit set.
struct RectRecord {
  std::string name;
  std::int32_t fillColor = 0;
  std::int32_t lineColor = 0;
  std::int32_t top = 0;
  std::int32_t left = 0;
  std::int32_t height = 0;
  std::int32_t width = 0;
  float lineWidth = 0;

  friend bool operator==(const RectRecord&, const RectRecord&) = default;
};

struct LabelRecord {
  std::string name;
  std::string dataField;  // the CSV column filled in by serial PDFs; empty for fixed text
  std::uint8_t fontName = kFontFixed;
  std::uint8_t alignment = kAlignLeft;
  float fontSize = 0;
  std::int32_t fontColor = 0;
  bool fontBold = false;
  bool fontItalic = false;
  float charSpace = 0;
  std::int32_t top = 0;
  std::int32_t left = 0;
  std::int32_t height = 0;
  std::int32_t width = 0;
  std::string text;

  friend bool operator==(const LabelRecord&, const LabelRecord&) = default;
};

// A multi-line text field; its lines follow the record in the page text.
struct TextRecord {
  std::string name;
  std::string dataField;
  std::uint8_t fontName = kFontFixed;
  float fontSize = 0;
  std::int32_t fontColor = 0;
  bool fontBold = false;
  bool fontItalic = false;
  float charSpace = 0;
  std::int32_t top = 0;
  std::int32_t left = 0;
  std::int32_t height = 0;
  std::int32_t width = 0;
  float leading = 0;

  friend bool operator==(const TextRecord&, const TextRecord&) = default;
};

// A picture (JPEG or BMP) or the page background; the picture bytes follow the record.
struct ImageRecord {
  std::string name;
  std::int32_t color = 0;
  std::int32_t top = 0;
  std::int32_t left = 0;
  std::int32_t height = 0;
  std::int32_t width = 0;
  // A bitmap read from a PNG: PDFs hold its samples compressed without loss. Kept in a byte that
  // older files leave reserved, so readers that do not know it lose nothing.
  bool fromPng = false;

  friend bool operator==(const ImageRecord&, const ImageRecord&) = default;
};

// A QR code or barcode; its content follows the record (see EncodeCodeContent).
struct CodeRecord {
  std::string name;
  std::int32_t color = 0;
  std::int32_t top = 0;
  std::int32_t left = 0;
  std::int32_t height = 0;
  std::int32_t width = 0;
  std::uint8_t codeKind = kCodeQr;
  std::uint8_t correction = kCorrectionM;

  friend bool operator==(const CodeRecord&, const CodeRecord&) = default;
};

}  // namespace quirabel::model
