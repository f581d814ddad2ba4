#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "RecordedDecoding.h"
#include "data/Client.h"
#include "data/CountryFlags.h"
#include "data/Decoding.h"
#include "data/ResultsEndpoints.h"
#include "dispatch/Task.h"
#include "foundation/Clock.h"
#include "foundation/DateFormatter.h"
#include "foundation/Locale.h"
#include "livetiming/DriverOfTheDayModel.h"
#include "livetiming/LiveTiming.h"
#include "offline/OfflineSeason.h"
#include "shell/ImageSeam.h"
#include "standings-news/NewsViewController.h"

namespace {

constexpr const char* bahrainRace = "2023/2023-03-05_Bahrain_Grand_Prix/2023-03-05_Race/";
constexpr const char* bakuSprint = "2023/2023-04-30_Azerbaijan_Grand_Prix/2023-04-29_Sprint/";

OfflineSettings offlineFrom(std::filesystem::path dataDirectory) {
    OfflineSettings settings;
    settings.dataDirectory = std::move(dataDirectory);
    return settings;
}

template <class Body>
std::string body(dispatch::Task<Body> task) { return std::string(dispatch::syncWait(std::move(task)).view()); }

template <class T>
void expectDecodes(const std::string& what, const std::string& bytes) {
    auto decoded = modeltest::decode<T>(bytes);
    EXPECT_TRUE(decoded) << what << ": " << (decoded ? "" : decoded.error().description()) << " in "
                         << bytes.substr(0, 200);
}

class OfflineApp : public ::testing::Test {
protected:
    void SetUp() override {
        ServiceHosts::setCurrent(ServiceHosts{});
        auto started = OfflineSeason::start(offlineFrom(OfflineSettings::defaultDataDirectory()));
        ASSERT_TRUE(started) << started.error();
        season = std::move(*started);
    }
    void TearDown() override {
        season.stop();
        ServiceHosts::setCurrent(ServiceHosts::fromEnvironment());
    }
    OfflineSeason season;
};

TEST_F(OfflineApp, theSeasonsRequestsAnswerWithDocumentsTheAppDecodes) {
    auto now = instantFromISO8601("2023-04-29T13:50:00Z");
    ASSERT_TRUE(now);
    EXPECT_EQ(season.startedAt(), *now);
    EXPECT_LT(std::abs(foundation::Date::now().timeIntervalSince(*now)), 600);  // the season's clock runs from it

    expectDecodes<RaceModel>("calendar", body(RaceSchedules::specificSeason(2023)));
    expectDecodes<RaceModel>("round 1 results", body(RaceResults::all(2023, 1)));
    expectDecodes<StandingModel>("standings after round 1", body(Standings::driverAfterRace(2023, 1)));
    expectDecodes<livetiming::EventsModel>("season index", body(LiveTiming::all("2023")));
    expectDecodes<std::map<std::string, livetiming::DriverListPartModel>>("driver list", body(LiveTiming::driverList(bahrainRace)));
    expectDecodes<livetiming::TimingData>("replayed timing", body(LiveTiming::timingData(bakuSprint)));
    expectDecodes<livetiming::DriverOfTheDayModel>("polls", body(LiveTiming::driverOfTheDay()));

    auto flags = modeltest::decode<std::vector<CountryFlagsModel>>(CountryFlagsJSON::shared().countryFlagsJSON);
    ASSERT_TRUE(flags);
    auto azerbaijan = flagForCountry(*flags, "Azerbaijan");
    ASSERT_NE(azerbaijan, nullptr);
    EXPECT_NE(body(Client::shared().run(azerbaijan->flag)).find("<svg"), std::string::npos);
}

TEST(OfflineSeasonFlags, theFlagPicturesAnswerAtTheFlagHostSetting) {
    auto registry = std::make_shared<net::ProtocolRegistry>();
    ServiceHosts hosts;
    hosts.flagImages = "flags.elsewhere.test";
    auto started = OfflineSeason::start(offlineFrom(OfflineSettings::defaultDataDirectory()), hosts, registry);
    ASSERT_TRUE(started) << started.error();
    EXPECT_TRUE(registry->handlerFor("flags.elsewhere.test"));
    EXPECT_FALSE(registry->handlerFor("flags.sorvane.test")) << "the list's own host is only its default";
    started->stop();
}

TEST(OfflineSeasonImages, offlinePicturesComeOnlyFromTheSeasonsHostsUntilItStops) {
    auto before = std::make_shared<net::ProtocolRegistry>();
    setRemoteImageSettings({.inProcessOnly = before, .cache = nullptr});
    auto registry = std::make_shared<net::ProtocolRegistry>();
    auto started = OfflineSeason::start(offlineFrom(OfflineSettings::defaultDataDirectory()), ServiceHosts{}, registry);
    ASSERT_TRUE(started) << started.error();
    EXPECT_EQ(remoteImageSettings().inProcessOnly, registry);
    started->stop();
    EXPECT_EQ(remoteImageSettings().inProcessOnly, before);

    OfflineSettings live;
    live.live = true;
    auto online = OfflineSeason::start(live, ServiceHosts{}, registry);
    ASSERT_TRUE(online);
    EXPECT_EQ(remoteImageSettings().inProcessOnly, before) << "live data leaves the pictures' setting alone";
    online->stop();
    EXPECT_EQ(remoteImageSettings().inProcessOnly, before);
}

// The snapshot answers what it lacks with a server's 404 page; the read reports the status and hands
// no page on to be decoded.
TEST_F(OfflineApp, unrecordedDocumentsFailWithTheirStatusAndAreNeverDecoded) {
    auto missing = dispatch::syncWait(RaceResults::all(2023, 2));
    ASSERT_TRUE(missing.failure);
    EXPECT_EQ(missing.failure->status, 404);
    EXPECT_TRUE(missing.empty());
    EXPECT_FALSE(modeltest::decode<RaceModel>(std::string(missing.view())));
}

TEST_F(OfflineApp, theLiveSprintMovesOnWithTheClock) {
    auto clock = std::make_shared<foundation::ManualClock>(season.startedAt());
    foundation::Clock::setCurrent(clock);
    auto first = body(LiveTiming::timingData(bakuSprint));
    clock->advance(150);
    auto later = body(LiveTiming::timingData(bakuSprint));
    expectDecodes<livetiming::TimingData>("later timing", later);
    EXPECT_NE(first, later);
}

// What the services answer "as of now" follows the season's clock: the standings after the last round
// run by then whose table is held, and no news dated after it.
TEST_F(OfflineApp, standingsAndNewsAnswerAsOfTheClock) {
    foundation::DateFormatter formatter;
    formatter.setLocale(foundation::Locale("en_US_POSIX"));
    formatter.setDateFormat("E, dd MMM yyyy HH:mm:ss Z");
    struct AtClock {
        const char* now;
        const char* round;  // of the current drivers' standings; empty: none yet
        bool news;
    };
    for (auto [now, round, news] : {AtClock{"2023-02-01T12:00:00Z", "", false}, AtClock{"2023-04-29T13:50:00Z", "2", true},
                                    AtClock{"2023-05-05T18:45:00Z", "4", true}, AtClock{"2023-12-01T12:00:00Z", "22", true}}) {
        SCOPED_TRACE(now);
        auto instant = instantFromISO8601(now);
        ASSERT_TRUE(instant);
        foundation::Clock::setCurrent(std::make_shared<foundation::ManualClock>(*instant));
        for (bool current : {true, false}) {
            auto decoded = modeltest::decode<StandingModel>(
                body(current ? Standings::driverCurrent(2023) : Standings::driverAfterSeason(2023)));
            ASSERT_TRUE(decoded);
            const auto& lists = decoded->data.standingsTable.standings;
            EXPECT_EQ(lists.empty() ? std::string() : lists.front().round, round);
        }
        int items = 0;
        for (const auto& source : NewsViewController::sources()) {
            std::string rss = body(Client::shared().run(source.url));
            for (auto at = rss.find("<pubDate>"); at != std::string::npos; at = rss.find("<pubDate>", at + 1), ++items) {
                auto date = formatter.date(rss.substr(at + 9, rss.find('<', at + 9) - at - 9));
                ASSERT_TRUE(date);
                EXPECT_LE(*date, *instant);
            }
        }
        EXPECT_EQ(items > 0, news);
    }
}

// The polls too: none whose race is not over by the clock (Bahrain's winner never shows before its
// race), and none at a clock in a later season, whose polls the season does not hold.
TEST_F(OfflineApp, thePollsAnswerAsOfTheClock) {
    struct AtClock {
        const char* now;
        std::vector<std::string> polls;
    };
    for (const auto& [now, polls] :
         {AtClock{"2023-02-01T12:00:00Z", {}}, AtClock{"2023-03-05T17:00:00Z", {}},
          AtClock{"2023-03-05T18:00:00Z", {"Bahrain Grand Prix"}},
          AtClock{"2023-04-29T13:50:00Z", {"Bahrain Grand Prix", "Saudi Arabian Grand Prix", "Australian Grand Prix"}},
          AtClock{"2024-03-05T12:00:00Z", {}}}) {
        SCOPED_TRACE(now);
        foundation::Clock::setCurrent(std::make_shared<foundation::ManualClock>(*instantFromISO8601(now)));
        auto decoded = modeltest::decode<livetiming::DriverOfTheDayModel>(body(LiveTiming::driverOfTheDay()));
        ASSERT_TRUE(decoded);
        std::vector<std::string> names;
        for (const auto& poll : decoded->data) names.push_back(poll.grandPrixName);
        EXPECT_EQ(names, polls);
    }
}

// Every session's driver list, as the app loads it (a replayed session's from its replay), keeps all of
// its cars: a list that decodes while dropping its entries leaves the race tab without headshots.
TEST_F(OfflineApp, everySessionsDriverListKeepsAllItsCars) {
    const auto root = OfflineSettings::defaultDataDirectory() / "offline-season" / "livetiming";
    int sessions = 0;
    for (const auto& entry : modeltest::fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().filename() != "DriverList.json") continue;
        const std::string session = modeltest::fs::relative(entry.path().parent_path(), root).generic_string() + "/";
        auto loaded = dispatch::syncWait(LiveTiming::driverList(session));
        ASSERT_FALSE(loaded.failure) << session;
        auto served = nlohmann::json::parse(loaded.view(), nullptr, false, true);
        ASSERT_TRUE(served.is_object()) << session;
        std::size_t cars = 0;
        for (const auto& [key, value] : served.items()) cars += !key.starts_with('_');

        const std::size_t droppedBefore = foundation::droppedInvalidItems();
        auto drivers = decodeValidItemsNow<livetiming::DriverList>(loaded);
        ASSERT_TRUE(drivers) << session;
        EXPECT_EQ(foundation::droppedInvalidItems(), droppedBefore) << session;
        EXPECT_EQ(drivers->size(), cars) << session;
        EXPECT_GE(drivers->size(), 19u) << session;
        ++sessions;
    }
    EXPECT_GE(sessions, 9);
}

