#include <algorithm>
#include <deque>
#include <map>

#include "RefusingOpener.h"
#include "SheetTestSupport.h"
#include "cells/StateCell.h"
#include "cells/DetailHeaderCell.h"
#include "cells/DriverCell.h"
#include "cells/LapPickerCell.h"
#include "cells/RaceBreakdownCell.h"
#include "cells/RaceMessagesCell.h"
#include "cells/VoteCell.h"
#include "cells/WeatherOverviewCell.h"
#include "cells/WeekendCell.h"
#include "dispatch/Queue.h"
#include "foundation/NotificationCenter.h"
#include "foundation/NumberText.h"
#include "foundation/Print.h"
#include "live/LapsViewController.h"
#include "live/LiveViewController.h"
#include "live/MessagesViewController.h"
#include "live/RadioViewController.h"
#include "live/TyresViewController.h"
#include "livetiming/EventsModel.h"
#include "net/ProtocolRegistry.h"
#include "shell/DriverKey.h"
#include "shell/RaceTiming.h"
#include "shell/AppNotifications.h"
#include "shell/SeasonViewController.h"
#include "ui/Application.h"
#include "ui/Feedback.h"
#include "ui/SheetPresentationController.h"

namespace {

// Timing reads that wait until the test answers them, in the order they were asked.
struct GatedTimingReads {
    std::deque<std::function<void(foundation::Data)>> waiting;
    int asked = 0;

    LiveViewController::TimingRead read() {
        return [this](std::string) -> dispatch::Task<Loaded> {
            ++asked;
            co_return Loaded(co_await dispatch::awaitCallback<foundation::Data>(
                [this](std::function<void(foundation::Data)> resume) { waiting.push_back(std::move(resume)); }));
        };
    }
    // Answers the read asked `index`-th among those still waiting.
    void answer(std::size_t index, const std::string& body) {
        ASSERT_LT(index, waiting.size());
        auto resume = std::move(waiting[index]);
        waiting.erase(waiting.begin() + static_cast<long>(index));
        resume(foundation::Data::fromString(body));
    }
    // Answers every read still waiting with an error page, so no read outlives the test; a read on its
    // way (a tick's read starts a turn or two after the tick) is waited for and answered too.
    void fail() {
        do {
            while (!waiting.empty()) answer(0, "<html>404</html>");
        } while (dispatch::RunLoop::main()->runUntil([this] { return !waiting.empty(); }, 0.1));
    }
};

// A timing document whose cars run in the given order.
std::string timingDocument(const std::vector<std::string>& numbers) {
    std::string lines;
    for (std::size_t index = 0; index < numbers.size(); ++index) {
        if (!lines.empty()) lines += ",";
        lines += "\"" + numbers[index] + "\":{\"Line\":" + std::to_string(index + 1) + ",\"Position\":\"" +
                 std::to_string(index + 1) + "\",\"ShowPosition\":true,\"RacingNumber\":\"" + numbers[index] +
                 "\",\"Retired\":false,\"InPit\":false,\"PitOut\":false,\"Stopped\":false,\"Status\":0,"
                 "\"NumberOfLaps\":7,\"Sectors\":[],\"Speeds\":{\"I1\":{\"Value\":\"\",\"Status\":0,"
                 "\"OverallFastest\":false,\"PersonalFastest\":false},\"I2\":{\"Value\":\"\",\"Status\":0,"
                 "\"OverallFastest\":false,\"PersonalFastest\":false},\"FL\":{\"Value\":\"\",\"Status\":0,"
                 "\"OverallFastest\":false,\"PersonalFastest\":false},\"ST\":{\"Value\":\"\",\"Status\":0,"
                 "\"OverallFastest\":false,\"PersonalFastest\":false}},\"BestLapTime\":{},\"LastLapTime\":{}}";
    }
    return "{\"Withheld\":false,\"Lines\":{" + lines + "}}";
}

std::vector<std::string> order(const LiveViewController& screen) {
    std::vector<std::string> numbers;
    for (const auto& line : screen.raceResults) numbers.push_back(line.racingNumber);
    return numbers;
}

class LiveScreen : public sheettest::OfflineSheet {
protected:
    void SetUp() override {
        OfflineSheet::SetUp();
        ui::setHapticSink(haptics);
        ui::setURLOpener(opened);
    }
    void TearDown() override {
        ui::setHapticSink(nullptr);
        ui::setURLOpener(nullptr);
        OfflineSheet::TearDown();
    }

    // The session the season sheet hands the live screen of round 4 at the season's now: the sprint,
    // which is running.
    static std::string sessionPath() {
        auto index = read<livetiming::EventsModel>(LiveTiming::all("2023"));
        return SeasonViewController::liveSessionPath(race(4), index.meetings, foundation::Date::now());
    }

