#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace quirabel::testing {

// An empty folder of the running test's own, named by the prefix and the test: ctest runs tests
// side by side.
inline std::filesystem::path FreshTestFolder(const std::string& prefix) {
  const std::filesystem::path folder =
      std::filesystem::path(::testing::TempDir()) /
      (prefix + ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

}  // namespace quirabel::testing