TEST(OfflineSeasonSettings, liveDataRegistersNothingAndKeepsTheSystemClock) {
    auto registry = std::make_shared<net::ProtocolRegistry>();
    OfflineSettings live;
    live.live = true;
    auto started = OfflineSeason::start(live, ServiceHosts{}, registry);
    ASSERT_TRUE(started);
    EXPECT_TRUE(started->hosts().empty());
    EXPECT_FALSE(registry->handlerFor(ServiceHosts{}.resultsAPI));
    EXPECT_LT(std::abs(foundation::Date::now().timeIntervalSince(foundation::SystemClock{}.now())), 60);
}

TEST(OfflineSeasonSettings, environmentIsReadAndBadValuesAreNamed) {
    ::setenv("SORVANE_DATA", "live", 1);
    ::setenv("SORVANE_NOW", "2023-05-07T20:00:00Z", 1);
    ::setenv("SORVANE_REPLAY_SPEED", "4", 1);
    auto settings = OfflineSettings::fromEnvironment();
    ASSERT_TRUE(settings) << settings.error();
    EXPECT_TRUE(settings->live);
    EXPECT_EQ(settings->now, instantFromISO8601("2023-05-07T20:00:00Z"));
    EXPECT_EQ(settings->replaySpeed, 4);
    EXPECT_EQ(settings->dataDirectory, OfflineSettings::defaultDataDirectory());

    for (auto [name, value] : {std::pair{"SORVANE_DATA", "recorded"}, std::pair{"SORVANE_NOW", "2023-02-30T00:00:00Z"},
                               std::pair{"SORVANE_NOW", "2023-04-30 11:20"}, std::pair{"SORVANE_REPLAY_SPEED", "0"},
                               std::pair{"SORVANE_REPLAY_SPEED", "fast"}, std::pair{"SORVANE_DATA_DIR", "/nonexistent"}}) {
        ::setenv(name, value, 1);
        auto refused = OfflineSettings::fromEnvironment();
        ASSERT_FALSE(refused) << name << "=" << value;
        EXPECT_NE(refused.error().find(name), std::string::npos) << refused.error();
        ::setenv("SORVANE_DATA", "live", 1);
        ::setenv("SORVANE_NOW", "2023-05-07T20:00:00Z", 1);
        ::setenv("SORVANE_REPLAY_SPEED", "4", 1);
        ::unsetenv("SORVANE_DATA_DIR");
    }
    for (const char* name : {"SORVANE_DATA", "SORVANE_NOW", "SORVANE_REPLAY_SPEED"}) ::unsetenv(name);
}

