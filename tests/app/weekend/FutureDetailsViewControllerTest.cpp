#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "RefusingOpener.h"
#include "calendar/EventEditViewController.h"
#include "cells/EventPickerCell.h"
#include "cells/RemindersCell.h"
#include "cells/TicketsCell.h"
#include "cells/WeekendCell.h"
#include "ui/Application.h"
#include "cells/DetailHeaderCell.h"
#include "foundation/DateFormatter.h"
#include "live/SheetTestSupport.h"
#include "weekend/FutureDetailsViewController.h"
#include "weekend/SelectedSession.h"

namespace {

foundation::Date instant(const char* iso) {
    foundation::DateFormatter formatter;
    formatter.setLocale(foundation::Locale("en_US_POSIX"));
    formatter.setTimeZone(foundation::TimeZone::utc());
    formatter.setDateFormat("yyyy-MM-dd'T'HH:mm:ssZ");
    return *formatter.date(iso);
}

// The upcoming Miami weekend (round 5) of the offline season, seen on 30 April 2023 at 11:20 UTC, with
// a calendar folder and reminders of its own.
class UpcomingWeekend : public sheettest::OfflineSheet {
protected:
    void SetUp() override {
        OfflineSheet::SetUp();
        scratch = std::filesystem::temp_directory_path() / ("sorvane-upcoming-" + std::to_string(std::random_device{}()));
        center = reminders::UserNotificationCenter::make({.storeFile = scratch / "pending.json", .presenter = shown});
        reminders::UserNotificationCenter::setCurrent(center);
        calendar::EventStore::setAccessAnswer(calendar::AccessAnswer::granted);
    }
    void TearDown() override {
        OfflineSheet::TearDown();
        calendar::EventStore::setAccessAnswer(calendar::AccessAnswer::granted);
        std::filesystem::remove_all(scratch);
    }

    std::shared_ptr<FutureDetailsViewController> open(const RacesDetailsModel& race, int round = 5) {
        auto screen = std::make_shared<FutureDetailsViewController>();
        screen->races = {race};
        screen->year = "2023";
        screen->raceRound = round;
        screen->eventStore = std::make_shared<calendar::EventStore>(scratch / "calendar");
        present(screen);
        return screen;
    }
    std::shared_ptr<FutureDetailsViewController> openMiami() { return open(race(5)); }

    static std::string countdownShown(FutureDetailsViewController& screen) {
        auto picker = rowOf<EventPickerCell>(screen, *screen.tableView[0], 1, 0);
        return picker ? picker->title->text() : "";
    }
    static void pick(FutureDetailsViewController& screen, int index) {
        auto picker = rowOf<EventPickerCell>(screen, *screen.tableView[0], 1, 0);
        ASSERT_TRUE(picker && picker->event->menu());
        const auto& action = picker->event->menu()->children.at(index);
        action.handler(action);
    }
    static std::vector<std::string> schedule(FutureDetailsViewController& screen) {
        std::vector<std::string> rows;
        for (int row = 1; row <= 5; ++row) {
            auto cell = rowOf<WeekendCell>(screen, *screen.tableView[0], 5, row);
            rows.push_back(cell->event->text() + " " + cell->day->text() + " " + cell->month->text() + " " + cell->time->text());
        }
        return rows;
    }
    bool alertsCardOffersRemoval(FutureDetailsViewController& screen) {
        return rowOf<RemoveRemindersCell>(screen, *screen.tableView[0], 3, 0) != nullptr;
    }

