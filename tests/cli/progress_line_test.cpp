#include "cli/progress_line.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quirabel::cli {
namespace {

TEST(ProgressLineTest, CountRateAndTimeLeft) {
  struct Case {
    std::size_t done, total;
    double seconds;
    const char* text;
  };
  for (const Case& c : {
           Case{0, 4000, 0.0, "0/4000 PDF-Dateien"},
           Case{1000, 4000, 2.0, "1000/4000 PDF-Dateien · 500/s · noch 0:06"},
           Case{10, 100000, 1.0, "10/100000 PDF-Dateien · 10/s · noch 2:46:39"},
           Case{4000, 4000, 8.0, "4000/4000 PDF-Dateien · 500/s"},
       }) {
    EXPECT_EQ(ProgressLine::Text(c.done, c.total, c.seconds, "PDF-Dateien"), c.text);
  }
}

TEST(ProgressLineTest, SilentOffATerminalAndEndsItsLine) {
  std::ostringstream quiet;
  {
    ProgressLine line(quiet, false, "Mails");
    line.Update(1, 2);
    line.Update(2, 2);
  }
  EXPECT_EQ(quiet.str(), "");
  std::ostringstream shown;
  {
    ProgressLine line(shown, true, "Mails");
    line.Update(1, 2);  // too soon after the start: not shown
  }
  EXPECT_EQ(shown.str(), "");
  std::ostringstream done;
  {
    ProgressLine line(done, true, "Mails");
    line.Update(2, 2);
  }
  EXPECT_EQ(done.str().back(), '\n');
  EXPECT_EQ(done.str().find("2/2 Mails"), 1u);
}

}  // namespace
}  // namespace quirabel::cli
