#include "RefusingOpener.h"
#include "SheetTestSupport.h"
#include "cells/StateCell.h"
#include "cells/LapPickerCell.h"
#include "cells/NewsCell.h"
#include "data/GlobalStruct.h"
#include "data/ServiceHosts.h"
#include "dispatch/RunLoop.h"
#include "foundation/Print.h"
#include "net/ProtocolRegistry.h"
#include "net/SnapshotProtocol.h"
#include "standings-news/NewsViewController.h"
#include "standings-news/RSSParser.h"
#include "ui/Application.h"
#include "ui/Feedback.h"

namespace {

// The news sheet on the offline season, whose five feeds are answered in-process. A sixth host answers
// every request with an error page.
class NewsSheet : public sheettest::SheetTest {
protected:
    static constexpr const char* brokenHost = "broken.news.sorvane.test";
    // Answered as each test says.
    static constexpr const char* answersHost = "answers.news.sorvane.test";

    void SetUp() override {
        SheetTest::SetUp();
        ServiceHosts::setCurrent(ServiceHosts{});
        OfflineSettings settings;
        settings.dataDirectory = OfflineSettings::defaultDataDirectory();
        auto started = OfflineSeason::start(settings);
        ASSERT_TRUE(started) << started.error();
        season = std::move(*started);
        foundation::Clock::setCurrent(clock);
        clock->set(*instantFromISO8601("2023-04-30T11:20:00Z"));
        net::ProtocolRegistry::global()->registerHandler(brokenHost, [](const net::Request& request) {
            return net::ProtocolAnswer{net::Response::make(request.url, 500, {}),
                                       foundation::Data::fromString("<html><body>Internal Server Error</body></html>")};
        });
        ui::setURLOpener(opener);
        ui::setHapticSink(haptics);
    }
    void TearDown() override {
        // Dismissed, the sheet lives until its reads end; the base waits for that.
        sheet.reset();
        SheetTest::TearDown();
        ui::setURLOpener(nullptr);
        ui::setHapticSink(nullptr);
        net::ProtocolRegistry::global()->unregisterHandler(brokenHost);
        season.stop();
        ServiceHosts::setCurrent(ServiceHosts::fromEnvironment());
    }

    static bool waitFor(const std::function<bool()>& done) { return dispatch::RunLoop::main()->runUntil(done, 30); }
    static std::vector<Article> feed(int index) {
        RSSParser parser;
        auto articles = dispatch::syncWait(parser.parse(*foundation::URL::fromString(NewsViewController::sources()[index].url)));
        EXPECT_TRUE(articles) << NewsViewController::sources()[index].url;
        return articles.value_or(std::vector<Article>{});
    }
    void handOverTheSeasonsFeeds() {
        sheet->newsArticles = feed(0);
        sheet->newsArticles2 = feed(1);
        sheet->newsArticles3 = feed(2);
        sheet->newsArticles4 = feed(3);
        sheet->newsArticles5 = feed(4);
    }
    void pick(int index) {
        auto picker = shown<LapPickerCell>(sheet->tableView[sheet->eventType], 1, 0);
        ASSERT_TRUE(picker && picker->lap->menu());
        const auto& action = picker->lap->menu()->children.at(index);
        action.handler(action);
        settle();
    }

