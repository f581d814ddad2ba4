#include "weekend/PastDetailsViewController.h"

#include <algorithm>

#include "cells/CircuitDetailsCell.h"
#include "cells/DetailHeaderCell.h"
#include "cells/DriverCell.h"
#include "cells/DriverOfTheDayCell.h"
#include "cells/EventPickerCell.h"
#include "cells/RaceBreakdownCell.h"
#include "cells/StateCell.h"
#include "cells/RaceMessagesCell.h"
#include "cells/RaceStandingsCell.h"
#include "cells/WeatherOverviewCell.h"
#include "cells/WeekendCell.h"
#include "dispatch/Queue.h"
#include "foundation/DateFormatter.h"
#include "foundation/Locale.h"
#include "foundation/NotificationCenter.h"
#include "foundation/NumberText.h"
#include "foundation/Strings.h"
#include "live/LapsViewController.h"
#include "live/MessagesViewController.h"
#include "live/RadioViewController.h"
#include "live/SheetHandOver.h"
#include "live/TyresViewController.h"
#include "shell/AppNotifications.h"
#include "shell/PosixFormatter.h"
#include "shell/SeasonSheetSupport.h"
#include "shell/Utilities.h"
#include "weekend/WeekendSessions.h"

namespace {

std::string foldedName(std::string_view name) {
    return foundation::folding(name, foundation::FoldingOptions::diacriticInsensitive);
}

}  // namespace

void PastDetailsViewController::viewDidLoad() {
    RaceScreen::viewDidLoad();
    auto now = foundation::Date::now();
    date = race() ? posixFormatter("yyyy-MM-dd").date(race()->date).value_or(now) : now;
    auto self = std::static_pointer_cast<PastDetailsViewController>(shared_from_this());
    foundation::NotificationCenter::defaultCenter().addObserver(self, notifications::reloadWeatherAnimations,
                                                               &PastDetailsViewController::reloadWeatherAnimations);
    for (std::size_t index = 0; index < tableView.size(); ++index) setUpTable(*tableView[index], index == 0);
    weekendStructure = race() ? buildWeekendStructure(*race()) : std::vector<WeekendSession>(1);
    reloadAll();
    dispatch::spawn(dispatch::Queue::main(), [weak = std::weak_ptr<PastDetailsViewController>(self)]() -> dispatch::Task<void> {
        co_await loadWeekend(weak);
    });
    loadCircuits();
}

void PastDetailsViewController::setUpTable(ui::TableView& table, bool first) {
    table.registerClass<DetailHeaderCell>(DetailHeaderCell::reuseIdentifier);
    table.registerClass<EventPickerCell>(EventPickerCell::reuseIdentifier);
    table.registerClass<DriverCell>(DriverCell::reuseIdentifier);
    table.registerClass<StateCell>(StateCell::reuseIdentifier);
    table.registerClass<CircuitDetailsCell>(CircuitDetailsCell::reuseIdentifier);
    table.registerClass<DriverOfTheDayCell>("DriverOfTheDayCell");
    table.registerClass<DriverOfTheDayCell>("DriverOfTheDayCell2");
    table.registerClass<RaceBreakdownCell>(RaceBreakdownCell::reuseIdentifier);
    table.registerClass<RaceStandingsCell>("RaceStandingsCell");
    table.registerClass<RaceStandingsCell>("RaceStandingsCell2");
    table.registerClass<RaceMessagesCell>(RaceMessagesCell::reuseIdentifier);
    table.registerClass<WeekendHeaderCell>(WeekendHeaderCell::reuseIdentifier);
    table.registerClass<WeekendCell>(WeekendCell::reuseIdentifier);
    table.registerClass<WeatherOverviewCell>(WeatherOverviewCell::reuseIdentifier);
    table.setAlpha(first ? 1 : 0);
    auto self = std::static_pointer_cast<PastDetailsViewController>(shared_from_this());
    table.setDataSource(std::weak_ptr<ui::TableViewDataSource>(self));
    table.setDelegate(std::weak_ptr<ui::TableViewDelegate>(self));
    table.setBackgroundColor(eventType == 0 ? gfx::Color::systemGray4() : gfx::Color::clear());
    table.setClipsToBounds(true);
    table.setRowHeight(ui::TableView::automaticDimension);
    table.setTableFooterView(std::make_shared<ui::View>(ui::Rect{}));
    table.setShowsVerticalScrollIndicator(false);
    // A hidden tab's table joins the view when its tab is first chosen: until then it lays out no rows
    // that nobody sees. Every table is the same size and lies at the same place, so the order in which
    // they join does not show.
    if (first) view()->addSubview(table.shared());
}

