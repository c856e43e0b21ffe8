#include "base/split.h"

#include <gtest/gtest.h>

#include <string_view>

namespace quirabel {
namespace {

void ExpectSplit(std::string_view text, std::string_view marker, std::string_view before,
                 std::string_view after, bool found) {
  SCOPED_TRACE(testing::Message() << "'" << text << "' at '" << marker << "'");
  const SplitAt split = SplitAtFirst(text, marker);
  EXPECT_EQ(split.before, before);
  EXPECT_EQ(split.after, after);
  EXPECT_EQ(split.found, found);
}

TEST(SplitTest, SplitsAtFirstMarker) {
  ExpectSplit("key=value", "=", "key", "value", true);
  ExpectSplit("=value", "=", "", "value", true);
  ExpectSplit("key=", "=", "key", "", true);
  ExpectSplit("a=b=c", "=", "a", "b=c", true);
  ExpectSplit("a::b::c", "::", "a", "b::c", true);
  ExpectSplit("a:b::c", "::", "a:b", "c", true);
  ExpectSplit("abc", "", "", "abc", true);
  ExpectSplit("", "", "", "", true);
}

TEST(SplitTest, MissingMarkerLeavesWholeTextBefore) {
  ExpectSplit("no marker", "=", "no marker", "", false);
  ExpectSplit("ab", "abc", "ab", "", false);  // partial match at the end
  ExpectSplit("", "=", "", "", false);
}

TEST(SplitTest, ViewsPointIntoText) {
  const std::string_view text = "left|right";
  const SplitAt split = SplitAtFirst(text, "|");
  EXPECT_EQ(split.before.data(), text.data());
  EXPECT_EQ(split.after.data(), text.data() + 5);
}

}  // namespace
}  // namespace quirabel
