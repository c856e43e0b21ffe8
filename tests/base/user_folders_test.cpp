#include "base/user_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace quirabel {
namespace {

// Sets or clears an environment variable for the test's duration.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedVariable() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(UserFoldersTest, SettingsFollowTheProgramHomeThenXdg) {
  struct Case {
    const char* quirabelHome;
    const char* xdgConfig;
    const char* home;
    const char* folder;
  };
  for (const Case& c : {
           Case{"/tmp/q", "/x/config", "/home/anna", "/tmp/q"},
           Case{nullptr, "/x/config", "/home/anna", "/x/config/quirabel"},
           Case{"", "relative", "/home/anna", "/home/anna/.config/quirabel"},
           Case{nullptr, nullptr, nullptr, "."},
       }) {
    ScopedVariable quirabelHome("QUIRABEL_HOME", c.quirabelHome);
    ScopedVariable xdg("XDG_CONFIG_HOME", c.xdgConfig);
    ScopedVariable home("HOME", c.home);
    EXPECT_EQ(SettingsFolderPath(), std::filesystem::path(c.folder));
  }
}

}  // namespace
}  // namespace quirabel
