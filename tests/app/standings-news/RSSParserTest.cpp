#include <gtest/gtest.h>

#include <chrono>

#include "LoopbackServer.h"
#include "SilentPort.h"
#include "foundation/Clock.h"
#include "foundation/Print.h"
#include "standings-news/RSSParser.h"
#include "ConsoleLines.h"

namespace {

std::vector<Article> read(std::string_view feed) { return RSSParser::articles(foundation::Data::fromString(feed)); }

auto readURL(const std::string& url) {
    RSSParser parser;
    return dispatch::syncWait(parser.parse(*foundation::URL::fromString(url)));
}

TEST(RSSParser, aFieldIsItsPiecesJoinedAndTrimmedOnce) {
    // The XML parser hands "07.02. &#8211; die" and "Max &amp; Lewis" over in pieces around the
    // references; the spaces at the joins belong to the text.
    auto articles = read(R"(<rss><channel><title>Feed</title><link>https://feed.test/</link>
        <item><title>  07.02. &#8211; die Saison  </title><link>
              https://feed.test/1
              </link><description>Max &amp; Lewis &lt;3</description>
              <pubDate>Mon, 04 Dec 2023 10:07:04 +0000</pubDate></item>
        <item><guid>2</guid><title>Second &amp; more</title></item></channel></rss>)");
    ASSERT_EQ(articles.size(), 2u);
    EXPECT_EQ(articles[0].title, "07.02. \u2013 die Saison");
    EXPECT_EQ(articles[0].link, "https://feed.test/1");
    EXPECT_EQ(articles[0].description, "Max & Lewis <3") << "entities are decoded once, by the XML parser";
    EXPECT_EQ(articles[0].pubDate, foundation::Date::fromUnix(1701684424));
    EXPECT_EQ(articles[1].title, "Second & more") << "nothing of the channel reaches an article";
}

TEST(RSSParser, cdataAndNestedElementsKeepTheFieldsText) {
    auto articles = read(R"(<rss><channel>
        <item><title><![CDATA[Verstappen & Pérez]]></title>
              <description>
                <![CDATA[<p>One</p><p>two &amp; three</p>]]>
              </description></item>
        <item><description>An <b>unescaped</b> tag, <a href="x">a <i>link</i></a> and <br/>more</description>
              <title>Split <![CDATA[by]]> CDATA</title></item></channel></rss>)");
    ASSERT_EQ(articles.size(), 2u);
    EXPECT_EQ(articles[0].title, "Verstappen & Pérez");
    EXPECT_EQ(articles[0].description, "<p>One</p><p>two &amp; three</p>") << "CDATA is text, left as written";
    EXPECT_EQ(articles[1].description, "An unescaped tag, a link and more");
    EXPECT_EQ(articles[1].title, "Split by CDATA");
}

TEST(RSSParser, prefixedFieldsKeepTheirDefaultsAndCommonDateFormsAreRead) {
    auto clock = std::make_shared<foundation::ManualClock>(foundation::Date{700000000});
    foundation::Clock::setCurrent(clock);
    foundation::ConsoleCapture console;
    auto articles = read(R"(<rss><channel>
        <item><dc:title>Prefixed</dc:title><media:description>Media</media:description>
              <pubDate>2023-12-04T10:07:04Z</pubDate></item>
        <item><title>Last</title><title>wins</title><pubDate>04 Dec 2023 10:07:04 +0000</pubDate></item>
        <item><pubDate>Mon, 04 Dec 2023 10:07 +0000</pubDate></item>
        <item><pubDate>2023-12-04T11:07:04.500+01:00</pubDate></item>
        <item><pubDate>yesterday</pubDate></item></channel></rss>)");
    foundation::Clock::setCurrent(nullptr);
    ASSERT_EQ(articles.size(), 5u);
    EXPECT_EQ(articles[0].title, "");
    EXPECT_EQ(articles[0].description, "");
    EXPECT_EQ(articles[0].pubDate, foundation::Date::fromUnix(1701684424)) << "ISO 8601";
    EXPECT_EQ(articles[1].title, "wins");
    EXPECT_EQ(articles[1].pubDate, foundation::Date::fromUnix(1701684424)) << "no weekday";
    EXPECT_EQ(articles[2].pubDate, foundation::Date::fromUnix(1701684420)) << "no seconds";
    EXPECT_EQ(articles[3].pubDate, foundation::Date::fromUnix(1701684424.5)) << "fraction and offset";
    EXPECT_EQ(articles[4].pubDate, foundation::Date{700000000}) << "unreadable: the moment the item began";
    EXPECT_EQ(withoutOthersLoads(console.text()), "RSS: 1 item date unreadable; those items carry the moment they were read\n");
}

TEST(RSSParser, anAtomFeedIsNamedAsNotAnRSSFeed) {
    foundation::ConsoleCapture console;
    auto articles = RSSParser::articles(foundation::Data::fromString(
        R"(<feed xmlns="http://www.w3.org/2005/Atom"><entry><title>One</title></entry></feed>)"), "https://feed.test/atom");
    EXPECT_TRUE(articles.empty());
    EXPECT_EQ(withoutOthersLoads(console.text()), "Error: not an RSS feed (https://feed.test/atom): an Atom feed, whose entries are not read\n");
}

TEST(RSSParser, aBrokenFeedGivesTheItemsBeforeTheError) {
    foundation::ConsoleCapture console;
    auto articles = read("<rss><channel><item><title>Whole</title></item><item><title>Cut</title></channel>");
    ASSERT_EQ(articles.size(), 1u);
    EXPECT_EQ(articles[0].title, "Whole");
    EXPECT_NE(console.text().find("XMLParser error: "), std::string::npos);
    EXPECT_TRUE(read("").empty());
    EXPECT_TRUE(read("<html><body><h1>404 Not Found</h1></body></html>").empty());
    EXPECT_TRUE(read("<rss><channel></channel></rss>").empty());
}

// Feeds over the network: what counts as unreadable gives nothing, and a feed that never answers
// gives up after the reader's time-out.
class RSSParserReads : public ::testing::Test {
protected:
    void SetUp() override {
        server.server.Get("/feed", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<rss><channel><item><title>Read</title></item></channel></rss>", "application/rss+xml");
        });
        // Past a feed's limits: one item too many, or a body a byte too large.
        server.server.Get("/many", [](const httplib::Request&, httplib::Response& response) {
            std::string feed = "<rss><channel>";
            for (std::size_t item = 0; item <= feedLimits.maximumArticles; ++item) feed += "<item><title>t</title></item>";
            response.set_content(feed + "</channel></rss>", "application/rss+xml");
        });
        server.server.Get("/large", [](const httplib::Request&, httplib::Response& response) {
            std::string feed = "<rss><channel><item><title>Large</title></item>";
            feed.resize(feedLimits.maximumBytes + 1 - std::string("</channel></rss>").size(), ' ');
            response.set_content(feed + "</channel></rss>", "application/rss+xml");
        });
        server.server.Get("/missing", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("<rss><channel><item><title>Error page</title></item></channel></rss>", "text/html");
        });
        server.start();
    }
    void TearDown() override { RSSParser::setTimeoutInterval(RSSParser::defaultTimeoutInterval); }

    LoopbackServer server;
    foundation::ConsoleCapture console;
};

TEST_F(RSSParserReads, aFeedIsReadButAnErrorStatusOrNoServerIsUnreadable) {
    auto feed = readURL(server.text("/feed"));
    ASSERT_TRUE(feed);
    ASSERT_EQ(feed->size(), 1u);
    EXPECT_EQ(feed->front().title, "Read");

    EXPECT_FALSE(readURL(server.text("/missing"))) << "an error page is no feed";
    EXPECT_NE(console.text().find("Error: Failed to load data from URL: " + server.text("/missing")), std::string::npos);
    EXPECT_FALSE(readURL("http://127.0.0.1:9/rss"));
    EXPECT_NE(console.text().find("Error: Failed to load data from URL: http://127.0.0.1:9/rss"), std::string::npos);
}

TEST_F(RSSParserReads, aFeedPastItsLimitsIsABadResponseToldAsSuch) {
    EXPECT_FALSE(readURL(server.text("/many")));
    EXPECT_NE(console.text().find(server.text("/many") + ": the feed holds more than 5,000 articles"), std::string::npos)
        << console.text();
    EXPECT_FALSE(readURL(server.text("/large")));
    EXPECT_NE(console.text().find(server.text("/large") + ": the feed is larger than 16 MiB"), std::string::npos)
        << console.text();
}

TEST_F(RSSParserReads, aFeedThatNeverAnswersTimesOut) {
    SilentPort silent;
    RSSParser::setTimeoutInterval(0.3);
    auto started = std::chrono::steady_clock::now();
    auto feed = readURL(silent.url("/rss"));
    double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_FALSE(feed);
    EXPECT_LT(waited, 10.0) << "the read waits for the time-out, not for the server";
    EXPECT_NE(console.text().find("Error: Failed to load data from URL: " + silent.url("/rss")), std::string::npos);
}

}  // namespace
