#include <gtest/gtest.h>

#include <algorithm>

#include "foundation/Calendar.h"
#include "foundation/TimeZone.h"
#include "reminders/ReminderScheduler.h"

namespace {

using reminders::SystemdUserTimers;

foundation::Date may7At1900Utc() {
    foundation::Calendar utcCalendar(foundation::Locale("en_US_POSIX"), foundation::TimeZone::utc());
    foundation::DateComponents components;
    components.year = 2023;
    components.month = 5;
    components.day = 7;
    components.hour = 19;
    components.minute = 0;
    return *utcCalendar.date(components);
}

bool has(const std::vector<std::string>& arguments, const std::string& argument) {
    return std::find(arguments.begin(), arguments.end(), argument) != arguments.end();
}

TEST(SystemdUserTimers, aReminderIsATransientUserTimerAtItsUtcTimeThatRetriesItsCommand) {
    foundation::TimeZone::setCurrent(foundation::TimeZone::named("Asia/Tokyo"));
    auto arguments = SystemdUserTimers::scheduleCommand("sorvane-reminder-1", may7At1900Utc(),
                                                        {"sorvane", "--deliver-reminders", "my data/pending.json"});
    foundation::TimeZone::setCurrent(std::nullopt);
    ASSERT_GE(arguments.size(), 4u);
    EXPECT_EQ(arguments[0], "systemd-run");
    EXPECT_TRUE(has(arguments, "--user"));
    EXPECT_TRUE(has(arguments, "--unit=sorvane-reminder-1"));
    EXPECT_TRUE(has(arguments, "--on-calendar=2023-05-07 19:00:00 UTC")) << "whatever the device's zone";
    EXPECT_TRUE(has(arguments, "--timer-property=RemainAfterElapse=no")) << "gone once it has fired";
    EXPECT_TRUE(has(arguments, "--property=Restart=on-failure")) << "a delivery that failed runs again";
    // The command follows "--" untouched, a path with a blank as one argument.
    auto separator = std::find(arguments.begin(), arguments.end(), "--");
    ASSERT_NE(separator, arguments.end());
    EXPECT_EQ(std::vector<std::string>(separator + 1, arguments.end()),
              (std::vector<std::string>{"sorvane", "--deliver-reminders", "my data/pending.json"}));

    EXPECT_EQ(SystemdUserTimers::unscheduleCommand("sorvane-reminder-1"),
              (std::vector<std::string>{"systemctl", "--user", "--quiet", "stop", "sorvane-reminder-1.timer"}));
    EXPECT_EQ(SystemdUserTimers::isScheduledCommand("sorvane-reminder-1").back(), "sorvane-reminder-1.timer");
}

// Asks the machine's own user service manager, without scheduling anything on it.
TEST(SystemdUserTimers, withAUserSessionAUnitNeverMadeIsNotScheduledAndRemovingItIsNoError) {
    SystemdUserTimers timers;
    if (auto reachable = timers.available(); !reachable) {
        GTEST_SKIP() << "this machine has no user session: " << reachable.error().message;
    }
    EXPECT_FALSE(timers.isScheduled("sorvane-reminder-never-made"));
    EXPECT_TRUE(timers.unschedule("sorvane-reminder-never-made"));
}

}  // namespace