    std::shared_ptr<LiveViewController> make() {
        auto screen = std::make_shared<LiveViewController>();
        screen->races = {race(4)};
        screen->year = "2023";
        screen->raceRound = 4;
        screen->path = sessionPath();
        return screen;
    }
    // Presented and loaded (the loading task ends with the team radio).
    std::shared_ptr<LiveViewController> open() {
        auto screen = make();
        present(screen);
        EXPECT_TRUE(waitFor([&] { return !screen->driverRadio.empty() && !screen->raceResults.empty(); }));
        return screen;
    }
    // One refresh tick after `seconds` of session, and its answer.
    void refreshAfter(LiveViewController& screen, double seconds) {
        clock->advance(seconds);
        host.renderIfNeeded();
        waitFor([&] { return !screen.timingReadInFlight(); }, 5);
        host.renderIfNeeded();
    }
    // Refresh ticks `seconds` of session apart until the running order has changed and the leader's
    // lap has gone up (at most 30 ticks).
    void expectTheOrderAndTheLapToMoveOn(LiveViewController& screen, double seconds) {
        auto lap = [&] { return screen.raceResults.empty() ? 0 : screen.raceResults.front().numberOfLaps.value_or(0); };
        std::int64_t firstLap = lap();
        auto firstOrder = order(screen);
        bool reordered = false;
        for (int tick = 0; tick < 30 && !(reordered && lap() > firstLap); ++tick) {
            refreshAfter(screen, seconds);
            reordered = reordered || order(screen) != firstOrder;
        }
        EXPECT_TRUE(reordered);
        EXPECT_GT(lap(), firstLap);
    }
    template <class Cell>
    std::shared_ptr<Cell> row(LiveViewController& screen, int section, int index) {
        return rowOf<Cell>(screen, *screen.tableView[0], section, index);
    }
    template <class Sheet>
    std::shared_ptr<Sheet> presented(LiveViewController& screen) {
        settle();
        return std::dynamic_pointer_cast<Sheet>(screen.presentedViewController());
    }

    std::shared_ptr<ui::HapticRecorder> haptics = std::make_shared<ui::HapticRecorder>();
    std::shared_ptr<ui::URLOpenRecorder> opened = std::make_shared<ui::URLOpenRecorder>();
};

TEST_F(LiveScreen, theReplayedSessionMovesOnBetweenRefreshes) {
    auto screen = open();
    ASSERT_GE(screen->raceResults.size(), 18u);
    EXPECT_EQ(screen->tableView[0]->numberOfSections(), 9);
    EXPECT_EQ(screen->tableView[0]->numberOfRows(2), static_cast<int>(screen->raceResults.size()));
    auto lap = [&] { return screen->raceResults.front().numberOfLaps.value_or(0); };
    std::int64_t firstLap = lap();
    EXPECT_GT(firstLap, 0) << "the sprint is under way at the season's now";
    auto picker = row<LapPickerCell>(*screen, 1, 0);
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->event->text(), "LIVE Standings (Lap " + std::to_string(firstLap) + ")");

    // Each tick reads the timing lines again; over a few laps the order changes and the laps count up.
    expectTheOrderAndTheLapToMoveOn(*screen, 30);
    for (std::size_t index = 1; index < screen->raceResults.size(); ++index) {
        auto before = foundation::parseInt(screen->raceResults[index - 1].position);
        auto after = foundation::parseInt(screen->raceResults[index].position);
        if (before && after) {
            EXPECT_LT(*before, *after);
        }
    }
    picker = row<LapPickerCell>(*screen, 1, 0);
    EXPECT_EQ(picker->event->text(), "LIVE Standings (Lap " + std::to_string(lap()) + ")");
}

TEST_F(LiveScreen, insideBahrainsRaceTheLiveRowOpensItsReplayWithTheRacesOwnLapsStintsAndMessages) {
    clock->set(*instantFromISO8601("2023-03-05T15:40:00Z"));  // 36 minutes after the lights went out
    auto now = foundation::Date::now();
    ASSERT_EQ(RaceTiming::phase(race(1), now), RacePhase::live);
    auto index = read<livetiming::EventsModel>(LiveTiming::all("2023"));
    auto screen = std::make_shared<LiveViewController>();
    screen->races = {race(1)};
    screen->year = "2023";
    screen->raceRound = 1;
    screen->path = SeasonViewController::liveSessionPath(race(1), index.meetings, now);
    EXPECT_EQ(screen->path, sheettest::bahrainRace);
    present(screen);
    ASSERT_TRUE(waitFor([&] {
        return screen->raceResults.size() == 20 && !screen->raceMessages.empty() && !screen->tyresResults.empty() &&
               screen->sessionLaps;
    }));

    // The replay is where the race was at now: some laps in, the messages sent so far, no later one.
    auto lap = [&] { return screen->raceResults.front().numberOfLaps.value_or(0); };
    std::int64_t firstLap = lap();
    EXPECT_GT(firstLap, 10);
    EXPECT_LT(firstLap, 57);
    EXPECT_EQ(screen->raceResults.front().position, "1");
    EXPECT_LT(screen->raceMessages.size(), 73u);
    for (const auto& message : screen->raceMessages) EXPECT_LT(message.utc, "2023-03-05T15:40:01") << message.message;
    EXPECT_EQ(*screen->sessionLaps, 57);

    // Gaps and lap times were not recorded: the rows say so rather than show a gap of nothing.
    auto second = row<DriverCell>(*screen, 2, 1);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->position->text(), "2nd");
    EXPECT_EQ(second->status->text(), "Interval not available");
    EXPECT_EQ(second->constructor->text(), "Last lap: not available");
    EXPECT_EQ(second->fromGridPosition->text(), "Lap " + std::to_string(*screen->raceResults[1].numberOfLaps));
    screen->didSelectRow(*screen->tableView[0], {2, 1});
    EXPECT_EQ(row<DriverCell>(*screen, 2, 1)->constructor->text(), "Fastest lap: not available");

    // Between refreshes the order changes and the laps count up.
    expectTheOrderAndTheLapToMoveOn(*screen, 60);
    EXPECT_EQ(row<LapPickerCell>(*screen, 1, 0)->event->text(), "LIVE Standings (Lap " + std::to_string(lap()) + ")");

    row<RaceBreakdownCell>(*screen, 4, 0)->tyres->sendActions(ui::ControlEvent::touchUpInside);
    auto tyres = presented<TyresViewController>(*screen);
    ASSERT_TRUE(tyres);
    EXPECT_EQ(tyres->totalLaps, 57);
    EXPECT_EQ(tyres->tyresResults.size(), 20u);
}

