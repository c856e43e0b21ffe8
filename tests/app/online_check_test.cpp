#include "app/online_check.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace quirabel::app {
namespace {

TEST(OnlineCheck, CountsTicksOnAnOutsideAddress) {
  OnlineCheck check;
  // No network, loopback and home networks are not online.
  for (const char* address : {"0.0.0.0", "127.0.1.1", "192.168.2.10"}) {
    EXPECT_FALSE(check.Tick(address)) << address;
    EXPECT_EQ(check.onlineCounter, 0) << address;
  }
  // An outside address: the button blinks for nine ticks, then the counter rests at 19 and 20.
  for (int tick = 1; tick <= 9; ++tick) EXPECT_TRUE(check.Tick("10.1.2.3")) << tick;
  for (int tick = 10; tick <= 25; ++tick) EXPECT_FALSE(check.Tick("10.1.2.3")) << tick;
  EXPECT_EQ(check.onlineCounter, 19);
  // Going home again stops it at once.
  check.Tick("192.168.0.4");
  EXPECT_EQ(check.onlineCounter, 0);
}

TEST(OnlineCheck, ClosingAsksWhereATickWouldCount) {
  OnlineCheck check;
  EXPECT_TRUE(check.CountsOnline("10.1.2.3"));
  EXPECT_TRUE(check.CountsOnline("1920.1.2.3"));  // the first number, not its first digits
  for (const char* address : {"0.0.0.0", "127.0.0.1", "192.168.2.10"}) {
    EXPECT_FALSE(check.CountsOnline(address)) << address;
  }
}

TEST(OnlineCheck, LocalAddressIsAnAddress) {
  const std::string address = LocalAddress();
  EXPECT_EQ(std::count(address.begin(), address.end(), '.'), 3) << address;
}

// A look-up that hangs (a slow name server) never holds the caller: the last address answers.
TEST(OnlineCheck, WatchAnswersWithoutWaitingForTheLookUp) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  auto lookUps = std::make_shared<std::atomic<int>>(0);
  LocalAddressWatch watch([released, lookUps] {
    ++*lookUps;
    released.wait();
    return std::string("10.1.2.3");
  });
  EXPECT_EQ(watch.Latest(), "127.0.0.1");
  EXPECT_EQ(watch.Latest(), "127.0.0.1");  // still the one look-up running
  release.set_value();
  std::string latest;
  for (int i = 0; i < 5000 && latest != "10.1.2.3"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    latest = watch.Latest();
  }
  EXPECT_EQ(latest, "10.1.2.3");
  EXPECT_GE(lookUps->load(), 1);
}

}  // namespace
}  // namespace quirabel::app
