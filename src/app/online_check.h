#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quirabel::app {

// Whether the machine seems to be online, counted in timer ticks. Dial-up connections cannot be
// enumerated on Linux, so the local address decides: an address other than the last known one
// counts as online unless it starts with 0, 127 or 192 (no network, loopback, a home network).
struct OnlineCheck {
  std::uint8_t onlineCounter = 0;
  std::string lastKnownAddress = "0.0.0.0";

  // One tick of the main window's timer; true when the blinking should run (online for one to
  // nine ticks).
  bool Tick(std::string_view localAddress);
  // Whether a tick with this address would count the machine online: the question asked when
  // the program ends.
  bool CountsOnline(std::string_view localAddress) const;
};

// This machine's address by its host name, "127.0.0.1" when it has none.
std::string LocalAddress();

}  // namespace quirabel::app
