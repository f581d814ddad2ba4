#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "data/GlobalStruct.h"
#include "data/ServiceHosts.h"
#include "dispatch/RunLoop.h"
#include "foundation/Clock.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Print.h"
#include "net/ProtocolRegistry.h"
#include "offline/OfflineSeason.h"
#include "shell/AppNotifications.h"
#include "shell/MapViewController.h"
#include "shell/SeasonViewController.h"
#include "InProcessHosts.h"
#include "ui/AssetCatalog.h"
#include "ui/Feedback.h"
#include "ui/HeadlessHost.h"
#include "ui/NavigationController.h"
#include "ui/Scene.h"
#include "ConsoleLines.h"

namespace {

constexpr const char* resultsHost = "results.map.test";
constexpr const char* liveHost = "live.map.test";

struct Circuit {
    std::string race;
    std::string date;
    std::string time;
    double latitude;
    double longitude;
};

std::string seasonDocument(const std::string& season, const std::vector<Circuit>& circuits) {
    std::string races;
    int round = 0;
    for (const Circuit& circuit : circuits) {
        if (!races.empty()) races += ",";
        races += R"({"season":")" + season + R"(","round":")" + std::to_string(++round) + R"(","url":"","raceName":")" +
                 circuit.race + R"(","Circuit":{"circuitId":"c","url":"","circuitName":"Circuit","Location":{"lat":")" +
                 std::to_string(circuit.latitude) + R"(","long":")" + std::to_string(circuit.longitude) +
                 R"(","locality":"Town","country":"Land"}},"date":")" + circuit.date + R"(","time":")" + circuit.time + R"("})";
    }
    return R"({"MRData":{"RaceTable":{"Races":[)" + races + "]}}}";
}

std::string indexDocument(const std::string& year) {
    return R"({"Year":)" + year + R"(,"Meetings":[{"Sessions":[{"Key":1,"Type":"Race","Name":"Race","StartDate":"","EndDate":"","GmtOffset":"","Path":")" +
           year + R"(/race/"}],"Key":1,"Code":"","Number":1,"Location":"","OfficialName":"","Name":"Race of )" + year +
           R"(","Country":{"Key":1,"Code":"","Name":""},"Circuit":{"Key":1,"ShortName":""}}]})";
}

const std::vector<Circuit> season2023{
    {"Bahrain Grand Prix", "2023-03-05", "15:00:00Z", 26.0325, 50.5106},
    {"Saudi Arabian Grand Prix", "2023-03-19", "17:00:00Z", 21.6319, 39.1044},
    {"Australian Grand Prix", "2023-04-02", "05:00:00Z", -37.8497, 144.968},
};
const std::vector<Circuit> season2022{
    {"Emilia Romagna Grand Prix", "2022-04-24", "13:00:00Z", 44.3439, 11.7167},
    {"British Grand Prix", "2022-07-03", "14:00:00Z", 52.0786, -1.01694},
};
const std::vector<Circuit> season2021{
    {"Monaco Grand Prix", "2021-05-23", "13:00:00Z", 43.7347, 7.42056},
    {"Italian Grand Prix", "2021-09-12", "13:00:00Z", 45.6156, 9.28111},
};

// Answers the two test hosts from documents keyed by path, and lists the paths asked for.
class TestServices {
public:
    TestServices() {
        answer("/api/f1/current.json", seasonDocument("2023", season2023));
        answer("/api/f1/2022.json", seasonDocument("2022", season2022));
        answer("/api/f1/2021.json", seasonDocument("2021", season2021));
        for (const char* year : {"2021", "2022", "2023"}) answer(std::string("/static/") + year + "/Index.json", indexDocument(year));
    }

    void answer(const std::string& path, std::string body) {
        std::lock_guard lock(mutex_);
        documents_[path] = std::move(body);
    }
    std::vector<std::string> takeRequests() {
        std::lock_guard lock(mutex_);
        return std::exchange(requests_, {});
    }

private:
    std::mutex mutex_;
    std::map<std::string, std::string> documents_;
    std::vector<std::string> requests_;
    InProcessHosts hosts_{ServiceHosts{.resultsAPI = resultsHost, .liveTiming = liveHost, .polls = ""},
                          [this](const net::Request& request) {
                              std::string path = request.url->path();
                              std::lock_guard lock(mutex_);
                              requests_.push_back(path);
                              auto found = documents_.find(path);
                              if (found == documents_.end()) return InProcessHosts::answer(request, 404, "Not found");
                              return InProcessHosts::answer(request, 200, found->second);
                          }};
};

