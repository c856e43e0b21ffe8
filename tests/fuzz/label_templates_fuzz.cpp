#include <cstddef>
#include <cstdint>
#include <string_view>

#include "report/sheet_products.h"

using quirabel::report::LabelTemplates;
using quirabel::report::ReadLabelTemplates;
using quirabel::report::SheetError;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    const LabelTemplates read = ReadLabelTemplates(bytes);
    // What is kept is usable: a grid of at least one label of some size.
    for (const auto& product : read.products) {
      if (product.grid.columns < 1 || product.grid.rows < 1 || !(product.labelWidth > 0) ||
          !(product.labelHeight > 0))
        __builtin_trap();
    }
  } catch (const SheetError&) {
  }
  return 0;
}