    OfflineSeason season;
    std::shared_ptr<ui::URLOpenRecorder> opener = std::make_shared<ui::URLOpenRecorder>();
    std::shared_ptr<ui::HapticRecorder> haptics = std::make_shared<ui::HapticRecorder>();
    std::shared_ptr<NewsViewController> sheet = std::make_shared<NewsViewController>();
};

TEST_F(NewsSheet, openedBeforeAnyFeedWasReadItShowsTheHeaderAndTheFIAPickerOnly) {
    present(sheet);
    EXPECT_EQ(sheet->tableView[0]->alpha(), 1.0);
    for (int table = 1; table < 5; ++table) EXPECT_EQ(sheet->tableView[table]->alpha(), 0.0);
    auto header = shown<DetailHeaderCell>(sheet->tableView[0], 0, 0);
    ASSERT_TRUE(header);
    EXPECT_TRUE(header->time->isHidden());
    EXPECT_TRUE(header->location->isHidden());
    EXPECT_EQ(header->race->text(), "News");
    EXPECT_EQ(header->circuit->text(), "Stay up to date with the world of Formula 1");
    EXPECT_EQ(header->backgroundColor(), gfx::Color::systemRed());
    auto picker = shown<LapPickerCell>(sheet->tableView[0], 1, 0);
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->event->text(), "Articles from");
    EXPECT_EQ(picker->lap->title(ui::ControlState::normal), "FIA");
    EXPECT_TRUE(picker->title->isHidden());
    ASSERT_EQ(picker->lap->menu()->children.size(), 5u);
    EXPECT_EQ(picker->lap->menu()->children[3].title, "BBC");
    EXPECT_EQ(picker->lap->menu()->children[0].state, ui::MenuElementState::on);
    // Each empty list says so in one row; the one shown is read at once and then lists its articles.
    for (int table = 1; table < 5; ++table) {
        ASSERT_EQ(sheet->tableView[table]->numberOfRows(2), 1);
        auto state = shown<StateCell>(sheet->tableView[table], 2, 0);
        ASSERT_TRUE(state);
        EXPECT_EQ(state->title->text(), NewsViewController::sources()[table].title + " articles");
        EXPECT_EQ(state->detail->text(), "None to show yet.");
    }
    ASSERT_TRUE(waitFor([&] { return sheet->feeds[0] == NewsViewController::Feed::read; }));
    settle();
    EXPECT_GT(sheet->tableView[0]->numberOfRows(2), 1);
    EXPECT_TRUE(shown<NewsCell>(sheet->tableView[0], 2, 0));
}

TEST_F(NewsSheet, theSeasonsArticlesAreListedWhole) {
    handOverTheSeasonsFeeds();
    present(sheet);
    pick(2);
    auto table = sheet->tableView[2];
    writeGallery("news");
    EXPECT_TRUE(near(backgroundPixel(*shown<DetailHeaderCell>(table, 0, 0)), gfx::Color::systemRed()));
    // GPBlog's share of the season's news at its now, during the Baku sprint: the newest Friday's pole.
    ASSERT_EQ(table->numberOfRows(2), 3) << "every article of the feed, the first one too";
    auto first = shown<NewsCell>(table, 2, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->titleText->text(), "Charles Leclerc takes pole for the Azerbaijan Grand Prix");
    EXPECT_EQ(first->time->text(), "16:30, 28 Apr") << "14:30 UTC in Amsterdam";
    EXPECT_EQ(first->message->text(), "Charles Leclerc (Ferrari) qualified first for round 4 with 1:40.203.");
}

TEST_F(NewsSheet, aTapOpensTheArticlesWebLinkAndNothingElse) {
    handOverTheSeasonsFeeds();
    const int feedRows = static_cast<int>(sheet->newsArticles.size());
    sheet->newsArticles.push_back({.title = "Script", .link = "javascript:alert(1)"});
    sheet->newsArticles.push_back({.title = "File", .link = "file:///etc/passwd"});
    sheet->newsArticles.push_back({.title = "Relative", .link = "/2023/page"});
    present(sheet);
    auto table = sheet->tableView[0];
    sheet->didSelectRow(*table, {2, 1});
    sheet->didSelectRow(*table, {0, 0});
    for (int row = feedRows + 1; row < feedRows + 4; ++row) sheet->didSelectRow(*table, {2, row});
    sheet->didSelectRow(*table, {2, 99});
    settle();
    EXPECT_EQ(opener->openedURLs(), std::vector<std::string>{sheet->newsArticles[1].link});
    ASSERT_FALSE(haptics->events().empty());
    EXPECT_EQ(haptics->events().front().style, ui::ImpactFeedbackStyle::rigid);
    EXPECT_FALSE(table->indexPathForSelectedRow());

    // A tap that opens nothing says why in the header, until the next tap.
    ASSERT_TRUE(waitFor([&] { return sheet->openFailure.has_value(); }));
    EXPECT_EQ(shown<DetailHeaderCell>(table, 0, 0)->circuit->text(), "Could not open the article: its address is not a web link.");
    auto refusing = std::make_shared<RefusingOpener>();
    ui::setURLOpener(refusing);
    sheet->didSelectRow(*table, {2, 1});
    ASSERT_TRUE(waitFor([&] { return sheet->openFailure && sheet->openFailure->ends_with("no web browser answered."); }));
    EXPECT_EQ(shown<DetailHeaderCell>(table, 0, 0)->circuit->text(), "Could not open the article: no web browser answered.");
    ui::setURLOpener(opener);
}

