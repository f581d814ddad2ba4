#include "weekend/FutureDetailsViewController.h"

#include "cells/CircuitDetailsCell.h"
#include "cells/DetailHeaderCell.h"
#include "cells/EventPickerCell.h"
#include "cells/RemindersCell.h"
#include "cells/TicketsCell.h"
#include "cells/WeekendCell.h"
#include "dispatch/Queue.h"
#include "dispatch/RunLoop.h"
#include "foundation/Calendar.h"
#include "foundation/DateFormatter.h"
#include "foundation/JSONDecoder.h"
#include "foundation/Locale.h"
#include "foundation/NumberText.h"
#include "foundation/Print.h"
#include "ui/Feedback.h"
#include "weekend/SelectedSession.h"

#include <cctype>

namespace {

void rigidTap() { ui::ImpactFeedbackGenerator(ui::ImpactFeedbackStyle::rigid).impactOccurred(); }

double coordinate(const std::string& text) { return foundation::parseDouble(text).value_or(0.0); }

// "21:30, on 07 May" in the device's zone.
std::string clockAndDay(foundation::Date date) {
    foundation::DateFormatter formatter;
    formatter.setLocale(foundation::Locale("en_US_POSIX"));
    formatter.setDateFormat("HH:mm', on 'dd LLL");
    return formatter.string(date);
}

// Letters and digits kept (lower case), anything else a hyphen: "Practice 2" gives "practice-2".
std::string identifierPart(const std::string& text) {
    std::string part;
    for (unsigned char c : text) part += std::isalnum(c) ? static_cast<char>(std::tolower(c)) : '-';
    return part;
}

}  // namespace

std::shared_ptr<FutureDetailsViewController> FutureDetailsViewController::self() {
    return std::static_pointer_cast<FutureDetailsViewController>(shared_from_this());
}

void FutureDetailsViewController::viewDidLoad() {
    RaceScreen::viewDidLoad();
    computeSessionDates();
    for (std::size_t i = 0; i < tableView.size(); ++i) {
        auto& table = *tableView[i];
        table.registerClass<DetailHeaderCell>(DetailHeaderCell::reuseIdentifier);
        table.registerClass<EventPickerCell>(EventPickerCell::reuseIdentifier);
        table.registerClass<CircuitDetailsCell>(CircuitDetailsCell::reuseIdentifier);
        table.registerClass<RemindersCell>(RemindersCell::reuseIdentifier);
        table.registerClass<RemoveRemindersCell>(RemoveRemindersCell::reuseIdentifier);
        table.registerClass<ExternalLinksCell>(ExternalLinksCell::reuseIdentifier);
        table.registerClass<WeekendHeaderCell>(WeekendHeaderCell::reuseIdentifier);
        table.registerClass<WeekendCell>(WeekendCell::reuseIdentifier);
        table.setAlpha(i == 0 ? 1.0 : 0.0);
        table.setDataSource(self());
        table.setDelegate(self());
        table.setBackgroundColor(gfx::Color::clear());
        table.setClipsToBounds(true);
        table.setRowHeight(ui::TableView::automaticDimension);
        table.setTableFooterView(std::make_shared<ui::View>());
        table.setShowsVerticalScrollIndicator(false);
        view()->addSubview(tableView[i]);
    }
    loadCircuits();
    buildWeekendStructure();

    findPendingReminder();

    auto weak = std::weak_ptr<FutureDetailsViewController>(self());
    timer->invalidate();
    timer = dispatch::Timer::create(1.0, true, [weak](dispatch::Timer& fired) {
        if (auto screen = weak.lock()) screen->fireTimer(fired);
        else fired.invalidate();
    });
    dispatch::RunLoop::current()->add(timer);
}

void FutureDetailsViewController::viewDidLayoutSubviews() {
    RaceScreen::viewDidLayoutSubviews();
    for (const auto& table : tableView) table->setFrame({0, 0, view()->bounds().width(), view()->bounds().height()});
}

void FutureDetailsViewController::viewDidAppear(bool animated) { RaceScreen::viewDidAppear(animated); }

void FutureDetailsViewController::viewDidDisappear(bool animated) {
    RaceScreen::viewDidDisappear(animated);
    timer->invalidate();
}