// What the map posts, in order: "upcomingRace 1", "updateTable", "selectedRace 1".
class PostedNotifications {
public:
    PostedNotifications() {
        for (const auto& name : {notifications::upcomingRace, notifications::updateTable, notifications::selectedRace}) {
            tokens_.push_back(foundation::NotificationCenter::defaultCenter().addObserver(name, [this](const foundation::Notification& note) {
                auto index = notifications::raceIndex(note);
                posted.push_back(note.name.rawValue + (index ? " " + std::to_string(*index) : ""));
            }));
        }
    }
    ~PostedNotifications() {
        for (auto token : tokens_) foundation::NotificationCenter::defaultCenter().removeObserver(token);
    }
    std::vector<std::string> without(const std::string& prefix) const {
        std::vector<std::string> kept;
        for (const auto& entry : posted)
            if (!entry.starts_with(prefix)) kept.push_back(entry);
        return kept;
    }

    std::vector<std::string> posted;

private:
    std::vector<foundation::ObserverToken> tokens_;
};

foundation::Date instant(const char* text) { return *instantFromISO8601(text); }

class MapViewControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        foundation::Clock::setCurrent(clock);
        forgetSeason();
        GlobalStruct::sheetIsLarge() = false;
        MapViewController::routeIsShown() = false;
        ui::setHapticSink(haptics);
    }
    void TearDown() override {
        if (map) waitForLoads();
        host.window()->setRootViewController(nullptr);
        host.renderIfNeeded();
        ui::setHapticSink(nullptr);
        foundation::Clock::setCurrent(nullptr);
        forgetSeason();
        GlobalStruct::sheetIsLarge() = false;
        MapViewController::routeIsShown() = false;
        ServiceHosts::setCurrent(ServiceHosts::fromEnvironment());
    }

    // No season shown, as at launch: the races, the meetings and the seasons they belong to (another
    // test's seasons would change which documents the map and its sheet ask for).
    static void forgetSeason() {
        GlobalStruct::storeRaces(GlobalStruct::beginSeasonLoad(""), {});
        GlobalStruct::meetings().clear();
    }

    // The app's arrangement: the map as the navigation root of the key window; its view loads and
    // starts the first load.
    void start(std::function<void(MapViewController&)> before = nullptr, bool waiting = true) {
        makeMap();
        if (before) before(*map);
        host.window()->setRootViewController(std::make_shared<ui::NavigationController>(map));
        if (waiting) waitForLoads();
    }
    // The checkout's offline season, answered in-process, on the clock at Baku's race weekend.
    std::expected<OfflineSeason, std::string> startOfflineSeason() {
        ServiceHosts::setCurrent(ServiceHosts{});
        OfflineSettings settings;
        settings.dataDirectory = OfflineSettings::defaultDataDirectory();
        auto season = OfflineSeason::start(settings);
        clock->set(instant("2023-04-30T11:20:00Z"));
        foundation::Clock::setCurrent(clock);
        return season;
    }
    void makeMap() {
        map = std::make_shared<MapViewController>();
        // A bare sheet: the season sheet's own preloads would ask the test hosts too.
        map->setSeasonSheetFactory([] { return std::make_shared<ui::ViewController>(); });
    }
    void waitForLoads() {
        dispatch::RunLoop::main()->runUntil([this] { return !map->isLoading(); }, 20);
        settle();
    }
    void settle() {
        host.renderIfNeeded();
        clock->advance(1);
        host.renderIfNeeded();
        host.renderIfNeeded();
    }
    void pickYear(std::string year) {
        foundation::NotificationCenter::defaultCenter().post(notifications::changedYear, nullptr,
                                                             notifications::yearUserInfo(std::move(year)));
    }
    std::vector<std::string> pinTitles() const {
        std::vector<std::string> titles;
        for (const auto& pin : map->mapView()->annotations()) titles.push_back(pin->title().value_or(""));
        return titles;
    }
    // Lets a real season sheet's own loads end while the snapshot still answers, so that no sheet of
    // one test lives on to answer the notifications of the next.
    void releaseSheet(std::shared_ptr<SeasonViewController> shown) {
        host.window()->setRootViewController(nullptr);
        host.renderIfNeeded();
        std::weak_ptr<SeasonViewController> weak = shown;
        shown.reset();
        dispatch::RunLoop::main()->runUntil([&] { return weak.expired(); }, 30);
        EXPECT_TRUE(weak.expired()) << "the season sheet outlived its test";
    }
    std::shared_ptr<ui::SheetPresentationController> sheet() const {
        auto shown = map->seasonSheet();
        return shown ? shown->sheetPresentationController() : nullptr;
    }

    std::shared_ptr<foundation::ManualClock> clock =
        std::make_shared<foundation::ManualClock>(instant("2023-03-10T12:00:00Z"), 100);
    std::shared_ptr<ui::HapticRecorder> haptics = std::make_shared<ui::HapticRecorder>();
    ui::HeadlessHost host;
    TestServices services;
    PostedNotifications notes;
    std::shared_ptr<MapViewController> map;
};

