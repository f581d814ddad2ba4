#include <gtest/gtest.h>

#include "PinnedCalendar.h"
#include "shell/Date.h"

namespace {

using namespace dates;
using foundation::Date;

using DateFormatting = PinnedCalendar;

TEST_F(DateFormatting, isoDateIsMidnightInTheDeviceZoneWhateverZoneTypeIsPassed) {
    EXPECT_EQ(fromString("2023-03-05", DateFormatType::isoDate, TimeZoneType::local), local(2023, 3, 5));
    EXPECT_EQ(fromString("2023-03-05", DateFormatType::isoDate, TimeZoneType::utc), local(2023, 3, 5));
    EXPECT_EQ(fromString("", DateFormatType::isoDate), std::nullopt);
    EXPECT_EQ(fromString("5 March", DateFormatType::isoDate), std::nullopt);
}

TEST_F(DateFormatting, rssTextEndingInZReadsAsGMT) {
    auto zulu = fromString("Sun, 5 Mar 2023 15:00:00 Z", DateFormatType::rss);
    EXPECT_EQ(zulu, Date::fromUnix(1678028400));
    EXPECT_EQ(zulu, fromString("Sun, 5 Mar 2023 15:00:00 GMT", DateFormatType::rss));
    EXPECT_EQ(fromString("5 Mar 2023 15:00:00 Z", DateFormatType::altRSS), Date::fromUnix(1678028400));
}

TEST_F(DateFormatting, dotNetReadsMillisecondsSince1970AndIgnoresTheOffset) {
    Date expected = Date::fromUnix(1678028400.5);
    EXPECT_EQ(fromString("/Date(1678028400500)/", DateFormatType::dotNet), expected);
    EXPECT_EQ(fromString("/Date(1678028400500+0100)/", DateFormatType::dotNet), expected);
    EXPECT_EQ(fromString(R"("\/Date(1678028400500-0530)\/")", DateFormatType::dotNet), expected);
    EXPECT_EQ(fromString("/Date()/", DateFormatType::dotNet), std::nullopt);
    // Found past false starts, and a megabyte of digits read once (a backtracking search overflowed the stack).
    EXPECT_EQ(fromString("/Date(12/Date(x/Date(1678028400500)/", DateFormatType::dotNet), expected);
    EXPECT_EQ(fromString("/Date(" + std::string(1 << 20, '7') + "+01", DateFormatType::dotNet), std::nullopt);
    auto written = toString(expected, DateFormatType::dotNet);
    EXPECT_EQ(written, "/Date(1678028400500+0100)/");
    EXPECT_EQ(fromString(written, DateFormatType::dotNet), expected);
}

TEST_F(DateFormatting, namedFormatsWriteInTheZoneTheirCachedFormatterWasMadeIn) {
    Date race = Date::fromUnix(1678028400);  // 15:00 UTC
    EXPECT_EQ(toString(race, DateFormatType::isoDateTimeSec), "2023-03-05T16:00:00+0100");
    EXPECT_EQ(toString(race, DateFormatType::isoDateTimeSec, TimeZoneType::utc), "2023-03-05T16:00:00+0100");
    EXPECT_EQ(iso8601String(race), "2023-03-05T15:00:00.000Z");
    EXPECT_EQ(toString(race, DateFormatType::custom("HH:mm 'cached'")), "16:00 cached");
    foundation::TimeZone::setCurrent(foundation::TimeZone::named("America/New_York"));
    EXPECT_EQ(toString(race, DateFormatType::custom("HH:mm 'cached'")), "16:00 cached");
    EXPECT_EQ(toString(race, DateFormatType::custom("HH:mm 'fresh'")), "10:00 fresh");
}

TEST_F(DateFormatting, everyTimeStyleGivesTheSameDayMonthYearAndClock) {
    EXPECT_EQ(toString(now(), DateStyleType::full), "6 Mar 2024 12:00");
    EXPECT_EQ(toString(now(), DateStyleType::short_), toString(now(), DateStyleType::full));
    EXPECT_EQ(toString(now(), DateFormatterStyle::full, DateFormatterStyle::none), "6 Mar 2024");
}

TEST_F(DateFormatting, weekdayAndMonthNamesAreEnglishWhateverTheDeviceLanguageButOrdinalsAreNot) {
    foundation::Locale::setCurrent(foundation::Locale("fr_FR"));
    EXPECT_EQ(toString(local(2023, 3, 19), DateStyleType::month), "March");
    EXPECT_EQ(toString(now(), DateStyleType::veryShortMonth), "M");
    EXPECT_EQ(toString(now(), DateStyleType::shortWeekday), "Wed");
    EXPECT_EQ(toString(local(2024, 3, 5), DateStyleType::ordinalDay), "5e");  // ordinals follow the locale
}

TEST_F(DateFormatting, relativeTimePhrasesBySecondsMinutesHoursAndDays) {
    auto phrase = [&](double secondsAgo) { return toStringWithRelativeTime(now().addingTimeInterval(-secondsAgo)); };
    EXPECT_EQ(phrase(45), "45s");
    EXPECT_EQ(phrase(-30), "now");
    EXPECT_EQ(phrase(90), "1m");
    EXPECT_EQ(phrase(-90), "in 1 minute");
    EXPECT_EQ(phrase(-(3 * 3600 + 1800)), "in 3 hours");
    EXPECT_EQ(phrase(5 * 3600), "5h");
    EXPECT_EQ(phrase(26 * 3600), "1d");
    EXPECT_EQ(phrase(-26 * 3600), "tomorrow");
}

TEST_F(DateFormatting, relativeTimeCountsCalendarWeeksMonthsAndYearsBeyondAWeek) {
    EXPECT_EQ(toStringWithRelativeTime(local(2024, 2, 25, 12)), "1w");  // Sunday of last week
    EXPECT_EQ(toStringWithRelativeTime(local(2024, 2, 15, 12)), "3w");
    EXPECT_EQ(toStringWithRelativeTime(local(2024, 3, 14, 12)), "next week");
    EXPECT_EQ(toStringWithRelativeTime(local(2023, 2, 1, 12)), "1y");
    EXPECT_EQ(toStringWithRelativeTime(local(2022, 3, 1, 12)), "2y");
}

TEST_F(DateFormatting, callerPhrasesReplaceOnlyTheirOwnKeys) {
    RelativeTimeStrings strings{{RelativeTimeStringType::minutesPast, "%.f minutes ago"}};
    EXPECT_EQ(toStringWithRelativeTime(now().addingTimeInterval(-5 * 60), strings), "5 minutes ago");
    EXPECT_EQ(toStringWithRelativeTime(now().addingTimeInterval(-5 * 3600), strings), "5h");
    EXPECT_EQ(toStringWithRelativeTime(now().addingTimeInterval(-5 * 60), RelativeTimeStrings{}), "5m");
}

}  // namespace
