#include <cstddef>
#include <cstdint>
#include <string_view>

#include "serial/link_file.h"
#include "serial/serial_error.h"

using quirabel::serial::AssignedColumn;
using quirabel::serial::LinkFile;
using quirabel::serial::LinkFileBytes;
using quirabel::serial::ParseLinkFile;
using quirabel::serial::SerialError;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    const LinkFile link = ParseLinkFile(bytes);
    for (const auto& entry : link.assignments) {
      try {
        (void)AssignedColumn(link.assignments, entry.substr(0, entry.find("  ->")));
      } catch (const SerialError&) {
      }
    }
    // What we write reads back as it was.
    try {
      const LinkFile again = ParseLinkFile(LinkFileBytes(link));
      if (again.assignments != link.assignments || again.csvPath != link.csvPath ||
          again.separator != link.separator) {
        __builtin_trap();
      }
    } catch (const SerialError&) {
    }
  } catch (const SerialError&) {
  }
  return 0;
}
