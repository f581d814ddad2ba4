#include <gtest/gtest.h>

#include "PinnedTimeSettings.h"
#include "foundation/Calendar.h"
#include "foundation/Clock.h"

using namespace foundation;
using Component = CalendarComponent;

namespace {

Calendar calendarIn(const std::string& zone, const std::string& locale = "en_US") {
    return Calendar(Locale(locale), *TimeZone::named(zone));
}

Date at(const Calendar& calendar, int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    DateComponents components;
    components.year = year;
    components.month = month;
    components.day = day;
    components.hour = hour;
    components.minute = minute;
    components.second = second;
    return *calendar.date(components);
}

}  // namespace

TEST(Calendar, ComponentsAreReadInTheCalendarsZone) {
    auto calendar = calendarIn("Europe/Amsterdam");
    auto parts = calendar.dateComponents(
        {Component::year, Component::month, Component::day, Component::hour, Component::minute, Component::second,
         Component::weekday, Component::nanosecond},
        utc(1678028400).addingTimeInterval(0.25));  // 2023-03-05 15:00:00.25 UTC, a Sunday
    EXPECT_EQ(parts.year, 2023);
    EXPECT_EQ(parts.month, 3);
    EXPECT_EQ(parts.day, 5);
    EXPECT_EQ(parts.hour, 16);
    EXPECT_EQ(parts.minute, 0);
    EXPECT_EQ(parts.second, 0);
    EXPECT_EQ(parts.weekday, 1);
    EXPECT_NEAR(*parts.nanosecond, 250'000'000, 1000);
    EXPECT_FALSE(parts.weekOfYear);
    EXPECT_EQ(calendar.component(Component::weekday, utc(1678028400 - 86400)), 7);  // Saturday
}

TEST(Calendar, WeekNumbersFollowTheLocalesRules) {
    auto american = calendarIn("UTC", "en_US");
    auto dutch = calendarIn("UTC", "nl_NL");
    EXPECT_EQ(american.firstWeekday(), 1);
    EXPECT_EQ(dutch.firstWeekday(), 2);
    auto newYearsDay2023 = at(american, 2023, 1, 1);  // a Sunday
    EXPECT_EQ(american.component(Component::weekOfYear, newYearsDay2023), 1);
    EXPECT_EQ(dutch.component(Component::weekOfYear, newYearsDay2023), 52);
    EXPECT_EQ(dutch.component(Component::yearForWeekOfYear, newYearsDay2023), 2022);
    dutch.setFirstWeekday(1);
    dutch.setMinimumDaysInFirstWeek(1);
    EXPECT_EQ(dutch.component(Component::weekOfYear, newYearsDay2023), 1);
}

TEST(Calendar, DatesFromComponentsNormaliseOutOfRangeFields) {
    auto calendar = calendarIn("Europe/Amsterdam");
    EXPECT_EQ(at(calendar, 2023, 3, 5, 16), utc(1678028400));
    EXPECT_EQ(at(calendar, 2024, 3, 0), at(calendar, 2024, 2, 29));  // day 0: last of the month before
    EXPECT_EQ(at(calendar, 2023, 3, 5, 10, 60), at(calendar, 2023, 3, 5, 11));
    auto edited = calendar.dateComponents({Component::year, Component::month, Component::day, Component::weekOfYear,
                                           Component::weekday, Component::weekdayOrdinal, Component::hour},
                                          at(calendar, 2024, 2, 10, 9));
    edited.month = 3;
    edited.day = 0;
    edited.hour = 0;
    EXPECT_EQ(calendar.date(edited), at(calendar, 2024, 2, 29));
    DateComponents weekBased;
    weekBased.yearForWeekOfYear = 2024;
    weekBased.weekOfYear = 10;
    weekBased.weekday = 4;
    EXPECT_EQ(calendar.date(weekBased), at(calendar, 2024, 3, 6));
    DateComponents timeOnly;
    timeOnly.hour = 10;
    auto date = *calendar.date(timeOnly);
    EXPECT_EQ(calendar.component(Component::year, date), 1);
    EXPECT_EQ(calendar.component(Component::hour, date), 10);
}

