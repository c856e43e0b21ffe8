#include <cstddef>
#include <cstdint>
#include <string_view>

#include "designer/projectfile/page_text.h"

using quirabel::designer::projectfile::ProjectFileError;
using quirabel::designer::projectfile::ReadPageText;
using quirabel::designer::projectfile::SplitProject;
using quirabel::designer::projectfile::WritePageText;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const auto& page : SplitProject(bytes)) {
    try {
      auto p = ReadPageText(page);
      (void)WritePageText(p);
    } catch (const ProjectFileError&) {
    }
  }
  try {
    auto p = ReadPageText(bytes);
    auto again = WritePageText(p);
    auto q = ReadPageText(again);
    // A page we wrote must read back to the same bytes.
    if (WritePageText(q) != again) __builtin_trap();
  } catch (const ProjectFileError&) {
  }
  return 0;
}