std::vector<std::string> names(const std::vector<Circuit>& circuits) {
    std::vector<std::string> result;
    for (const auto& circuit : circuits) result.push_back(circuit.race);
    return result;
}

const gfx::Bitmap& bitmapOf(const std::shared_ptr<gfx::Image>& image) { return *image->bitmap(); }

// The picture a pin of `round` should carry on `base`.
gfx::Bitmap expectedPin(int round, const char* base, double x) {
    return bitmapOf(MapViewController::drawRoundNumber(std::to_string(round), ui::namedImage(base), {x, 13}));
}

TEST_F(MapViewControllerTest, startUpLoadsTheCurrentSeasonThenItsIndexAndPresentsTheSheetOverPins) {
    start();

    EXPECT_EQ(services.takeRequests(), (std::vector<std::string>{"/api/f1/current.json", "/static/2023/Index.json"}));
    EXPECT_EQ(pinTitles(), names(season2023));
    EXPECT_EQ(map->routeCoordinates().size(), season2023.size());
    EXPECT_EQ(GlobalStruct::races().size(), season2023.size());
    ASSERT_EQ(GlobalStruct::meetings().size(), 1u);
    EXPECT_EQ(GlobalStruct::meetings()[0].name, "Race of 2023");

    // The next race is the second: zoomed there, its pin selected, announced before the table.
    EXPECT_EQ(notes.without("selectedRace"), (std::vector<std::string>{"upcomingRace 1", "updateTable"}));
    EXPECT_EQ(map->upcomingRaceIndex(), 1);
    ASSERT_EQ(map->mapView()->selectedAnnotations().size(), 1u);
    EXPECT_EQ(map->mapView()->selectedAnnotations()[0]->title(), "Saudi Arabian Grand Prix");
    auto region = map->mapView()->region();
    EXPECT_NEAR(region.center.latitude, 21.6319, 0.01);
    EXPECT_NEAR(region.center.longitude, 39.1044, 0.01);

    auto presentation = sheet();
    ASSERT_TRUE(presentation);
    EXPECT_TRUE(map->seasonSheet()->isModalInPresentation());
    ASSERT_EQ(presentation->detents().size(), 3u);
    EXPECT_EQ(presentation->detents()[0].identifier(), "small");
    EXPECT_EQ(presentation->currentDetentIdentifier(), "small");
    EXPECT_EQ(presentation->largestUndimmedDetentIdentifier(), ui::SheetDetent::largeIdentifier);
    EXPECT_EQ(presentation->preferredCornerRadius(), 18);
}

TEST_F(MapViewControllerTest, theIndexFollowsTheSeasonTheCurrentCalendarNames) {
    services.answer("/api/f1/current.json", seasonDocument("2022", season2022));
    start();
    EXPECT_EQ(services.takeRequests(), (std::vector<std::string>{"/api/f1/current.json", "/static/2022/Index.json"}));
    EXPECT_EQ(GlobalStruct::meetingsSeason(), "2022");
}

