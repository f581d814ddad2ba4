#include <gtest/gtest.h>

#include "foundation/DateFormatter.h"
#include "foundation/Locale.h"
#include "foundation/TimeZone.h"
#include "weekend/WeekendSchedule.h"
#include "weekend/WeekendSessions.h"

namespace {

using weekend::SessionKind;

livetiming::Session session(std::string type, std::string name, std::string path = {}) {
    livetiming::Session made;
    made.type = std::move(type);
    made.name = std::move(name);
    made.path = std::move(path);
    return made;
}

PitStopsModel stop(std::string driver, std::string duration) {
    PitStopsModel made;
    made.driverId = std::move(driver);
    made.duration = std::move(duration);
    return made;
}

RaceResultsModel result(std::string family, std::optional<std::string> rank) {
    RaceResultsModel made;
    made.driver.familyName = std::move(family);
    if (rank) {
        made.fastestLap.emplace();
        made.fastestLap->rank = rank;
    }
    return made;
}

double utcSeconds(const char* text) {
    foundation::DateFormatter formatter;
    formatter.setLocale(foundation::Locale("en_US_POSIX"));
    formatter.setTimeZone(foundation::TimeZone::utc());
    formatter.setDateFormat("yyyy-MM-dd HH:mm");
    return formatter.date(text)->timeIntervalSince1970();
}

TEST(WeekendSessions, sprintAndShootoutAreToldApartByTypeAndName) {
    std::vector<livetiming::Session> baku{
        session("Practice", "Practice 1", "p1/"), session("Qualifying", "Qualifying", "q/"),
        session("Qualifying", "Sprint Shootout", "shootout/"), session("Race", "Sprint", "sprint/"),
        session("Race", "Race", "race/")};
    EXPECT_EQ(weekend::findSession(baku, SessionKind::sprint)->path, "sprint/");
    EXPECT_EQ(weekend::findSession(baku, SessionKind::sprintShootout)->path, "shootout/");
    EXPECT_EQ(weekend::findSession(baku, SessionKind::qualifying)->path, "q/");
    EXPECT_EQ(weekend::findSession(baku, SessionKind::race)->path, "race/");
    EXPECT_EQ(weekend::findSession(baku, SessionKind::practice2), nullptr);
    // 2024 names the shoot-out "Sprint Qualifying".
    EXPECT_EQ(weekend::kindOf(session("Qualifying", "Sprint Qualifying")), SessionKind::sprintShootout);

    livetiming::Meeting meeting;
    meeting.name = "Azerbaijan Grand Prix";
    meeting.sessions = baku;
    RacesDetailsModel race;
    race.raceName = "Azerbaijan Grand Prix";
    EXPECT_EQ(weekend::raceSessionPath(race, {meeting}), "race/");
    meeting.sessions.pop_back();  // a weekend whose race is not in the index yet
    EXPECT_EQ(weekend::raceSessionPath(race, {meeting}), "");
    race.raceName = "azerbaijan grand prix";
    EXPECT_EQ(weekend::raceSessionPath(race, {meeting}), "");
}

TEST(WeekendSessions, aSessionStartIsTheTracksClockLessItsOffset) {
    auto bahrain = session("Race", "Race");
    bahrain.startDate = "2023-03-05T18:00:00";
    bahrain.gmtOffset = "03:00:00";
    EXPECT_EQ(weekend::sessionStart(bahrain)->timeIntervalSince1970(), utcSeconds("2023-03-05 15:00"));
    auto miami = bahrain;
    miami.startDate = "2023-05-07T15:30:00";
    miami.gmtOffset = "-04:00:00";
    EXPECT_EQ(weekend::sessionStart(miami)->timeIntervalSince1970(), utcSeconds("2023-05-07 19:30"));
    miami.gmtOffset = "four hours";
    EXPECT_FALSE(weekend::sessionStart(miami));
    miami.gmtOffset = "-04:00:00";
    miami.startDate = "";
    EXPECT_FALSE(weekend::sessionStart(miami));
}

TEST(WeekendSessions, theFastestPitStopComparesDurationsAndIgnoresUnreadableOnes) {
    EXPECT_EQ(weekend::pitStopSeconds("23.456"), 23.456);
    EXPECT_NEAR(*weekend::pitStopSeconds("1:02.345"), 62.345, 1e-9);
    for (const char* bad : {"", "abc", "1:", "-2.0", "nan", "inf", "1e3"}) EXPECT_FALSE(weekend::pitStopSeconds(bad)) << bad;

    // Compared as numbers: 24.1 is slower than 23.456, and a stop over a minute is the slowest.
    auto fastest = weekend::fastestPitStop({stop("a", "24.1"), stop("b", "1:02.345"), stop("c", ""), stop("d", "23.456")});
    ASSERT_TRUE(fastest);
    EXPECT_EQ(fastest->driverId, "d");
    EXPECT_EQ(weekend::fastestPitStop({stop("a", "24.100"), stop("b", "23.456")})->driverId, "b");
    EXPECT_EQ(weekend::fastestPitStop({stop("a", "20.0"), stop("b", "20.0")})->driverId, "a") << "the first of equals";
    EXPECT_FALSE(weekend::fastestPitStop({}));
    EXPECT_FALSE(weekend::fastestPitStop({stop("a", "--")}));
}

TEST(WeekendSessions, theFastestLapIsOnlyTheResultOfRankOne) {
    EXPECT_EQ(weekend::fastestLapResult({result("A", "3"), result("B", std::nullopt), result("C", "x"), result("D", "1")})
                  ->driver.familyName,
              "D");
    EXPECT_FALSE(weekend::fastestLapResult({result("A", std::nullopt), result("B", "2")}));
    EXPECT_FALSE(weekend::fastestLapResult({}));
}

// The polls service holds the season under way only: a race of another season of the same name has
// no poll, however the polls name it.
TEST(WeekendSessions, aPollIsOnlyThatOfARaceOfTheSeasonUnderWay) {
    livetiming::DriverOfTheDayModel polls;
    polls.data.resize(2);
    polls.data[0].grandPrixName = "Saudi Arabian Grand Prix";
    polls.data[1].grandPrixName = "Bahrain Grand Prix";
    RacesDetailsModel bahrain;
    bahrain.raceName = "Bahrain Grand Prix";
    bahrain.season = "2022";
    auto at = [](double unix) { return foundation::Date::fromUnix(unix); };
    EXPECT_FALSE(weekend::pollOf(polls, bahrain, at(1675252800))) << "2023-02-01: another season's poll";
    EXPECT_EQ(weekend::pollOf(polls, bahrain, at(1640995199)), nullptr) << "2021-12-31T23:59:59Z";
    EXPECT_EQ(weekend::pollOf(polls, bahrain, at(1640995200)), &polls.data[1]) << "2022-01-01T00:00:00Z";
    EXPECT_EQ(weekend::pollOf(polls, bahrain, at(1672531199)), &polls.data[1]) << "2022-12-31T23:59:59Z";
    bahrain.raceName = "bahrain Grand Prix";
    EXPECT_FALSE(weekend::pollOf(polls, bahrain, at(1650000000))) << "names match exactly";
}

class Schedule : public ::testing::Test {
protected:
    void SetUp() override { foundation::TimeZone::setCurrent(foundation::TimeZone::named("America/New_York")); }
    void TearDown() override { foundation::TimeZone::setCurrent(std::nullopt); }

