#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quirabel::designer::projectfile {

// The four kinds of guide lines, in the order the page header counts them and the guide-line
// string lists them.
enum class GuideKind { VerticalFold, HorizontalFold, VerticalPerforation, HorizontalPerforation };
inline constexpr std::array<GuideKind, 4> kGuideKinds = {
    GuideKind::VerticalFold, GuideKind::HorizontalFold, GuideKind::VerticalPerforation,
    GuideKind::HorizontalPerforation};

constexpr bool IsVertical(GuideKind kind) {
  return kind == GuideKind::VerticalFold || kind == GuideKind::VerticalPerforation;
}
constexpr bool IsFold(GuideKind kind) {
  return kind == GuideKind::VerticalFold || kind == GuideKind::HorizontalFold;
}

// The tag that closes each record of a kind: "</VBL>", "</HBL>", "</SVBL>", "</SHBL>".
std::string_view GuideRecordTag(GuideKind kind);

// One record of the guide-line string: line k+1's position and distance label k (the label
// before it), or for the record after the last line only the last label ("0", "0" for the line).
// The distance is kept as written, so that a page reads back to the same bytes.
struct GuideRecord {
  std::int32_t lineTop = 0;
  std::int32_t lineLeft = 0;
  std::string distance;  // decimal, without "mm"
  std::int32_t labelTop = 0;
  std::int32_t labelLeft = 0;
};

struct GuideLineRecords {
  std::array<std::vector<GuideRecord>, 4> byKind;
  const std::vector<GuideRecord>& Of(GuideKind kind) const {
    return byKind[static_cast<std::size_t>(kind)];
  }
};

// Reads a guide-line string for a page of the given size in pixels with the header's four
// counts. A kind has at most count + 1 records (one per line and one for the last label), none
// when it has no lines. Fields
// that are not whole numbers, a tag that names no kind, too many records, or positions far
// outside the page and the panel around it make a damaged page: ProjectFileError.
GuideLineRecords ReadGuideLineString(std::string_view text,
                                     const std::array<std::uint8_t, 4>& counts, int pageWidth,
                                     int pageHeight);

// One record as it is written: "top|left|distance|labelTop|labelLeft" and the kind's tag.
std::string WriteGuideRecord(GuideKind kind, const GuideRecord& record);

}  // namespace quirabel::designer::projectfile