void FutureDetailsViewController::computeSessionDates() {
    if (races.empty()) return;
    date2 = weekend::selectedSessionStart(races[0], eventType).value_or(foundation::Date::now());
}

std::string FutureDetailsViewController::sessionName() const {
    return races.empty() ? std::string() : weekend::selectedSession(races[0], eventType).name;
}

void FutureDetailsViewController::loadCircuits() {
    auto decoded = foundation::JSONDecoder().decode<circuitDetailsModel>(
        foundation::Data::fromString(CircuitDetailsJSON::shared().circuitDetailsJSON));
    if (!decoded) {
        foundation::print("Error decoding result: " + decoded.error().description());
        return;
    }
    for (const auto& [locality, facts] : decoded->places) allCircuits.push_back(facts);
    reloadTables();
}

void FutureDetailsViewController::buildWeekendStructure() {
    if (races.empty()) {
        weekendStructure.assign(1, WeekendSession{});
    } else {
        weekendStructure = ::buildWeekendStructure(races[0]);
    }
    reloadTables();
}

void FutureDetailsViewController::fireTimer(dispatch::Timer&) {
    auto weak = std::weak_ptr<FutureDetailsViewController>(self());
    dispatch::Queue::main()->async([weak] {
        auto screen = weak.lock();
        if (!screen) return;
        ui::View::performWithoutAnimation([&] {
            for (const auto& table : screen->tableView) screen->updateCountdown(*table);
        });
    });
}

bool FutureDetailsViewController::sessionHasStarted() const {
    return !races.empty() && weekend::selectedSessionStart(races[0], eventType) && date2 <= foundation::Date::now();
}

std::string FutureDetailsViewController::countdownText() const {
    using foundation::CalendarComponent;
    if (races.empty() || !weekend::selectedSessionStart(races[0], eventType)) return "Start time to be confirmed";
    if (sessionHasStarted()) {
        // A race runs for up to two hours, every other session for about one.
        double length = eventType == 0 ? 2 * 3600 : 3600;
        return foundation::Date::now() < date2.addingTimeInterval(length) ? "Under way" : "Finished";
    }
    auto left = foundation::Calendar::current().dateComponents(
        {CalendarComponent::day, CalendarComponent::hour, CalendarComponent::minute, CalendarComponent::second},
        foundation::Date::now(), date2);
    return "In " + std::to_string(left.day.value_or(0)) + "d, " + std::to_string(left.hour.value_or(0)) + "h, " +
           std::to_string(left.minute.value_or(0)) + "m, " + std::to_string(left.second.value_or(0)) + "s";
}

void FutureDetailsViewController::updateCountdown(ui::TableView& table) {
    auto cell = std::dynamic_pointer_cast<EventPickerCell>(table.cellForRow({1, 0}));
    if (cell) cell->title->setText(countdownText());
}

void FutureDetailsViewController::selectEventType(int index) {
    rigidTap();
    eventType = index;
    reminderRefusal.reset();
    calendarOutcome.reset();
    computeSessionDates();
    reloadTables();
}

std::string FutureDetailsViewController::headerTimeText() const {
    return "Round " + std::to_string(raceRound) + (sessionHasStarted() ? " Started at " : " Starting at ") + clockAndDay(date2);
}

std::string FutureDetailsViewController::alertsDescription() const {
    std::vector<std::string> lines;
    if (reminderSet && pendingReminder) {
        std::string line = "Reminder";
        if (auto fire = foundation::Calendar::current().date(pendingReminder->trigger.dateComponents)) line += " at " + clockAndDay(*fire);
        line += ": " + pendingReminder->content.body;
        // Without the service manager only the running app can show it.
        if (!center->isScheduledWithServiceManager(pendingReminder->identifier)) line += " (shown while Sorvane runs)";
        lines.push_back(line);
    }
    for (const auto& message : {calendarOutcome, reminderRefusal}) {
        if (message) lines.push_back(*message);
    }
    if (lines.empty()) return "Add this session to your calendar or be reminded via push notifications";
    std::string text = lines[0];
    for (std::size_t i = 1; i < lines.size(); ++i) text += "\n" + lines[i];
    return text;
}