    static std::vector<std::string> names(const std::vector<WeekendSession>& rows) {
        std::vector<std::string> listed;
        for (std::size_t index = 1; index < rows.size(); ++index) listed.push_back(rows[index].name + " " + rows[index].time);
        return listed;
    }
};

TEST_F(Schedule, aSprintWeekendIsOrderedByTheRealStartsInLocalTime) {
    RacesDetailsModel race;
    race.date = "2023-04-30";
    race.time = "11:00:00Z";
    race.firstPractice = dateTimeModel{"2023-04-28", "09:30:00Z"};
    race.qualifying = dateTimeModel{"2023-04-28", "13:00:00Z"};
    race.secondPractice = dateTimeModel{"2023-04-29", "08:30:00Z"};
    race.sprint = dateTimeModel{"2023-04-29", "13:30:00Z"};
    race.thirdPractice = dateTimeModel{std::nullopt, "10:00:00Z"};  // a time alone does not make a third practice
    auto rows = buildWeekendStructure(race);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_TRUE(rows[0].name.empty());
    EXPECT_EQ(names(rows), (std::vector<std::string>{"Race 07:00", "Sprint 09:30", "Practice 2 04:30", "Qualifying 09:00",
                                                     "Practice 1 05:30"}));
    EXPECT_EQ(rows[1].weekday, "Sunday");
    EXPECT_EQ(rows[1].month, "Apr");
}

TEST_F(Schedule, sessionsWithoutATimeReadTBCAndComeLastInBuildingOrder) {
    RacesDetailsModel race;
    race.date = "2023-03-05";
    race.time = "01:00:00Z";  // still Saturday evening in New York
    race.thirdPractice = dateTimeModel{"2023-03-04", std::nullopt};
    race.firstPractice = dateTimeModel{"2023-03-03", "11:30:00Z"};
    auto rows = buildWeekendStructure(race);
    EXPECT_EQ(names(rows), (std::vector<std::string>{"Race 20:00", "Practice 1 06:30", "Qualifying TBC", "Practice 3 TBC",
                                                     "Practice 2 TBC"}));
    EXPECT_EQ(rows[1].day, "04");
    EXPECT_EQ(rows[1].weekday, "Saturday");
    // A date without a time keeps its own calendar day.
    EXPECT_EQ(rows[4].day, "04");
    EXPECT_EQ(rows[4].weekday, "Saturday");
    EXPECT_EQ(rows[3].day, "");
}

}  // namespace