void PastDetailsViewController::showTable(ui::TableView& table) {
    if (table.superview()) return;
    view()->addSubview(table.shared());
    table.setFrame({0, 0, view()->bounds().width(), view()->bounds().height()});
}

void PastDetailsViewController::viewDidLayoutSubviews() {
    RaceScreen::viewDidLayoutSubviews();
    for (auto& table : tableView) {
        if (table->superview()) table->setFrame({0, 0, view()->bounds().width(), view()->bounds().height()});
    }
}

void PastDetailsViewController::viewDidAppear(bool animated) {
    RaceScreen::viewDidAppear(animated);
    auto self = std::static_pointer_cast<PastDetailsViewController>(shared_from_this());
    dispatch::spawn(dispatch::Queue::main(), [weak = std::weak_ptr<PastDetailsViewController>(self)]() -> dispatch::Task<void> {
        // The other sessions are the meeting's in the season index, which may still be on its way.
        if (auto screen = weak.lock()) {
            if (auto meetings = co_await screen->seasonMeetings()) screen->readMeeting(*meetings);
        }
        co_await loadTopThrees(weak);
    });
}

void PastDetailsViewController::readMeeting(const std::vector<livetiming::Meeting>& meetings) {
    if (!race()) return;
    auto meeting = std::find_if(meetings.begin(), meetings.end(), [&](const auto& m) { return m.name == race()->raceName; });
    if (meeting != meetings.end()) readSessions(meeting->sessions);
}

void PastDetailsViewController::readSessions(const std::vector<livetiming::Session>& sessions) {
    // Replaced, not appended: each appearance reads the meeting again.
    meetingSessions = sessions;
    bool sprint = weekend::findSession(sessions, weekend::SessionKind::sprint) != nullptr;
    if (sprint != isASprintWeekend) {
        isASprintWeekend = sprint;
        reloadAll();
    }
}

int PastDetailsViewController::tabOf(const ui::TableView& table) const {
    for (int tab = 0; tab < tabCount - 1; ++tab) {
        if (tableView[tab].get() == &table) return tab;
    }
    return tabCount - 1;
}

int PastDetailsViewController::numberOfRows(ui::TableView& table, int section) {
    bool raceTab = eventType == 0;
    switch (section) {
        case 0:
        case 1:
        case 3: return 1;
        case 2: return std::max(1, classificationCount(tabOf(table)));
        case 8: return raceTab && raceRound > 2 ? 1 : 0;
        case 10: return static_cast<int>(weekendStructure.size());
        default: return raceTab ? 1 : 0;
    }
}

int PastDetailsViewController::classificationCount(int tab) const {
    switch (tab) {
        case 0: return static_cast<int>(raceResults.size());
        case 1: return static_cast<int>(qualifyingResults.size());
        case 2: return static_cast<int>(p3Results.size());
        case 3: return static_cast<int>(p2Results.size());
        default: return static_cast<int>(p1Results.size());
    }
}

void PastDetailsViewController::noteResultsLoaded(int tab, std::optional<LoadFailure> failure) {
    if (tab < 0 || tab >= tabCount) return;
    resultsAnswered[tab] = true;
    resultsCouldNotLoad[tab] = std::move(failure);
    tableView[tab]->reloadData();
}

void PastDetailsViewController::reloadAll() {
    for (auto& table : tableView) table->reloadData();
}

void PastDetailsViewController::didSelectRow(ui::TableView& table, ui::IndexPath indexPath) {
    table.deselectRow(indexPath, true);
    if (eventType != 0) return;
    if (indexPath.section == 2 && !showsResultsState(0)) {
        auto found = std::find(selectedRows.begin(), selectedRows.end(), indexPath.row);
        if (found != selectedRows.end()) {
            std::erase(selectedRows, indexPath.row);
        } else {
            selectedRows.push_back(indexPath.row);
        }
        table.reloadData();
    } else if (indexPath.section == 10) {
        // Any schedule row switches the weather card between wind speed and direction, as on the live
        // screen; the card's own tap does nothing.
        weatherSelected = !weatherSelected;
        table.reloadData();
    }
}

