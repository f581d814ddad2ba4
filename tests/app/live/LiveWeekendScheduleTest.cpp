#include <gtest/gtest.h>

#include <algorithm>

#include "foundation/Locale.h"
#include "foundation/TimeZone.h"
#include "live/LiveViewController.h"
#include "weekend/WeekendSchedule.h"

namespace {

std::vector<std::string> names(const std::vector<WeekendSession>& sessions) {
    std::vector<std::string> result;
    for (const auto& session : sessions) result.push_back(session.name);
    return result;
}

dateTimeModel at(std::string date, std::string time) { return {std::move(date), std::move(time)}; }

class LiveWeekendSchedule : public ::testing::Test {
protected:
    void SetUp() override {
        foundation::TimeZone::setCurrent(foundation::TimeZone::named("Europe/Amsterdam"));
        foundation::Locale::setCurrent(foundation::Locale("en_US"));
    }
    void TearDown() override {
        foundation::TimeZone::setCurrent(std::nullopt);
        foundation::Locale::setCurrent(std::nullopt);
    }

    // Azerbaijan 2023 as the results API lists it: a sprint weekend without a third practice.
    static RacesDetailsModel sprintWeekend() {
        RacesDetailsModel race;
        race.raceName = "Azerbaijan Grand Prix";
        race.date = "2023-04-30";
        race.time = "11:00:00Z";
        race.firstPractice = at("2023-04-28", "09:30:00Z");
        race.qualifying = at("2023-04-28", "13:00:00Z");
        race.secondPractice = at("2023-04-29", "08:30:00Z");
        race.sprint = at("2023-04-29", "13:30:00Z");
        return race;
    }
};

TEST_F(LiveWeekendSchedule, aSprintWeekendListsItsSessionsLatestFirstAtTheirInstantsInLocalTime) {
    auto sessions = weekendSessions(sprintWeekend());
    EXPECT_EQ(names(sessions), (std::vector<std::string>{"Race", "Sprint", "Practice 2", "Qualifying", "Practice 1"}));
    // 11:00 UTC is 13:00 in Amsterdam's summer time, not the UTC clock and not the winter offset.
    const WeekendSession& race = sessions[0];
    EXPECT_EQ(race.day, "30");
    EXPECT_EQ(race.month, "Apr");
    EXPECT_EQ(race.time, "13:00");
    EXPECT_EQ(race.weekday, "Sunday");
    ASSERT_TRUE(race.start);
    EXPECT_EQ(sessions[4].time, "11:30");
}

TEST_F(LiveWeekendSchedule, aThirdPracticeWithADateReplacesTheSprintAndOneWithoutDoesNot) {
    auto race = sprintWeekend();
    race.thirdPractice = at("2023-04-29", "10:30:00Z");
    auto withPractice = names(weekendSessions(race));
    EXPECT_NE(std::find(withPractice.begin(), withPractice.end(), "Practice 3"), withPractice.end());
    EXPECT_EQ(std::find(withPractice.begin(), withPractice.end(), "Sprint"), withPractice.end());

    race.thirdPractice = dateTimeModel{std::nullopt, "10:30:00Z"};
    auto undated = names(weekendSessions(race));
    EXPECT_NE(std::find(undated.begin(), undated.end(), "Sprint"), undated.end());
}

TEST_F(LiveWeekendSchedule, aMissingTimeReadsTBCAndSortsLastInBuildingOrder) {
    auto race = sprintWeekend();
    race.qualifying = dateTimeModel{"2023-04-28", std::nullopt};
    race.sprint.reset();
    race.secondPractice = dateTimeModel{"not a date", "08:30:00Z"};
    auto sessions = weekendSessions(race);
    EXPECT_EQ(names(sessions), (std::vector<std::string>{"Race", "Practice 1", "Qualifying", "Sprint", "Practice 2"}));
    // The date alone still tells the day.
    EXPECT_EQ(sessions[2].time, "TBC");
    EXPECT_EQ(sessions[2].day, "28");
    EXPECT_EQ(sessions[2].weekday, "Friday");
    EXPECT_FALSE(sessions[2].start);
    EXPECT_EQ(sessions[3].time, "TBC");
    EXPECT_EQ(sessions[3].day, "");
    EXPECT_EQ(sessions[4].time, "TBC");
}

TEST_F(LiveWeekendSchedule, theOrderingIsAStrictWeakOrdering) {
    auto sessions = weekendSessions(sprintWeekend());
    WeekendSession unknown = weekendSession("Sprint", std::nullopt, std::nullopt);
    WeekendSession alsoUnknown = weekendSession("Practice 2", "2023-04-29", std::nullopt);
    sessions.push_back(unknown);
    sessions.push_back(alsoUnknown);
    for (const auto& a : sessions) {
        EXPECT_FALSE(startsLaterInSchedule(a, a)) << a.name;
        for (const auto& b : sessions) {
            EXPECT_FALSE(startsLaterInSchedule(a, b) && startsLaterInSchedule(b, a)) << a.name << " " << b.name;
            for (const auto& c : sessions) {
                if (startsLaterInSchedule(a, b) && startsLaterInSchedule(b, c)) {
                    EXPECT_TRUE(startsLaterInSchedule(a, c));
                }
            }
        }
    }
    EXPECT_FALSE(startsLaterInSchedule(unknown, alsoUnknown));
    EXPECT_FALSE(startsLaterInSchedule(alsoUnknown, unknown));
    EXPECT_TRUE(startsLaterInSchedule(sessions[4], unknown)) << "a known start goes before an unknown one";
}

livetiming::RaceLineModel line(std::string number, std::string position) {
    livetiming::RaceLineModel made;
    made.racingNumber = std::move(number);
    made.position = std::move(position);
    return made;
}

TEST(LiveRunningOrder, positionsSortAsNumbersAndUnreadablePositionsGoLast) {
    livetiming::TimingData timing;
    timing.lines = {{"1", line("1", "2")}, {"11", line("11", "")}, {"14", line("14", "10")},
                    {"16", line("16", "1")}, {"44", line("44", "-")}, {"55", line("55", "3")}};
    std::vector<std::string> order;
    for (const auto& ordered : LiveViewController::runningOrder(timing)) order.push_back(ordered.racingNumber);
    EXPECT_EQ(order, (std::vector<std::string>{"16", "1", "55", "14", "11", "44"}));
    EXPECT_TRUE(LiveViewController::runningOrder({}).empty());
}

}  // namespace