TEST(OfflineSeasonSettings, aMissingSnapshotIsAnErrorAndRegistersNothing) {
    auto registry = std::make_shared<net::ProtocolRegistry>();
    auto started = OfflineSeason::start(offlineFrom("/nonexistent"), ServiceHosts{}, registry);
    EXPECT_FALSE(started);
    EXPECT_FALSE(registry->handlerFor(ServiceHosts{}.liveTiming));
}

// Recorded documents that the models' strict rules refuse, with the reason each one fails. None is
// read by a screen at the snapshot's "now". (Lists keep the items that decode: the practice driver
// list's numbers without a team and qualifying's messages without a lap lose nothing else.)
const std::map<std::string, std::string> refusedDocuments{
    // A season's status table has no round.
    {"results-api/2023/status.json", R"(keyNotFound("round", codingPath: "MRData.StatusTable")"},
};

// Every JSON document of the snapshot is read by the model of its kind. Kinds the app has no
// model for are only counted.
TEST(OfflineSnapshot, everyModelledDocumentDecodes) {
    const auto root = OfflineSettings::defaultDataDirectory() / "offline-season";
    int decoded = 0, unmodelled = 0;
    for (const auto& entry : modeltest::fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".json") continue;
        const std::string name = modeltest::fs::relative(entry.path(), root).generic_string();
        std::string error;
        if (name.starts_with("results-api/")) {
            auto outcome = modeltest::decodeByTable(entry.path());
            if (outcome.table.empty() || outcome.table == "SeasonTable") { ++unmodelled; continue; }
            error = outcome.error;
        } else if (name.starts_with("polls/")) {
            std::ifstream file(entry.path(), std::ios::binary);
            error = modeltest::decodingError<livetiming::DriverOfTheDayModel>(
                std::string{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()});
        } else if (auto decode = modeltest::decoderFor(entry.path().stem().string())) {
            std::ifstream file(entry.path(), std::ios::binary);
            error = decode(std::string{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()});
        } else {
            ++unmodelled;
            continue;
        }
        if (auto refused = refusedDocuments.find(name); refused != refusedDocuments.end()) {
            EXPECT_TRUE(error.starts_with(refused->second)) << name << ": " << error;
            continue;
        }
        EXPECT_EQ(error, "") << name;
        ++decoded;
    }
    EXPECT_GT(decoded, 50);  // the walk found the tree
    RecordProperty("unmodelled", unmodelled);
}

}  // namespace
