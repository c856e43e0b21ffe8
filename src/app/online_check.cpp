#include "app/online_check.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <unistd.h>

#include <array>
#include <system_error>
#include <thread>
#include <utility>

namespace quirabel::app {

bool OnlineCheck::CountsOnline(std::string_view localAddress) const {
  if (localAddress == lastKnownAddress) return false;
  const std::string_view first = localAddress.substr(0, localAddress.find('.'));
  return first != "0" && first != "127" && first != "192";
}

bool OnlineCheck::Tick(std::string_view localAddress) {
  if (localAddress != lastKnownAddress) {
    if (!CountsOnline(localAddress)) {
      onlineCounter = 0;
    } else if (onlineCounter < 255) {
      ++onlineCounter;
    }
  }
  const bool blink = onlineCounter > 0 && onlineCounter < 10;
  if (onlineCounter == 20) onlineCounter = 19;  // it stays there and never wraps
  return blink;
}

std::string LocalAddress() {
  std::array<char, 256> host{};
  if (::gethostname(host.data(), host.size() - 1) != 0) return "127.0.0.1";
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.data(), nullptr, &hints, &found) != 0 || found == nullptr) {
    return "127.0.0.1";
  }
  std::array<char, INET_ADDRSTRLEN> text{};
  const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  const bool ok = ::inet_ntop(AF_INET, &address->sin_addr, text.data(), text.size()) != nullptr;
  ::freeaddrinfo(found);
  return ok ? std::string(text.data()) : std::string("127.0.0.1");
}

LocalAddressWatch::LocalAddressWatch(std::function<std::string()> lookUp)
    : lookUp_(std::move(lookUp)) {}

std::string LocalAddressWatch::Latest() {
  std::lock_guard lock(shared_->mutex);
  if (!shared_->busy) {
    shared_->busy = true;
    try {
      std::thread([shared = shared_, lookUp = lookUp_] {
        std::string address;
        try {
          address = lookUp();
        } catch (...) {
          address = "127.0.0.1";
        }
        std::lock_guard done(shared->mutex);
        shared->latest = std::move(address);
        shared->busy = false;
      }).detach();
    } catch (const std::system_error&) {
      shared_->busy = false;  // no thread to be had: the last address stays
    }
  }
  return shared_->latest;
}

}  // namespace quirabel::app
