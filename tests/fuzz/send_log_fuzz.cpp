#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mail/send_log.h"

using quirabel::mail::kSentResult;
using quirabel::mail::ParseSendLog;
using quirabel::mail::SendLogLine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // Every mail the log says was sent is said again by the line we would write for it.
  for (const auto& [file, address] : ParseSendLog(bytes)) {
    const auto again = ParseSendLog(SendLogLine({"t", 1, address, file, kSentResult}));
    if (again.size() != 1 || again.begin()->first != file || again.begin()->second != address)
      __builtin_trap();
  }
  return 0;
}
