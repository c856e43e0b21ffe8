// The structure walk and the removal of segments holding project tags. Whatever the walk accepts,
// the removal must leave a JPEG the walk accepts again, of the same size, without the tags.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "graphics/image_error.h"
#include "graphics/jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace g = quirabel::graphics;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // Short tags, so that the fuzzer finds them by chance.
  const std::string_view tags[] = {"<x>", "</kxelement>"};
  g::JpegLayout layout;
  try {
    layout = g::CheckJpegStructure(bytes);
  } catch (const g::ImageError&) {
    // The walk that watches for a tag refuses the same bytes.
    try {
      g::CheckJpegStructureWatching(bytes, tags[1], [](std::size_t) { return true; });
    } catch (const g::ImageError&) {
      return 0;
    }
    __builtin_trap();
  }
  if (layout.end > size || layout.scans < 1 || layout.width < 1) __builtin_trap();
  // The budget answers for every layout the walk gives, without decoding anything.
  (void)g::JpegBudgetProblem(layout);
  // And it ends where the plain walk ends, showing every place a tag starts before that.
  for (std::string_view tag : tags) {
    std::size_t next = bytes.find(tag);
    const auto watched = g::CheckJpegStructureWatching(bytes, tag, [&](std::size_t at) {
      if (at != next) __builtin_trap();
      next = bytes.find(tag, at + 1);
      return true;
    });
    if (!watched || watched->end != layout.end || next < layout.end) __builtin_trap();
  }
  const g::JpegWithoutTags cleaned = g::RemoveSegmentsHolding(bytes, tags);
  if (cleaned.result != g::JpegTagRemoval::SegmentsRemoved) return 0;
  for (std::string_view tag : tags) {
    if (cleaned.bytes.find(tag) != std::string_view::npos) __builtin_trap();
  }
  const g::JpegLayout again =
      g::CheckJpegStructure(cleaned.bytes);  // throws (and aborts) if broken
  if (again.width != layout.width || again.height != layout.height || again.scans != layout.scans) {
    __builtin_trap();
  }
  return 0;
}