void FutureDetailsViewController::reloadTables() {
    for (const auto& table : tableView) table->reloadData();
}

// Calendar event

std::string FutureDetailsViewController::eventIdentifier() const {
    if (races.empty()) return {};
    const RacesDetailsModel& race = races[0];
    std::string season = race.season.empty() ? year : race.season;
    std::string round = race.round.empty() ? std::to_string(raceRound) : race.round;
    return "sorvane-" + identifierPart(season) + "-round-" + identifierPart(round) + "-" + identifierPart(sessionName());
}

calendar::Event FutureDetailsViewController::makeEvent() const {
    calendar::Event event;
    if (races.empty()) return event;
    const RacesDetailsModel& race = races[0];
    event.identifier = eventIdentifier();
    event.title = race.raceName + " " + sessionName();
    event.startDate = date2;
    event.endDate = foundation::Calendar::current()
                        .dateByAdding(foundation::CalendarComponent::hour, 3, date2)
                        .value_or(date2.addingTimeInterval(3 * 3600));
    const auto& location = race.circuit.location;
    event.structuredLocation = calendar::StructuredLocation{
        race.circuit.circuitName + ", " + location.locality + ", " + location.country,
        coordinate(location.lat), coordinate(location.long_), 1000.0};
    event.notes = "Added via Sorvane";
    return event;
}

void FutureDetailsViewController::calendarTap() {
    rigidTap();
    auto weak = std::weak_ptr<FutureDetailsViewController>(self());
    eventStore->requestAccess([weak](bool granted, std::optional<calendar::CalendarError> error) {
        dispatch::Queue::main()->async([weak, granted, error] {
            auto screen = weak.lock();
            if (!screen || !granted || error) return;
            // One event per session: once the desktop took it, it is not offered again.
            if (screen->eventStore->wasAdded(screen->eventIdentifier())) {
                screen->showCalendarOutcome(screen->makeEvent().title + " is already in your calendar.");
                return;
            }
            auto editor = std::make_shared<calendar::EventEditViewController>();
            editor->event = screen->makeEvent();
            editor->eventStore = screen->eventStore;
            editor->editViewDelegate = screen;
            screen->present(editor, true);
        });
    });
}

void FutureDetailsViewController::eventEditViewControllerDidComplete(calendar::EventEditViewController& controller,
                                                                     calendar::EventEditViewAction action) {
    controller.dismiss(true);
    if (action != calendar::EventEditViewAction::saved) return;
    // The app keeps its copy; the user's calendar application is handed the same file to import.
    auto weak = std::weak_ptr<FutureDetailsViewController>(self());
    std::string title = controller.event.title;
    std::string file = eventStore->fileOf(controller.event.identifier).string();
    eventStore->addToDesktopCalendar(controller.event.identifier, [weak, title, file](ui::DocumentOpenOutcome outcome) {
        std::string text;
        switch (outcome) {
            case ui::DocumentOpenOutcome::opened: text = "Added to your calendar: " + title + "."; break;
            case ui::DocumentOpenOutcome::refused:
                text = "Your calendar application did not take " + title + ". The event is kept in " + file + ".";
                break;
            case ui::DocumentOpenOutcome::noApplication:
                text = "No calendar application is set up to take " + title + ". The event is kept in " + file + ".";
                break;
        }
        dispatch::Queue::main()->async([weak, text] {
            if (auto screen = weak.lock()) screen->showCalendarOutcome(text);
        });
    });
}

void FutureDetailsViewController::showCalendarOutcome(std::string text) {
    foundation::print(text);
    calendarOutcome = std::move(text);
    reloadTables();
}

// Reminders

void FutureDetailsViewController::findPendingReminder() {
    auto weak = std::weak_ptr<FutureDetailsViewController>(self());
    std::string identifier = reminderIdentifier();
    center->getPendingNotificationRequests([weak, identifier](std::vector<reminders::NotificationRequest> pending) {
        for (const auto& request : pending) {
            if (request.identifier != identifier) continue;
            dispatch::Queue::main()->async([weak, request] {
                auto screen = weak.lock();
                if (!screen) return;
                screen->reminderSet = true;
                screen->pendingReminder = request;
                screen->reloadTables();
            });
        }
    });
}

