#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace quirabel::testing {

// An empty folder of the running test's own, named by the prefix, the test and the process: ctest
// runs tests side by side, and two builds (say, the normal and the sanitizer one) may run the
// same test at the same moment.
inline std::filesystem::path FreshTestFolder(const std::string& prefix) {
  const std::filesystem::path folder =
      std::filesystem::path(::testing::TempDir()) /
      (prefix + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
       std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

// Writes a file of a test, making the folders it lies in.
inline void WriteTestFile(const std::filesystem::path& file, const std::string& text) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

}  // namespace quirabel::testing