TEST_F(MapViewControllerTest, pinsShowTheirRoundOnTheRunOrComingBadge) {
    std::vector<Circuit> long_season;
    for (int round = 1; round <= 20; ++round) {
        std::string day = (round < 10 ? "0" : "") + std::to_string(round);
        long_season.push_back({"Race " + std::to_string(round), "2023-05-" + day, "12:00:00Z", 10.0 + round, 20});
    }
    services.answer("/api/f1/current.json", seasonDocument("2023", long_season));
    clock->set(instant("2023-05-03T10:00:00Z"));  // rounds 1 and 2 are run
    start();

    auto pins = map->mapView()->annotations();
    ASSERT_EQ(pins.size(), 20u);
    auto imageOf = [&](int round) { return bitmapOf(map->mapView()->viewFor(pins[round - 1])->image).pixels; };
    EXPECT_EQ(imageOf(1), expectedPin(1, "annotationOld", 16.5).pixels);
    EXPECT_EQ(imageOf(2), expectedPin(2, "annotationOld", 16.5).pixels);
    EXPECT_EQ(imageOf(3), expectedPin(3, "annotation", 16.5).pixels);
    EXPECT_EQ(imageOf(9), expectedPin(9, "annotation", 16.5).pixels);
    EXPECT_EQ(imageOf(10), expectedPin(10, "annotation", 13.6).pixels);
    EXPECT_EQ(imageOf(19), expectedPin(19, "annotation", 13.6).pixels);
    EXPECT_EQ(imageOf(20), expectedPin(20, "annotation", 13.0).pixels);
    EXPECT_NE(expectedPin(9, "annotation", 16.5).pixels, expectedPin(9, "annotation", 13.6).pixels);

    auto view = map->mapView()->viewFor(pins[0]);
    EXPECT_TRUE(view->canShowCallout);
    ASSERT_TRUE(view->detailCalloutAccessory);
    EXPECT_EQ(view->detailCalloutAccessory->text, "Town, Land");
}

TEST_F(MapViewControllerTest, aRaceUnderWayIsTheUpcomingOneUntilThreeHoursAfterItsStart) {
    clock->set(instant("2023-03-19T18:00:00Z"));  // an hour into the second race
    start();
    EXPECT_EQ(notes.without("selectedRace"), (std::vector<std::string>{"upcomingRace 1", "updateTable"}));

    auto pins = map->mapView()->annotations();
    EXPECT_EQ(bitmapOf(map->mapView()->viewFor(pins[1])->image).pixels, expectedPin(2, "annotation", 16.5).pixels);
}

TEST_F(MapViewControllerTest, aPastSeasonReplacesThePinsWithoutAnUpcomingRace) {
    start();
    services.takeRequests();
    notes.posted.clear();

    pickYear("2021");
    waitForLoads();

    EXPECT_EQ(services.takeRequests(), (std::vector<std::string>{"/api/f1/2021.json", "/static/2021/Index.json"}));
    EXPECT_EQ(pinTitles(), names(season2021));
    EXPECT_EQ(notes.without("selectedRace"), std::vector<std::string>{"updateTable"});
    EXPECT_EQ(GlobalStruct::meetingsSeason(), "2021");
    // Every race is run and none lies ahead: every pin on the coming-race badge.
    auto pins = map->mapView()->annotations();
    EXPECT_EQ(bitmapOf(map->mapView()->viewFor(pins[0])->image).pixels, expectedPin(1, "annotation", 16.5).pixels);
    EXPECT_EQ(bitmapOf(map->mapView()->viewFor(pins[1])->image).pixels, expectedPin(2, "annotation", 16.5).pixels);
}

TEST_F(MapViewControllerTest, yearPicksOfTheWrongTypeAreIgnored) {
    start();
    services.takeRequests();
    foundation::NotificationCenter::defaultCenter().post(notifications::changedYear, nullptr, {{"year", 2021}});
    foundation::NotificationCenter::defaultCenter().post(notifications::selectedRace, nullptr, {{"race", 7}});
    waitForLoads();
    EXPECT_TRUE(services.takeRequests().empty());
    EXPECT_EQ(pinTitles(), names(season2023));
}