TEST_F(LiveScreen, aDriverListEntryMissingAFieldLosesOnlyThatDriver) {
    // Served on a host of its own: Pérez's entry lacks most of its fields.
    const std::string drivers =
        R"({"1":{"RacingNumber":"1","BroadcastName":"M VERSTAPPEN","FullName":"Max VERSTAPPEN","Tla":"VER","Line":1,)"
        R"("TeamName":"Red Bull Racing","TeamColour":"3671C6","FirstName":"Max","LastName":"Verstappen",)"
        R"("Reference":"MAXVER01","HeadshotUrl":"https://www.formula1.com/max.png.transform/1col/image.png"},)"
        R"("11":{"RacingNumber":"11","FirstName":"Sergio","LastName":"Perez"}})";
    auto screen = make();
    ServiceHosts before = ServiceHosts::current();
    ServiceHosts hosts = before;
    hosts.liveTiming = "drivers.live.test";
    net::ProtocolRegistry::global()->registerHandler(hosts.liveTiming, [drivers](const net::Request& request)
                                                         -> std::expected<net::ProtocolAnswer, net::URLError> {
        bool list = request.url && request.url->path().ends_with("/DriverList.json");
        return net::ProtocolAnswer{net::Response::make(*request.url, list ? 200 : 404, {}),
                                   foundation::Data::fromString(list ? drivers : "<html>404</html>")};
    });
    ServiceHosts::setCurrent(hosts);
    present(screen);
    bool filed = waitFor([&] { return !screen->driverNumDictionary.empty(); });
    ServiceHosts::setCurrent(before);
    net::ProtocolRegistry::global()->unregisterHandler(hosts.liveTiming);
    ASSERT_TRUE(filed) << "one bad entry blanked every driver";
    EXPECT_EQ(screen->driverNumDictionary.size(), 1u);
    EXPECT_EQ(screen->driverNumDictionary[driverKey("Max", "Verstappen")], "1");
    EXPECT_EQ(screen->driverImageDictionary[driverKey("Max", "Verstappen")], "https://www.formula1.com/max.png");
    EXPECT_EQ(screen->driverColDictionary[driverKey("Max", "Verstappen")], "3671C6");
}

// Scrolled below the running order, the screen holds still through its refreshes: the same offset,
// the same content height and the same rows where they were, never an empty sheet. (Buttons that
// moved under the pointer opened the wrong sheet.)
TEST_F(LiveScreen, tenRefreshesScrolledDownMoveNothingOnScreen) {
    auto screen = open();
    auto& table = *screen->tableView[0];
    table.scrollToRow({LiveViewController::weekendSection, 0}, ui::TableViewScrollPosition::top, false);
    settle();
    double offset = table.contentOffset().y;
    double height = table.contentSize().height;
    auto shown = table.indexPathsForVisibleRows();
    ASSERT_FALSE(shown.empty());
    ASSERT_GT(offset, table.rectForRow({LiveViewController::driverSection, 0}).maxY());
    std::map<ui::IndexPath, ui::Rect> frames;
    for (auto row : shown) frames[row] = table.rectForRow(row);
    for (int refresh = 0; refresh < 10; ++refresh) {
        refreshAfter(*screen, 2.5);
        SCOPED_TRACE(refresh);
        EXPECT_EQ(table.contentOffset().y, offset);
        EXPECT_EQ(table.contentSize().height, height);
        EXPECT_EQ(table.indexPathsForVisibleRows(), shown);
        for (auto row : shown) {
            EXPECT_EQ(table.rectForRow(row), frames[row]) << row.section << "/" << row.row;
            EXPECT_TRUE(table.cellForRow(row)) << row.section << "/" << row.row;
        }
    }
}