    std::filesystem::path scratch;
    std::shared_ptr<reminders::RecordingNotificationPresenter> shown = std::make_shared<reminders::RecordingNotificationPresenter>();
    std::shared_ptr<reminders::UserNotificationCenter> center;
};

TEST_F(UpcomingWeekend, theCountdownRunsToTheSessionsRealStartAcrossDaysAndHours) {
    auto screen = openMiami();
    auto header = rowOf<DetailHeaderCell>(*screen, *screen->tableView[0], 0, 0);
    EXPECT_EQ(header->time->text(), "Round 5 Starting at 21:30, on 07 May") << "19:30 UTC in Amsterdam";
    clock->set(instant("2023-04-30T11:20:00Z"));
    screen->tableView[0]->reloadData();
    EXPECT_EQ(countdownShown(*screen), "In 7d, 8h, 10m, 0s");

    clock->advance(1);
    host.renderIfNeeded();
    host.renderIfNeeded();
    EXPECT_EQ(countdownShown(*screen), "In 7d, 8h, 9m, 59s") << "the timer rewrites it every second";

    clock->set(instant("2023-04-30T11:20:01Z"));
    pick(*screen, 1);
    EXPECT_EQ(countdownShown(*screen), "In 6d, 8h, 39m, 59s") << "qualifying, 20:00 UTC on 6 May";
    clock->set(instant("2023-05-06T18:59:30Z"));
    EXPECT_EQ(screen->countdownText(), "In 0d, 1h, 0m, 30s");
    clock->set(instant("2023-05-06T20:30:39Z"));
    EXPECT_EQ(screen->countdownText(), "Under way") << "never a negative countdown";
    clock->set(instant("2023-05-06T21:05:03Z"));
    EXPECT_EQ(screen->countdownText(), "Finished");

    clock->set(instant("2023-04-30T11:20:00Z"));
    pick(*screen, 4);
    EXPECT_EQ(countdownShown(*screen), "In 5d, 6h, 40m, 0s") << "Practice 1, 18:00 UTC on 5 May";
    EXPECT_EQ(rowOf<RemindersCell>(*screen, *screen->tableView[0], 3, 0)->infoTitle->text(), "Practice 1 Alerts");
}

TEST_F(UpcomingWeekend, theCountdownTimerStopsWhenTheScreenGoes) {
    auto screen = openMiami();
    auto timer = screen->timer;
    ASSERT_TRUE(timer->isValid());
    screen->dismiss(false);
    settle();
    EXPECT_FALSE(timer->isValid()) << "stopped when the screen disappeared";

    // A screen released without ever disappearing: its timer stops at its next tick.
    auto unshown = std::make_shared<FutureDetailsViewController>();
    unshown->races = {race(5)};
    unshown->loadViewIfNeeded();
    auto running = unshown->timer;
    ASSERT_TRUE(running->isValid());
    std::weak_ptr<FutureDetailsViewController> gone = unshown;
    unshown.reset();
    EXPECT_TRUE(gone.expired()) << "the timer does not hold the screen";
    clock->advance(1);
    host.renderIfNeeded();
    host.renderIfNeeded();
    EXPECT_FALSE(running->isValid());
}

TEST_F(UpcomingWeekend, theScheduleIsListedInTheDevicesZoneLatestFirst) {
    auto screen = openMiami();
    EXPECT_EQ(schedule(*screen), (std::vector<std::string>{
                                     "Race 07 May 21:30, Sunday",
                                     "Qualifying 06 May 22:00, Saturday",
                                     "Practice 3 06 May 18:30, Saturday",
                                     "Practice 2 05 May 23:30, Friday",
                                     "Practice 1 05 May 20:00, Friday",
                                 }));
    screen->dismiss(false);
    settle();

    foundation::TimeZone::setCurrent(foundation::TimeZone::named("Asia/Tokyo"));
    screen = openMiami();
    EXPECT_EQ(schedule(*screen), (std::vector<std::string>{
                                     "Race 08 May 04:30, Monday",
                                     "Qualifying 07 May 05:00, Sunday",
                                     "Practice 3 07 May 01:30, Sunday",
                                     "Practice 2 06 May 06:30, Saturday",
                                     "Practice 1 06 May 03:00, Saturday",
                                 }));
    auto header = rowOf<DetailHeaderCell>(*screen, *screen->tableView[0], 0, 0);
    EXPECT_EQ(header->time->text(), "Round 5 Starting at 04:30, on 08 May") << "the day of the local start";
}

TEST_F(UpcomingWeekend, oneRuleTellsPractice3FromTheSprintForItsNameAndItsTime) {
    RacesDetailsModel baku = race(4);
    EXPECT_EQ(weekend::selectedSession(baku, 2).name, "Sprint");
    EXPECT_EQ(weekend::selectedSessionStart(baku, 2), instant("2023-04-29T13:30:00Z"));

    // A third practice with a time but no date: neither named "Practice 3" nor dated by the sprint's
    // clock under that name.
    RacesDetailsModel odd = race(5);
    odd.thirdPractice = dateTimeModel{std::nullopt, "16:30:00Z"};
    odd.sprint = dateTimeModel{"2023-05-06", "17:00:00Z"};
    EXPECT_EQ(weekend::selectedSession(odd, 2).name, "Sprint");
    EXPECT_EQ(weekend::selectedSessionStart(odd, 2), instant("2023-05-06T17:00:00Z"));
    auto screen = open(odd);
    EXPECT_EQ(rowOf<EventPickerCell>(*screen, *screen->tableView[0], 1, 0)->event->menu()->children[2].title, "Sprint");
    EXPECT_EQ(schedule(*screen)[2], "Sprint 06 May 19:00, Saturday");
}

TEST_F(UpcomingWeekend, addingTheSessionToTheCalendarWritesAnEventThatReadsBack) {
    auto screen = openMiami();
    pick(*screen, 3);
    screen->calendarTap();
    ASSERT_TRUE(waitFor([&] { return screen->presentedViewController() != nullptr; }));
    auto editor = std::dynamic_pointer_cast<calendar::EventEditViewController>(screen->presentedViewController());
    ASSERT_TRUE(editor);
    settle();
    EXPECT_EQ(editor->titleLabel->text(), "Miami Grand Prix Practice 2");
    EXPECT_TRUE(screen->eventStore->events().empty()) << "nothing is saved before Add";

    editor->addButton->sendActions(ui::ControlEvent::touchUpInside);
    settle();
    EXPECT_EQ(screen->presentedViewController(), nullptr);
    auto events = screen->eventStore->events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].title, "Miami Grand Prix Practice 2");
    EXPECT_EQ(events[0].startDate, instant("2023-05-05T21:30:00Z")) << "the session's real start";
    EXPECT_EQ(events[0].endDate, instant("2023-05-06T00:30:00Z"));
    ASSERT_TRUE(events[0].structuredLocation);
    EXPECT_EQ(events[0].structuredLocation->title, "Miami International Autodrome, Miami, USA");
    EXPECT_DOUBLE_EQ(events[0].structuredLocation->latitude, 25.9581);
    EXPECT_DOUBLE_EQ(events[0].structuredLocation->longitude, -80.2389);
    EXPECT_EQ(events[0].structuredLocation->radius, 1000.0);
    EXPECT_EQ(events[0].notes, "Added via Sorvane");

    calendar::EventStore::setAccessAnswer(calendar::AccessAnswer::denied);
    screen->calendarTap();
    clock->advance(0.2);
    waitFor([] { return false; }, 0.2);
    EXPECT_EQ(screen->presentedViewController(), nullptr) << "no sheet without access";
}