TEST_F(MapViewControllerTest, aFailedFirstLoadPrintsTheErrorPresentsTheSheetAndRetriesOnActivation) {
    services.answer("/api/f1/current.json", "<html>busy</html>");
    foundation::ConsoleCapture console;
    start();

    EXPECT_TRUE(console.text().starts_with("Error decoding result: ")) << console.text();
    EXPECT_TRUE(pinTitles().empty());
    EXPECT_TRUE(map->seasonSheet());
    EXPECT_EQ(services.takeRequests(), std::vector<std::string>{"/api/f1/current.json"});
    EXPECT_TRUE(notes.posted.empty());

    services.answer("/api/f1/current.json", seasonDocument("2023", season2023));
    map->retryIfSeasonMissing();
    waitForLoads();
    EXPECT_EQ(services.takeRequests(), (std::vector<std::string>{"/api/f1/current.json", "/static/2023/Index.json"}));
    EXPECT_EQ(pinTitles(), names(season2023));

    // With a season on screen an activation loads nothing.
    map->retryIfSeasonMissing();
    waitForLoads();
    EXPECT_TRUE(services.takeRequests().empty());
}

TEST_F(MapViewControllerTest, aFailedIndexKeepsNoMeetingsOfAnotherSeason) {
    start();
    services.answer("/static/2022/Index.json", "");
    foundation::ConsoleCapture console;
    pickYear("2022");
    waitForLoads();
    // Reported once, by the read, with its address.
    EXPECT_EQ(withoutOthersLoads(console.text(), {"https://live.map.test/static/2022/"}),
              "Could not load https://live.map.test/static/2022/Index.json: 200 OK, but the body is empty\n");
    EXPECT_EQ(pinTitles(), names(season2022));
    EXPECT_TRUE(GlobalStruct::meetings().empty());
}

// Reads that wait until the test lets each answer through, in any order.
struct GatedReads {
    std::map<std::string, std::function<void(foundation::Data)>> waiting;

    MapViewController::SeasonReads reads() {
        auto gate = [this](std::string key) {
            return [this, key](std::function<void(foundation::Data)> resume) { waiting[key] = std::move(resume); };
        };
        return {
            [this, gate](std::optional<int> year) -> dispatch::Task<Loaded> {
                auto wait = gate(year ? std::to_string(*year) : "current");
                co_return Loaded(co_await dispatch::awaitCallback<foundation::Data>(std::move(wait)));
            },
            [this, gate](std::string year) -> dispatch::Task<Loaded> {
                auto wait = gate("index " + year);
                co_return Loaded(co_await dispatch::awaitCallback<foundation::Data>(std::move(wait)));
            },
        };
    }
    // Once the read of `key` is asked for (the answer before it is decoded off the main thread first).
    bool release(const std::string& key, const std::string& body) {
        dispatch::RunLoop::main()->runUntil([&] { return waiting.contains(key); }, 10);
        auto found = waiting.find(key);
        if (found == waiting.end()) return false;
        auto resume = std::move(found->second);
        waiting.erase(found);
        resume(foundation::Data::fromString(body));
        dispatch::RunLoop::main()->runUntil([] { return true; }, 1);
        return true;
    }
};

TEST_F(MapViewControllerTest, aSlowAnswerForAnEarlierYearPickIsDropped) {
    GatedReads gated;
    start([&](MapViewController& controller) { controller.setSeasonReads(gated.reads()); }, false);
    auto turn = [&] {
        for (int i = 0; i < 3; ++i) host.renderIfNeeded();
    };
    turn();
    ASSERT_TRUE(gated.release("current", seasonDocument("2023", season2023)));
    turn();
    ASSERT_TRUE(gated.release("index 2023", indexDocument("2023")));
    turn();

    pickYear("2021");
    pickYear("2022");
    turn();
    ASSERT_TRUE(gated.release("2022", seasonDocument("2022", season2022)));
    turn();
    ASSERT_TRUE(gated.release("2021", seasonDocument("2021", season2021)));
    turn();
    ASSERT_TRUE(gated.release("index 2022", indexDocument("2022")));
    waitForLoads();

    EXPECT_EQ(pinTitles(), names(season2022));
    EXPECT_EQ(GlobalStruct::racesSeason(), "2022");
    EXPECT_EQ(GlobalStruct::meetingsSeason(), "2022");
    EXPECT_FALSE(gated.waiting.contains("index 2021")) << "the dropped pick asked for its index";
}