TEST(Calendar, AddingMonthsClampsToTheLastDayOfShorterMonths) {
    auto calendar = calendarIn("UTC");
    EXPECT_EQ(calendar.dateByAdding(Component::month, 1, utc(1675166400)), at(calendar, 2023, 2, 28, 12));
    EXPECT_EQ(calendar.dateByAdding(Component::month, 1, utc(1706702400)), at(calendar, 2024, 2, 29, 12));
    EXPECT_EQ(calendar.dateByAdding(Component::month, -2, at(calendar, 2023, 3, 31)), at(calendar, 2023, 1, 31));
    EXPECT_EQ(calendar.dateByAdding(Component::day, 1, at(calendar, 2023, 12, 31, 9)), at(calendar, 2024, 1, 1, 9));
    EXPECT_EQ(calendar.dateByAdding(Component::day, 40, at(calendar, 2023, 1, 31), true), at(calendar, 2023, 1, 9));
    DateComponents amounts;
    amounts.month = 1;
    amounts.day = 1;
    EXPECT_EQ(calendar.dateByAdding(amounts, at(calendar, 2023, 1, 31)), at(calendar, 2023, 3, 1));
    auto precise = utc(1678028400).addingTimeInterval(0.0004);
    EXPECT_NEAR(calendar.dateByAdding(Component::day, 1, precise)->timeIntervalSince(precise), 86400.0, 1e-6);
}

TEST(Calendar, AddingADayKeepsTheClockAcrossDaylightSaving) {
    auto calendar = calendarIn("Europe/Amsterdam");
    auto before = at(calendar, 2023, 3, 25, 12);
    auto after = *calendar.dateByAdding(Component::day, 1, before);
    EXPECT_EQ(after.timeIntervalSince(before), 23 * 3600);
    EXPECT_EQ(calendar.component(Component::hour, after), 12);
}

TEST(Calendar, CountdownDifferencesCarryIntoDaysAndTurnNegativeAfterTheStart) {
    auto calendar = calendarIn("Europe/Amsterdam");
    CalendarComponents units{Component::day, Component::hour, Component::minute, Component::second};
    auto start = at(calendar, 2023, 3, 5, 15);
    auto now = start.addingTimeInterval(-(2 * 86400 + 5 * 3600 + 17 * 60 + 9));
    auto left = calendar.dateComponents(units, now, start);
    EXPECT_EQ(left.day, 2);
    EXPECT_EQ(left.hour, 5);
    EXPECT_EQ(left.minute, 17);
    EXPECT_EQ(left.second, 9);
    EXPECT_FALSE(left.month);

    auto farAway = calendar.dateComponents(units, now, start.addingTimeInterval(60 * 86400));
    EXPECT_EQ(farAway.day, 62);

    auto past = calendar.dateComponents(units, start.addingTimeInterval(3600 + 5 * 60 + 3), start);
    EXPECT_EQ(past.day, 0);
    EXPECT_EQ(past.hour, -1);
    EXPECT_EQ(past.minute, -5);
    EXPECT_EQ(past.second, -3);
}

TEST(Calendar, DayDifferencesCountCalendarDaysNotElapsedTime) {
    auto calendar = calendarIn("UTC");
    auto lateEvening = at(calendar, 2023, 3, 5, 23);
    auto earlyMorning = at(calendar, 2023, 3, 6, 1);
    EXPECT_EQ(calendar.dateComponents({Component::hour}, lateEvening, earlyMorning).hour, 2);
    EXPECT_EQ(calendar.dateComponents({Component::day}, lateEvening, earlyMorning).day, 0);
    auto dayInEra = [&](Date date) { return *calendar.ordinality(Component::day, Component::era, date); };
    EXPECT_EQ(dayInEra(earlyMorning) - dayInEra(lateEvening), 1);
    auto difference = calendar.dateComponents({Component::month, Component::day}, at(calendar, 2023, 1, 31),
                                              at(calendar, 2023, 3, 2));
    EXPECT_EQ(difference.month, 1);
    EXPECT_EQ(difference.day, 2);
}