std::string FutureDetailsViewController::reminderIdentifier() const {
    if (races.empty()) return {};
    const RacesDetailsModel& race = races[0];
    std::string season = race.season.empty() ? year : race.season;
    std::string round = race.round.empty() ? std::to_string(raceRound) : race.round;
    return race.circuit.circuitName + " " + season + " round " + round;
}

reminders::NotificationRequest FutureDetailsViewController::makeReminder(int kind) const {
    reminders::NotificationRequest request;
    if (races.empty()) return request;
    const RacesDetailsModel& race = races[0];
    const auto& circuit = race.circuit;
    request.identifier = reminderIdentifier();
    request.content.title = race.raceName;
    request.content.subtitle = circuit.circuitName + ", " + circuit.location.locality + ", " + circuit.location.country;
    double lead = kind == 1 ? 3600 : 1800;
    request.content.body = reminders::startingText(sessionName(), lead);
    // What it announces, so a reminder shown late says the time truly left, and is dropped once the
    // session has begun.
    request.announces = reminders::AnnouncedStart{sessionName(), date2};
    request.content.defaultSound = true;
    request.content.categoryIdentifier = circuit.circuitName;
    request.content.userInfo = {{"circuit", circuit.circuitName}};

    auto calendar = foundation::Calendar::current();
    using foundation::CalendarComponent;
    auto fire = kind == 1 ? calendar.dateByAdding(CalendarComponent::hour, -1, date2)
                          : calendar.dateByAdding(CalendarComponent::minute, -30, date2);
    request.trigger.dateComponents = calendar.dateComponents(
        {CalendarComponent::year, CalendarComponent::month, CalendarComponent::day, CalendarComponent::hour,
         CalendarComponent::minute},
        fire.value_or(foundation::Date::now()));
    return request;
}

void FutureDetailsViewController::reminder1Tap() { askAndSchedule(0); }
void FutureDetailsViewController::reminder2Tap() { askAndSchedule(1); }

void FutureDetailsViewController::askAndSchedule(int kind) {
    rigidTap();
    auto weak = std::weak_ptr<FutureDetailsViewController>(self());
    center->requestAuthorization([weak, kind](bool granted, std::optional<reminders::ReminderError>) {
        if (!granted) {
            foundation::print("Permission denied\n");
            return;
        }
        foundation::print("Permission granted");
        dispatch::Queue::main()->async([weak, kind] {
            if (auto screen = weak.lock()) screen->scheduleReminder(kind);
        });
    });
}

void FutureDetailsViewController::scheduleReminder(int kind) {
    if (races.empty()) return;
    if (!weekend::selectedSessionStart(races[0], eventType)) {
        reminderRefusal = "No reminder set: " + sessionName() + " has no start time yet.";
        foundation::print(*reminderRefusal);
        reloadTables();
        return;
    }
    std::string lead = kind == 1 ? "1 hour" : "30 minutes";
    if (date2.addingTimeInterval(kind == 1 ? -3600 : -1800) <= foundation::Date::now()) {
        // Its time has passed: it would never be shown.
        reminderRefusal = "No reminder set: " + sessionName() +
                          (sessionHasStarted() ? " has already started." : " starts in less than " + lead + ".");
        foundation::print(*reminderRefusal);
        reloadTables();
        return;
    }
    auto weak = std::weak_ptr<FutureDetailsViewController>(self());
    auto request = makeReminder(kind);
    // The card offers "Remove Reminder" only once the reminder is really pending.
    center->add(request, [weak, request](std::optional<reminders::ReminderError> error) {
        dispatch::Queue::main()->async([weak, error, request] {
            auto screen = weak.lock();
            if (!screen) return;
            if (error) {
                screen->reminderRefusal = "No reminder set: " + error->message;
                foundation::print(*screen->reminderRefusal);
            } else {
                screen->reminderRefusal.reset();
                screen->reminderSet = true;
                screen->pendingReminder = request;
            }
            screen->reloadTables();
        });
    });
}

void FutureDetailsViewController::removeReminderTap() {
    rigidTap();
    center->removePendingNotificationRequests({reminderIdentifier()});
    reminderSet = false;
    pendingReminder.reset();
    reloadTables();
}