// The sheet comes up with the map: a calendar that is slow to answer holds back nothing the sheet
// starts as it appears (its news).
TEST_F(MapViewControllerTest, theSheetAppearsWhileTheSeasonIsStillAwaited) {
    struct CountingSheet : ui::ViewController {
        int appearances = 0;
        void viewDidAppear(bool animated) override {
            ui::ViewController::viewDidAppear(animated);
            ++appearances;
        }
    };
    auto counting = std::make_shared<CountingSheet>();
    GatedReads gated;
    start([&](MapViewController& controller) {
        controller.setSeasonReads(gated.reads());
        controller.setSeasonSheetFactory([counting] { return counting; });
    }, false);
    settle();
    ASSERT_TRUE(gated.waiting.contains("current"));
    EXPECT_EQ(map->seasonSheet(), counting);
    EXPECT_EQ(counting->appearances, 1);

    ASSERT_TRUE(gated.release("current", seasonDocument("2023", season2023)));
    settle();
    ASSERT_TRUE(gated.release("index 2023", indexDocument("2023")));
    waitForLoads();
    EXPECT_EQ(pinTitles(), names(season2023));
    EXPECT_EQ(counting->appearances, 1);
}

TEST_F(MapViewControllerTest, theMapsBottomMarginFollowsTheSheetsDetentThroughLayout) {
    start();
    EXPECT_EQ(map->mapView()->layoutMargins().bottom, 225);
    EXPECT_EQ(map->routeToggle()->frame(), (ui::Rect{390 - 56, 17, 36, 36}));  // no scene, no status bar
    auto presentation = sheet();
    ASSERT_TRUE(presentation);
    EXPECT_EQ(presentation->delegate().get(), static_cast<ui::SheetPresentationControllerDelegate*>(map.get()));

    auto moveTo = [&](const char* detent) {
        presentation->setSelectedDetentIdentifier(detent);
        map->sheetPresentationControllerDidChangeSelectedDetentIdentifier(*presentation);
        map->view()->setNeedsLayout();
        settle();
    };
    moveTo("medium");
    EXPECT_EQ(map->mapView()->layoutMargins().bottom, 422);
    EXPECT_FALSE(GlobalStruct::sheetIsLarge());
    moveTo("large");
    EXPECT_EQ(map->mapView()->layoutMargins().bottom, 844);
    EXPECT_TRUE(GlobalStruct::sheetIsLarge());
    moveTo("small");
    EXPECT_EQ(map->mapView()->layoutMargins().bottom, 225);
    EXPECT_FALSE(GlobalStruct::sheetIsLarge());
}

TEST_F(MapViewControllerTest, theRouteButtonSitsBelowTheScenesStatusBar) {
    ui::Screen phone{{0, 0, 390, 844}, 2};
    auto scene = std::make_shared<ui::WindowScene>(ui::SceneSession{}, ui::SceneConfiguration{}, phone);
    auto window = std::make_shared<ui::Window>(scene);
    host.show(window);
    makeMap();
    window->setRootViewController(std::make_shared<ui::NavigationController>(map));
    window->makeKeyAndVisible();
    waitForLoads();
    EXPECT_EQ(map->routeToggle()->frame(), (ui::Rect{334, 17 + 47, 36, 36}));
    EXPECT_EQ(map->routeToggle()->superview(), map->navigationController()->view());

    // Above the map: a click on it reaches the button, and its grey ring is what the window shows.
    ui::Point inside{334 + 18, 17 + 47 + 4};
    EXPECT_EQ(window->hitTest(inside, ui::Event{}), map->routeToggle());
    host.snapshot();
    auto shown = host.pixel(inside);
    ASSERT_TRUE(shown);
    gfx::Color grey = gfx::Color::systemGray4();
    EXPECT_NEAR(shown->red, grey.red, 0.03);
    EXPECT_NEAR(shown->green, grey.green, 0.03);
    EXPECT_NEAR(shown->blue, grey.blue, 0.03);
    window->setRootViewController(nullptr);
}

TEST_F(MapViewControllerTest, onAPadTheMarginsStayZeroAndTheButtonSitsAboveTheBottom) {
    ui::Screen pad{{0, 0, 820, 1180}, 2, ui::UserInterfaceIdiom::pad};
    auto window = std::make_shared<ui::Window>(pad);
    window->setWindowSafeAreaInsets({24, 0, 20, 0});
    host.show(window);
    makeMap();
    window->setRootViewController(std::make_shared<ui::NavigationController>(map));
    window->makeKeyAndVisible();
    waitForLoads();
    EXPECT_EQ(map->routeToggle()->frame(), (ui::Rect{820 - 56, 1180 - 20 - 64, 36, 36}));
    auto presentation = sheet();
    ASSERT_TRUE(presentation);
    presentation->setSelectedDetentIdentifier(ui::SheetDetent::largeIdentifier);
    map->sheetPresentationControllerDidChangeSelectedDetentIdentifier(*presentation);
    EXPECT_EQ(map->mapView()->layoutMargins(), (ui::EdgeInsets{}));
    window->setRootViewController(nullptr);
}

