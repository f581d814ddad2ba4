#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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

foundation::Date utc(int year, int month, int day, int hour, int minute, int second = 0) {
    foundation::Calendar utcCalendar(foundation::Locale("en_US_POSIX"), foundation::TimeZone::utc());
    foundation::DateComponents components;
    components.year = year;
    components.month = month;
    components.day = day;
    components.hour = hour;
    components.minute = minute;
    components.second = second;
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

// A request for a session starting at `start`, made `lead` seconds before it as the app makes it.
NotificationRequest announcing(std::string identifier, foundation::Date start, double lead) {
    std::string name = identifier == "race" ? "Race" : "Qualifying";
    NotificationRequest request = reminderAt(std::move(identifier), start.addingTimeInterval(-lead));
    request.content.body = reminders::startingText(name, lead);
    request.announces = reminders::AnnouncedStart{name, start};
    return request;
}

// Fails the first `failures` times it is asked, as a notification service that is not there yet.
class FailingPresenter final : public reminders::NotificationPresenter {
public:
    explicit FailingPresenter(int failures) : failures_(failures) {}
    std::expected<void, reminders::ReminderError> present(const NotificationRequest& request) override {
        std::lock_guard lock(mutex_);
        if (attempts_++ < failures_) return std::unexpected(reminders::ReminderError{"no notification service"});
        shown_.push_back(request);
        return {};
    }
    int attempts() const {
        std::lock_guard lock(mutex_);
        return attempts_;
    }
    std::vector<NotificationRequest> shown() const {
        std::lock_guard lock(mutex_);
        return shown_;
    }

private:
    mutable std::mutex mutex_;
    int failures_;
    int attempts_ = 0;
    std::vector<NotificationRequest> shown_;
};

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
    std::shared_ptr<UserNotificationCenter> makeCenterWith(std::shared_ptr<reminders::ReminderScheduler> scheduler) {
        return UserNotificationCenter::make({.storeFile = store,
                                             .presenter = presenter,
                                             .scheduler = std::move(scheduler),
                                             .deliveryCommand = {"sorvane", "--deliver-reminders"}});
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

TEST_F(Reminders, aReminderDueWhileTheAppWasClosedTellsTheTimeTrulyLeftAndOneWhoseSessionBeganIsDropped) {
    center = makeCenter();
    ASSERT_FALSE(addAndWait(announcing("qualifying", utc(2023, 4, 30, 12, 0), 1800)));
    ASSERT_FALSE(addAndWait(announcing("race", utc(2023, 4, 30, 13, 0), 1800)));
    center.reset();

    clock->set(utc(2023, 4, 30, 12, 40));
    center = makeCenter();
    EXPECT_EQ(center->pendingNotificationRequests().size(), 1u) << "qualifying began 40 minutes ago: dropped at start";
    clock->advance(1);
    dispatch::RunLoop::main()->runOnce();
    ASSERT_EQ(presenter->presented().size(), 1u);
    EXPECT_EQ(presenter->presented()[0].identifier, "race");
    EXPECT_EQ(presenter->presented()[0].content.body, "Race starting in 20 minutes") << "not the 30 minutes it was made with";
    EXPECT_TRUE(makeCenter()->pendingNotificationRequests().empty());
}

TEST_F(Reminders, aReminderLateByLessThanTheGraceSaysItsSessionHasBegun) {
    center = makeCenter();
    ASSERT_FALSE(addAndWait(announcing("race", utc(2023, 4, 30, 12, 30), 3600)));
    clock->set(utc(2023, 4, 30, 12, 33));
    EXPECT_TRUE(center->deliverDueNotifications());
    ASSERT_EQ(presenter->presented().size(), 1u);
    EXPECT_EQ(presenter->presented()[0].content.body, "Race started 3 minutes ago");
}

TEST_F(Reminders, aReminderThatCouldNotBeShownStaysPendingAndIsTriedAgain) {
    auto failing = std::make_shared<FailingPresenter>(2);
    center = UserNotificationCenter::make({.storeFile = store, .presenter = failing});
    ASSERT_FALSE(addAndWait(announcing("race", utc(2023, 4, 30, 12, 0), 1800)));
    clock->set(utc(2023, 4, 30, 11, 30));
    EXPECT_FALSE(center->deliverDueNotifications());
    EXPECT_EQ(center->pendingNotificationRequests().size(), 1u);
    EXPECT_EQ(makeCenter()->pendingNotificationRequests().size(), 1u) << "still pending on disk";

    clock->advance(UserNotificationCenter::retryDelay - 1);
    EXPECT_TRUE(center->deliverDueNotifications()) << "not tried again before the delay";
    EXPECT_EQ(failing->attempts(), 1);
    clock->advance(1);
    EXPECT_FALSE(center->deliverDueNotifications());
    clock->advance(UserNotificationCenter::retryDelay);
    EXPECT_TRUE(center->deliverDueNotifications());
    ASSERT_EQ(failing->shown().size(), 1u);
    EXPECT_EQ(failing->shown()[0].content.body, "Race starting in 29 minutes");
    EXPECT_TRUE(center->pendingNotificationRequests().empty());
}

// Where the desktop cannot show it, the fallback (the app's window) does at once: shown, not pending.
TEST_F(Reminders, aReminderTheDesktopCannotShowIsShownByTheFallback) {
    auto failing = std::make_shared<FailingPresenter>(1000);
    center = UserNotificationCenter::make({.storeFile = store, .presenter = failing, .fallback = presenter});
    ASSERT_FALSE(addAndWait(announcing("race", utc(2023, 4, 30, 12, 0), 1800)));
    clock->set(utc(2023, 4, 30, 11, 30));
    EXPECT_TRUE(center->deliverDueNotifications());
    EXPECT_EQ(failing->attempts(), 1);
    ASSERT_EQ(presenter->presented().size(), 1u);
    EXPECT_EQ(presenter->presented()[0].content.body, "Race starting in 30 minutes");
    EXPECT_TRUE(center->pendingNotificationRequests().empty());
    EXPECT_EQ(center->deliveredNotifications().size(), 1u);
}

TEST_F(Reminders, aReminderGoesToTheServiceManagerAndItsScheduleLeavesWithIt) {
    auto timers = std::make_shared<reminders::RecordingReminderScheduler>();
    center = makeCenterWith(timers);
    ASSERT_FALSE(addAndWait(announcing("race", utc(2023, 5, 7, 19, 30), 1800)));
    auto scheduled = timers->scheduled();
    ASSERT_EQ(scheduled.size(), 1u);
    EXPECT_EQ(scheduled[0].fireDate, utc(2023, 5, 7, 19, 0));
    EXPECT_EQ(scheduled[0].command, (std::vector<std::string>{"sorvane", "--deliver-reminders", store.string()}));
    EXPECT_TRUE(center->isScheduledWithServiceManager("race"));
    EXPECT_TRUE(makeCenterWith(timers)->isScheduledWithServiceManager("race")) << "the unit is kept with the request";

    // A new time for the same reminder replaces its schedule.
    ASSERT_FALSE(addAndWait(announcing("race", utc(2023, 5, 7, 19, 30), 3600)));
    ASSERT_EQ(timers->scheduled().size(), 1u);
    EXPECT_EQ(timers->scheduled()[0].fireDate, utc(2023, 5, 7, 18, 30));
    EXPECT_EQ(timers->unscheduled(), std::vector<std::string>{scheduled[0].unit});

    center->removePendingNotificationRequests({"race"});
    EXPECT_TRUE(timers->scheduled().empty());
    EXPECT_EQ(timers->unscheduled().size(), 2u);
}

TEST_F(Reminders, whatTheServiceManagerLostIsGivenAgainAtStartAndWithoutItTheAppDelivers) {
    auto timers = std::make_shared<reminders::RecordingReminderScheduler>();
    center = makeCenterWith(timers);
    ASSERT_FALSE(addAndWait(announcing("race", utc(2023, 4, 30, 12, 0), 1800)));
    auto unit = timers->scheduled().at(0).unit;
    center.reset();
    timers->forgetAll();  // the machine restarted
    center = makeCenterWith(timers);
    ASSERT_EQ(timers->scheduled().size(), 1u);
    EXPECT_EQ(timers->scheduled()[0].unit, unit);

    // No user session bus: the reminder stays with the app, which shows it while it runs.
    auto unreachable = std::make_shared<reminders::RecordingReminderScheduler>(false);
    center = makeCenterWith(unreachable);
    ASSERT_FALSE(addAndWait(announcing("qualifying", utc(2023, 4, 30, 11, 51), 1800)));
    EXPECT_FALSE(center->isScheduledWithServiceManager("qualifying"));
    EXPECT_TRUE(unreachable->scheduled().empty());
    clock->set(utc(2023, 4, 30, 11, 21));
    dispatch::RunLoop::main()->runOnce();
    clock->advance(1);
    dispatch::RunLoop::main()->runOnce();
    ASSERT_EQ(presenter->presented().size(), 1u);
    EXPECT_EQ(presenter->presented()[0].content.body, "Qualifying starting in 30 minutes");
}

TEST_F(Reminders, centresSharingTheStoreNeitherUndoEachOtherNorShowAReminderTwice) {
    center = makeCenter();
    auto other = makeCenter();  // the service manager's delivery, or a second app
    ASSERT_FALSE(addAndWait(announcing("race", utc(2023, 4, 30, 12, 0), 1800)));
    std::promise<std::optional<reminders::ReminderError>> added;
    other->add(announcing("qualifying", utc(2023, 4, 30, 13, 0), 1800), [&](auto error) { added.set_value(error); });
    ASSERT_FALSE(added.get_future().get());
    EXPECT_EQ(center->pendingNotificationRequests().size(), 2u) << "the other's reminder is not overwritten";

    clock->set(utc(2023, 4, 30, 11, 30));
    EXPECT_TRUE(other->deliverDueNotifications());
    EXPECT_TRUE(center->deliverDueNotifications());
    EXPECT_EQ(presenter->presented().size(), 1u);
    center->removePendingNotificationRequests({"race"});
    EXPECT_EQ(other->pendingNotificationRequests().size(), 1u);
}

TEST_F(Reminders, theRunLoopDoesNotWaitForAStoreAnotherProcessHolds) {
    center = makeCenter();
    ASSERT_FALSE(addAndWait(reminderAt("race", utc(2023, 4, 30, 11, 21))));
    auto lockFile = store;
    lockFile += ".lock";
    int held = ::open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    clock->set(utc(2023, 4, 30, 11, 21));
    clock->advance(1);
    dispatch::RunLoop::main()->runOnce();
    EXPECT_TRUE(presenter->presented().empty());
    ::close(held);
    clock->advance(1);
    dispatch::RunLoop::main()->runOnce();
    EXPECT_EQ(presenter->presented().size(), 1u) << "the next tick after the other let go";
}

TEST(ReminderWording, saysTheTimeLeftToTheNearestMinute) {
    using reminders::startingText;
    EXPECT_EQ(startingText("Race", 3600), "Race starting in 1 hour");
    EXPECT_EQ(startingText("Race", 7200), "Race starting in 2 hours");
    EXPECT_EQ(startingText("Race", 1800), "Race starting in 30 minutes");
    EXPECT_EQ(startingText("Race", 1799.2), "Race starting in 30 minutes");
    EXPECT_EQ(startingText("Race", 65), "Race starting in 1 minute");
    EXPECT_EQ(startingText("Race", 20), "Race starting now");
    EXPECT_EQ(startingText("Race", -20), "Race starting now");
    EXPECT_EQ(startingText("Race", -60), "Race started 1 minute ago");
    EXPECT_EQ(startingText("Race", -4 * 60), "Race started 4 minutes ago");
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
