#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "mail/send_log.h"

using namespace quirabel::mail;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // Read in small pieces, a log says what it says read at once.
  const SendLogIndex whole = ParseSendLog(bytes);
  SendLogIndex pieces;
  SendLogReader reader(pieces);
  for (std::size_t i = 0; i < bytes.size(); i += 7) reader.Add(bytes.substr(i, 7));
  if (whole != pieces) __builtin_trap();
  // The line we write for a mail reads back as that mail sent.
  const std::string address(bytes.substr(0, size / 2));
  const std::string file(bytes.substr(size / 2));
  if (!address.empty() && !file.empty() && address.find_first_of("\t\r\n") == std::string::npos &&
      file.find_first_of("\t\r\n") == std::string::npos) {
    const SendLogIndex back =
        ParseSendLog(SendLogLine({"t", 1, address, file, kSentResult, "r", "h"}));
    if (StateIn(back, KeyOf("r", 1, address, "h")) != MailState::Sent) __builtin_trap();
  }
  return 0;
}
