#include <cstddef>
#include <cstdint>
#include <string_view>

#include "serial/series_settings.h"

using quirabel::serial::ParseSeriesSettings;
using quirabel::serial::SeriesSettings;
using quirabel::serial::SeriesSettingsBytes;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const SeriesSettings settings = ParseSeriesSettings(bytes);
  (void)quirabel::serial::NamingFromText(settings.naming);
  // What we write reads back as it was.
  const std::string written = SeriesSettingsBytes(settings);
  if (!written.empty()) {
    const SeriesSettings again = ParseSeriesSettings(written);
    if (again.naming != settings.naming || again.folder != settings.folder) __builtin_trap();
  }
  return 0;
}