TEST_F(UpcomingWeekend, anAddedEventGoesToTheDesktopsCalendarOncePerSessionAndTheCardSaysHowItWent) {
    auto handler = std::make_shared<ui::URLOpenRecorder>();
    ui::setURLOpener(handler);
    auto screen = openMiami();
    pick(*screen, 1);
    auto addThroughTheSheet = [&](bool confirm) {
        screen->calendarOutcome.reset();
        screen->calendarTap();
        ASSERT_TRUE(waitFor([&] { return screen->presentedViewController() != nullptr; }));
        auto editor = std::dynamic_pointer_cast<calendar::EventEditViewController>(screen->presentedViewController());
        ASSERT_TRUE(editor);
        settle();
        (confirm ? editor->addButton : editor->cancelButton)->sendActions(ui::ControlEvent::touchUpInside);
        settle();
        if (confirm) ASSERT_TRUE(waitFor([&] { return screen->calendarOutcome.has_value(); }));
    };
    auto cardSays = [&] { return rowOf<RemindersCell>(*screen, *screen->tableView[0], 3, 0)->infoDescription->text(); };
    std::filesystem::path file = screen->eventStore->fileOf("sorvane-2023-round-5-qualifying");

    addThroughTheSheet(false);
    EXPECT_TRUE(handler->openedDocuments().empty()) << "cancelled: nothing reaches the desktop";

    handler->answerDocumentsWith(ui::DocumentOpenOutcome::noApplication);
    addThroughTheSheet(true);
    EXPECT_EQ(cardSays(), "No calendar application is set up to take Miami Grand Prix Qualifying. The event is kept in " +
                              file.string() + ".");
    handler->answerDocumentsWith(ui::DocumentOpenOutcome::refused);
    addThroughTheSheet(true);
    EXPECT_EQ(cardSays(), "Your calendar application did not take Miami Grand Prix Qualifying. The event is kept in " +
                              file.string() + ".");
    handler->answerDocumentsWith(ui::DocumentOpenOutcome::opened);
    addThroughTheSheet(true);
    EXPECT_EQ(cardSays(), "Added to your calendar: Miami Grand Prix Qualifying.");
    EXPECT_EQ(handler->openedDocuments(), std::vector<std::filesystem::path>(3, file)) << "the saved file itself";
    EXPECT_EQ(screen->eventStore->events().size(), 1u) << "one event for the session however often it was added";

    // Once the desktop took it, a further press offers no second event.
    screen->calendarOutcome.reset();
    screen->calendarTap();
    ASSERT_TRUE(waitFor([&] { return screen->calendarOutcome.has_value(); }));
    EXPECT_EQ(screen->presentedViewController(), nullptr);
    EXPECT_EQ(cardSays(), "Miami Grand Prix Qualifying is already in your calendar.");
    EXPECT_EQ(handler->openedDocuments().size(), 3u);

    pick(*screen, 0);
    EXPECT_EQ(cardSays(), "Add this session to your calendar or be reminded via push notifications");
    addThroughTheSheet(true);
    EXPECT_EQ(screen->eventStore->events().size(), 2u) << "the race is an event of its own";
}