TEST_F(LiveScreen, messagesAndRadioAppearAsTheReplayReachesThem) {
    auto early = open();
    std::size_t messages = early->raceMessages.size();
    std::size_t clips = early->driverRadio.size();
    early->dismiss(false);
    settle();

    clock->advance(20 * 60);  // past the chequered flag
    auto late = open();
    EXPECT_GT(late->raceMessages.size(), messages);
    EXPECT_GT(late->driverRadio.size(), clips);
    EXPECT_EQ(late->raceMessages.front().message, "CHEQUERED FLAG") << "the newest message comes first";

    late->raceMessagesTap(*std::make_shared<ui::Button>());
    auto sheet = presented<MessagesViewController>(*late);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->raceMessages.size(), late->raceMessages.size());
    EXPECT_EQ(sheet->path, late->path);
}

TEST_F(LiveScreen, rowsShowTheRaceTheOrderAndTheWeekend) {
    auto screen = open();
    auto header = row<DetailHeaderCell>(*screen, 0, 0);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->time->text(), "Round 4");
    EXPECT_EQ(header->race->text(), "Azerbaijan Grand Prix");
    EXPECT_EQ(header->location->text(), "Baku, Azerbaijan");
    EXPECT_EQ(header->backgroundColor(), gfx::Color::systemRed());

    auto leader = row<DriverCell>(*screen, 2, 0);
    ASSERT_TRUE(leader);
    EXPECT_EQ(leader->status->text(), "Race Leader");
    EXPECT_EQ(leader->position->text(), "1st");
    EXPECT_FALSE(leader->driver->text().empty()) << "named through the driver list";
    auto second = row<DriverCell>(*screen, 2, 1);
    EXPECT_EQ(second->position->text(), "2nd");
    EXPECT_EQ(second->status->text(), screen->raceResults[1].intervalToPositionAhead->value.value_or(""));
    EXPECT_TRUE(second->constructor->text().starts_with("Last lap: ")) << second->constructor->text();

    // Stops counted in words; a retired car is neither pitting nor behind by a gap.
    screen->raceResults[1].numberOfPitStops = 1;
    screen->raceResults[1].inPit = true;
    EXPECT_EQ(row<DriverCell>(*screen, 2, 1)->fastestLap->text(), "1 pit stop - Currently pitting");
    auto running = screen->raceResults[1];
    screen->raceResults[1].retired = true;
    screen->raceResults[1].numberOfPitStops = 2;
    auto retired = row<DriverCell>(*screen, 2, 1);
    EXPECT_EQ(retired->fromGridPosition->text(), "DNF");
    EXPECT_EQ(retired->fastestLap->text(), "2 pit stops");
    EXPECT_EQ(retired->status->text(), "");
    screen->raceResults[1] = running;

    // A tap expands a driver row and a second tap collapses it.
    screen->didSelectRow(*screen->tableView[0], {2, 1});
    EXPECT_EQ(screen->selectedRows, std::vector<int>{1});
    EXPECT_TRUE(row<DriverCell>(*screen, 2, 1)->constructor->text().starts_with("Fastest lap: "));
    screen->didSelectRow(*screen->tableView[0], {2, 1});
    EXPECT_TRUE(screen->selectedRows.empty());

    // The schedule: the sprint weekend's sessions, latest first, in Amsterdam's clock.
    auto race = row<WeekendCell>(*screen, 7, 1);
    ASSERT_TRUE(race);
    EXPECT_EQ(race->event->text(), "Race");
    EXPECT_EQ(race->time->text(), "13:00, Sunday");
    EXPECT_EQ(race->day->text(), "30");
    // The results API lists no second practice for this weekend but the shoot-out in its place.
    EXPECT_EQ(row<WeekendCell>(*screen, 7, 3)->event->text(), "Sprint Shootout");
    EXPECT_EQ(row<WeekendCell>(*screen, 7, 3)->time->text(), "11:30, Saturday");
    EXPECT_EQ(row<WeekendCell>(*screen, 7, 5)->event->text(), "Practice 1");

    // The snapshot holds no weather of the sprint: one row says it is not recorded, not a card of bare
    // units nor readings still to come; a document that holds no reading says that, a damaged one why.
    ASSERT_TRUE(screen->weather.empty());
    auto noWeather = row<StateCell>(*screen, 8, 0);
    ASSERT_TRUE(noWeather);
    EXPECT_EQ(noWeather->title->text(), "Weather");
    EXPECT_EQ(noWeather->detail->text(), "Not recorded in the offline season");
    screen->weather = {livetiming::WeatherModel{}};
    EXPECT_EQ(row<StateCell>(*screen, 8, 0)->title->text(), "Weather");
    EXPECT_EQ(row<StateCell>(*screen, 8, 0)->detail->text(), "No readings yet.");
    screen->weather.clear();
    screen->weatherCouldNotLoad = LoadFailure{0, LoadFailure::undecodable};
    noWeather = row<StateCell>(*screen, 8, 0);
    EXPECT_EQ(noWeather->title->text(), "The weather could not be loaded.");
    EXPECT_EQ(noWeather->title->textColor(), gfx::Color::systemRed());
    EXPECT_EQ(noWeather->detail->text(), "The offline season holds it damaged.");

    // Any schedule row switches the wind card between speed and direction.
    screen->weather = {livetiming::WeatherModel{.airTemp = "24.1", .humidity = "45.6", .pressure = "1e999", .rainfall = "0",
                                                .trackTemp = "30.2", .windDirection = "270", .windSpeed = "2.3"}};
    auto weather = row<WeatherOverviewCell>(*screen, 8, 0);
    ASSERT_TRUE(weather);
    EXPECT_EQ(weather->windSpeedTitle->attributedText()->string().substr(3), " Wind Speed");
    EXPECT_EQ(weather->windSpeed->text(), "2.3 m/s");
    EXPECT_EQ(weather->humidity->text(), "45%");
    EXPECT_EQ(weather->pressure->text(), "--mb") << "a figure too large reads as none, as on the finished weekend";
    screen->didSelectRow(*screen->tableView[0], {LiveViewController::weatherSection, 0});
    EXPECT_FALSE(screen->weatherSelected) << "the weather card's own tap changes nothing";
    screen->didSelectRow(*screen->tableView[0], {7, 2});
    weather = row<WeatherOverviewCell>(*screen, 8, 0);
    EXPECT_TRUE(weather->windSpeedTitle->attributedText()->string().ends_with(" Wind Direction"));
    EXPECT_TRUE(weather->windSpeed->text().ends_with("°"));
    screen->didSelectRow(*screen->tableView[0], {7, 5});
    EXPECT_FALSE(screen->weatherSelected) << "a second schedule tap switches back";
}

