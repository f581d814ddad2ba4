#include <gtest/gtest.h>

#include "foundation/NotificationCenter.h"
#include "ui/Application.h"
#include "ui/MemoryPressureMonitor.h"

namespace ui {
namespace {

std::string pressure(double some10) {
    return "some avg10=" + std::to_string(some10) + " avg60=0.00 avg300=0.00 total=12\n"
           "full avg10=0.00 avg60=0.00 avg300=0.00 total=3\n";
}

TEST(MemoryPressureMonitorTest, readsTheTenSecondAverageOfTheSomeLine) {
    EXPECT_EQ(MemoryPressureMonitor::someAverage10(pressure(12.5)), 12.5);
    EXPECT_EQ(MemoryPressureMonitor::someAverage10("full avg10=50.00\nsome avg10=0.25 avg60=1.00\n"), 0.25);
    EXPECT_FALSE(MemoryPressureMonitor::someAverage10(""));
    EXPECT_FALSE(MemoryPressureMonitor::someAverage10("full avg10=50.00\n"));
    EXPECT_FALSE(MemoryPressureMonitor::someAverage10("some avg10=x avg60=1.00"));
    EXPECT_FALSE(MemoryPressureMonitor::someAverage10("some avg10=-3"));
}

TEST(MemoryPressureMonitorTest, warnsOncePerRiseAndAgainOnlyAfterThePressureFell) {
    std::optional<std::string> reading;
    int warnings = 0;
    auto observer = std::make_shared<int>();
    foundation::NotificationCenter::defaultCenter().addObserver(
        std::weak_ptr<void>(observer), Application::didReceiveMemoryWarningNotification,
        [&](const foundation::Notification&) { ++warnings; });
    MemoryPressureMonitor monitor([&] { return reading; }, 10);

    EXPECT_FALSE(monitor.poll());  // no reading at all: nothing
    reading = pressure(3);
    EXPECT_FALSE(monitor.poll());
    reading = pressure(10);
    EXPECT_TRUE(monitor.poll());
    reading = pressure(40);
    EXPECT_FALSE(monitor.poll());  // still the same rise
    reading = pressure(6);
    EXPECT_FALSE(monitor.poll());  // above half the threshold: not re-armed
    reading = pressure(20);
    EXPECT_FALSE(monitor.poll());
    reading = pressure(4.9);
    EXPECT_FALSE(monitor.poll());
    reading = pressure(11);
    EXPECT_TRUE(monitor.poll());
    reading = "garbage";
    EXPECT_FALSE(monitor.poll());
    EXPECT_EQ(warnings, 2);
}

}  // namespace
}  // namespace ui
