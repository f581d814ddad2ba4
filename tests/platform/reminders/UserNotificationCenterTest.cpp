#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <cstdlib>
#include <random>

#include "dispatch/RunLoop.h"
#include "foundation/Clock.h"
#include "foundation/TimeZone.h"
#include "reminders/UserNotificationCenter.h"

namespace {

using reminders::NotificationRequest;
using reminders::UserNotificationCenter;

foundation::Date utc(int year, int month, int day, int hour, int minute) {
    foundation::Calendar utcCalendar(foundation::Locale("en_US_POSIX"), foundation::TimeZone::utc());
    foundation::DateComponents components;
    components.year = year;
    components.month = month;
    components.day = day;
    components.hour = hour;
    components.minute = minute;
    return *utcCalendar.date(components);
}

// A request firing at `fire`, its components taken in the device's zone as the app takes them.
NotificationRequest reminderAt(std::string identifier, foundation::Date fire) {
    NotificationRequest request;
    request.identifier = std::move(identifier);
    request.content = {.title = "Miami Grand Prix",
                       .subtitle = "Miami International Autodrome, Miami, USA",
                       .body = "Race starting in 30 minutes",
                       .defaultSound = true,
                       .categoryIdentifier = "Miami International Autodrome",
                       .userInfo = {{"circuit", "Miami International Autodrome"}}};
    auto calendar = foundation::Calendar::current();
    using C = foundation::CalendarComponent;
    request.trigger.dateComponents = calendar.dateComponents({C::year, C::month, C::day, C::hour, C::minute}, fire);
    return request;
}

class Reminders : public ::testing::Test {
protected:
    void SetUp() override {
        foundation::TimeZone::setCurrent(foundation::TimeZone::named("Asia/Tokyo"));
        foundation::Clock::setCurrent(clock);
        store = std::filesystem::temp_directory_path() / ("sorvane-reminders-" + std::to_string(std::random_device{}())) / "pending.json";
    }
    void TearDown() override {
        center.reset();
        std::filesystem::remove_all(store.parent_path());
        foundation::Clock::setCurrent(nullptr);
        foundation::TimeZone::setCurrent(std::nullopt);
    }
    std::shared_ptr<UserNotificationCenter> makeCenter(reminders::AuthorizationAnswer answer = reminders::AuthorizationAnswer::granted) {
        return UserNotificationCenter::make({.storeFile = store, .presenter = presenter, .authorization = answer});
    }
    std::optional<reminders::ReminderError> addAndWait(const NotificationRequest& request) {
        std::promise<std::optional<reminders::ReminderError>> done;
        center->add(request, [&](std::optional<reminders::ReminderError> error) { done.set_value(error); });
        return done.get_future().get();
    }

    std::shared_ptr<foundation::ManualClock> clock = std::make_shared<foundation::ManualClock>(utc(2023, 4, 30, 11, 20), 100);
    std::shared_ptr<reminders::RecordingNotificationPresenter> presenter = std::make_shared<reminders::RecordingNotificationPresenter>();
    std::filesystem::path store;
    std::shared_ptr<UserNotificationCenter> center;
};

TEST_F(Reminders, pendingRequestsOutliveTheCenterAndOneIdentifierHoldsOneRequest) {
    center = makeCenter();
    EXPECT_FALSE(addAndWait(reminderAt("miami-2023-5", utc(2023, 5, 7, 19, 0))));
    EXPECT_FALSE(addAndWait(reminderAt("miami-2023-5", utc(2023, 5, 7, 19, 0).addingTimeInterval(1800))));
    EXPECT_FALSE(addAndWait(reminderAt("monaco-2023-7", utc(2023, 5, 28, 12, 30))));
    ASSERT_EQ(center->pendingNotificationRequests().size(), 2u);

    center = makeCenter();
    auto pending = center->pendingNotificationRequests();
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[0].identifier, "miami-2023-5");
    EXPECT_EQ(pending[0].content, reminderAt("x", utc(2023, 5, 7, 19, 30)).content);
    EXPECT_EQ(pending[0].trigger.dateComponents.hour, 4) << "19:30 UTC is 04:30 in Tokyo";
    EXPECT_EQ(pending[0].trigger.dateComponents.minute, 30);

    center->removePendingNotificationRequests({"miami-2023-5", "not-there"});
    EXPECT_EQ(makeCenter()->pendingNotificationRequests().size(), 1u);
}

