// The version check: what is asked of the network, how the answer is cut and judged, and the
// update window's download button.
#include <gtest/gtest.h>

#include "online/news_window.h"
#include "online/update_window.h"
#include "support/fake_platform.h"

namespace quirabel::online {
namespace {

using Outcome = ui::FetchResult::Outcome;

ui::FetchResult Answer(std::string body, int status = 200, Outcome outcome = Outcome::Complete) {
  ui::FetchResult result;
  result.outcome = outcome;
  result.status = status;
  result.body = std::move(body);
  return result;
}

class VersionCheck : public ::testing::Test {
 protected:
  testing::FakePlatform platform;
  UpdateWindow update{platform};
  NewsWindow news{platform, update};

  void SetUp() override { news.server = "http://127.0.0.1:8080"; }
};

TEST_F(VersionCheck, AsksForTheVersionFileWithinItsLimits) {
  news.CheckVersionClick();
  ASSERT_EQ(platform.fetches.size(), 1u);
  const ui::FetchRequest& request = platform.fetches[0];
  EXPECT_EQ(request.url, "http://127.0.0.1:8080/version_kx.html");
  EXPECT_EQ(request.userAgent, "Mozilla/3.0 (compatible)");
  EXPECT_EQ(request.maxBytes, 65536u);
  EXPECT_EQ(request.timeLimit, std::chrono::seconds(15));
  EXPECT_EQ(request.maxRedirects, 3);
  EXPECT_FALSE(request.progressText.empty());
  // No answer at all.
  EXPECT_EQ(platform.messages, std::vector<std::string>{kNoConnection});
  EXPECT_FALSE(update.visible);
}

TEST_F(VersionCheck, ThisVersionAnywhereInTheFileIsCurrent) {
  platform.fetchAnswers = {
      Answer("<version>2.2</version>"),
      Answer("<html><link>x</link> alt: <version>2.1</version> neu: <version>2.2</version>"),
  };
  news.CheckVersionClick();
  news.CheckVersionClick();
  EXPECT_EQ(platform.messages, std::vector<std::string>(2, kNewestVersion));
  EXPECT_FALSE(update.visible);
}

TEST_F(VersionCheck, ANewerVersionFillsTheUpdateWindow) {
  int changes = 0;
  update.OnChange = [&changes] { ++changes; };
  platform.fetchAnswers = {
      Answer("<version>2.3</version>\r\n<link>https://www.quirabel.de/dl</link>Neu:\nSchneller")};
  news.CheckVersionClick();
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_TRUE(update.visible);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(update.description,
            "New Version: 2.3\nDownload from:: https://www.quirabel.de/dl\nDescription: \n"
            "Neu:\nSchneller");
  EXPECT_EQ(update.downloadAddress, "https://www.quirabel.de/dl");

  update.DownloadClick();
  EXPECT_EQ(platform.openedUrls, std::vector<std::string>{"https://www.quirabel.de/dl"});
  update.CloseClick();
  EXPECT_FALSE(update.visible);
}

TEST_F(VersionCheck, MarkersMissingOrOutOfOrder) {
  // Without markers every part is empty.
  VersionFile none = ReadVersionFile("<html>Anmeldung im WLAN</html>");
  EXPECT_EQ(none.version, "");
  EXPECT_EQ(none.downloadAddress, "");
  EXPECT_EQ(none.description, "");
  // The link before the version is not found after it.
  VersionFile linkFirst = ReadVersionFile("<link>http://a/b</link><version>2.3</version>Text");
  EXPECT_EQ(linkFirst.version, "2.3");
  EXPECT_EQ(linkFirst.downloadAddress, "");
  EXPECT_EQ(linkFirst.description, "");
  // A closing marker before its opening one, or none, gives no version and no address.
  EXPECT_EQ(ReadVersionFile("</version>2.3<version>").version, "");
  const VersionFile unclosed = ReadVersionFile("<version>2.3<link>http://a/b</link>");
  EXPECT_EQ(unclosed.version, "");
  EXPECT_EQ(unclosed.downloadAddress, "");
  EXPECT_EQ(ReadVersionFile("<version>2.3</version><link>http://a/b").downloadAddress, "");

  // A page that names no version is not taken for news of one.
  platform.fetchAnswers = {Answer("<html>Anmeldung im WLAN</html>"),
                           Answer("</version>2.3<version><link>http://a/b</link>")};
  news.CheckVersionClick();
  news.CheckVersionClick();
  EXPECT_EQ(platform.messages, std::vector<std::string>(2, kNoConnection));
  EXPECT_FALSE(update.visible);
}

TEST_F(VersionCheck, OnlyAWholeSuccessfulAnswerCounts) {
  platform.fetchAnswers = {
      Answer("<version>2.3</version>", 404),
      Answer("<version>2.3</version>", 200, Outcome::TooLarge),
      Answer("<version>2.3</version>", 200, Outcome::Interrupted),
      Answer("", 0, Outcome::TimedOut),
      Answer("", 302, Outcome::TooManyRedirects),
      Answer("", 302, Outcome::RedirectRefused),
  };
  for (std::size_t i = 0; i < 6; ++i) news.CheckVersionClick();
  EXPECT_EQ(platform.messages, std::vector<std::string>(6, kNoConnection));
  EXPECT_FALSE(update.visible);

  // Stopped by the person: nothing to say.
  platform.fetchAnswers = {Answer("", 0, Outcome::Cancelled)};
  news.CheckVersionClick();
  EXPECT_EQ(platform.messages.size(), 6u);
}

TEST_F(VersionCheck, AWindows1252FileIsReadAsSuch) {
  platform.fetchAnswers = {
      Answer("<version>2.3</version><link>http://a/b</link>Gr\xF6\xDF"
             "er")};
  news.CheckVersionClick();
  EXPECT_TRUE(update.visible);
  EXPECT_NE(update.description.find("Größer"), std::string::npos);
}

// The address comes from the server: only a web address goes to the browser.
TEST_F(VersionCheck, DownloadOpensOnlyWebAddresses) {
  for (const char* address : {"file:///etc/passwd", "/usr/bin/xterm", "javascript:alert(1)",
                              "http://", "https:// evil", "ftp://host/x"}) {
    update.ShowVersion({"2.3", address, ""});
    update.DownloadClick();
    ASSERT_FALSE(platform.messages.empty());
    EXPECT_EQ(platform.messages.back(), kNotAWebAddress + std::string(address)) << address;
  }
  EXPECT_TRUE(platform.openedUrls.empty());

  update.ShowVersion({"2.3", "", ""});
  update.DownloadClick();
  EXPECT_EQ(platform.messages.back(), kNoDownloadAddress);

  // Line breaks around the address are the file's layout.
  update.ShowVersion({"2.3", "\r\n HTTPS://www.quirabel.de/dl \n", ""});
  update.DownloadClick();
  EXPECT_EQ(platform.openedUrls, std::vector<std::string>{"HTTPS://www.quirabel.de/dl"});
}

}  // namespace
}  // namespace quirabel::online