TEST_F(UpcomingWeekend, afterARestartTheCardShowsThePendingReminderAndALateOneTellsTheTruthOrIsDropped) {
    auto restart = [&](std::shared_ptr<reminders::ReminderScheduler> timers = nullptr) {
        center = reminders::UserNotificationCenter::make({.storeFile = scratch / "pending.json",
                                                         .presenter = shown,
                                                         .scheduler = timers,
                                                         .deliveryCommand = {"sorvane", "--deliver-reminders"}});
        reminders::UserNotificationCenter::setCurrent(center);
    };
    auto screen = openMiami();
    auto reopen = [&] {
        screen->dismiss(false);
        settle();
        screen = openMiami();
    };
    auto cardSays = [&] { return rowOf<RemoveRemindersCell>(*screen, *screen->tableView[0], 3, 0)->infoDescription->text(); };
    screen->reminder1Tap();
    ASSERT_TRUE(waitFor([&] { return screen->reminderSet; }));

    restart();
    reopen();
    ASSERT_TRUE(waitFor([&] { return screen->reminderSet; }));
    EXPECT_EQ(cardSays(), "Reminder at 21:00, on 07 May: Race starting in 30 minutes (shown while Sorvane runs)");
    restart(std::make_shared<reminders::RecordingReminderScheduler>());
    reopen();
    ASSERT_TRUE(waitFor([&] { return screen->reminderSet; }));
    EXPECT_EQ(cardSays(), "Reminder at 21:00, on 07 May: Race starting in 30 minutes") << "the service manager now holds it";

    // Closed past its time, opened ten minutes before the race: shown at once, with the time left.
    clock->set(instant("2023-05-07T19:20:00Z"));
    restart();
    settle(1.5);
    ASSERT_EQ(shown->presented().size(), 1u);
    EXPECT_EQ(shown->presented()[0].content.body, "Race starting in 10 minutes");

    // A reminder whose session began while the app was closed is dropped, not shown.
    clock->set(instant("2023-04-30T11:20:00Z"));
    reopen();
    pick(*screen, 1);
    screen->reminder2Tap();
    ASSERT_TRUE(waitFor([&] { return screen->reminderSet; }));
    clock->set(instant("2023-05-06T20:10:00Z"));
    restart();
    settle(1.5);
    EXPECT_EQ(shown->presented().size(), 1u);
    EXPECT_TRUE(center->pendingNotificationRequests().empty());
    reopen();
    waitFor([] { return false; }, 0.2);
    EXPECT_FALSE(screen->reminderSet);
}

