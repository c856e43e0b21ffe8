#include "online/server_address.h"

#include <gtest/gtest.h>

#include "base/atomic_file.h"
#include "support/test_folder.h"

namespace quirabel::online {
namespace {

TEST(ServerAddress, EnvironmentThenSettingsFileThenTheProductServer) {
  const auto folder = testing::FreshTestFolder("server_");
  EXPECT_EQ(ServerAddress(folder, nullptr), "https://www.quirabel.de");

  WriteFileAtomic(folder / "quirabel.conf", "# Testserver\n server = http://127.0.0.1:8080/ \n");
  EXPECT_EQ(ServerAddress(folder, nullptr), "http://127.0.0.1:8080");
  EXPECT_EQ(ServerAddress(folder, "http://127.0.0.1:9090/quirabel"),
            "http://127.0.0.1:9090/quirabel");

  // What is no http or https address is passed over.
  EXPECT_EQ(ServerAddress(folder, "file:///etc"), "http://127.0.0.1:8080");
  EXPECT_EQ(ServerAddress(folder, "http://127.0.0.1/?x="), "http://127.0.0.1:8080");
  EXPECT_EQ(ServerAddress(folder, ""), "http://127.0.0.1:8080");
  WriteFileAtomic(folder / "quirabel.conf", "server=/usr/bin/xterm\n");
  EXPECT_EQ(ServerAddress(folder, nullptr), "https://www.quirabel.de");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace quirabel::online
