#include <gtest/gtest.h>

#include "PinnedTimeSettings.h"
#include "foundation/Locale.h"
#include "foundation/TimeZone.h"

using namespace foundation;

TEST(TimeZone, NamedZonesResolveFromTheSystemData) {
    auto amsterdam = TimeZone::named("Europe/Amsterdam");
    ASSERT_TRUE(amsterdam);
    EXPECT_EQ(amsterdam->identifier(), "Europe/Amsterdam");
    EXPECT_EQ(amsterdam->secondsFromGMT(utc(1673000000)), 3600);   // January
    EXPECT_EQ(amsterdam->secondsFromGMT(utc(1689000000)), 7200);   // July
    EXPECT_TRUE(amsterdam->isDaylightSavingTime(utc(1689000000)));
    EXPECT_EQ(TimeZone::named("America/New_York")->secondsFromGMT(utc(1673000000)), -5 * 3600);
    EXPECT_EQ(TimeZone::named("Asia/Kolkata")->secondsFromGMT(utc(1673000000)), 19800);
}

TEST(TimeZone, UnknownIdentifiersAndAbbreviationsGiveNothing) {
    EXPECT_FALSE(TimeZone::named("Mars/Olympus_Mons"));
    EXPECT_FALSE(TimeZone::named(""));
    EXPECT_FALSE(TimeZone::fromAbbreviation("XYZ"));
    EXPECT_FALSE(TimeZone::fromSecondsFromGMT(19 * 3600));
}

TEST(TimeZone, UtcAndGmtAreZeroOffsetByNameOrAbbreviation) {
    EXPECT_EQ(TimeZone::utc().secondsFromGMT(utc(1689000000)), 0);
    EXPECT_EQ(TimeZone::gmt().abbreviation(utc(0)), "GMT");
    EXPECT_EQ(TimeZone::utc().abbreviation(utc(0)), "UTC");
    EXPECT_EQ(TimeZone::fromAbbreviation("UTC")->secondsFromGMT(utc(1689000000)), 0);
    EXPECT_EQ(TimeZone::fromAbbreviation("GMT")->identifier(), "GMT");
    EXPECT_EQ(TimeZone::fromAbbreviation("EST")->identifier(), "America/New_York");
}

TEST(TimeZone, AbbreviationFollowsDaylightSaving) {
    auto newYork = *TimeZone::named("America/New_York");
    EXPECT_EQ(newYork.abbreviation(utc(1673000000)), "EST");
    EXPECT_EQ(newYork.abbreviation(utc(1689000000)), "EDT");
    EXPECT_EQ(TimeZone::named("Europe/Amsterdam")->abbreviation(utc(1673000000)), "GMT+1");
}

TEST(TimeZone, FixedOffsetsCarryTheirOffsetInTheIdentifier) {
    auto zone = *TimeZone::fromSecondsFromGMT(-(5 * 3600 + 30 * 60));
    EXPECT_EQ(zone.identifier(), "GMT-0530");
    EXPECT_EQ(zone.secondsFromGMT(utc(1689000000)), -(5 * 3600 + 30 * 60));
    EXPECT_EQ(*TimeZone::fromSecondsFromGMT(0), TimeZone::gmt());
}

TEST(TimeZone, CurrentCanBePinnedAndReleased) {
    auto system = TimeZone::current();
    {
        PinnedTimeSettings pinned("Asia/Tokyo", "nl_NL");
        EXPECT_EQ(TimeZone::current().identifier(), "Asia/Tokyo");
        EXPECT_EQ(Locale::current().identifier(), "nl_NL");
        EXPECT_EQ(Locale::current().languageCode(), "nl");
    }
    EXPECT_EQ(TimeZone::current(), system);
    EXPECT_FALSE(TimeZone::current().identifier().empty());
    EXPECT_FALSE(Locale::current().identifier().empty());
}
