#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "foundation/Clock.h"
#include "foundation/Data.h"

using namespace foundation;

TEST(Clock, ManualClockDrivesDateNowUntilRestored) {
    auto clock = std::make_shared<ManualClock>(Date{700000000});
    Clock::setCurrent(clock);
    EXPECT_EQ(Clock::current(), clock);
    EXPECT_EQ(Date::now().timeIntervalSinceReferenceDate, 700000000);
    clock->advance(2.5);
    EXPECT_EQ(Date::now().timeIntervalSinceReferenceDate, 700000002.5);
    EXPECT_EQ(clock->uptime(), 2.5);
    Clock::setCurrent(nullptr);
    EXPECT_GT(Date::now().timeIntervalSinceReferenceDate, 800000000);  // any real "now" is after 2026
    EXPECT_NE(dynamic_cast<SystemClock*>(Clock::current().get()), nullptr);
}

TEST(ClockDeathTest, StaysReadableFromOtherThreadsWhileTheProcessExits) {
    EXPECT_EXIT(
        {
            static std::atomic<bool> reading = false;
            std::thread([] {
                for (;;) {
                    (void)Clock::current()->uptime();
                    reading = true;
                }
            }).detach();
            while (!reading) std::this_thread::yield();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(Clock, TheSystemClocksNowIsTheWallClock) {
    const double before = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    const Date now = Date::now();
    const Date fromClock = Clock::current()->now();
    const double after = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_GE(now.timeIntervalSince1970(), before - 1e-6);
    EXPECT_LE(now.timeIntervalSince1970(), after + 1e-6);
    EXPECT_GE(fromClock, now);
}

TEST(Clock, DateConvertsBetweenReferenceAndUnixEpochs) {
    Date date = Date::fromUnix(978307200);
    EXPECT_EQ(date.timeIntervalSinceReferenceDate, 0);
    EXPECT_EQ(Date{86400}.timeIntervalSince1970(), 978393600);
    EXPECT_LT(Date::distantPast(), Date{});
    EXPECT_GT(Date::distantFuture(), Date{});
}

TEST(Data, SubdataClampsToTheBytesThatExist) {
    Data data = Data::fromString("abcdef");
    EXPECT_EQ(data.subdata(2, 3).toString(), "cde");
    EXPECT_EQ(data.subdata(4, 100).toString(), "ef");
    EXPECT_TRUE(data.subdata(9, 1).empty());
}
