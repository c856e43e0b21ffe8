#include "dialogs/text_import.h"

#include <fstream>
#include <iterator>
#include <string_view>
#include <system_error>

#include "base/cp1252.h"

namespace quirabel::dialogs {

std::optional<std::vector<std::string>> ReadTextLines(const std::filesystem::path& file,
                                                      std::string& error) {
  const std::string unreadable = "Die Datei kann nicht gelesen werden:\n" + file.string();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) {
    error = unreadable;
    return std::nullopt;
  }
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec) {
    error = unreadable;
    return std::nullopt;
  }
  if (size > kMaxImportBytes) {
    error = "Die Datei ist größer als 1 MB und wird nicht importiert:\n" + file.string();
    return std::nullopt;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in.is_open()) {
    error = unreadable;
    return std::nullopt;
  }
  // Read no more than the limit even if the file grew since its size was taken.
  std::string bytes(static_cast<std::size_t>(kMaxImportBytes) + 1, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in.bad() || !in.eof()) {
    error = in.bad() ? unreadable
                     : "Die Datei ist größer als 1 MB und wird nicht importiert:\n" + file.string();
    return std::nullopt;
  }
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return DecodeTextLines(bytes);
}

std::vector<std::string> DecodeTextLines(std::string_view bytes) {
  return SplitLines(TextFileToUtf8(bytes));
}

}  // namespace quirabel::dialogs