TEST_F(NewsSheet, choosingASourceShowsItsListAtOnceAndReadsItsFeedAgain) {
    handOverTheSeasonsFeeds();
    sheet->newsArticles4 = {{.title = "Older BBC article", .link = "https://bbc.test/old"}};
    present(sheet);
    auto picker = shown<LapPickerCell>(sheet->tableView[0], 1, 0);
    ASSERT_TRUE(picker && picker->lap->menu());
    const auto& bbc = picker->lap->menu()->children.at(3);
    bbc.handler(bbc);
    // Before the main loop turns again the read cannot have ended: what shows is the list held.
    EXPECT_EQ(sheet->eventType, 3);
    for (int table = 0; table < 5; ++table) EXPECT_EQ(sheet->tableView[table]->alpha(), table == 3 ? 1.0 : 0.0);
    ASSERT_EQ(sheet->numberOfRows(*sheet->tableView[3], 2), 1);
    auto held = std::dynamic_pointer_cast<NewsCell>(sheet->cellForRow(*sheet->tableView[3], {2, 0}));
    ASSERT_TRUE(held);
    EXPECT_EQ(held->titleText->text(), "Older BBC article");
    auto newPicker = std::dynamic_pointer_cast<LapPickerCell>(sheet->cellForRow(*sheet->tableView[3], {1, 0}));
    ASSERT_TRUE(newPicker);
    EXPECT_EQ(newPicker->lap->title(ui::ControlState::normal), "BBC");
    EXPECT_EQ(newPicker->lap->menu()->children[3].state, ui::MenuElementState::on);

    const auto whole = feed(3).size();
    ASSERT_TRUE(waitFor([&] { return sheet->newsArticles4.size() == whole; }));
    settle();
    EXPECT_EQ(sheet->tableView[3]->numberOfRows(2), static_cast<int>(whole));
    auto first = shown<NewsCell>(sheet->tableView[3], 2, 0);
    EXPECT_EQ(first->message->text(), sheet->newsArticles4[0].description) << "the BBC's descriptions as received";
    ASSERT_GE(whole, 2u);
    sheet->didSelectRow(*sheet->tableView[3], {2, 1});
    EXPECT_EQ(opener->openedURLs(), std::vector<std::string>{sheet->newsArticles4[1].link});
}

TEST_F(NewsSheet, aFeedAnsweringWithAnErrorPageKeepsTheListItHad) {
    auto hosts = ServiceHosts::current();
    hosts.fiaNews = brokenHost;
    ServiceHosts::setCurrent(hosts);
    sheet->newsArticles = {{.title = "Kept", .link = "https://fia.test/kept"}};
    foundation::ConsoleCapture console;
    present(sheet);
    pick(0);
    ASSERT_TRUE(waitFor([&] { return console.text().find("Error: Failed to load data from URL: https://" +
                                                         std::string(brokenHost)) != std::string::npos; }));
    settle();
    ASSERT_EQ(sheet->tableView[0]->numberOfRows(2), 1);
    EXPECT_EQ(shown<NewsCell>(sheet->tableView[0], 2, 0)->titleText->text(), "Kept");

    sheet->newsArticles.clear();
    sheet->tableView[0]->reloadData();
    settle();
    ASSERT_EQ(sheet->tableView[0]->numberOfRows(2), 1);
    auto state = shown<StateCell>(sheet->tableView[0], 2, 0);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->title->text(), "The FIA articles could not be loaded.") << "an empty list says why";
    EXPECT_EQ(state->detail->text(), "The offline season holds it damaged.");
}

