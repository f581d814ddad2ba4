#include <gtest/gtest.h>

#include "PinnedCalendar.h"
#include "shell/Date.h"

namespace {

using namespace dates;
using foundation::Date;

using DateCalendar = PinnedCalendar;

TEST_F(DateCalendar, sameDayAndSameWeekNeedTheCalendarFieldsAndCloseness) {
    EXPECT_FALSE(compare(local(2024, 3, 6, 23, 59), DateComparisonType::isSameDay(local(2024, 3, 7, 0, 1))));
    EXPECT_TRUE(compare(local(2024, 3, 6, 0, 1), DateComparisonType::isSameDay(local(2024, 3, 6, 23, 59))));

    Date march2023 = local(2023, 3, 1);
    Date march2024 = local(2024, 3, 1);
    EXPECT_EQ(component(march2023, DateComponentType::week), 9);
    EXPECT_EQ(component(march2024, DateComponentType::week), 9);
    EXPECT_FALSE(compare(march2023, DateComparisonType::isSameWeek(march2024)));
    EXPECT_TRUE(compare(local(2024, 3, 3), DateComparisonType::isSameWeek(local(2024, 3, 9, 23))));
}

TEST_F(DateCalendar, earlierAndLaterBothHoldForTheSameDateAndNowComesFromTheClock) {
    EXPECT_TRUE(compare(now(), DateComparisonType::isEarlier(now())));
    EXPECT_TRUE(compare(now(), DateComparisonType::isLater(now())));
    EXPECT_FALSE(compare(now().addingTimeInterval(1), DateComparisonType::isEarlier(now())));
    EXPECT_TRUE(compare(local(2024, 3, 7, 23), DateComparisonType::isTomorrow));
    EXPECT_TRUE(compare(local(2024, 3, 10), DateComparisonType::isNextWeek));
    EXPECT_TRUE(compare(local(2024, 3, 2), DateComparisonType::isLastWeek));
    EXPECT_FALSE(compare(local(2024, 3, 3), DateComparisonType::isLastWeek));
    EXPECT_TRUE(compare(local(2023, 12, 31), DateComparisonType::isLastYear));
}

TEST_F(DateCalendar, saturdayAndSundayAreTheWeekendInEveryRegion) {
    for (const char* region : {"en_US", "en_GB", "de_DE"}) {
        SCOPED_TRACE(region);
        foundation::Locale::setCurrent(foundation::Locale(region));
        EXPECT_TRUE(compare(local(2024, 3, 9), DateComparisonType::isWeekend));   // Saturday
        EXPECT_TRUE(compare(local(2024, 3, 10), DateComparisonType::isWeekend));  // Sunday
        EXPECT_FALSE(compare(local(2024, 3, 10), DateComparisonType::isWeekday));
        EXPECT_TRUE(compare(local(2024, 3, 11), DateComparisonType::isWeekday));  // Monday
    }
}

TEST_F(DateCalendar, sinceCountsElapsedTimeOrCalendarBoundaries) {
    Date lateEvening = local(2024, 3, 6, 23);
    Date earlyMorning = local(2024, 3, 7, 1);
    EXPECT_EQ(since(earlyMorning, lateEvening, DateComponentType::day), 1);
    EXPECT_EQ(since(earlyMorning, lateEvening, DateComponentType::hour), 2);
    EXPECT_EQ(since(lateEvening, earlyMorning, DateComponentType::minute), -120);
    EXPECT_EQ(since(local(2024, 3, 1), local(2023, 11, 30), DateComponentType::month), 4);
}

TEST_F(DateCalendar, adjustAddsOneComponentOrReplacesFieldsWithNormalisation) {
    EXPECT_EQ(adjust(local(2024, 1, 31, 9), DateComponentType::month, 1), local(2024, 2, 29, 9));
    EXPECT_EQ(adjust(local(2024, 3, 6, 9, 30), {.hour = 18, .day = 0}), local(2024, 2, 29, 18, 30));
    EXPECT_EQ(adjust(local(2024, 3, 6, 9, 30), {.minute = 60}), local(2024, 3, 6, 10, 0));
}

TEST_F(DateCalendar, roundingKeepsTheSecondsAndEndOfMonthIsItsLastDayAtMidnight) {
    EXPECT_EQ(dateFor(local(2024, 3, 6, 10, 37, 20), DateForType::nearestMinute(15)), local(2024, 3, 6, 10, 30, 20));
    EXPECT_EQ(dateFor(local(2024, 3, 6, 10, 38, 20), DateForType::nearestMinute(15)), local(2024, 3, 6, 10, 45, 20));
    EXPECT_EQ(dateFor(local(2024, 3, 6, 10, 53, 20), DateForType::nearestMinute(15)), local(2024, 3, 6, 11, 0, 20));
    EXPECT_EQ(dateFor(local(2024, 3, 6, 14, 40, 20), DateForType::nearestHour(6)), local(2024, 3, 6, 12, 0, 20));
    EXPECT_EQ(dateFor(local(2024, 3, 6, 15, 0, 20), DateForType::nearestHour(6)), local(2024, 3, 6, 18, 0, 20));
    // No step to round to: the date comes back as it was, not a division by zero.
    EXPECT_EQ(dateFor(local(2024, 3, 6, 10, 37, 20), DateForType::nearestMinute(0)), local(2024, 3, 6, 10, 37, 20));
    EXPECT_EQ(dateFor(local(2024, 3, 6, 14, 40, 20), DateForType::nearestHour(-6)), local(2024, 3, 6, 14, 40, 20));

    Date date = local(2024, 2, 10, 14, 40, 20);  // a Saturday
    EXPECT_EQ(dateFor(date, DateForType::endOfDay), local(2024, 2, 10, 23, 59, 59));
    EXPECT_EQ(dateFor(date, DateForType::startOfWeek), local(2024, 2, 4, 14, 40, 20));
    EXPECT_EQ(dateFor(date, DateForType::endOfMonth), local(2024, 2, 29));
    EXPECT_EQ(numberOfDaysInMonth(date), 29);
}

TEST_F(DateCalendar, firstAndLastDayOfWeekAreDaysOfTheMonth) {
    EXPECT_EQ(firstDayOfWeek(now()), 3);
    EXPECT_EQ(lastDayOfWeek(now()), 10);  // the following week's first day
    EXPECT_EQ(firstDayOfWeek(local(2024, 3, 1, 12)), 25);
}

}  // namespace
