#include <gtest/gtest.h>

#include "foundation/Locale.h"
#include "foundation/TimeZone.h"
#include "shell/PosixFormatter.h"

namespace {

class PosixFormatterTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A device in Bangkok on the Buddhist calendar with Thai digits, in Thai.
        foundation::TimeZone::setCurrent(foundation::TimeZone::named("Asia/Bangkok"));
        foundation::Locale::setCurrent(foundation::Locale("th_TH@calendar=buddhist;numbers=thai"));
    }
    void TearDown() override {
        foundation::TimeZone::setCurrent(std::nullopt);
        foundation::Locale::setCurrent(std::nullopt);
    }
};

TEST_F(PosixFormatterTest, datesReadAndWriteTheSameWhateverTheDevicesLanguageAndCalendar) {
    auto utc = posixFormatter("yyyy-MM-dd HH:mm:ssZ", foundation::TimeZone::utc());
    auto start = utc.date("2023-04-30 11:00:00Z");
    ASSERT_TRUE(start);
    EXPECT_EQ(utc.string(*start), "2023-04-30 11:00:00+0000");
    EXPECT_EQ(posixFormatter("EEEE, dd LLL yyyy", foundation::TimeZone::utc()).string(*start), "Sunday, 30 Apr 2023");

    // Without a zone the device's is used: Bangkok is seven hours east.
    EXPECT_EQ(posixFormatter("HH:mm").string(*start), "18:00");
    auto midnight = posixFormatter("yyyy-MM-dd").date("2023-04-30");
    ASSERT_TRUE(midnight);
    EXPECT_EQ(start->timeIntervalSince(*midnight), 18 * 3600.0);

    EXPECT_FALSE(posixFormatter("yyyy-MM-dd").date("30/04/2023"));
}

}  // namespace