TEST_F(MapViewControllerTest, theRouteRunsThroughTheShownSeasonsCircuitsOnly) {
    foundation::ConsoleCapture console;
    map = std::make_shared<MapViewController>();
    map->setSeasonReads({[](std::optional<int>) -> dispatch::Task<Loaded> { co_return Loaded{}; },
                         [](std::string) -> dispatch::Task<Loaded> { co_return Loaded{}; }});
    map->toggleRoute();
    EXPECT_NE(console.text().find("no coordinates to draw\n"), std::string::npos);
    EXPECT_TRUE(MapViewController::routeIsShown());
    map->toggleRoute();
    map.reset();
    MapViewController::routeIsShown() = false;

    start();
    auto press = [&] {
        map->routeToggle()->sendActions(ui::ControlEvent::touchUpInside);
        settle();
    };
    press();
    ASSERT_EQ(map->mapView()->overlays().size(), 1u);
    auto line = std::dynamic_pointer_cast<map::Polyline>(map->mapView()->overlays()[0]);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->coordinates().size(), season2023.size());
    auto renderer = std::dynamic_pointer_cast<map::GradientPolylineRenderer>(map->mapView()->rendererFor(line));
    ASSERT_TRUE(renderer);
    EXPECT_EQ(renderer->colors(), std::vector<gfx::Color>{gfx::Color::systemRed()});
    EXPECT_EQ(renderer->lineWidth, 3);

    pickYear("2022");
    waitForLoads();
    press();  // off
    EXPECT_TRUE(map->mapView()->overlays().empty());
    press();  // on again, through the new season
    ASSERT_EQ(map->mapView()->overlays().size(), 1u);
    line = std::dynamic_pointer_cast<map::Polyline>(map->mapView()->overlays()[0]);
    ASSERT_EQ(line->coordinates().size(), season2022.size());
    EXPECT_NEAR(line->coordinates()[0].latitude, 44.3439, 1e-4);
    EXPECT_NEAR(line->coordinates()[1].longitude, -1.01694, 1e-4);
    EXPECT_EQ(haptics->events().back().style, ui::ImpactFeedbackStyle::rigid);
}

TEST_F(MapViewControllerTest, tappingAPinCentresOnItAndAnnouncesItsRace) {
    start();
    notes.posted.clear();
    haptics->clear();
    auto first = map->mapView()->annotations()[0];
    map->mapView()->selectAnnotation(first, true);
    settle();
    EXPECT_EQ(notes.posted, std::vector<std::string>{"selectedRace 0"});
    EXPECT_EQ(haptics->events().size(), 1u);
    auto region = map->mapView()->region();
    EXPECT_NEAR(region.center.latitude, 26.0325, 0.01);
    EXPECT_GE(region.span.latitudeDelta, 53.9);  // the map's own handler zoomed to the pin's span
}

TEST_F(MapViewControllerTest, theOfflineSeasonStartsOnTheRaceUnderWay) {
    auto season = startOfflineSeason();
    ASSERT_TRUE(season) << season.error();
    std::unique_ptr<OfflineSeason, void (*)(OfflineSeason*)> stopAtEnd(&*season, [](OfflineSeason* started) { started->stop(); });
    start([](MapViewController& controller) { controller.setSeasonSheetFactory(nullptr); });

    const auto& races = GlobalStruct::races();
    ASSERT_FALSE(races.empty());
    EXPECT_EQ(map->mapView()->annotations().size(), races.size());
    EXPECT_EQ(races[static_cast<std::size_t>(map->upcomingRaceIndex())].raceName, "Azerbaijan Grand Prix");
    EXPECT_EQ(notes.without("selectedRace"),
              (std::vector<std::string>{"upcomingRace " + std::to_string(map->upcomingRaceIndex()), "updateTable"}));
    EXPECT_FALSE(GlobalStruct::meetings().empty());
    EXPECT_EQ(GlobalStruct::meetingsSeason(), "2023");

    // The real season sheet is up and has followed the map's announcements.
    auto sheet = std::dynamic_pointer_cast<SeasonViewController>(map->seasonSheet());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->upcomingRaceIndex, map->upcomingRaceIndex());
    releaseSheet(std::move(sheet));
    season->stop();
    foundation::Clock::setCurrent(clock);
}

