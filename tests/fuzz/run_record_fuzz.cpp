#include <cstddef>
#include <cstdint>
#include <string_view>

#include "serial/run_record.h"
#include "serial/serial_error.h"

using quirabel::serial::ReadRunRecord;
using quirabel::serial::RunRecordRow;
using quirabel::serial::SerialError;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    (void)ReadRunRecord(bytes, [](const RunRecordRow& row) {
      // What the reader hands on is what the mailer may rely on.
      if (row.row == 0) __builtin_trap();
      if (row.Written() && (row.file.empty() || row.file.find('/') != std::string::npos ||
                            row.pdfSha256.size() != 64 || row.cellsSha256.size() != 64)) {
        __builtin_trap();
      }
    });
  } catch (const SerialError&) {
  }
  return 0;
}
