#include <cstddef>
#include <cstdint>
#include <string_view>

#include "designer/page_format.h"
#include "designer/projectfile/guide_line_string.h"
#include "designer/projectfile/page_text.h"
#include "designer/projectfile/records.h"

using quirabel::designer::HeightPixels;
using quirabel::designer::WidthPixels;
using quirabel::designer::projectfile::DecodeCodeContent;
using quirabel::designer::projectfile::EncodeCodeContent;
using quirabel::designer::projectfile::GuideLineRecords;
using quirabel::designer::projectfile::kGuideKinds;
using quirabel::designer::projectfile::PageText;
using quirabel::designer::projectfile::ProjectFileError;
using quirabel::designer::projectfile::ReadGuideLineString;
using quirabel::designer::projectfile::ReadPageText;
using quirabel::designer::projectfile::SplitProject;
using quirabel::designer::projectfile::WriteGuideRecord;
using quirabel::designer::projectfile::WritePageText;

namespace {

// The guide-line string of a page, read as an orderable page reads it; what it reads is written
// and read again to the same records.
void CheckGuideLines(const PageText& page) {
  const auto& h = page.header;
  const int width = WidthPixels(h.widthMm).value_or(1000);
  const int height = HeightPixels(h.heightMm).value_or(1000);
  const std::array<std::uint8_t, 4> counts = {h.verticalFolds, h.horizontalFolds,
                                              h.verticalPerforations, h.horizontalPerforations};
  GuideLineRecords records;
  try {
    records = ReadGuideLineString(h.guideLines, counts, width, height);
  } catch (const ProjectFileError&) {
    return;
  }
  std::string again;
  for (auto kind : kGuideKinds)
    for (const auto& r : records.Of(kind)) again += WriteGuideRecord(kind, r);
  const GuideLineRecords reread = ReadGuideLineString(again, counts, width, height);
  for (auto kind : kGuideKinds) {
    const auto& a = records.Of(kind);
    const auto& b = reread.Of(kind);
    if (a.size() != b.size()) __builtin_trap();
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i].lineTop != b[i].lineTop || a[i].lineLeft != b[i].lineLeft ||
          a[i].distance != b[i].distance || a[i].labelTop != b[i].labelTop ||
          a[i].labelLeft != b[i].labelLeft)
        __builtin_trap();
    }
  }
}

// A code's content as stored, read and stored again, reads back to the same text.
void CheckCodes(const PageText& page) {
  for (const auto& block : page.elements) {
    if (block.kind != quirabel::model::ElementKind::Code) continue;
    const std::string text = DecodeCodeContent(block.data.View());
    if (DecodeCodeContent(EncodeCodeContent(text)) != text) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const auto& page : SplitProject(bytes)) {
    try {
      auto p = ReadPageText(page);
      CheckGuideLines(p);
      (void)WritePageText(p);
    } catch (const ProjectFileError&) {
    }
  }
  try {
    auto p = ReadPageText(bytes);
    CheckGuideLines(p);
    CheckCodes(p);
    auto again = WritePageText(p);
    auto q = ReadPageText(again);
    // A page we wrote must read back to the same bytes.
    if (WritePageText(q) != again) __builtin_trap();
  } catch (const ProjectFileError&) {
  }
  return 0;
}
