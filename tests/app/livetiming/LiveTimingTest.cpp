#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "InProcessHosts.h"
#include "data/ServiceHosts.h"
#include "dispatch/Task.h"
#include "livetiming/LiveTiming.h"
#include "net/ProtocolRegistry.h"

namespace {

constexpr const char* bahrainRace = "2023/2023-03-05_Bahrain_Grand_Prix/2023-03-05_Race/";

class FeedHosts : public ::testing::Test {
protected:
    std::string fetched(dispatch::Task<Loaded> task) {
        dispatch::syncWait(std::move(task));
        std::lock_guard lock(mutex);
        return requested.empty() ? std::string() : requested.back();
    }

    std::mutex mutex;
    std::vector<std::string> requested;
    InProcessHosts hosts{ServiceHosts{.resultsAPI = "", .liveTiming = "feed.test", .polls = "polls.test"},
                         [this](const net::Request& request) {
                             std::lock_guard lock(mutex);
                             requested.push_back(request.url->absoluteString());
                             return InProcessHosts::answer(request, 200, "{}");
                         }};
};

TEST_F(FeedHosts, fetchersJoinBasePathAndFileWithNothingBetween) {
    const std::string session = std::string("https://feed.test/static/") + bahrainRace;
    EXPECT_EQ(fetched(LiveTiming::all("2023")), "https://feed.test/static/2023/Index.json");
    EXPECT_EQ(fetched(LiveTiming::all("")), "https://feed.test/static//Index.json");
    EXPECT_EQ(fetched(LiveTiming::driverList(bahrainRace)), session + "DriverList.json");
    EXPECT_EQ(fetched(LiveTiming::timingData(bahrainRace)), session + "TimingData.json");
    EXPECT_EQ(fetched(LiveTiming::tyreStintSeries(bahrainRace)), session + "TyreStintSeries.json");
    EXPECT_EQ(fetched(LiveTiming::raceControlMessages(bahrainRace)), session + "RaceControlMessages.json");
    EXPECT_EQ(fetched(LiveTiming::pitLaneTimeCollection(bahrainRace)), session + "PitLaneTimeCollection.json");
    EXPECT_EQ(fetched(LiveTiming::driverOfTheDay()), "https://polls.test/v1/polls/");
    // Without its trailing "/" a path runs into the file name; nothing mends that.
    EXPECT_EQ(fetched(LiveTiming::weatherData("2023/x/Race")), "https://feed.test/static/2023/x/RaceWeatherData.json");
}

TEST(LiveTimingAddresses, feedPathsAreEscapedAndNeverLeaveTheStaticTree) {
    ServiceHosts::setCurrent(ServiceHosts{.resultsAPI = "r", .liveTiming = "feed.test", .polls = "p"});
    const std::string base = "https://feed.test/static/";
    EXPECT_EQ(LiveTiming::teamRadioClipURL(bahrainRace, "TeamRadio/MAXVER01_1_20230305_153011.mp3"),
              base + bahrainRace + "TeamRadio/MAXVER01_1_20230305_153011.mp3");
    EXPECT_EQ(LiveTiming::teamRadioClipURL(bahrainRace, "/TeamRadio/A.mp3"), base + bahrainRace + "/TeamRadio/A.mp3");
    EXPECT_EQ(LiveTiming::sessionFileURL("2023/São Paulo Race/", "TimingData.json"),
              base + "2023/S%C3%A3o%20Paulo%20Race/TimingData.json");

    // Folders the feed already escaped, or that hold ':', keep their well-formed escapes as sent.
    EXPECT_EQ(LiveTiming::sessionFileURL("2024/2024-11-03_S%C3%A3o_Paulo_Grand_Prix/2024-11-03_Race/", "DriverList.json"),
              base + "2024/2024-11-03_S%C3%A3o_Paulo_Grand_Prix/2024-11-03_Race/DriverList.json");
    EXPECT_EQ(LiveTiming::sessionFileURL("2023/Race 10:00/", "TimingData.json"), base + "2023/Race%2010:00/TimingData.json");
    EXPECT_EQ(LiveTiming::sessionFileURL("2023/100%/", "TimingData.json"), base + "2023/100%25/TimingData.json");
    EXPECT_EQ(LiveTiming::sessionFileURL("2023/S%C3%A3o Paulo%zz/", "TimingData.json"),
              base + "2023/S%C3%A3o%20Paulo%25zz/TimingData.json");

    for (const char* hostile : {"../../etc/", "2023/../../", "https://evil.test/", "//evil.test/x/../../",
                                "2023/%2e%2e/", "2023/%2E./", "2023/..%2F..%2F/", "a%5c..%5c", "file:/etc/",
                                "javascript:alert(1)", "a\\..\\"}) {
        EXPECT_EQ(LiveTiming::sessionFileURL(hostile, "DriverList.json"), "") << hostile;
        EXPECT_EQ(LiveTiming::teamRadioClipURL(bahrainRace, hostile), "") << hostile;
    }
    EXPECT_EQ(LiveTiming::seasonIndexURL("../2023"), "");
    ServiceHosts::setCurrent(ServiceHosts::fromEnvironment());
}

TEST_F(FeedHosts, aPathOutsideTheTreeReadsAsEmptyDataWithoutARequest) {
    auto body = dispatch::syncWait(LiveTiming::driverList("../../private/"));
    EXPECT_TRUE(body.empty());
    std::lock_guard lock(mutex);
    EXPECT_TRUE(requested.empty());
}

}  // namespace
