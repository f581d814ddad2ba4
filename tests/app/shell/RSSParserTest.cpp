#include <gtest/gtest.h>

#include "foundation/Clock.h"
#include "foundation/Print.h"
#include "standings-news/RSSParser.h"

namespace {

std::vector<Article> read(std::string_view feed) { return RSSParser::articles(foundation::Data::fromString(feed)); }

TEST(RSSParser, keepsEveryItemWithoutTheChannelsTextsInTheFirst) {
    auto articles = read(R"(<rss><channel><title>Feed</title><link>https://feed.test/</link>
        <item><title>First</title><link>https://feed.test/1</link><description>One</description>
              <pubDate>Mon, 04 Dec 2023 10:07:04 +0000</pubDate></item>
        <item><guid>2</guid><title>Second &amp; more</title></item>
        <item><title>Third</title></item></channel></rss>)");
    ASSERT_EQ(articles.size(), 3u);
    EXPECT_EQ(articles[0].title, "First");
    EXPECT_EQ(articles[0].link, "https://feed.test/1");
    EXPECT_EQ(articles[0].description, "One");
    EXPECT_EQ(articles[0].pubDate, foundation::Date::fromUnix(1701684424));
    EXPECT_EQ(articles[1].title, "Second&more") << "each piece of text is trimmed on its own";
    EXPECT_EQ(articles[2].title, "Third");
}

TEST(RSSParser, fieldsWithMarkupPrefixesOrOtherDatesKeepTheirDefaults) {
    auto clock = std::make_shared<foundation::ManualClock>(foundation::Date{700000000});
    foundation::Clock::setCurrent(clock);
    auto articles = read(R"(<rss><channel>
        <item><dc:title>Prefixed</dc:title><description>An <b>unescaped</b> tag</description>
              <pubDate>2023-12-04T10:07:04Z</pubDate></item>
        <item><description><![CDATA[Only CDATA]]></description><title>Escaped</title></item></channel></rss>)");
    foundation::Clock::setCurrent(nullptr);
    ASSERT_EQ(articles.size(), 2u);
    EXPECT_EQ(articles[0].title, "");
    EXPECT_EQ(articles[0].description, "");
    EXPECT_EQ(articles[0].pubDate, foundation::Date{700000000}) << "the moment the item began";
    EXPECT_EQ(articles[1].description, "");
}

TEST(RSSParser, aBrokenFeedGivesTheItemsBeforeTheErrorAndAnUnreadableOneNothing) {
    foundation::ConsoleCapture console;
    auto articles = read("<rss><channel><item><title>Whole</title></item><item><title>Cut</title></channel>");
    ASSERT_EQ(articles.size(), 1u);
    EXPECT_EQ(articles[0].title, "Whole");
    EXPECT_NE(console.text().find("XMLParser error: "), std::string::npos);
    EXPECT_TRUE(read("").empty());
    EXPECT_TRUE(read("<rss><channel></channel></rss>").empty());

    RSSParser parser;
    auto missing = dispatch::syncWait(parser.parse(*foundation::URL::fromString("http://127.0.0.1:9/rss")));
    EXPECT_FALSE(missing);
    EXPECT_NE(console.text().find("Error: Failed to load data from URL: http://127.0.0.1:9/rss"), std::string::npos);
}

}  // namespace