TEST_F(LiveScreen, theWeatherReloadRefillsTheWeatherCardSoItsFansTurnAgain) {
    auto screen = open();
    screen->weather = {livetiming::WeatherModel{.airTemp = "24.1", .windSpeed = "2.3"}};
    screen->reloadTables();
    auto& table = *screen->tableView[0];
    table.scrollToRow({LiveViewController::weatherSection, 0}, ui::TableViewScrollPosition::top, false);
    settle();
    auto weather = std::dynamic_pointer_cast<WeatherOverviewCell>(table.cellForRow({LiveViewController::weatherSection, 0}));
    ASSERT_TRUE(weather) << "the weather card is on screen";
    ASSERT_TRUE(weather->windmillFan->layer()->animation(LiveViewController::rotationAnimationKey));
    for (auto* fan : {weather->windmillFan.get(), weather->windmillFan2.get(), weather->windmillFan3.get()})
        fan->layer()->removeAnimation(LiveViewController::rotationAnimationKey);

    foundation::NotificationCenter::defaultCenter().post(notifications::reloadWeatherAnimations);
    settle();
    weather = std::dynamic_pointer_cast<WeatherOverviewCell>(table.cellForRow({LiveViewController::weatherSection, 0}));
    ASSERT_TRUE(weather);
    for (auto* fan : {weather->windmillFan.get(), weather->windmillFan2.get(), weather->windmillFan3.get()}) {
        auto rotation = fan->layer()->animation(LiveViewController::rotationAnimationKey);
        ASSERT_TRUE(rotation);
        EXPECT_EQ(rotation->repeatCount, quartz::BasicAnimation::forever);
    }
}

TEST_F(LiveScreen, neitherTheTimerNorTheObservationOutlivesTheScreen) {
    auto screen = open();
    std::weak_ptr<LiveViewController> weak = screen;
    auto timer = screen->timer;
    EXPECT_TRUE(timer->isValid());
    screen->dismiss(false);
    settle();
    EXPECT_FALSE(timer->isValid()) << "stopped when the screen disappeared";
    screen.reset();
    waitFor([&] { return weak.expired(); }, 5);
    EXPECT_TRUE(weak.expired()) << "nothing holds a dismissed screen";
    foundation::NotificationCenter::defaultCenter().post(notifications::reloadWeatherAnimations);
    settle();

    // A screen released without ever disappearing takes its timer with it.
    auto unshown = make();
    unshown->loadViewIfNeeded();
    auto running = unshown->timer;
    ASSERT_TRUE(running->isValid());
    waitFor([&] { return !unshown->timingReadInFlight() && !unshown->driverRadio.empty(); });
    unshown.reset();
    EXPECT_FALSE(running->isValid());
}