void PastDetailsViewController::selectEventType(int tab) {
    if (tab < 0 || tab >= tabCount) return;
    playTapFeedback();
    eventType = tab;
    showTable(*tableView[tab]);
    for (int index = 0; index < tabCount; ++index) tableView[index]->setAlpha(index == tab ? 1 : 0);
    for (auto& table : tableView) {
        table->setBackgroundColor(eventType == 0 ? gfx::Color::systemGray4() : gfx::Color::clear());
        table->reloadData();
    }
}

void PastDetailsViewController::reloadWeatherAnimations() {
    auto weak = std::weak_ptr<PastDetailsViewController>(std::static_pointer_cast<PastDetailsViewController>(shared_from_this()));
    dispatch::Queue::main()->async([weak] {
        auto self = weak.lock();
        if (!self || self->eventType != 0 || self->tableView[0]->numberOfRows(11) == 0) return;
        self->tableView[0]->reloadRows({{11, 0}});
    });
}

const circuitDetailsOverviewModel* PastDetailsViewController::circuitFacts() const {
    return race() ? circuitFactsFor(allCircuits, race()->circuit) : nullptr;
}

const RaceResultsModel* PastDetailsViewController::raceResult(const std::string& name) const {
    std::string wanted = foldedName(name);
    for (const auto& result : raceResults) {
        if (foldedName(result.driver.givenName + " " + result.driver.familyName) == wanted) return &result;
    }
    return nullptr;
}

weekend::SessionKind PastDetailsViewController::sessionKindOf(int tab) const {
    using weekend::SessionKind;
    switch (tab) {
        case 0: return SessionKind::race;
        case 1: return SessionKind::qualifying;
        case 2: return isASprintWeekend ? SessionKind::sprint : SessionKind::practice3;
        case 3: return SessionKind::practice2;
        default: return SessionKind::practice1;
    }
}

PastDetailsViewController::ShownDriver PastDetailsViewController::shownDriver(const DriversDetailsModel& driver,
                                                                            const std::string& team) const {
    std::string name = foldedName(driver.givenName + " " + driver.familyName);
    // The race's classification names the team as the other rows of the weekend do.
    const RaceResultsModel* result = raceResult(name);
    return {name, result ? result->constructor.name : team, foundation::lowercased(name)};
}

PastDetailsViewController::ShownDriver PastDetailsViewController::shownDriver(const livetiming::RaceResultLine& line) const {
    if (auto key = firstKey(line.racingNumber, driverNumDictionary)) {
        for (const auto& result : raceResults) {
            if (foundation::lowercased(foldedName(result.driver.givenName + " " + result.driver.familyName)) == *key) {
                return shownDriver(result.driver, result.constructor.name);
            }
        }
        for (const auto& result : qualifyingResults) {
            if (foundation::lowercased(foldedName(result.driver.givenName + " " + result.driver.familyName)) == *key) {
                return shownDriver(result.driver, result.constructor.name);
            }
        }
    }
    std::string name = foldedName(foundation::capitalized(line.fullName));
    return {name, line.team, foundation::lowercased(name)};
}

std::string PastDetailsViewController::headerTimeText() const {
    std::optional<foundation::Date> start;
    if (eventType == 0) {
        if (race()) start = weekend::scheduledStart(race()->date, race()->time);
    } else {
        if (const auto* session = weekend::findSession(meetingSessions, sessionKindOf(eventType))) {
            start = weekend::sessionStart(*session);
        }
    }
    std::string round = "Round " + std::to_string(raceRound) + " Started at ";
    if (!start) {
        // The day is still the race's when the race tab's start is unknown.
        std::string day = eventType == 0 && race() ? ", on " + posixFormatter("dd").string(date) + " " +
                                                         posixFormatter("LLL").string(date)
                                                   : "";
        return round + "TBC" + day;
    }
    return round + posixFormatter("HH:mm").string(*start) + ", on " + posixFormatter("dd").string(*start) + " " +
           posixFormatter("LLL").string(*start);
}

