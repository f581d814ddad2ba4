#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <mutex>
#include <sstream>

#include "ShellTestSupport.h"
#include "SilentPort.h"
#include "cells/CircuitCell.h"
#include "foundation/Locale.h"
#include "foundation/TimeZone.h"
#include "data/GlobalStruct.h"
#include "dispatch/RunLoop.h"
#include "foundation/JSONDecoder.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Print.h"
#include "offline/OfflineSeason.h"
#include "shell/ImageSeam.h"
#include "shell/RemoteImageTestSupport.h"
#include "shell/SVGImgProcessor.h"
#include "shell/AppNotifications.h"
#include "shell/DriverKey.h"
#include "live/LiveViewController.h"
#include "shell/RaceScreen.h"
#include "weekend/PastDetailsViewController.h"
#include "shell/SeasonViewController.h"
#include "standings-news/NewsViewController.h"
#include "standings-news/RSSParser.h"
#include "ui/AssetCatalog.h"
#include "standings-news/StandingsViewController.h"
#include "ui/SheetPresentationController.h"
#include "weekend/FutureDetailsViewController.h"
#include "cells/DriverOfTheDayCell.h"
#include "cells/WeatherOverviewCell.h"
#include "gfx/TextMeasurer.h"
#include <filesystem>

namespace {

using foundation::Date;

std::string fileText(const std::string& relative) {
    std::ifstream file(std::string(SORVANE_SOURCE_DIR) + "/data/offline-season/" + relative, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

Date instant(const char* iso) { return *instantFromISO8601(iso); }

// The season sheet over a plain root, as the map presents it, on the offline 2023 season with the
// clock stopped where each test puts it. Every request the app makes is recorded.
class SeasonSheet : public ::testing::Test, protected shelltest::HeadlessPhone {
protected:
    void SetUp() override {
        foundation::TimeZone::setCurrent(foundation::TimeZone::named("Europe/Amsterdam"));
        foundation::Locale::setCurrent(foundation::Locale("en_US"));
        ServiceHosts::setCurrent(ServiceHosts{});
        OfflineSettings settings;
        settings.dataDirectory = OfflineSettings::defaultDataDirectory();
        auto started = OfflineSeason::start(settings);
        ASSERT_TRUE(started) << started.error();
        season = std::move(*started);
        recordRequests();
        foundation::Clock::setCurrent(clock);
        clock->set(instant("2023-04-28T10:00:00Z"));  // Azerbaijan, round 4, starts 2023-04-30 11:00Z

        GlobalStruct::detailsOnScreen() = false;
        GlobalStruct::sheetIsLarge() = false;
        storeSeason2023();
        host.window()->makeKeyAndVisible();
        show(root);
    }
    void TearDown() override {
        // The sheet's loads keep it alive until they end; let them end while the offline hosts answer.
        if (root->presentedViewController()) root->dismiss(false);
        settle();
        EXPECT_TRUE(waitFor([&] { return sheet.use_count() == 1; })) << "the sheet's loads did not end";
        GlobalStruct::detailsOnScreen() = false;
        GlobalStruct::sheetIsLarge() = false;
        storeSeason({}, "");
        season.stop();
        ServiceHosts::setCurrent(ServiceHosts::fromEnvironment());
        foundation::TimeZone::setCurrent(std::nullopt);
        foundation::Locale::setCurrent(std::nullopt);
    }

    void recordRequests() {
        auto registry = net::ProtocolRegistry::global();
        for (const auto& name : season.hosts()) {
            auto handler = registry->handlerFor(name);
            if (!handler) continue;
            registry->registerHandler(name, [requests = requests, inner = *handler](const net::Request& request) {
                std::lock_guard lock(requests->mutex);
                if (request.url) requests->urls.push_back(request.url->absoluteString());
                return inner(request);
            });
        }
    }
    bool wasRequested(const std::string& ending) {
        std::lock_guard lock(requests->mutex);
        return std::any_of(requests->urls.begin(), requests->urls.end(), [&](const std::string& url) { return url.ends_with(ending); });
    }

    static std::vector<RacesDetailsModel> races2023() {
        auto model = foundation::JSONDecoder().decode<RaceModel>(foundation::Data::fromString(fileText("results-api/current.json")));
        return model ? model->data.raceTable.races : std::vector<RacesDetailsModel>{};
    }
    // The 2023 calendar moved a year back: a season whose races have all been held.
    static std::vector<RacesDetailsModel> races2022() {
        auto races = races2023();
        for (auto& race : races) race.season = "2022", race.date.replace(0, 4, "2022");
        return races;
    }
    static void storeSeason(std::vector<RacesDetailsModel> races, std::string year,
                            std::vector<livetiming::Meeting> meetings = {}) {
        auto load = GlobalStruct::beginSeasonLoad(year);
        GlobalStruct::storeRaces(load, std::move(races));
        if (meetings.empty()) GlobalStruct::indexFailed(load);
        else GlobalStruct::storeMeetings(load, year, std::move(meetings));
    }
    static void storeSeason2023() {
        auto index = foundation::JSONDecoder().decode<livetiming::EventsModel>(
            foundation::Data::fromString(fileText("livetiming/2023/Index.json")));
        storeSeason(races2023(), "2023", index ? index->meetings : std::vector<livetiming::Meeting>{});
    }

    void presentSheet() {
        sheet->setModalPresentationStyle(ui::ModalPresentationStyle::pageSheet);
        sheet->setModalInPresentation(true);
        auto controller = sheet->sheetPresentationController();
        controller->setDetents({ui::SheetDetent::custom("small", [](const auto&) { return 220.0; }),
                                ui::SheetDetent::medium(), ui::SheetDetent::large()});
        controller->setLargestUndimmedDetentIdentifier(ui::SheetDetent::largeIdentifier);
        root->present(sheet, true);
        settle();
    }
    bool waitFor(const std::function<bool()>& done) {
        return dispatch::RunLoop::main()->runUntil(done, 30);
    }
    void waitForPreloads() {
        ASSERT_TRUE(waitFor([&] {
            return !sheet->driverStandings.empty() && !sheet->teamStandings.empty() &&
                   !sheet->driverNumDictionary.empty() && !sheet->newsArticles.empty() &&
                   !sheet->newsArticles2.empty() && !sheet->newsArticles3.empty() && !sheet->newsArticles4.empty() &&
                   !sheet->newsArticles5.empty();
        }));
    }
    static void post(const foundation::Notification::Name& name, foundation::UserInfo info = {}) {
        foundation::NotificationCenter::defaultCenter().post(name, nullptr, std::move(info));
    }
    std::string round(int row) const { return sheet->roundText(row, Date::now()); }
    std::shared_ptr<ui::ViewController> shownScreen() const { return sheet->presentedViewController(); }

    OfflineSeason season;
    struct Requests {
        std::mutex mutex;
        std::vector<std::string> urls;
    };
    std::shared_ptr<Requests> requests = std::make_shared<Requests>();
    std::shared_ptr<ui::ViewController> root = std::make_shared<ui::ViewController>();
    std::shared_ptr<SeasonViewController> sheet = std::make_shared<SeasonViewController>();
};

TEST_F(SeasonSheet, rowsListTheSeasonWithACountdownToTheRaceAheadAndLiveWhileItRuns) {
    presentSheet();
    clock->set(instant("2023-04-28T10:00:00Z"));
    post(notifications::upcomingRace, notifications::raceUserInfo(3));
    EXPECT_EQ(sheet->tableView->numberOfRows(0), 22);
    EXPECT_EQ(round(0), "Round 1");
    EXPECT_EQ(round(3), "Round 4\nIn 2 days, 1 hours, 0 minutes");
    EXPECT_EQ(round(4), "Round 5");

    auto cell = std::dynamic_pointer_cast<CircuitCell>(sheet->cellForRow(*sheet->tableView, {0, 3}));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->race->text(), "Azerbaijan Grand Prix");
    EXPECT_EQ(cell->location->text(), "Baku, Azerbaijan");
    EXPECT_EQ(cell->day->text(), "30");
    EXPECT_EQ(cell->month->text(), "Apr");
    EXPECT_EQ(cell->round->textColor(), gfx::Color::systemBlue());

    clock->set(instant("2023-04-30T10:59:00Z"));
    EXPECT_EQ(round(3), "Round 4\nIn 0 days, 0 hours, 1 minutes");
    clock->set(instant("2023-04-30T11:00:00Z"));
    EXPECT_EQ(round(3), "Round 4\nLIVE");
    // The LIVE row as the season-row rules have it: "LIVE" on a line of its own under the round, in
    // red semibold, and the race under way greyed with the day (its day is no longer ahead).
    cell = std::dynamic_pointer_cast<CircuitCell>(sheet->cellForRow(*sheet->tableView, {0, 3}));
    EXPECT_EQ(cell->round->text(), "Round 4\nLIVE");
    EXPECT_EQ(cell->round->textColor(), gfx::Color::systemRed());
    EXPECT_EQ(cell->round->numberOfLines(), 0);
    EXPECT_EQ(cell->race->textColor(), gfx::Color::secondaryLabel());
    EXPECT_EQ(cell->day->textColor(), gfx::Color::secondaryLabel());
    clock->set(instant("2023-04-30T13:59:00Z"));
    EXPECT_EQ(round(3), "Round 4\nLIVE");
    // Past its three hours the row counts toward nothing (no negative countdown).
    clock->set(instant("2023-04-30T14:00:00Z"));
    EXPECT_EQ(round(3), "Round 4");
}

TEST_F(SeasonSheet, rowsShowTheirCountrysFlagFromTheOfflineSeason) {
    imagetest::TemporaryImageCache images;
    // A stand-in for the SVG library: every SVG document of the offline flags becomes a 4 x 3 picture.
    std::atomic<int> rendered = 0;
    std::mutex targetsMutex;
    std::vector<std::optional<SVGRenderTarget>> targets;
    setSVGRenderer([&](const foundation::Data& data,
                       const std::optional<SVGRenderTarget>& target) -> std::shared_ptr<gfx::Image> {
        if (data.toString().find("<svg") == std::string::npos) return nullptr;
        ++rendered;
        std::lock_guard lock(targetsMutex);
        targets.push_back(target);
        return gfx::Image::fromBitmap(gfx::Bitmap::make(4, 3));
    });
    presentSheet();
    std::vector<std::shared_ptr<ui::ImageView>> flags;
    for (int row = 0; row < 4; ++row) {
        auto cell = std::dynamic_pointer_cast<CircuitCell>(sheet->cellForRow(*sheet->tableView, {0, row}));
        ASSERT_TRUE(cell);
        flags.push_back(cell->flag);
    }
    const bool shown = imagetest::waitUntil([&] {
        return std::all_of(flags.begin(), flags.end(), [](const auto& flag) { return flag->image() != nullptr; });
    });
    setSVGRenderer(nullptr);
    ASSERT_TRUE(shown);
    EXPECT_GE(rendered, 4);
    EXPECT_TRUE(wasRequested("/2/svg/1f1e7-1f1ed.svg")) << "Bahrain's flag from the offline flags";
    // Each flag is drawn for its box on this screen, not at the document's own size.
    auto cell = std::dynamic_pointer_cast<CircuitCell>(sheet->cellForRow(*sheet->tableView, {0, 0}));
    ASSERT_TRUE(cell);
    cell->setFrame({0, 0, 390, 120});
    cell->layoutIfNeeded();
    const SVGRenderTarget box{cell->flag->bounds().size, sheet->view()->window()->screen().scale};
    ASSERT_GT(box.size.width, 0);
    {
        std::lock_guard lock(targetsMutex);
        for (const auto& target : targets) {
            ASSERT_TRUE(target);
            EXPECT_NEAR(target->size.width, box.size.width, 1e-9);
            EXPECT_NEAR(target->size.height, box.size.height, 1e-9);
            EXPECT_EQ(target->scale, box.scale);
        }
    }
    auto address = awaitedImageURL(flags[0]);
    ASSERT_TRUE(address);
    EXPECT_NE(images.cache->imageCachedType(*address, SVGImgProcessor(box).identifier()), pictura::CacheType::none);
}

TEST_F(SeasonSheet, aReusedRowOfARaceWithoutAFlagShowsAndAwaitsNoFlag) {
    presentSheet();
    auto table = sheet->tableView;
    auto first = std::dynamic_pointer_cast<CircuitCell>(table->cellForRow({0, 0}));
    ASSERT_TRUE(first);
    ASSERT_TRUE(awaitedImageURL(first->flag));
    first->flag->setImage(ui::namedImage("TeamRB"));  // as if Bahrain's flag had landed
    GlobalStruct::races()[0].circuit.location.country = "Atlantis";
    table->reloadData();
    table->layoutIfNeeded();
    auto again = std::dynamic_pointer_cast<CircuitCell>(table->cellForRow({0, 0}));
    ASSERT_EQ(again, first) << "the row's cell is reused";
    EXPECT_FALSE(awaitedImageURL(again->flag));
    EXPECT_EQ(again->flag->image(), nullptr);
}

TEST_F(SeasonSheet, aLoadedSeasonSetsTitleYearAndMenuAndResetsTheCountdown) {
    presentSheet();
    post(notifications::upcomingRace, notifications::raceUserInfo(3));
    EXPECT_EQ(sheet->navTitle->text(), "2023 Races");
    ASSERT_EQ(sheet->allYears.size(), 19u);
    EXPECT_EQ(sheet->allYears.front(), "2005");
    EXPECT_EQ(sheet->allYears.back(), "2023");

    std::vector<std::string> picked;
    auto token = foundation::NotificationCenter::defaultCenter().addObserver(
        notifications::changedYear, [&](const foundation::Notification& note) { picked.push_back(notifications::year(note).value_or("?")); });
    auto menu = sheet->yearButton->menu();
    ASSERT_TRUE(menu);
    auto pick = *std::find_if(menu->children.begin(), menu->children.end(), [](const auto& a) { return a.title == "2022"; });
    EXPECT_EQ(pick.state, ui::MenuElementState::off);
    pick.handler(pick);
    foundation::NotificationCenter::defaultCenter().removeObserver(token);
    EXPECT_EQ(picked, std::vector<std::string>{"2022"});
    EXPECT_EQ(sheet->year, "2023") << "the pick alone changes nothing shown";
    EXPECT_EQ(sheet->navTitle->text(), "2023 Races");

    storeSeason(races2022(), "2022");
    post(notifications::updateTable);
    EXPECT_EQ(sheet->year, "2022");
    EXPECT_EQ(sheet->navTitle->text(), "2022 Races");
    EXPECT_EQ(sheet->yearButton->title(ui::ControlState::normal), "2022");
    EXPECT_EQ(sheet->upcomingRaceIndex, 0);
    for (const auto& action : sheet->yearButton->menu()->children) {
        EXPECT_EQ(action.state == ui::MenuElementState::on, action.title == "2022") << action.title;
    }
    for (int row = 0; row < 22; ++row) EXPECT_EQ(round(row), "Round " + std::to_string(row + 1));
    // Every race held: the standings describe the season's last one.
    EXPECT_EQ(sheet->standingsButton->alpha(), 1.0);
    // The list of the season picked starts at its first round, not where the last season's stood.
    EXPECT_EQ(sheet->tableView->contentOffset().y, 0);
}

TEST_F(SeasonSheet, offlineTheYearMenuMarksTheSeasonsTheDataLacksAndPickingOneSaysWhy) {
    ASSERT_TRUE(GlobalStruct::offlineSeasons());
    EXPECT_EQ(*GlobalStruct::offlineSeasons(), (std::vector<std::string>{"2019", "2022", "2023", "2024"}));
    presentSheet();
    post(notifications::upcomingRace, notifications::raceUserInfo(3));
    std::vector<std::string> picked;
    auto token = foundation::NotificationCenter::defaultCenter().addObserver(
        notifications::changedYear, [&](const foundation::Notification& note) { picked.push_back(notifications::year(note).value_or("?")); });
    auto menu = sheet->yearButton->menu();
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->title, "Offline: 2019, 2022, 2023 can load") << "the years the menu offers";
    ASSERT_EQ(menu->children.size(), 19u);
    EXPECT_EQ(menu->children[0].title, "2005 (not offline)");
    EXPECT_EQ(menu->children[14].title, "2019");
    EXPECT_EQ(menu->children[17].title, "2022");
    auto lacking = menu->children[13];
    lacking.handler(lacking);
    settle();
    EXPECT_TRUE(picked.empty()) << "a season the data lacks is not asked for";
    EXPECT_EQ(sheet->statusLabel->text(), "The 2018 season is not in the offline data, which holds 2019, 2022, 2023.");
    EXPECT_GE(sheet->tableView->frame().minY(), sheet->statusLabel->frame().maxY()) << "the band never covers a row";
    auto held = menu->children[17];
    held.handler(held);
    foundation::NotificationCenter::defaultCenter().removeObserver(token);
    EXPECT_EQ(picked, std::vector<std::string>{"2022"});

    // Reading the real services, every year may load.
    auto offline = std::exchange(GlobalStruct::offlineSeasons(), std::nullopt);
    sheet->makeYearMenu("2023");
    EXPECT_EQ(sheet->yearButton->menu()->children[0].title, "2005");
    EXPECT_TRUE(sheet->yearButton->menu()->title.empty());
    GlobalStruct::offlineSeasons() = offline;
}

TEST_F(SeasonSheet, theStandingsButtonNeedsARaceBeforeTheNextOneAndHandsItOver) {
    presentSheet();
    waitForPreloads();
    post(notifications::upcomingRace, notifications::raceUserInfo(0));
    EXPECT_EQ(sheet->standingsButton->alpha(), 0.25);
    // Dimmed, a tap opens nothing but says why, above the list and not over its first row.
    sheet->standingsButton->sendActions(ui::ControlEvent::touchUpInside);
    settle();
    EXPECT_FALSE(shownScreen());
    EXPECT_FALSE(sheet->statusLabel->isHidden());
    EXPECT_EQ(sheet->statusLabel->text(), "No standings yet: the 2023 season's first race has not been run.");
    EXPECT_GE(sheet->tableView->frame().minY(), sheet->statusLabel->frame().maxY());
    post(notifications::upcomingRace, notifications::raceUserInfo(99));
    EXPECT_EQ(sheet->upcomingRaceIndex, 0) << "an index past the last race changes nothing";

    post(notifications::upcomingRace, notifications::raceUserInfo(3));
    EXPECT_EQ(sheet->standingsButton->alpha(), 1.0);
    sheet->standingsTapped();
    auto standings = std::dynamic_pointer_cast<StandingsViewController>(shownScreen());
    ASSERT_TRUE(standings);
    EXPECT_TRUE(standings->fromSeason);
    // The header names the race the table is after (round 2's standings are the last held), not the
    // last race run.
    EXPECT_EQ(standings->fromSeasonRaces[0].race, "Saudi Arabian Grand Prix");
    EXPECT_EQ(standings->fromSeasonRaces[0].location, "Jeddah, Saudi Arabia");
    EXPECT_EQ(standings->year, "2023");
    auto detents = standings->sheetPresentationController()->detents();
    ASSERT_EQ(detents.size(), 1u);
    EXPECT_EQ(detents[0].identifier(), ui::SheetDetent::largeIdentifier);
    EXPECT_EQ(standings->sheetPresentationController()->preferredCornerRadius(), 18);
}

TEST_F(SeasonSheet, theRaceScreenFollowsTheRaceStartAndCarriesRaceYearRoundAndPath) {
    presentSheet();
    clock->set(instant("2023-04-29T11:00:00Z"));
    EXPECT_TRUE(std::dynamic_pointer_cast<FutureDetailsViewController>(sheet->makeRaceScreen(3)));
    clock->set(instant("2023-04-30T01:30:00Z"));  // race day, before the start
    EXPECT_TRUE(std::dynamic_pointer_cast<FutureDetailsViewController>(sheet->makeRaceScreen(3)));
    // While the sprint runs (13:30 UTC on Saturday) the weekend is live and the live screen reads the
    // sprint; once it is over the weekend waits for its race again.
    clock->set(instant("2023-04-29T13:50:00Z"));
    auto sprint = std::dynamic_pointer_cast<LiveViewController>(sheet->makeRaceScreen(3));
    ASSERT_TRUE(sprint);
    EXPECT_EQ(sprint->path, "2023/2023-04-30_Azerbaijan_Grand_Prix/2023-04-29_Sprint/");
    EXPECT_EQ(sheet->roundText(3, foundation::Date::now()), "Round 4\nLIVE");
    clock->set(instant("2023-04-29T16:30:00Z"));
    EXPECT_TRUE(std::dynamic_pointer_cast<FutureDetailsViewController>(sheet->makeRaceScreen(3)));
    // On race day the live screen reads the race, not yesterday's sprint, even by the test menu.
    clock->set(instant("2023-04-30T12:00:00Z"));
    auto race = std::dynamic_pointer_cast<LiveViewController>(sheet->makeRaceScreen(3));
    ASSERT_TRUE(race);
    EXPECT_EQ(race->path, "2023/2023-04-30_Azerbaijan_Grand_Prix/2023-04-30_Race/");
    EXPECT_EQ(sheet->makeLiveScreen(3)->path, race->path);
    clock->set(instant("2023-04-30T14:00:00Z"));
    auto screen = sheet->makeRaceScreen(3);
    ASSERT_TRUE(std::dynamic_pointer_cast<PastDetailsViewController>(screen));
    EXPECT_EQ(screen->raceRound, 4);
    ASSERT_EQ(screen->races.size(), 1u);
    EXPECT_EQ(screen->races[0].raceName, "Azerbaijan Grand Prix");
    EXPECT_EQ(screen->year, "2023");
    // The index types the sprint "Race" too and lists it first; the screen gets the race's own folder.
    EXPECT_EQ(screen->path, "2023/2023-04-30_Azerbaijan_Grand_Prix/2023-04-30_Race/");

    GlobalStruct::meetings().clear();  // the index not loaded
    EXPECT_EQ(sheet->makeRaceScreen(3)->path, "");
}

TEST_F(SeasonSheet, aRowTapPostsItsIndexAndOpensTheRaceSizedByTheSheetsDetent) {
    presentSheet();
    std::vector<int> selected;
    auto token = foundation::NotificationCenter::defaultCenter().addObserver(
        notifications::selectedRace, [&](const foundation::Notification& note) { selected.push_back(notifications::raceIndex(note).value_or(-1)); });
    sheet->didSelectRow(*sheet->tableView, {0, 4});
    foundation::NotificationCenter::defaultCenter().removeObserver(token);
    EXPECT_EQ(selected, std::vector<int>{4});
    auto miami = std::dynamic_pointer_cast<FutureDetailsViewController>(shownScreen());
    ASSERT_TRUE(miami);
    EXPECT_EQ(miami->raceRound, 5);
    auto detents = miami->sheetPresentationController()->detents();
    ASSERT_EQ(detents.size(), 2u);
    EXPECT_EQ(detents[0].identifier(), ui::SheetDetent::mediumIdentifier);
    EXPECT_EQ(miami->sheetPresentationController()->largestUndimmedDetentIdentifier(), ui::SheetDetent::largeIdentifier);
    settle();
    miami->dismiss(true);
    settle();

    GlobalStruct::sheetIsLarge() = true;
    sheet->didSelectRow(*sheet->tableView, {0, 0});
    ASSERT_TRUE(std::dynamic_pointer_cast<PastDetailsViewController>(shownScreen()));
    EXPECT_EQ(shownScreen()->sheetPresentationController()->detents().size(), 1u);
}

TEST_F(SeasonSheet, aPickWhileARaceScreenShowsReplacesOnlyTheTopMostSheetWithTheRaceOnce) {
    presentSheet();
    // A pick with only the sheet shown moves the list and opens nothing.
    post(notifications::selectedRace, notifications::raceUserInfo(2));
    settle();
    EXPECT_EQ(shownScreen(), nullptr);

    sheet->didSelectRow(*sheet->tableView, {0, 0});
    settle();
    auto bahrain = shownScreen();
    ASSERT_TRUE(GlobalStruct::detailsOnScreen());
    bahrain->present(std::make_shared<StandingsViewController>(), true);  // a sheet of the race screen
    settle();

    post(notifications::selectedRace, notifications::raceUserInfo(2));
    settle();
    settle();
    // The race screen's own sheet went; the picked race opens over the race screen that stays.
    EXPECT_EQ(shownScreen(), bahrain);
    auto australia = std::dynamic_pointer_cast<PastDetailsViewController>(bahrain->presentedViewController());
    ASSERT_TRUE(australia);
    EXPECT_EQ(australia->raceRound, 3);
    EXPECT_EQ(australia->presentedViewController(), nullptr);

    // A row tap while it shows: the tapped race opens once, with no refused presentation.
    foundation::ConsoleCapture console;
    sheet->didSelectRow(*sheet->tableView, {0, 1});
    settle();
    settle();
    auto saudi = std::dynamic_pointer_cast<PastDetailsViewController>(bahrain->presentedViewController());
    ASSERT_TRUE(saudi);
    EXPECT_EQ(saudi->raceRound, 2);
    EXPECT_EQ(saudi->presentedViewController(), nullptr);
    EXPECT_EQ(console.text().find("Attempt to present"), std::string::npos) << console.text();
}

// A pin picked while the race screen slides away (Escape, a swipe) opens the picked race once the
// slide ends, and row taps keep opening races after it.
TEST_F(SeasonSheet, aPickWhileTheRaceScreenIsLeavingOpensThePickedRaceAndLaterTapsStillOpen) {
    presentSheet();
    sheet->didSelectRow(*sheet->tableView, {0, 0});
    settle();
    auto bahrain = shownScreen();
    ASSERT_TRUE(bahrain && GlobalStruct::detailsOnScreen());
    bahrain->dismiss(true);  // what Escape does
    host.renderIfNeeded();
    ASSERT_TRUE(bahrain->isBeingDismissed());

    post(notifications::selectedRace, notifications::raceUserInfo(2));
    settle();
    settle();
    auto australia = std::dynamic_pointer_cast<PastDetailsViewController>(shownScreen());
    ASSERT_TRUE(australia) << "the picked race did not open";
    EXPECT_EQ(australia->raceRound, 3);
    australia->dismiss(true);
    settle();
    ASSERT_EQ(shownScreen(), nullptr);

    sheet->didSelectRow(*sheet->tableView, {0, 1});
    settle();
    auto saudi = std::dynamic_pointer_cast<PastDetailsViewController>(shownScreen());
    ASSERT_TRUE(saudi) << "a later row tap opened nothing";
    EXPECT_EQ(saudi->raceRound, 2);
}

TEST_F(SeasonSheet, theRowMenuTestsLiveTimingOfRacesThatHaveBegun) {
    presentSheet();
    EXPECT_EQ(sheet->contextMenuConfigurationForRow(*sheet->tableView, {0, 4}, {}), nullptr);
    auto configuration = sheet->contextMenuConfigurationForRow(*sheet->tableView, {0, 1}, {});
    ASSERT_TRUE(configuration);
    auto menu = configuration->makeMenu();
    ASSERT_EQ(menu->children.size(), 1u);
    EXPECT_EQ(menu->children[0].title, "Live Session Test");
    menu->children[0].handler(menu->children[0]);
    auto live = std::dynamic_pointer_cast<LiveViewController>(shownScreen());
    ASSERT_TRUE(live);
    EXPECT_EQ(live->raceRound, 2);
    EXPECT_EQ(live->path, "2023/2023-03-19_Saudi_Arabian_Grand_Prix/2023-03-19_Race/");
}

TEST_F(SeasonSheet, aNewsFeedThatNeverAnswersHoldsNoOtherFeedBack) {
    SilentPort silent;
    auto hosts = ServiceHosts::current();
    hosts.fiaNews = silent.host();  // the first feed read
    ServiceHosts::setCurrent(hosts);
    RSSParser::setTimeoutInterval(60);  // longer than the wait below, so only reading side by side passes
    presentSheet();
    EXPECT_TRUE(waitFor([&] {
        return !sheet->newsArticles2.empty() && !sheet->newsArticles3.empty() && !sheet->newsArticles4.empty() &&
               !sheet->newsArticles5.empty();
    }));
    EXPECT_TRUE(sheet->newsArticles.empty()) << "the silent feed is still being waited for";
    silent.close();  // ends that read now, as its time-out would
    RSSParser::setTimeoutInterval(RSSParser::defaultTimeoutInterval);
}

TEST_F(SeasonSheet, preloadsFollowTheSeasonShown) {
    presentSheet();
    waitForPreloads();
    EXPECT_TRUE(wasRequested("/api/f1/2023/driverStandings.json"));
    EXPECT_TRUE(wasRequested("/api/f1/2023/constructorStandings.json"));
    EXPECT_TRUE(wasRequested("/static/2023/2023-03-05_Bahrain_Grand_Prix/2023-03-05_Race/DriverList.json"));
    EXPECT_EQ(sheet->driverNumDictionary[driverKey("Sergio", "Pérez")], "11");
    EXPECT_EQ(sheet->driverImageDictionary[driverKey("Sergio", "Perez")].find(".transform"), std::string::npos);
    EXPECT_FALSE(sheet->countryFlags.empty());
    std::size_t articles = 0;
    for (const auto* feed : {&sheet->newsArticles, &sheet->newsArticles2, &sheet->newsArticles3, &sheet->newsArticles4,
                             &sheet->newsArticles5})
        articles += feed->size();
    // Every article up to the clock, before Azerbaijan's qualifying, is kept.
    EXPECT_EQ(articles, 10u);
    ASSERT_FALSE(sheet->newsArticles3.empty());
    EXPECT_EQ(sheet->newsArticles3.front().title, "Sergio Pérez takes pole for the Saudi Arabian Grand Prix");
    // The season's standings as they stood at now (after round 2, the last finished round whose
    // result is recorded whole), not the final table of the season's end.
    ASSERT_FALSE(sheet->driverStandings.empty());
    EXPECT_EQ(sheet->driverStandings.front().points, "44");
    EXPECT_EQ(sheet->driverStandings.front().wins, "1");
    ASSERT_FALSE(sheet->teamStandings.empty());
    EXPECT_EQ(sheet->teamStandings.front().points, "87");

    // Another season: what belonged to 2023 goes, and its own documents are asked for.
    storeSeason(races2022(), "2022");
    post(notifications::updateTable);
    EXPECT_TRUE(sheet->driverStandings.empty());
    EXPECT_TRUE(sheet->driverNumDictionary.empty());
    ASSERT_TRUE(waitFor([&] { return wasRequested("/api/f1/2022/constructorStandings.json"); }));
    EXPECT_TRUE(wasRequested("/api/f1/2022/driverStandings.json"));
    EXPECT_TRUE(wasRequested("/static/2022/Index.json"));
}

TEST_F(SeasonSheet, theYearButtonOpensItsMenuAtEveryDetent) {
    presentSheet();
    std::vector<std::shared_ptr<ui::Menu>> shown;
    ui::setMenuPresenter([&](ui::View&, const std::shared_ptr<ui::Menu>& menu) { shown.push_back(menu); });
    auto controller = sheet->sheetPresentationController();
    for (const char* detent : {"small", "medium", "large"}) {
        controller->setSelectedDetentIdentifier(std::string(detent));
        settle();
        auto frame = sheet->yearButton->frame();
        EXPECT_LE(frame.origin.y + frame.size.height, SeasonViewController::headerHeight);
        EXPECT_LE(frame.origin.x + frame.size.width, sheet->newsButton->frame().origin.x) << "beside the round buttons";
        auto center = sheet->yearButton->convertPointTo({frame.size.width / 2, frame.size.height / 2}, nullptr);
        host.tap(center);
        settle();
        ASSERT_EQ(shown.size(), 1u) << detent;
        EXPECT_EQ(shown.back(), sheet->yearButton->menu());
        shown.clear();
    }
    ui::setMenuPresenter(nullptr);
}

}  // namespace