TEST_F(Reminders, aTimeThatHasPassedIsRefusedWithAReason) {
    center = makeCenter();
    auto error = addAndWait(reminderAt("baku-2023-4", utc(2023, 4, 30, 11, 0)));
    ASSERT_TRUE(error);
    EXPECT_NE(error->message.find("already passed"), std::string::npos);
    EXPECT_TRUE(center->pendingNotificationRequests().empty());
    EXPECT_FALSE(std::filesystem::exists(store));
}

TEST_F(Reminders, aDueReminderIsShownOnceByTheRunLoopAndLeavesThePendingList) {
    center = makeCenter();
    ASSERT_FALSE(addAndWait(reminderAt("miami-2023-5", utc(2023, 4, 30, 11, 25))));
    clock->advance(4 * 60);
    dispatch::RunLoop::main()->runOnce();
    EXPECT_TRUE(presenter->presented().empty());
    clock->advance(60);
    dispatch::RunLoop::main()->runOnce();
    ASSERT_EQ(presenter->presented().size(), 1u);
    EXPECT_EQ(presenter->presented()[0].content.userInfo.at("circuit"), "Miami International Autodrome");
    EXPECT_TRUE(center->pendingNotificationRequests().empty());
    EXPECT_EQ(center->deliveredNotifications().size(), 1u);
    clock->advance(60);
    dispatch::RunLoop::main()->runOnce();
    EXPECT_EQ(presenter->presented().size(), 1u);
    EXPECT_TRUE(makeCenter()->pendingNotificationRequests().empty()) << "delivered is no longer pending on disk";
}

TEST_F(Reminders, aRequestDueWhileTheAppWasClosedIsShownAtTheNextStart) {
    center = makeCenter();
    ASSERT_FALSE(addAndWait(reminderAt("miami-2023-5", utc(2023, 4, 30, 12, 0))));
    center.reset();
    clock->advance(3 * 3600);
    center = makeCenter();
    dispatch::RunLoop::main()->runOnce();
    clock->advance(1);
    dispatch::RunLoop::main()->runOnce();
    EXPECT_EQ(presenter->presented().size(), 1u);
}

TEST_F(Reminders, oneMalformedRequestLosesOnlyItselfAndAnUnreadableFileIsKeptAside) {
    std::filesystem::create_directories(store.parent_path());
    std::ofstream(store) << R"({"requests":[{"identifier":"a","content":{"title":"A"},"trigger":{"fireDate":1683487800}},
        {"identifier":"b","content":7},{"content":{},"trigger":{"fireDate":1}},
        {"identifier":"c","content":{"body":"C","userInfo":{"circuit":"X","n":3}},"trigger":{"fireDate":1683487800}}]})";
    center = makeCenter();
    auto pending = center->pendingNotificationRequests();
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[0].content.title, "A");
    EXPECT_EQ(pending[1].content.userInfo, (std::map<std::string, std::string>{{"circuit", "X"}}));

    std::ofstream(store) << "{ not json";
    center = makeCenter();
    EXPECT_TRUE(center->pendingNotificationRequests().empty());
    auto aside = store;
    aside += ".unreadable";
    EXPECT_TRUE(std::filesystem::exists(aside));
}

TEST_F(Reminders, authorisationFollowsTheConfiguredAnswer) {
    for (auto answer : {reminders::AuthorizationAnswer::granted, reminders::AuthorizationAnswer::denied}) {
        center = makeCenter(answer);
        std::promise<bool> granted;
        center->requestAuthorization([&](bool yes, std::optional<reminders::ReminderError>) { granted.set_value(yes); });
        EXPECT_EQ(granted.get_future().get(), answer == reminders::AuthorizationAnswer::granted);
    }
}

}  // namespace

namespace {

TEST(DesktopNotifications, withoutANotificationServiceTheFailureIsReportedNotThrown) {
    const char* saved = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    std::string previous = saved ? saved : "";
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/sorvane-test-bus", 1);
    reminders::DesktopNotificationPresenter presenter;
    reminders::NotificationRequest request;
    request.identifier = "x";
    request.content.title = "Miami Grand Prix";
    auto shown = presenter.present(request);
    if (saved) setenv("DBUS_SESSION_BUS_ADDRESS", previous.c_str(), 1);
    else unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ASSERT_FALSE(shown);
    EXPECT_NE(shown.error().message.find("could not"), std::string::npos) << shown.error().message;
}

}  // namespace
