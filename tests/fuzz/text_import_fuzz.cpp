#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/cp1252.h"
#include "dialogs/text_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::size_t total = 0;
  for (const std::string& line : quirabel::dialogs::DecodeTextLines(bytes)) {
    // Every line is well-formed UTF-8 and holds no line break.
    if (!quirabel::IsUtf8(line) || line.find_first_of("\r\n") != std::string::npos)
      __builtin_trap();
    total += line.size();
  }
  // Windows-1252 takes at most three bytes of UTF-8 a character.
  if (total > 3 * size) __builtin_trap();
  return 0;
}