TEST_F(LiveScreen, oneTimingReadAtATimeAndAnOlderAnswerNeverReplacesANewerOne) {
    GatedTimingReads reads;
    auto screen = make();
    screen->setTimingRead(reads.read());
    present(screen);
    EXPECT_EQ(reads.asked, 1);
    // Before the first answer the drivers' section says the order is on its way.
    ASSERT_EQ(screen->tableView[0]->numberOfRows(LiveViewController::driverSection), 1);
    auto waiting = row<StateCell>(*screen, LiveViewController::driverSection, 0);
    ASSERT_TRUE(waiting);
    EXPECT_EQ(waiting->title->text(), "Loading the live timing…");
    // Ticks while the first read waits (within its time-out) ask for nothing more.
    for (int tick = 0; tick < 3; ++tick) settle(LiveViewController::refreshInterval);
    EXPECT_EQ(reads.asked, 1);
    reads.answer(0, timingDocument({"1", "11", "16"}));
    settle();
    EXPECT_EQ(order(*screen), (std::vector<std::string>{"1", "11", "16"}));

    // Two reads overlap (the loading task's and a refresh): the later one's answer stands.
    auto self = screen;
    dispatch::spawn(dispatch::Queue::main(), [self]() -> dispatch::Task<void> { co_await self->loadTimingData(); });
    dispatch::spawn(dispatch::Queue::main(), [self]() -> dispatch::Task<void> { co_await self->loadTimingData(); });
    waitFor([&] { return reads.waiting.size() == 2; }, 5);
    ASSERT_EQ(reads.waiting.size(), 2u);
    reads.answer(1, timingDocument({"16", "1", "11"}));
    settle();
    EXPECT_EQ(order(*screen), (std::vector<std::string>{"16", "1", "11"}));
    reads.answer(0, timingDocument({"11", "16", "1"}));
    settle();
    EXPECT_EQ(order(*screen), (std::vector<std::string>{"16", "1", "11"})) << "the slower, older answer is dropped";

    // A refresh that fails keeps the order shown.
    foundation::ConsoleCapture console;
    settle(LiveViewController::refreshInterval);
    waitFor([&] { return !reads.waiting.empty(); }, 5);
    reads.answer(0, "<html>404</html>");
    settle();
    EXPECT_EQ(order(*screen), (std::vector<std::string>{"16", "1", "11"}));
    EXPECT_NE(console.text().find("Error decoding result: "), std::string::npos);
    screen->dismiss(false);
    settle();
    reads.fail();
}

// A read whose document is still being decoded on the pool is still in flight: a tick then starts no
// other read, so a document slower to decode than a tick never piles decodes up.
TEST_F(LiveScreen, aTickWhileTheTimingDocumentIsDecodedStartsNoOtherRead) {
    GatedTimingReads reads;
    auto screen = make();
    screen->setTimingRead(reads.read());
    present(screen);
    ASSERT_EQ(reads.asked, 1);
    const int decodingBefore = documentsBeingDecoded();
    reads.answer(0, timingDocument({"1", "11", "16"}));
    // A turn runs only what was queued before it began, so the decode's answer comes back on a later
    // turn than the one that handed the document to the pool.
    for (int turn = 0; turn < 100 && documentsBeingDecoded() == decodingBefore; ++turn) dispatch::RunLoop::main()->runOnce();
    ASSERT_GT(documentsBeingDecoded(), decodingBefore);
    EXPECT_TRUE(order(*screen).empty());
    EXPECT_TRUE(screen->timingReadInFlight());
    // The next turn fires the tick before it takes the decode's answer, if it has come.
    clock->advance(LiveViewController::refreshInterval);
    dispatch::RunLoop::main()->runOnce();
    settle();
    EXPECT_EQ(order(*screen), (std::vector<std::string>{"1", "11", "16"}));
    EXPECT_EQ(reads.asked, 1) << "a tick read again while the last document was being decoded";
    screen->dismiss(false);
    settle();
    reads.fail();
}

TEST_F(LiveScreen, aStalledTimingReadIsGivenUpAfterItsTimeOutAndTheOrderIsMarkedStaleUntilAReadSucceeds) {
    GatedTimingReads reads;
    auto screen = make();
    screen->setTimingRead(reads.read());
    present(screen);
    reads.answer(0, timingDocument({"1", "11", "16"}));
    settle();
    auto title = [&] { return row<LapPickerCell>(*screen, 1, 0)->event->text(); };
    EXPECT_EQ(title(), "LIVE Standings (Lap 7)");
    EXPECT_FALSE(screen->timingStale);

    // The next read stalls: once the time-out has passed it is given up, and the order stays, marked.
    settle(LiveViewController::refreshInterval);
    waitFor([&] { return reads.asked == 2; }, 5);
    EXPECT_EQ(reads.asked, 2);
    EXPECT_TRUE(screen->timingReadInFlight());
    settle(LiveViewController::timingReadTimeout);
    EXPECT_FALSE(screen->timingReadInFlight()) << "a stalled read no longer blocks the refresh";
    EXPECT_TRUE(screen->timingStale);
    EXPECT_EQ(title(), "LIVE Standings (Lap 7) - not updating");
    EXPECT_EQ(order(*screen), (std::vector<std::string>{"1", "11", "16"}));

    // The next tick reads again; its answer clears the mark, and the stalled read's late answer is dropped.
    settle(LiveViewController::refreshInterval);
    waitFor([&] { return reads.asked == 3; }, 5);
    EXPECT_EQ(reads.asked, 3);
    reads.answer(reads.waiting.size() - 1, timingDocument({"16", "1", "11"}));
    settle();
    EXPECT_FALSE(screen->timingStale);
    EXPECT_EQ(title(), "LIVE Standings (Lap 7)");
    reads.answer(0, timingDocument({"11", "16", "1"}));
    settle();
    EXPECT_EQ(order(*screen), (std::vector<std::string>{"16", "1", "11"}));
    EXPECT_FALSE(screen->timingStale);
    screen->dismiss(false);
    settle();
    reads.fail();
}

