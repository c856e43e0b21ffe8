#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "serial/pdf_names.h"

namespace quirabel::serial {

// How the project's last series was named and where it went, kept beside its link file
// (csv_db/<ProjectNumber>.serie) so that the next run, in the designer or the batch tool, names
// its PDFs the same way, and the e-mail tool started from the designer finds them. The link file
// itself stays as it was. UTF-8 lines "key=value":
//   naming=Feld2        (or the identifier the PDFs are counted after)
//   folder=/home/anna/Serie
// Unknown keys and lines without "=" are passed over.

inline constexpr std::size_t kMaxSeriesSettingsBytes = 64 * 1024;

struct SeriesSettings {
  std::string naming;  // "FeldK" or the identifier; empty when none was kept
  std::string folder;
};

// The file beside a link file.
std::filesystem::path SeriesSettingsPath(const std::filesystem::path& linkFile);

SeriesSettings ParseSeriesSettings(std::string_view bytes);
// Empty when a value cannot be kept (a line break in it).
std::string SeriesSettingsBytes(const SeriesSettings& settings);

// Reads the file; none when it is not there or cannot be read (it is only a convenience).
std::optional<SeriesSettings> ReadSeriesSettings(const std::filesystem::path& file);
// Writes it atomically; false when it cannot be written.
bool WriteSeriesSettings(const std::filesystem::path& file, const SeriesSettings& settings);

// "Feld2" for a column, else the identifier; and back ("FeldK" with K from 1 names a column, any
// other text is the identifier, an empty one the default).
std::string NamingText(const Naming& naming);
Naming NamingFromText(std::string_view text);

}  // namespace quirabel::serial