template <class Sheet>
void PastDetailsViewController::presentSheet(const std::shared_ptr<Sheet>& sheet) {
    setUpPresentedSheet(*sheet, SheetHeights::largeOnly);
    present(sheet, true);
}

template <class Sheet>
void PastDetailsViewController::handOverRaceAndLaps(Sheet& sheet) const {
    sheet.driverImageDictionary = driverImageDictionary;
    sheet.driverColDictionary = driverColDictionary;
    sheet.raceResults = raceResults;
    handOverRace(sheet, *this);
    // The winner's laps are the race's length; before the results are in the sheet opens on lap 1.
    sheet.lapCount = raceResults.empty() ? std::string() : raceResults.front().laps;
    auto laps = foundation::parseInt(sheet.lapCount);
    sheet.currentLap = laps && *laps > 0 && *laps < 1000 ? static_cast<int>(*laps) : 1;
}

void PastDetailsViewController::lapsBreakdownTap(ui::Control&) {
    playTapFeedback();
    auto sheet = std::make_shared<LapsViewController>();
    handOverRaceAndLaps(*sheet);
    sheet->eventType = 0;
    sheet->lapsResults = lapsResults;
    sheet->itemsFailure = lapsCouldNotLoad;
    presentSheet(sheet);
}

void PastDetailsViewController::pitStopsBreakdownTap(ui::Control&) {
    playTapFeedback();
    auto sheet = std::make_shared<LapsViewController>();
    sheet->driverImageDictionary = driverImageDictionary;
    sheet->driverColDictionary = driverColDictionary;
    sheet->eventType = 1;
    sheet->raceResults = raceResults;
    handOverRace(*sheet, *this);
    sheet->pitStopsResults = pitStopsResults;
    sheet->itemsFailure = pitStopsCouldNotLoad;
    if (auto fastest = weekend::fastestPitStop(pitStopsResults)) sheet->fastestPitStop = {*fastest};
    presentSheet(sheet);
}

void PastDetailsViewController::tyresTap(ui::Control&) {
    playTapFeedback();
    auto sheet = std::make_shared<TyresViewController>();
    handOverDrivers(*sheet, *this);
    handOverRace(*sheet, *this);
    sheet->tyresResults = tyresResults;
    sheet->itemsFailure = tyresCouldNotLoad;
    const auto* facts = circuitFacts();
    sheet->totalLaps = facts ? facts->lapCount : 1;
    presentSheet(sheet);
}

void PastDetailsViewController::presentStandings(int eventType) {
    playTapFeedback();
    auto sheet = std::make_shared<StandingsViewController>();
    handOverRaceAndLaps(*sheet);
    sheet->eventType = eventType;
    sheet->driverStandings = driverStandings;
    sheet->teamStandings = teamStandings;
    sheet->couldNotLoad = standingsCouldNotLoad;
    presentSheet(sheet);
}

void PastDetailsViewController::presentPredictions(int eventType) {
    playTapFeedback();
    auto sheet = std::make_shared<PredictionsViewController>();
    handOverRaceAndLaps(*sheet);
    sheet->driverNumDictionary = driverNumDictionary;
    sheet->eventType = eventType;
    sheet->path = path;
    sheet->driverPredictions = driverPredictions;
    sheet->teamPredictions = teamPredictions;
    sheet->couldNotLoad = {predictionsCouldNotLoad, predictionsCouldNotLoad};
    presentSheet(sheet);
}

void PastDetailsViewController::driverStandingsTap(ui::Control&) { presentStandings(0); }
void PastDetailsViewController::teamStandingsTap(ui::Control&) { presentStandings(1); }
void PastDetailsViewController::driverPredictionsTap(ui::Control&) { presentPredictions(0); }
void PastDetailsViewController::teamPredictionsTap(ui::Control&) { presentPredictions(1); }

void PastDetailsViewController::raceMessagesTap(ui::Control&) {
    playTapFeedback();
    auto sheet = messagesSheet(*this, raceMessages);
    sheet->itemsFailure = messagesCouldNotLoad;
    presentSheet(sheet);
}

void PastDetailsViewController::raceRadioTap(ui::Control&) {
    playTapFeedback();
    auto sheet = radioSheet(*this, driverRadio);
    sheet->itemsFailure = radioCouldNotLoad;
    presentSheet(sheet);
}
