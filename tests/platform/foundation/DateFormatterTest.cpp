#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "PinnedTimeSettings.h"
#include "foundation/DateFormatter.h"

using namespace foundation;

namespace {

DateFormatter posix(const std::string& pattern, std::optional<TimeZone> zone = std::nullopt) {
    DateFormatter formatter;
    formatter.setLocale(Locale("en_US_POSIX"));
    formatter.setDateFormat(pattern);
    if (zone) formatter.setTimeZone(*zone);
    return formatter;
}

}  // namespace

TEST(DateFormatter, FixedPatternsRoundTrip) {
    auto start = utc(1678028400);  // 2023-03-05 15:00:00 UTC, a Sunday
    struct Case {
        const char* pattern;
        const char* text;
    };
    for (auto [pattern, text] : {
             Case{"yyyy-MM-dd'T'HH:mm:ss", "2023-03-05T15:00:00"},
             Case{"yyyy-MM-dd'T'HH:mm:ssZ", "2023-03-05T15:00:00+0000"},
             Case{"yyyy-MM-dd'T'HH:mm:ss.SSSZ", "2023-03-05T15:00:00.000+0000"},
             Case{"yyyy-MM-dd HH:mm", "2023-03-05 15:00"},
             Case{"E, dd MMM yyyy HH:mm:ss Z", "Sun, 05 Mar 2023 15:00:00 +0000"},
             Case{"EEEE d MMMM yyyy HH:mm", "Sunday 5 March 2023 15:00"},
         }) {
        auto formatter = posix(pattern, TimeZone::utc());
        EXPECT_EQ(formatter.string(start), text) << pattern;
        EXPECT_EQ(formatter.date(text), start) << pattern;
    }
}

TEST(DateFormatter, DayOnlyPatternsReadAsLocalMidnight) {
    PinnedTimeSettings pinned("Europe/Amsterdam");
    auto formatter = posix("yyyy-MM-dd");
    EXPECT_EQ(formatter.date("2023-03-05"), utc(1677974400 - 3600));
    EXPECT_EQ(formatter.string(utc(1677974400 - 3600)), "2023-03-05");
    EXPECT_EQ(posix("yyyy").date("2023"), utc(1672527600));  // 1 January 2023, 00:00 in Amsterdam
}

TEST(DateFormatter, FormatsNamesAndShortFieldsInEnglish) {
    PinnedTimeSettings pinned("UTC", "nl_NL");
    auto formatter = posix("dd");
    auto date = utc(1678028400);
    EXPECT_EQ(formatter.string(date), "05");
    formatter.setDateFormat("LLL");
    EXPECT_EQ(formatter.string(date), "Mar");
    formatter.setDateFormat("EEEE");
    EXPECT_EQ(formatter.string(date), "Sunday");
    formatter.setDateFormat("dd MMM");
    EXPECT_EQ(formatter.string(date), "05 Mar");
    formatter.setDateFormat("d MMMM");
    EXPECT_EQ(formatter.string(date), "5 March");

    DateFormatter dutch;  // the pinned current locale
    dutch.setDateFormat("EEEE d MMMM");
    EXPECT_EQ(dutch.string(date), "zondag 5 maart");
}

TEST(DateFormatter, TimeWithLiteralZIsUtc) {
    PinnedTimeSettings pinned("Europe/Amsterdam");
    auto formatter = posix("HH:mm:ssZ");
    EXPECT_EQ(formatter.date("15:00:00Z"), utc(946738800));  // 2000-01-01 15:00 UTC
    EXPECT_EQ(formatter.date("15:00:00+0100"), utc(946738800 - 3600));

    auto dated = posix("yyyy-MM-dd HH:mm:ssZ");
    EXPECT_EQ(dated.date("2023-03-05 15:00:00Z"), utc(1678028400));
    formatter.setDateFormat("HH:mm");
    EXPECT_EQ(formatter.string(utc(1678028400)), "16:00");
}

TEST(DateFormatter, TimeOnlyLandsOnFirstJanuary2000InTheFormattersZone) {
    auto formatter = posix("HH:mm:ss", TimeZone::fromAbbreviation("UTC"));
    auto parsed = formatter.date("13:05:09");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, utc(946731909));  // 2000-01-01 13:05:09 UTC

    // Converting a UTC clock text to local time uses that day's offset, winter time all year round.
    formatter.setTimeZone(*TimeZone::named("Europe/Amsterdam"));
    EXPECT_EQ(formatter.string(*parsed), "14:05:09");
    EXPECT_EQ(formatter.date("13:05:09"), utc(946731909 - 3600));
}

TEST(DateFormatter, RssDatesCarryTheirOwnOffset) {
    PinnedTimeSettings pinned("Asia/Tokyo");
    auto formatter = posix("E, dd MMM yyyy HH:mm:ss Z");
    auto expected = utc(1701771300);  // 2023-12-05 10:15 UTC
    EXPECT_EQ(formatter.date("Tue, 05 Dec 2023 10:15:00 +0000"), expected);
    EXPECT_EQ(formatter.date("Tue, 05 Dec 2023 10:15:00 GMT"), expected);
    EXPECT_EQ(formatter.date("Tue, 05 Dec 2023 11:15:00 +0100"), expected);
    EXPECT_EQ(formatter.date("Thu, 01 Jan 2004 19:48:21 GMT"), utc(1072986501));
    EXPECT_FALSE(formatter.date("Tue, 05 Dec 2023 10:15:00"));
}

