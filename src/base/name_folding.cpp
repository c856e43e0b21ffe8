#include "base/name_folding.h"

#include <algorithm>

#include "base/module.h"
#include "base/unicode_module.h"
#include "base/user_error.h"

namespace quirabel {

std::string FoldedFileName(std::string_view utf8) {
  // Plain ASCII, by far the most common name, needs no library.
  if (std::all_of(utf8.begin(), utf8.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    std::string folded(utf8);
    for (char& c : folded)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
  }
  static const ModuleTable<UnicodeModule> unicode =
      OpenModuleTable<UnicodeModule>(kUnicodeModuleFile, kUnicodeModuleEntry, kUnicodeModuleAbi);
  // Without it names that a disk takes for one could not be told apart: nothing is written.
  if (unicode.table == nullptr)
    throw UserError("Dateinamen lassen sich nicht vergleichen: " + unicode.problem + ".");
  std::string folded;
  if (!unicode.table->foldFileName(utf8, folded)) return std::string(utf8);
  return folded;
}

}  // namespace quirabel
