#include <cstddef>
#include <cstdint>
#include <string_view>

#include "serial/csv_table.h"
#include "serial/pdf_names.h"
#include "serial/serial_error.h"

using quirabel::serial::CellAt;
using quirabel::serial::CsvTable;
using quirabel::serial::Naming;
using quirabel::serial::PdfFileNames;
using quirabel::serial::SerialError;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    const CsvTable table = CsvTable::Parse(bytes);
    for (std::size_t row = 0; row < table.RowCount(); ++row) {
      const auto cells = table.Row(row);
      if (cells.empty()) __builtin_trap();  // every row has at least one cell
      (void)CellAt(cells, table.ColumnCount());
    }
    // Names from any cell stay inside the folder and never repeat.
    const auto names = PdfFileNames(table, Naming{1, "pdf-file"}, table.RowCount());
    for (const auto& name : names) {
      if (name.size() <= 4 || name.find_first_of("/\\") != std::string::npos) __builtin_trap();
      for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) __builtin_trap();
      }
    }
  } catch (const SerialError&) {
  }
  return 0;
}
