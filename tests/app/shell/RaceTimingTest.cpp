#include <gtest/gtest.h>

#include "PinnedCalendar.h"
#include "foundation/DateFormatter.h"
#include "shell/PosixFormatter.h"
#include "shell/RaceTiming.h"

namespace {

using foundation::Date;

RacesDetailsModel race(std::string date, std::string time) {
    RacesDetailsModel model;
    model.raceName = "Bahrain Grand Prix";
    model.date = std::move(date);
    model.time = std::move(time);
    return model;
}

using RaceTimingTest = PinnedCalendar;  // Amsterdam, UTC+1 in March

TEST_F(RaceTimingTest, fixedPatternsReadAndWriteTheSameWhateverTheDevicesLanguageAndCalendar) {
    const Date midnight = local(2023, 4, 30);
    // Thai, on the Buddhist calendar with Thai digits.
    foundation::Locale::setCurrent(foundation::Locale("th_TH@calendar=buddhist;numbers=thai"));
    auto utc = posixFormatter("yyyy-MM-dd HH:mm:ssZ", foundation::TimeZone::utc());
    auto start = utc.date("2023-04-30 11:00:00Z");
    ASSERT_TRUE(start);
    EXPECT_EQ(utc.string(*start), "2023-04-30 11:00:00+0000");
    EXPECT_EQ(posixFormatter("EEEE, dd LLL yyyy", foundation::TimeZone::utc()).string(*start), "Sunday, 30 Apr 2023");
    // Without a zone the device's is used: Amsterdam is two hours east in summer.
    EXPECT_EQ(posixFormatter("HH:mm").string(*start), "13:00");
    EXPECT_EQ(posixFormatter("yyyy-MM-dd").date("2023-04-30"), midnight);
    EXPECT_FALSE(posixFormatter("yyyy-MM-dd").date("30/04/2023"));
}

TEST_F(RaceTimingTest, startIsTheDateAndClockTimeReadAsUTC) {
    EXPECT_EQ(RaceTiming::startInstant(race("2024-03-02", "15:00:00Z")), local(2024, 3, 2, 16, 0));
    EXPECT_EQ(RaceTiming::startInstant(race("2024-03-02", "15:00:00")), local(2024, 3, 2, 16, 0));
    // Summer time does not move a UTC clock value.
    EXPECT_EQ(RaceTiming::startInstant(race("2023-07-30", "13:00:00Z")), Date::fromUnix(1690722000));
}

TEST_F(RaceTimingTest, raceWithoutClockTimeStartsAtLocalMidnightOfItsOwnDate) {
    EXPECT_EQ(RaceTiming::startInstant(race("2005-03-06", "")), local(2005, 3, 6));
    // West of UTC, midnight UTC would be the evening before: the date shown must stay the 6th.
    for (const char* zone : {"America/Los_Angeles", "Pacific/Honolulu", "Asia/Tokyo"}) {
        foundation::TimeZone::setCurrent(foundation::TimeZone::named(zone));
        auto start = RaceTiming::startInstant(race("2005-03-06", ""));
        ASSERT_TRUE(start) << zone;
        EXPECT_EQ(*start, local(2005, 3, 6)) << zone;
        foundation::DateFormatter shown;
        shown.setDateFormat("yyyy-MM-dd");
        EXPECT_EQ(shown.string(*start), "2005-03-06") << zone;
        EXPECT_EQ(RaceTiming::phase(race("2005-03-06", ""), local(2005, 3, 5, 23, 59)), RacePhase::upcoming) << zone;
        EXPECT_EQ(RaceTiming::phase(race("2005-03-06", ""), local(2005, 3, 6, 0, 30)), RacePhase::live) << zone;
    }
}

TEST_F(RaceTimingTest, unreadableDateOrTimeHasNoStartAndCountsAsUnderWay) {
    for (const auto& broken : {race("", "15:00:00Z"), race("2024-13-40", "15:00:00Z"), race("2024-03-02", "3pm"),
                               race("soon", "")}) {
        EXPECT_EQ(RaceTiming::startInstant(broken), std::nullopt) << broken.date << " " << broken.time;
        EXPECT_EQ(RaceTiming::startOrNow(broken, now()), now());
        EXPECT_EQ(RaceTiming::phase(broken, now()), RacePhase::live);
    }
}

TEST_F(RaceTimingTest, phaseIsUpcomingBeforeStartLiveForThreeHoursThenFinished) {
    auto bahrain = race("2024-03-06", "15:00:00Z");  // 16:00 in Amsterdam
    EXPECT_EQ(RaceTiming::phase(bahrain, local(2024, 3, 5, 16, 0)), RacePhase::upcoming);
    EXPECT_EQ(RaceTiming::phase(bahrain, local(2024, 3, 6, 15, 59, 59)), RacePhase::upcoming);
    EXPECT_EQ(RaceTiming::phase(bahrain, local(2024, 3, 6, 16, 0)), RacePhase::live);
    EXPECT_EQ(RaceTiming::phase(bahrain, local(2024, 3, 6, 18, 59, 59)), RacePhase::live);
    EXPECT_EQ(RaceTiming::phase(bahrain, local(2024, 3, 6, 19, 0)), RacePhase::finished);
    EXPECT_EQ(RaceTiming::phase(bahrain, local(2024, 3, 9)), RacePhase::finished);
    // Midnight of the race day is not the start: the old rule would call 02:30 live.
    EXPECT_EQ(RaceTiming::phase(bahrain, local(2024, 3, 6, 2, 30)), RacePhase::upcoming);
}

TEST_F(RaceTimingTest, aSprintWeekendIsAlsoLiveForThreeHoursFromItsSprint) {
    auto baku = race("2023-04-30", "11:00:00Z");
    baku.sprint = dateTimeModel{"2023-04-29", "13:30:00Z"};  // 15:30 in Amsterdam's summer time
    EXPECT_EQ(RaceTiming::phase(baku, local(2023, 4, 29, 15, 29, 59)), RacePhase::upcoming);
    EXPECT_TRUE(RaceTiming::sprintIsLive(baku, local(2023, 4, 29, 15, 30)));
    EXPECT_EQ(RaceTiming::phase(baku, local(2023, 4, 29, 15, 30)), RacePhase::live);
    EXPECT_EQ(RaceTiming::phase(baku, local(2023, 4, 29, 18, 29, 59)), RacePhase::live);
    EXPECT_EQ(RaceTiming::phase(baku, local(2023, 4, 29, 18, 30)), RacePhase::upcoming) << "between sprint and race";
    EXPECT_FALSE(RaceTiming::sprintIsLive(baku, local(2023, 4, 30, 13, 30)));
    EXPECT_EQ(RaceTiming::phase(baku, local(2023, 4, 30, 13, 30)), RacePhase::live);
    EXPECT_EQ(RaceTiming::phase(baku, local(2023, 4, 30, 16, 0)), RacePhase::finished);
    // A sprint without a readable time never makes the weekend live.
    baku.sprint = dateTimeModel{"2023-04-29", std::nullopt};
    EXPECT_EQ(RaceTiming::phase(baku, local(2023, 4, 29, 15, 30)), RacePhase::upcoming);
}

// The map reads each start once; its search for the race ahead still follows a clock set back.
TEST_F(RaceTimingTest, theFirstRaceAheadOfASeasonFollowsTheClockBothWays) {
    const SeasonTiming season({race("2024-03-02", "15:00:00Z"), race("2024-03-09", "17:00:00Z"), race("soon", "")});
    EXPECT_EQ(season.firstRaceAhead(local(2024, 3, 2, 18, 0)), 0u);  // under way
    EXPECT_EQ(season.firstRaceAhead(local(2024, 3, 5)), 1u);
    EXPECT_EQ(season.firstRaceAhead(local(2024, 3, 20)), 2u);  // an unreadable start counts as under way
    EXPECT_EQ(season.firstRaceAhead(local(2024, 3, 1)), 0u);
    EXPECT_EQ(SeasonTiming({race("2024-03-02", "15:00:00Z")}).firstRaceAhead(local(2024, 3, 20)), std::nullopt);
}

TEST_F(RaceTimingTest, countdownSplitsTheTimeLeftIntoDaysHoursAndMinutes) {
    Date start = local(2024, 3, 8, 16, 5);
    EXPECT_EQ(RaceTiming::countdown(start, now()), (Countdown{2, 4, 5}));
    EXPECT_EQ(RaceTiming::countdown(start, start.addingTimeInterval(-60)), (Countdown{0, 0, 1}));
    EXPECT_EQ(RaceTiming::countdown(start, start.addingTimeInterval(-59)), (Countdown{0, 0, 0}));
    EXPECT_EQ(RaceTiming::countdownText({2, 4, 5}), "In 2 days, 4 hours, 5 minutes");
}

TEST_F(RaceTimingTest, countdownCountsCalendarDaysAcrossTheSummerTimeChange) {
    // Amsterdam moves to summer time on 31 March 2024: the day before the race has 23 hours.
    EXPECT_EQ(RaceTiming::countdown(local(2024, 3, 31, 12, 0), local(2024, 3, 30, 12, 0)), (Countdown{1, 0, 0}));
}

}  // namespace
