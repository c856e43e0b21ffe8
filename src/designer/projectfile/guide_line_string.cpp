#include "designer/projectfile/guide_line_string.h"

#include <cstdlib>

#include "designer/projectfile/records.h"

namespace quirabel::designer::projectfile {

namespace {

constexpr std::array<std::string_view, 4> kTags = {"</VBL>", "</HBL>", "</SVBL>", "</SHBL>"};

// The panel around the page is 80 pixels larger than the page; lines, handles and labels stay on
// it, so a position beyond this margin on either side comes from a damaged file.
constexpr std::int64_t kPanelMargin = 80;
// Distances are whole millimetres of a page of at most a few metres.
constexpr std::size_t kMaxDistanceDigits = 6;

[[noreturn]] void Damaged(const std::string& what) {
  throw ProjectFileError("Die Seite ist beschädigt: die Hilfslinien " + what + ".");
}

bool IsWholeNumber(std::string_view text, std::size_t maxDigits) {
  if (!text.empty() && text.front() == '-') text.remove_prefix(1);
  if (text.empty() || text.size() > maxDigits) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

std::int32_t Position(std::string_view text, std::int64_t extent) {
  // Nine digits cannot overflow; the range check below does the rest.
  if (!IsWholeNumber(text, 9)) Damaged("enthalten eine ungültige Zahl");
  const std::int64_t value = std::strtoll(std::string(text).c_str(), nullptr, 10);
  if (value < -(extent + kPanelMargin) || value > 2 * (extent + kPanelMargin))
    Damaged("liegen weit außerhalb der Seite");
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::string_view GuideRecordTag(GuideKind kind) { return kTags[static_cast<std::size_t>(kind)]; }

GuideLineRecords ReadGuideLineString(std::string_view text,
                                     const std::array<std::uint8_t, 4>& counts, int pageWidth,
                                     int pageHeight) {
  GuideLineRecords result;
  while (!text.empty()) {
    const std::size_t open = text.find("</");
    if (open == std::string_view::npos) Damaged("enden ohne Abschluss");
    const std::size_t close = text.find('>', open);
    if (close == std::string_view::npos) Damaged("enden ohne Abschluss");
    const std::string_view tag = text.substr(open, close + 1 - open);
    std::size_t kindIndex = 0;
    while (kindIndex < kTags.size() && kTags[kindIndex] != tag) ++kindIndex;
    if (kindIndex == kTags.size()) Damaged("enthalten eine unbekannte Art");
    std::vector<GuideRecord>& records = result.byKind[kindIndex];
    // Lines 1 to C and the label after the last: C + 1 records, none without lines.
    const std::size_t count = counts[kindIndex];
    if (records.size() >= (count == 0 ? 0 : count + 1)) Damaged("haben mehr Einträge als Linien");

    std::array<std::string_view, 5> fields;
    std::string_view rest = text.substr(0, open);
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const std::size_t bar = rest.find('|');
      if ((bar == std::string_view::npos) != (i == fields.size() - 1))
        Damaged("haben einen Eintrag mit falscher Feldzahl");
      fields[i] = rest.substr(0, bar);
      if (bar != std::string_view::npos) rest.remove_prefix(bar + 1);
    }
    GuideRecord record;
    record.lineTop = Position(fields[0], pageHeight);
    record.lineLeft = Position(fields[1], pageWidth);
    if (!IsWholeNumber(fields[2], kMaxDistanceDigits))
      Damaged("enthalten einen ungültigen Abstand");
    record.distance = std::string(fields[2]);
    record.labelTop = Position(fields[3], pageHeight);
    record.labelLeft = Position(fields[4], pageWidth);
    records.push_back(std::move(record));
    text.remove_prefix(close + 1);
  }
  return result;
}

std::string WriteGuideRecord(GuideKind kind, const GuideRecord& r) {
  std::string out = std::to_string(r.lineTop) + "|" + std::to_string(r.lineLeft) + "|" +
                    r.distance + "|" + std::to_string(r.labelTop) + "|" +
                    std::to_string(r.labelLeft);
  out += GuideRecordTag(kind);
  return out;
}

}  // namespace quirabel::designer::projectfile