TEST_F(UpcomingWeekend, aReminderIsSetFoundAgainAndRemovedPerRace) {
    auto screen = openMiami();
    screen->reminder1Tap();
    EXPECT_FALSE(alertsCardOffersRemoval(*screen)) << "not before the add has succeeded";
    ASSERT_TRUE(waitFor([&] { return screen->reminderSet; }));
    EXPECT_TRUE(alertsCardOffersRemoval(*screen));
    auto pending = center->pendingNotificationRequests();
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].identifier, "Miami International Autodrome 2023 round 5");
    EXPECT_EQ(pending[0].content.body, "Race starting in 30 minutes");
    EXPECT_EQ(pending[0].content.subtitle, "Miami International Autodrome, Miami, USA");
    const auto& when = pending[0].trigger.dateComponents;
    EXPECT_EQ(std::tuple(*when.year, *when.month, *when.day, *when.hour, *when.minute), std::tuple(2023, 5, 7, 21, 0))
        << "19:00 UTC as Amsterdam's clock";
    screen->dismiss(false);
    settle();

    auto again = openMiami();
    ASSERT_TRUE(waitFor([&] { return again->reminderSet; }));
    // The second race at one circuit of a season is another reminder.
    RacesDetailsModel secondVisit = race(5);
    secondVisit.round = "6";
    again->dismiss(false);
    settle();
    auto other = open(secondVisit, 6);
    waitFor([] { return false; }, 0.2);
    EXPECT_FALSE(other->reminderSet);
    other->reminder2Tap();
    ASSERT_TRUE(waitFor([&] { return other->reminderSet; }));
    EXPECT_EQ(center->pendingNotificationRequests().size(), 2u);

    other->removeReminderTap();
    EXPECT_FALSE(other->reminderSet);
    EXPECT_FALSE(alertsCardOffersRemoval(*other));
    ASSERT_EQ(center->pendingNotificationRequests().size(), 1u);
    EXPECT_EQ(center->pendingNotificationRequests()[0].identifier, "Miami International Autodrome 2023 round 5");
}

TEST_F(UpcomingWeekend, aReminderWhoseTimeHasPassedIsRefusedAndSaysWhy) {
    clock->set(instant("2023-05-07T18:45:00Z"));
    auto screen = openMiami();
    screen->reminder2Tap();
    ASSERT_TRUE(waitFor([&] { return screen->reminderRefusal.has_value(); }));
    EXPECT_FALSE(screen->reminderSet);
    EXPECT_TRUE(center->pendingNotificationRequests().empty());
    EXPECT_EQ(rowOf<RemindersCell>(*screen, *screen->tableView[0], 3, 0)->infoDescription->text(),
              "No reminder set: Race starts in less than 1 hour.");

    screen->reminder1Tap();
    ASSERT_TRUE(waitFor([&] { return screen->reminderSet; })) << "30 minutes before is still ahead";
}

