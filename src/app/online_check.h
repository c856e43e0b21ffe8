#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
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

// This machine's address by its host name, "127.0.0.1" when it has none. The look-up may ask a
// name server and wait for it.
std::string LocalAddress();

// The local address for a caller that must not wait (the designer's timer, every second): each
// Latest() answers at once with the last address found ("127.0.0.1" before the first) and starts
// a look-up on a thread of its own when none is running, so the answer is one look-up old. A
// look-up still running when the watch goes finishes on its own.
class LocalAddressWatch {
 public:
  explicit LocalAddressWatch(std::function<std::string()> lookUp = LocalAddress);
  std::string Latest();

 private:
  struct Shared {
    std::mutex mutex;
    std::string latest = "127.0.0.1";
    bool busy = false;
  };
  std::function<std::string()> lookUp_;
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

}  // namespace quirabel::app