// A year the offline snapshot lacks keeps the season shown and says so on the sheet; a recorded
// season other than 2023 (2022) loads without a network, and the message goes.
TEST_F(MapViewControllerTest, aYearThatCannotLoadKeepsTheSeasonAndTellsTheUserWhileRecordedYearsLoadOffline) {
    auto season = startOfflineSeason();
    ASSERT_TRUE(season) << season.error();
    start([](MapViewController& controller) { controller.setSeasonSheetFactory(nullptr); });
    auto sheet = std::dynamic_pointer_cast<SeasonViewController>(map->seasonSheet());
    ASSERT_TRUE(sheet);
    std::size_t pins = map->mapView()->annotations().size();
    EXPECT_TRUE(sheet->statusLabel->isHidden());

    foundation::ConsoleCapture console;
    pickYear("2010");
    waitForLoads();
    EXPECT_EQ(GlobalStruct::racesSeason(), "2023");
    EXPECT_EQ(map->mapView()->annotations().size(), pins);
    EXPECT_EQ(sheet->navTitle->text(), "2023 Races");
    EXPECT_FALSE(sheet->statusLabel->isHidden());
    EXPECT_NE(sheet->statusLabel->text().find("2010 season could not be loaded"), std::string::npos)
        << sheet->statusLabel->text();
    EXPECT_NE(sheet->statusLabel->text().find("2023"), std::string::npos);

    for (const char* year : {"2022", "2024", "2019"}) {
        pickYear(year);
        waitForLoads();
        EXPECT_EQ(GlobalStruct::racesSeason(), year);
        EXPECT_FALSE(GlobalStruct::races().empty()) << year;
        EXPECT_TRUE(sheet->statusLabel->isHidden()) << year;
    }
    EXPECT_EQ(GlobalStruct::meetingsSeason(), "2019") << "the recorded index of 2019 loads too";
    releaseSheet(std::move(sheet));
    season->stop();
    foundation::Clock::setCurrent(clock);
}

dispatch::Task<Loaded> answered(std::string body) { co_return Loaded(foundation::Data::fromString(body), "http://results.test/"); }

// More races than the results service pages in one answer is no season: the pick fails as a bad response
// does, said on the sheet, and the season shown stays.
TEST_F(MapViewControllerTest, aSeasonOfMoreRacesThanTheServicePagesIsABadResponseSaidOnTheSheet) {
    auto season = startOfflineSeason();
    ASSERT_TRUE(season) << season.error();
    const std::string tooMany = seasonDocument("2022", std::vector<Circuit>(1001, season2022.front()));
    start([&](MapViewController& controller) {
        controller.setSeasonSheetFactory(nullptr);
        auto network = MapViewController::SeasonReads::network();
        controller.setSeasonReads({[network, tooMany](std::optional<int> year) {
                                       return year == 2022 ? answered(tooMany) : network.season(year);
                                   },
                                   network.index});
    });
    auto sheet = std::dynamic_pointer_cast<SeasonViewController>(map->seasonSheet());
    ASSERT_TRUE(sheet);
    std::size_t pins = map->mapView()->annotations().size();

    foundation::ConsoleCapture console;
    pickYear("2022");
    waitForLoads();
    EXPECT_NE(console.text().find("Error decoding result: http://results.test/: dataCorrupted"), std::string::npos)
        << console.text();
    EXPECT_NE(console.text().find("a list of more than 1000 items"), std::string::npos) << console.text();
    EXPECT_EQ(GlobalStruct::racesSeason(), "2023");
    EXPECT_EQ(map->mapView()->annotations().size(), pins);
    EXPECT_EQ(sheet->statusLabel->text(), "The 2022 season could not be loaded. Still showing 2023.");
    EXPECT_FALSE(sheet->statusLabel->isHidden());
    releaseSheet(std::move(sheet));
    season->stop();
    foundation::Clock::setCurrent(clock);
}

}  // namespace