TEST(DateFormatter, StrictParsingRejectsPartialAndOutOfRangeText) {
    auto time = posix("HH:mm:ss", TimeZone::utc());
    EXPECT_FALSE(time.date("25:00:00"));
    EXPECT_FALSE(time.date("13:05"));
    EXPECT_FALSE(time.date("13:05:09x"));
    EXPECT_FALSE(time.date(""));
    auto day = posix("yyyy-MM-dd", TimeZone::utc());
    EXPECT_FALSE(day.date("2023-02-30"));
    EXPECT_FALSE(day.date("2023-03-05 "));
    EXPECT_FALSE(day.date("not a date"));
    auto minutes = posix("yyyy-MM-dd HH:mm", TimeZone::utc());
    EXPECT_FALSE(minutes.date("2023-03-05 "));
    EXPECT_FALSE(minutes.date("2023-03-05 15:00:00Z"));
}

TEST(DateFormatter, LenientParsingRollsValuesOver) {
    auto formatter = posix("HH:mm:ss", TimeZone::utc());
    formatter.setLenient(true);
    EXPECT_EQ(formatter.date("12:61:00"), utc(946684800 + 13 * 3600 + 60));
    formatter.setLenient(false);
    EXPECT_FALSE(formatter.date("12:61:00"));
}

TEST(DateFormatter, FormattingFollowsDaylightSavingInAPinnedZone) {
    PinnedTimeSettings pinned("Europe/Amsterdam");
    auto formatter = posix("yyyy-MM-dd HH:mm Z");
    // Clocks went forward at 01:00 UTC on 26 March 2023.
    EXPECT_EQ(formatter.string(utc(1679792400 - 60)), "2023-03-26 01:59 +0100");
    EXPECT_EQ(formatter.string(utc(1679792400)), "2023-03-26 03:00 +0200");
    formatter.setDateFormat("yyyy-MM-dd HH:mm");
    EXPECT_EQ(formatter.date("2023-03-26 03:00"), utc(1679792400));
    EXPECT_EQ(formatter.date("2023-03-26 00:30"), utc(1679792400 - 5400));
}

TEST(DateFormatter, CopiesAreIndependent) {
    auto original = posix("yyyy", TimeZone::utc());
    EXPECT_EQ(original.string(utc(1678028400)), "2023");
    auto copy = original;
    copy.setDateFormat("MM");
    EXPECT_EQ(copy.string(utc(1678028400)), "03");
    EXPECT_EQ(original.string(utc(1678028400)), "2023");
}

TEST(DateFormatter, SymbolsStartWithSundayAndJanuary) {
    auto formatter = posix("EEE MMM dd HH:mm:ss Z yyyy");
    EXPECT_EQ(formatter.weekdaySymbols().size(), 7u);
    EXPECT_EQ(formatter.weekdaySymbols()[0], "Sunday");
    EXPECT_EQ(formatter.shortWeekdaySymbols()[6], "Sat");
    EXPECT_EQ(formatter.veryShortWeekdaySymbols()[1], "M");
    EXPECT_EQ(formatter.monthSymbols().size(), 12u);
    EXPECT_EQ(formatter.monthSymbols()[2], "March");
    EXPECT_EQ(formatter.shortMonthSymbols()[0], "Jan");
    EXPECT_EQ(formatter.veryShortMonthSymbols()[11], "D");
}

TEST(DateFormatter, FormattersOnSeveralThreadsKeepTheirOwnSettings) {
    const char* zones[] = {"UTC", "Asia/Tokyo", "America/New_York", "Europe/Amsterdam"};
    const char* expected[] = {"15:00", "00:00", "10:00", "16:00"};
    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (int index = 0; index < 4; ++index) {
        threads.emplace_back([&, index] {
            for (int round = 0; round < 200; ++round) {
                auto formatter = posix(round % 2 ? "HH:mm" : "yyyy-MM-dd HH:mm", TimeZone::named(zones[index]));
                formatter.setDateFormat("HH:mm");
                if (formatter.string(utc(1678028400)) != expected[index]) ++mismatches[index];
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

TEST(DateFormatter, ManyDifferentPatternsStayCorrectPastTheCache) {
    auto formatter = posix("", TimeZone::utc());
    for (int width = 1; width <= 100; ++width) {
        formatter.setDateFormat(std::string(width % 4 + 1, 'y') + "'" + std::to_string(width) + "'");
        auto year = width % 4 == 1 ? "23" : "2023";
        EXPECT_EQ(formatter.string(utc(1678028400)), year + std::to_string(width));
    }
}


// ICU read a megabyte of digits in seconds, and a fraction of seconds of a hundred digits divided by zero.
TEST(DateFormatter, TextPastWhatThePatternWritesIsRefusedUnread) {
    EXPECT_FALSE(posix("E, dd MMM yyyy HH:mm:ss Z").date(std::string(256 << 10, '7')));
    auto fraction = posix("yyyy-MM-dd'T'HH:mm:ss.SSS", TimeZone::utc());
    EXPECT_FALSE(fraction.date("2023-03-05T15:00:00." + std::string(100, '1')));
    EXPECT_FALSE(fraction.date("2023-03-05T15:00:00.111111111111"));  // read as .000
    auto nanoseconds = fraction.date("2023-03-05T15:00:00.1234567891");
    ASSERT_TRUE(nanoseconds);
    EXPECT_NEAR(nanoseconds->timeIntervalSince1970(), 1678028400.123, 1e-6);
    EXPECT_EQ(posix("yyyyMMddHHmmss", TimeZone::utc()).date("20230305150000"), utc(1678028400));
}