namespace {

// Each race screen the sheet opens, as the phone shows it with the real fonts, at four clock settings
// (before the season, during a practice, on race day, after the season), drawn into the build's
// gallery/ folder; no card shows an empty name or a bare unit.
class ScreensAtFourClocks : public SeasonSheet {
protected:
    void draw(ui::TableView& table, const std::string& name) {
        for (int section = 0; section < table.numberOfSections(); section += 3) {
            if (table.numberOfRows(section) == 0) continue;
            table.scrollToRow({section, 0}, ui::TableViewScrollPosition::top, false);
            settle(0.2);
            host.snapshot();
            std::filesystem::create_directories(SORVANE_GALLERY_DIR);
            EXPECT_TRUE(host.writePng(std::string(SORVANE_GALLERY_DIR) + "/clock-" + name + "-" + std::to_string(section) + ".png"));
            for (const auto& cell : table.visibleCells()) {
                if (auto weather = std::dynamic_pointer_cast<WeatherOverviewCell>(cell)) {
                    EXPECT_NE(weather->airTemp->text(), "°") << name;
                }
                if (auto driver = std::dynamic_pointer_cast<DriverOfTheDayCell>(cell)) {
                    EXPECT_FALSE(driver->driver->text().empty()) << name;
                }
            }
        }
    }
    void open(const char* now, int index, const std::string& name) {
        clock->set(instant(now));
        auto screen = sheet->makeRaceScreen(index);
        ASSERT_TRUE(screen);
        sheet->present(screen, false);
        settle(1.5);
        if (auto past = std::dynamic_pointer_cast<PastDetailsViewController>(screen)) {
            draw(*past->tableView[0], name + "-finished");
            past->selectEventType(2);
            settle(0.5);
            draw(*past->tableView[2], name + "-finished-tab2");
        } else if (auto future = std::dynamic_pointer_cast<FutureDetailsViewController>(screen)) {
            draw(*future->tableView[0], name + "-upcoming");
        } else if (auto live = std::dynamic_pointer_cast<LiveViewController>(screen)) {
            draw(*live->tableView[0], name + "-live");
        }
        sheet->dismiss(false);
        settle();
    }
};

TEST_F(ScreensAtFourClocks, eachRaceScreenAsThePhoneShowsIt) {
    gfx::setTextMeasurer(nullptr);
    presentSheet();
    open("2023-02-20T12:00:00Z", 0, "before-season");
    open("2023-05-05T18:30:39Z", 4, "practice");
    open("2023-05-05T18:30:39Z", 3, "practice");
    open("2023-03-05T15:40:00Z", 0, "race-day");
    open("2023-12-10T12:00:00Z", 0, "after-season");
    open("2023-12-10T12:00:00Z", 3, "after-season-sprint");
    open("2023-12-10T12:00:00Z", 6, "after-season-monaco");
}

}  // namespace