// A readable document that lists no driver is no reason to wait: the row says so, and once an order
// shows, such a document leaves it in place, marked as not current.
TEST_F(LiveScreen, aTimingDocumentWithNoDriverIsToldAsSuchNotAsLoading) {
    GatedTimingReads reads;
    auto screen = make();
    screen->setTimingRead(reads.read());
    present(screen);
    reads.answer(0, timingDocument({}));
    settle();
    auto state = row<StateCell>(*screen, LiveViewController::driverSection, 0);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->title->text(), "The live timing lists no driver yet.");

    settle(LiveViewController::refreshInterval);
    waitFor([&] { return !reads.waiting.empty(); }, 5);
    reads.answer(0, timingDocument({"1", "11"}));
    settle();
    settle(LiveViewController::refreshInterval);
    waitFor([&] { return !reads.waiting.empty(); }, 5);
    reads.answer(0, timingDocument({}));
    settle();
    EXPECT_EQ(order(*screen), (std::vector<std::string>{"1", "11"}));
    EXPECT_EQ(row<LapPickerCell>(*screen, 1, 0)->event->text(), "LIVE Standings (Lap 7) - not updating");
    screen->dismiss(false);
    settle();
    reads.fail();
}

// A live race opened from the season sheet before the season's index has arrived: the sheet can name
// no session, so the screen reads no file of one and says it waits; once the index is here, it finds
// the running sprint and follows it.
TEST_F(LiveScreen, aRaceOpenedBeforeTheSeasonsIndexWaitsForItThenFollowsItsSession) {
    sheettest::HeldSeasonIndex index({race(1), race(2), race(3), race(4)});
    foundation::ConsoleCapture console;
    auto screen = std::dynamic_pointer_cast<LiveViewController>(std::make_shared<SeasonViewController>()->makeRaceScreen(3));
    ASSERT_TRUE(screen);
    present(screen);
    for (int tick = 0; tick < 4; ++tick) settle(LiveViewController::refreshInterval);
    EXPECT_EQ(screen->path, "");
    auto state = row<StateCell>(*screen, LiveViewController::driverSection, 0);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->title->text(), "Loading the live timing's session list…");

    index.arrive();
    EXPECT_TRUE(waitFor([&] { return !screen->raceResults.empty() && !screen->driverRadio.empty(); }));
    EXPECT_EQ(screen->path, sheettest::bakuSprint);
    auto lap = [&] { return screen->raceResults.empty() ? 0 : screen->raceResults.front().numberOfLaps.value_or(0); };
    std::int64_t firstLap = lap();
    for (int tick = 0; tick < 30 && lap() == firstLap; ++tick) refreshAfter(*screen, 30);
    EXPECT_GT(lap(), firstLap) << "the refresh follows the session found";
    EXPECT_FALSE(sheettest::loadedAFileOfNoSession(console.text())) << console.text();
    screen->dismiss(false);
    settle();
}

// The index it waits for cannot be read: no session is named, and the screen says its timing could not
// be loaded rather than that it still waits, and reads no file of no session.
TEST_F(LiveScreen, aRaceWhoseSeasonsIndexCannotBeReadSaysItsTimingCouldNotBeLoaded) {
    sheettest::HeldSeasonIndex index({race(1), race(2), race(3), race(4)});
    foundation::ConsoleCapture console;
    auto screen = std::dynamic_pointer_cast<LiveViewController>(std::make_shared<SeasonViewController>()->makeRaceScreen(3));
    ASSERT_TRUE(screen);
    present(screen);
    index.fail();
    EXPECT_TRUE(waitFor([&] { return screen->timingCouldNotLoad; }));
    for (int tick = 0; tick < 2; ++tick) settle(LiveViewController::refreshInterval);
    auto state = row<StateCell>(*screen, LiveViewController::driverSection, 0);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->title->text(), couldNotLoadText("The live timing"));
    EXPECT_EQ(state->detail->text(), "The offline season holds it damaged.") << "the index answered 503";
    EXPECT_FALSE(sheettest::loadedAFileOfNoSession(console.text())) << console.text();
    screen->dismiss(false);
    settle();
}

