#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "calendar/EventEditViewController.h"
#include "calendar/EventStore.h"
#include "data/CircuitDetails.h"
#include "dispatch/Timer.h"
#include "foundation/Date.h"
#include "reminders/UserNotificationCenter.h"
#include "shell/RaceScreen.h"
#include "ui/TableView.h"
#include "weekend/WeekendSchedule.h"

// The screen of a race weekend that has not begun: the selected session's start, a session picker
// counting down to it every second, the circuit's facts, the alerts card (a calendar event and
// reminders), links to watch and buy tickets, and the weekend's schedule. Everything comes from the
// race record it is handed, the compiled-in circuit facts and the pending reminders.
class FutureDetailsViewController final : public RaceScreen,
                                          public ui::TableViewDataSource,
                                          public ui::TableViewDelegate,
                                          public calendar::EventEditViewDelegate {
public:
    FutureDetailsViewController() { raceRound = 1; }

    std::vector<circuitDetailsOverviewModel> allCircuits;
    // The selected session's start: the UTC instant of its date and time, now when it has none. The
    // header, the countdown, the calendar event and the reminders all follow it.
    foundation::Date date2 = foundation::Date::now();
    // The first table is shown; the second stays transparent and gets the same set-up and reloads.
    std::vector<std::shared_ptr<ui::TableView>> tableView{std::make_shared<ui::TableView>(), std::make_shared<ui::TableView>()};
    int eventType = 0;
    std::shared_ptr<dispatch::Timer> timer = std::make_shared<dispatch::Timer>();
    std::shared_ptr<reminders::UserNotificationCenter> center = reminders::UserNotificationCenter::current();
    bool reminderSet = false;
    std::shared_ptr<calendar::EventStore> eventStore = std::make_shared<calendar::EventStore>();
    std::vector<WeekendSession> weekendStructure;
    // Why the last reminder was not set; the alerts card says it until the session changes.
    std::optional<std::string> reminderRefusal;
    // What became of the last "Add to Calendar"; the alerts card says it until the session changes.
    std::optional<std::string> calendarOutcome;
    // Why the last Where to Watch or Book Tickets tap opened nothing; the extras card says it until
    // the next tap.
    std::optional<std::string> linkFailure;
    // This race's pending reminder, as the notification centre holds it.
    std::optional<reminders::NotificationRequest> pendingReminder;

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

    void computeSessionDates();
    void loadCircuits();
    void buildWeekendStructure();
    void fireTimer(dispatch::Timer& timer);
    void updateCountdown(ui::TableView& table);
    void selectEventType(int index);

    // The selected session's name: "Race", "Qualifying", "Practice 3" or "Sprint", "Practice 2", "Practice 1".
    std::string sessionName() const;
    // "In 2d, 5h, 17m, 9s" from now to the session's start; "Under way" once it has started, then
    // "Finished"; "Start time to be confirmed" while it has no start.
    std::string countdownText() const;
    // Whether the selected session has a start and it has come.
    bool sessionHasStarted() const;
    // "Round 5 Starting at 21:30, on 07 May" ("Started at" once it has), in the device's zone.
    std::string headerTimeText() const;
    // What identifies this race's reminder: the circuit, the season and the round, so the two races of
    // a double-header at one circuit keep one reminder each.
    std::string reminderIdentifier() const;
    // The selected session's event identifier ("sorvane-2023-round-5-practice-2"): one event per session,
    // however often it is added.
    std::string eventIdentifier() const;
    // The calendar event for the selected session, as the edit sheet shows it.
    calendar::Event makeEvent() const;
    // What the alerts card says under its title.
    std::string alertsDescription() const;
    // The reminder for the selected session, `kind` 1 an hour before it, anything else 30 minutes.
    reminders::NotificationRequest makeReminder(int kind) const;

    void calendarTap();
    void reminder1Tap();
    void reminder2Tap();
    void removeReminderTap();
    void scheduleReminder(int kind);
    void watchTap();
    void bookTicketsTap();

    int numberOfSections(ui::TableView&) override { return races.empty() ? 0 : 6; }
    int numberOfRows(ui::TableView&, int section) override { return section >= 5 ? 6 : 1; }
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath indexPath) override;
    std::optional<double> heightForRow(ui::TableView&, ui::IndexPath) override { return ui::TableView::automaticDimension; }
    void didSelectRow(ui::TableView& table, ui::IndexPath indexPath) override;

    void eventEditViewControllerDidComplete(calendar::EventEditViewController& controller,
                                            calendar::EventEditViewAction action) override;

private:
    std::shared_ptr<FutureDetailsViewController> self();
    const circuitDetailsOverviewModel* circuitFacts() const;
    void reloadTables();
    void askAndSchedule(int kind);
    void findPendingReminder();
    void showCalendarOutcome(std::string text);
    void openExtra(const std::string& address, const std::string& what);
};