// The clock inside Miami's first practice (18:00 UTC on 5 May): the screen says the session runs.
TEST_F(UpcomingWeekend, aSessionUnderWaySaysSoInItsHeaderCountdownPickerAndReminderRefusal) {
    clock->set(instant("2023-05-05T18:30:39Z"));
    auto screen = openMiami();
    pick(*screen, 4);
    settle();
    EXPECT_EQ(countdownShown(*screen), "Under way");
    auto header = rowOf<DetailHeaderCell>(*screen, *screen->tableView[0], 0, 0);
    EXPECT_EQ(header->time->text(), "Round 5 Started at 20:00, on 05 May");

    // The session's name keeps its whole width beside the caption.
    auto picker = rowOf<EventPickerCell>(*screen, *screen->tableView[0], 1, 0);
    ASSERT_TRUE(picker);
    auto name = picker->event->attributedTitle(ui::ControlState::normal);
    ASSERT_TRUE(name);
    picker->layoutIfNeeded();
    EXPECT_GE(picker->event->frame().width(), picker->event->intrinsicContentSize().width - 0.5);
    pick(*screen, 0);
    settle();
    picker = rowOf<EventPickerCell>(*screen, *screen->tableView[0], 1, 0);
    picker->layoutIfNeeded();
    EXPECT_TRUE(countdownShown(*screen).starts_with("In 2d, 0h, 59m, ")) << countdownShown(*screen);
    EXPECT_GT(picker->event->frame().width(), 0);
    EXPECT_GE(picker->event->frame().width(), picker->event->intrinsicContentSize().width - 0.5) << "a long countdown gives way";

    pick(*screen, 4);
    screen->reminder1Tap();
    ASSERT_TRUE(waitFor([&] { return screen->reminderRefusal.has_value(); }));
    EXPECT_EQ(*screen->reminderRefusal, "No reminder set: Practice 1 has already started.");

    // A session without a start has no countdown to run.
    auto undated = race(5);
    undated.firstPractice->time.reset();
    root->dismiss(false);
    settle();
    auto other = open(undated);
    pick(*other, 4);
    EXPECT_EQ(countdownShown(*other), "Start time to be confirmed");
}

TEST_F(UpcomingWeekend, aReminderIsDeliveredWhenDue) {
    auto screen = openMiami();
    pick(*screen, 1);
    screen->reminder2Tap();
    ASSERT_TRUE(waitFor([&] { return screen->reminderSet; }));
    clock->set(instant("2023-05-06T18:59:00Z"));
    settle(1);
    EXPECT_TRUE(shown->presented().empty());
    clock->set(instant("2023-05-06T19:00:00Z"));
    settle(1);
    ASSERT_EQ(shown->presented().size(), 1u);
    EXPECT_EQ(shown->presented()[0].content.title, "Miami Grand Prix");
    EXPECT_EQ(shown->presented()[0].content.body, "Qualifying starting in 1 hour");
    EXPECT_EQ(shown->presented()[0].content.userInfo.at("circuit"), "Miami International Autodrome");
    EXPECT_TRUE(center->pendingNotificationRequests().empty());
}

TEST_F(UpcomingWeekend, theExtrasOpenTheBroadcastAndTicketPagesInTheBrowser) {
    auto opened = std::make_shared<ui::URLOpenRecorder>();
    ui::setURLOpener(opened);
    auto screen = openMiami();
    auto extras = rowOf<ExternalLinksCell>(*screen, *screen->tableView[0], 4, 0);
    ASSERT_TRUE(extras);
    extras->watch->sendActions(ui::ControlEvent::touchUpInside);
    extras->tickets->sendActions(ui::ControlEvent::touchUpInside);
    waitFor([&] { return opened->openedURLs().size() == 2; }, 2);
    EXPECT_EQ(opened->openedURLs(), (std::vector<std::string>{"https://www.formula1.com/en/toolbar/broadcast-information.html",
                                                              "https://tickets.formula1.com/"}));
    settle();
    EXPECT_FALSE(screen->linkFailure);

    // Without a browser the card says which link did not open.
    auto refusing = std::make_shared<RefusingOpener>();
    ui::setURLOpener(refusing);
    rowOf<ExternalLinksCell>(*screen, *screen->tableView[0], 4, 0)->tickets->sendActions(ui::ControlEvent::touchUpInside);
    ASSERT_TRUE(waitFor([&] { return screen->linkFailure.has_value(); }));
    ui::setURLOpener(nullptr);
    EXPECT_EQ(rowOf<ExternalLinksCell>(*screen, *screen->tableView[0], 4, 0)->infoDescription->text(),
              "Could not open the ticket shop: no web browser answered.");
    EXPECT_EQ(refusing->asked, std::vector<std::string>{"https://tickets.formula1.com/"});
}

}  // namespace