// A feed that answers but is no feed failed: it is never told as a feed without articles.
TEST_F(NewsSheet, anAnswerThatIsNoFeedSaysSoRatherThanThatTheFeedIsEmpty) {
    net::ProtocolRegistry::global()->registerHandler(answersHost, [](const net::Request& request) {
        return net::ProtocolAnswer{net::Response::make(request.url, 200, {{"Content-Type", "text/html"}}),
                                   foundation::Data::fromString("<html><body>Press releases moved</body></html>")};
    });
    auto hosts = ServiceHosts::current();
    hosts.fiaNews = answersHost;
    ServiceHosts::setCurrent(hosts);
    present(sheet);
    ASSERT_TRUE(waitFor([&] { return sheet->feeds[0] != NewsViewController::Feed::loading; }));
    settle();
    auto state = shown<StateCell>(sheet->tableView[0], 2, 0);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->title->text(), "The FIA articles could not be loaded.");
    EXPECT_EQ(state->detail->text(), "The answer is not an RSS feed.");
    net::ProtocolRegistry::global()->unregisterHandler(answersHost);
}

// Read from the real services, a failed feed names what failed: the connection, or the server's answer.
TEST_F(NewsSheet, aFeedThatFailsLiveSaysWhetherNoServerAnsweredOrWhatItAnswered) {
    net::ProtocolRegistry::global()->registerHandler(answersHost, [](const net::Request& request)
                                                         -> std::expected<net::ProtocolAnswer, net::URLError> {
        if (request.url->path() == "/en/rss") return net::statusPage(request, 503);
        return std::unexpected(net::URLError(net::URLError::cannotConnectToHost, request.url->absoluteString()));
    });
    auto hosts = ServiceHosts::current();
    hosts.fiaNews = hosts.gpblogNews = answersHost;
    ServiceHosts::setCurrent(hosts);
    auto offline = std::exchange(GlobalStruct::offlineSeasons(), std::nullopt);
    present(sheet);
    auto detailOf = [&](int source) {
        EXPECT_TRUE(waitFor([&] { return sheet->feeds[source] == NewsViewController::Feed::failed; })) << source;
        settle();
        auto state = shown<StateCell>(sheet->tableView[source], 2, 0);
        return state ? state->detail->text() : std::string();
    };
    EXPECT_EQ(detailOf(0), "Could not connect to the server. Try again later.");
    pick(2);
    EXPECT_EQ(detailOf(2), "The server answered 503 Service Unavailable. Try again later.");
    GlobalStruct::offlineSeasons() = offline;
    net::ProtocolRegistry::global()->unregisterHandler(answersHost);
}

TEST(NewsDescriptions, theFIAAndShiftF1DescriptionsAreReadAsTextTheOthersAsReceived) {
    Article article{.description = "<p>Sport news</p><p>Max&nbsp;&amp; Lewis</p>"};
    EXPECT_EQ(NewsViewController::descriptionText(article, 0), " Max\u00a0& Lewis") << "what followed the words stays";
    EXPECT_EQ(NewsViewController::descriptionText(article, 4), "Sport news Max\u00a0& Lewis");
    for (int index = 1; index < 4; ++index) EXPECT_EQ(NewsViewController::descriptionText(article, index), article.description);
    EXPECT_EQ(NewsViewController::descriptionText({.description = "<div>Sport news</div>"}, 0), "");
}

}  // namespace