TEST_F(LiveScreen, theLapsButtonBeforeAnyTimingLineDoesNothing) {
    GatedTimingReads reads;
    auto screen = make();
    screen->setTimingRead(reads.read());
    present(screen);
    auto breakdown = row<RaceBreakdownCell>(*screen, 4, 0);
    ASSERT_TRUE(breakdown);
    EXPECT_EQ(breakdown->lap->title(ui::ControlState::normal), "Laps");
    breakdown->lap->sendActions(ui::ControlEvent::touchUpInside);
    EXPECT_EQ(presented<LapsViewController>(*screen), nullptr);
    EXPECT_TRUE(haptics->events().empty());

    reads.answer(0, timingDocument({"1", "11"}));
    settle();
    breakdown = row<RaceBreakdownCell>(*screen, 4, 0);
    breakdown->lap->sendActions(ui::ControlEvent::touchUpInside);
    auto laps = presented<LapsViewController>(*screen);
    ASSERT_TRUE(laps);
    EXPECT_TRUE(laps->fromLive);
    EXPECT_EQ(laps->eventType, 0);
    EXPECT_EQ(laps->currentLap, 7);
    EXPECT_EQ(laps->lapCount, "7");
    EXPECT_EQ(laps->raceResults2.size(), 2u);
    ASSERT_EQ(haptics->events().size(), 1u);
    EXPECT_EQ(haptics->events()[0].style, ui::ImpactFeedbackStyle::rigid);
    laps->dismiss(false);
    screen->dismiss(false);
    settle();
    reads.fail();
}

TEST_F(LiveScreen, theCardsOpenTheirSheetsWithTheScreensData) {
    auto screen = open();
    auto& table = *screen->tableView[0];

    row<RaceBreakdownCell>(*screen, 4, 0)->tyres->sendActions(ui::ControlEvent::touchUpInside);
    auto tyres = presented<TyresViewController>(*screen);
    ASSERT_TRUE(tyres);
    EXPECT_EQ(tyres->totalLaps, 17) << "the sprint's own laps, not the race's 51 of the circuit facts";
    EXPECT_EQ(tyres->tyresResults.size(), screen->tyresResults.size());
    EXPECT_EQ(tyres->driverNumDictionary, screen->driverNumDictionary);
    ASSERT_EQ(tyres->sheetPresentationController()->detents().size(), 1u);
    tyres->dismiss(false);
    settle();

    row<RaceMessagesCell>(*screen, 5, 0)->audio->sendActions(ui::ControlEvent::touchUpInside);
    auto radio = presented<RadioViewController>(*screen);
    ASSERT_TRUE(radio);
    EXPECT_EQ(radio->driverRadio.size(), screen->driverRadio.size());
    EXPECT_EQ(radio->path, screen->path);
    radio->dismiss(false);
    settle();

    row<VoteCell>(*screen, 6, 0)->vote->sendActions(ui::ControlEvent::touchUpInside);
    EXPECT_EQ(opened->openedURLs(), std::vector<std::string>{"https://www.formula1.com/en/vote.html"});
    settle();
    EXPECT_EQ(row<VoteCell>(*screen, 6, 0)->infoDescription->text(), "Vote for who you think should be the driver of the day");

    // Without a browser the card says the vote did not open, until the next tap.
    auto refusing = std::make_shared<RefusingOpener>();
    ui::setURLOpener(refusing);
    row<VoteCell>(*screen, 6, 0)->vote->sendActions(ui::ControlEvent::touchUpInside);
    ASSERT_TRUE(waitFor([&] { return screen->voteFailure.has_value(); }));
    EXPECT_EQ(row<VoteCell>(*screen, 6, 0)->infoDescription->text(), "Could not open the vote: no web browser answered.");
    ui::setURLOpener(opened);
    (void)table;
}

TEST_F(LiveScreen, theFastestPitStopIsTheShortestDuration) {
    auto screen = open();
    auto stop = [](std::string driver, std::string duration) {
        PitStopsModel made;
        made.driverId = std::move(driver);
        made.duration = std::move(duration);
        return made;
    };
    // "1e1" is no duration on either race screen.
    screen->pitStopsResults = {stop("a", "24.5"), stop("b", "22.25"), stop("c", "1:02.300"), stop("d", ""), stop("e", "1e1")};
    row<RaceBreakdownCell>(*screen, 4, 0)->pitStop->sendActions(ui::ControlEvent::touchUpInside);
    auto sheet = presented<LapsViewController>(*screen);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->eventType, 1);
    EXPECT_EQ(sheet->pitStopsResults.size(), 5u) << "handed over as they are";
    ASSERT_EQ(sheet->fastestPitStop.size(), 1u);
    EXPECT_EQ(sheet->fastestPitStop.front().driverId, "b");
    sheet->dismiss(false);
    settle();

    screen->pitStopsResults.clear();
    row<RaceBreakdownCell>(*screen, 4, 0)->pitStop->sendActions(ui::ControlEvent::touchUpInside);
    sheet = presented<LapsViewController>(*screen);
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->fastestPitStop.empty());
}

}  // namespace