TEST(Calendar, DayQuestionsUseTheClocksNow) {
    auto clock = std::make_shared<ManualClock>(utc(1678028400));  // Sunday 5 March 2023, 16:00 in Amsterdam
    Clock::setCurrent(clock);
    auto calendar = calendarIn("Europe/Amsterdam");
    EXPECT_TRUE(calendar.isDateInToday(at(calendar, 2023, 3, 5, 0, 0)));
    EXPECT_TRUE(calendar.isDateInToday(at(calendar, 2023, 3, 5, 23, 59)));
    EXPECT_FALSE(calendar.isDateInToday(at(calendar, 2023, 3, 6, 0, 1)));
    EXPECT_TRUE(calendar.isDateInTomorrow(at(calendar, 2023, 3, 6, 0, 1)));
    EXPECT_TRUE(calendar.isDateInYesterday(at(calendar, 2023, 3, 4, 23, 59)));
    EXPECT_FALSE(calendar.isDateInSameDay(at(calendar, 2023, 3, 5, 23, 59), at(calendar, 2023, 3, 6, 0, 1)));
    EXPECT_EQ(calendar.startOfDay(Date::now()), at(calendar, 2023, 3, 5));
    Clock::setCurrent(nullptr);
}

TEST(Calendar, RangesAndOrdinalities) {
    auto calendar = calendarIn("UTC");
    EXPECT_EQ(calendar.range(Component::day, Component::month, at(calendar, 2024, 2, 10)), (Calendar::Range{1, 30}));
    EXPECT_EQ(calendar.range(Component::day, Component::month, at(calendar, 2023, 2, 10))->count(), 28);
    EXPECT_EQ(calendar.range(Component::day, Component::year, at(calendar, 2024, 2, 10))->count(), 366);
    EXPECT_EQ(calendar.maximumRange(Component::weekday), (Calendar::Range{1, 8}));
    EXPECT_EQ(calendar.maximumRange(Component::month), (Calendar::Range{1, 13}));
    EXPECT_FALSE(calendar.range(Component::year, Component::day, at(calendar, 2024, 2, 10)));

    auto wednesday = at(calendar, 2024, 3, 6, 12);
    EXPECT_EQ(calendar.ordinality(Component::day, Component::year, wednesday), 66);
    EXPECT_EQ(calendar.ordinality(Component::day, Component::weekOfYear, wednesday), 4);
    EXPECT_EQ(calendar.ordinality(Component::weekday, Component::month, wednesday), 1);
    auto monthInEra = [&](Date date) { return *calendar.ordinality(Component::month, Component::era, date); };
    EXPECT_EQ(monthInEra(wednesday) - monthInEra(at(calendar, 2023, 12, 31)), 3);
    auto weekInEra = [&](Date date) { return *calendar.ordinality(Component::weekOfYear, Component::era, date); };
    EXPECT_EQ(weekInEra(at(calendar, 2024, 3, 9)), weekInEra(at(calendar, 2024, 3, 3)));  // Sunday to Saturday
    EXPECT_EQ(weekInEra(at(calendar, 2024, 3, 10)) - weekInEra(at(calendar, 2024, 3, 9)), 1);
    EXPECT_EQ(calendar.ordinality(Component::year, Component::era, wednesday), 2024);
}

TEST(Calendar, CurrentFollowsThePinnedZoneAndLocale) {
    PinnedTimeSettings pinned("Asia/Tokyo", "en_GB");
    auto calendar = Calendar::current();
    EXPECT_EQ(calendar.timeZone().identifier(), "Asia/Tokyo");
    EXPECT_EQ(calendar.firstWeekday(), 2);
    EXPECT_EQ(calendar.component(Component::hour, utc(1678028400)), 0);  // 15:00 UTC is midnight in Tokyo
}
