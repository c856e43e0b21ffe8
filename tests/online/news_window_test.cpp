// Sending a sign-up, a removal or a message: the address checks and the URL the browser gets.
#include "online/news_window.h"

#include <gtest/gtest.h>

#include "support/fake_platform.h"

namespace quirabel::online {
namespace {

class NewsSending : public ::testing::Test {
 protected:
  testing::FakePlatform platform;
  UpdateWindow update{platform};
  NewsWindow news{platform, update};

  void SetUp() override { news.server = "http://127.0.0.1:8080"; }
};

TEST_F(NewsSending, SignUpNeedsTwoCharactersBeforeTheAtAndSixAfterIt) {
  EXPECT_FALSE(MailAddressAccepted("a@bcdefg.de"));  // one before
  EXPECT_TRUE(MailAddressAccepted("ab@cdefgh"));     // two and six
  EXPECT_FALSE(MailAddressAccepted("ab@cdefg"));     // two and five
  EXPECT_FALSE(MailAddressAccepted("abcdefghij"));   // no "@"
  // Characters count, not bytes: "ü" is one.
  EXPECT_FALSE(MailAddressAccepted("ü@cdefgh"));
  EXPECT_FALSE(MailAddressAccepted("ab@äöüäö"));
  EXPECT_TRUE(MailAddressAccepted("ab@äöüäöü"));

  news.mailAddress = "a@bcdefgh.de";
  news.message = "Schön!";
  EXPECT_FALSE(news.SendClick());
  EXPECT_EQ(platform.messages, std::vector<std::string>{kInvalidAddressOrMessage});
  EXPECT_TRUE(platform.openedUrls.empty());

  news.mailAddress = "ab@cdefgh";
  news.message.clear();
  EXPECT_TRUE(news.SendClick());
  EXPECT_EQ(platform.openedUrls,
            std::vector<std::string>{
                "http://127.0.0.1:8080/kx20/newsindex.pl?aktion=ein&mail=ab%40cdefgh&text="});
  EXPECT_EQ(platform.messages.size(), 1u);
}

TEST_F(NewsSending, LeavingNeedsAnAddressOrAMessage) {
  news.signUp = false;
  news.message = "Gut";
  EXPECT_TRUE(news.SendClick());
  ASSERT_EQ(platform.openedUrls.size(), 1u);
  EXPECT_EQ(platform.openedUrls[0],
            "http://127.0.0.1:8080/kx20/newsindex.pl?aktion=aus&mail=&text=Gut");

  // Both empty: refused whichever button is chosen.
  for (bool signUp : {true, false}) {
    news.signUp = signUp;
    news.mailAddress.clear();
    news.message.clear();
    EXPECT_FALSE(news.SendClick()) << signUp;
  }
  EXPECT_EQ(platform.messages, std::vector<std::string>(2, kInvalidAddressOrMessage));
  EXPECT_EQ(platform.openedUrls.size(), 1u);
}

// "&", "=", "#" and a line break would cut or change the query, umlauts are no URL characters:
// the server gets the UTF-8 bytes of what was typed.
TEST_F(NewsSending, AddressAndMessageArePercentEncoded) {
  news.mailAddress = "jö+x@beispiel.de";
  news.message = "Preis & Leistung = gut #1\nÄrger? 100%";
  EXPECT_TRUE(news.SendClick());
  ASSERT_EQ(platform.openedUrls.size(), 1u);
  EXPECT_EQ(platform.openedUrls[0],
            "http://127.0.0.1:8080/kx20/newsindex.pl?aktion=ein"
            "&mail=j%C3%B6%2Bx%40beispiel.de"
            "&text=Preis%20%26%20Leistung%20%3D%20gut%20%231%0A%C3%84rger%3F%20100%25");
}

TEST_F(NewsSending, WithoutABrowserTheAddressIsShown) {
  platform.browserPresent = false;
  news.signUp = false;
  news.message = "Hallo";
  EXPECT_FALSE(news.SendClick());
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0],
            std::string(kNoBrowser) +
                "http://127.0.0.1:8080/kx20/newsindex.pl?aktion=aus&mail=&text=Hallo");
}

TEST_F(NewsSending, HeadingFollowsClosingAndGoingOnline) {
  EXPECT_EQ(news.heading, "Update & News!");
  news.OnlineNoticed();
  EXPECT_EQ(news.heading, "Sind Sie gerade Online?");
  news.Closed();
  EXPECT_EQ(news.heading, "Update & News..");
}

}  // namespace
}  // namespace quirabel::online
