#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/CircuitDetails.h"
#include "data/ResultModels.h"
#include "data/StandingsModels.h"
#include "dispatch/Task.h"
#include "livetiming/DriverOfTheDayModel.h"
#include "livetiming/EventsModel.h"
#include "livetiming/PredictionsModel.h"
#include "livetiming/RaceControlMessageModel.h"
#include "livetiming/TeamRadioModel.h"
#include "livetiming/TopThreeModel.h"
#include "livetiming/TyresModel.h"
#include "livetiming/WeatherModel.h"
#include "shell/RaceScreen.h"
#include "standings-news/PredictionsViewController.h"
#include "standings-news/StandingsViewController.h"
#include "ui/Button.h"
#include "ui/TableView.h"
#include "weekend/WeekendSchedule.h"
#include "weekend/WeekendSessions.h"

class DriverCell;
class StateCell;
class WeatherOverviewCell;

// A race weekend that is over: five tables, one per session tab (0 race, 1 qualifying, 2 the sprint
// or Practice 3, 3 Practice 2, 4 Practice 1), of which one is visible. Each shows the header, the tab
// picker, the tab's classification, the circuit's facts; the race tab also the race cards (driver of
// the day, fastest lap, breakdown, standings, predictions from round 3, messages and radio), the
// weekend's schedule and the weather. The presenter hands `path` (or the way to find it once the
// season's index has arrived), `races`, `year` and `raceRound`; the rest is loaded when the view loads
// (results and the race's live-timing files) and appears (the other sessions' top three). Main thread.
class PastDetailsViewController final : public RaceScreen, public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    static constexpr int tabCount = 5;
    static constexpr int sectionCount = 12;

    std::vector<RaceResultsModel> raceResults;
    std::vector<QualifyingResultsModel> qualifyingResults;
    std::vector<livetiming::RaceResultLine> p3Results;  // the sprint's on a sprint weekend
    std::vector<livetiming::RaceResultLine> p2Results;
    std::vector<livetiming::RaceResultLine> p1Results;
    // The meeting's sessions, as the season index lists them (read each time the screen appears).
    std::vector<livetiming::Session> meetingSessions;
    std::vector<livetiming::DriverOfTheDayWinnerModel> driverOfTheDayResults;
    // The polls' answer: none while it is asked for, then whether it could be read.
    std::optional<bool> driverOfTheDayLoaded;
    ChampionshipSheet::Dictionary driverImageDictionary;
    ChampionshipSheet::Dictionary driverColDictionary;
    ChampionshipSheet::Dictionary driverNumDictionary;
    std::vector<livetiming::WeatherModel> weather;
    std::vector<LapTimingsModel> lapsResults;  // lap 1
    std::vector<PitStopsModel> pitStopsResults;
    std::map<std::string, std::vector<livetiming::StintModel>> tyresResults;
    std::vector<DriverStandingsModel> driverStandings;
    std::vector<ConstructorStandingsModel> teamStandings;
    std::vector<livetiming::DriverPredictions> driverPredictions;
    std::vector<livetiming::TeamPredictions> teamPredictions;
    std::vector<livetiming::Message> raceMessages;  // newest first
    std::vector<livetiming::Capture> driverRadio;   // newest first
    std::vector<circuitDetailsOverviewModel> allCircuits;
    std::vector<RaceResultsModel> fastestLap;  // the result of rank 1, once the race tab has shown rows
    // The tabs whose classification could not be loaded: their results section shows the state row.
    std::array<std::optional<LoadFailure>, tabCount> resultsCouldNotLoad{};
    // The tabs whose classification has been asked for and answered (or that have no session to ask
    // about): an empty list then says there is none rather than that it is loading.
    std::array<bool, tabCount> resultsAnswered{};
    // The standings after the race that could not be loaded (0 drivers, 1 constructors).
    std::array<std::optional<LoadFailure>, 2> standingsCouldNotLoad{};
    // Why the lists the sheets show could not be loaded, when they could not: handed to the sheet, whose
    // state row says so rather than that none was recorded.
    std::optional<LoadFailure> lapsCouldNotLoad, pitStopsCouldNotLoad, tyresCouldNotLoad, messagesCouldNotLoad,
        radioCouldNotLoad, weatherCouldNotLoad, predictionsCouldNotLoad;
    bool isASprintWeekend = false;
    bool doneFastestLapOnce = false;
    int eventType = 0;
    std::vector<int> selectedRows;
    bool weatherSelected = false;
    std::vector<WeekendSession> weekendStructure;
    foundation::Date date = foundation::Date::now();
    std::array<std::shared_ptr<ui::TableView>, tabCount> tableView{
        std::make_shared<ui::TableView>(), std::make_shared<ui::TableView>(), std::make_shared<ui::TableView>(),
        std::make_shared<ui::TableView>(), std::make_shared<ui::TableView>()};

    PastDetailsViewController() { raceRound = 1; }

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void viewDidAppear(bool animated) override;

    int numberOfSections(ui::TableView&) override { return sectionCount; }
    int numberOfRows(ui::TableView& table, int section) override;
    std::optional<double> heightForRow(ui::TableView&, ui::IndexPath) override { return ui::TableView::automaticDimension; }
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath indexPath) override;
    void didSelectRow(ui::TableView& table, ui::IndexPath indexPath) override;

    // The tab a table shows (a table that is none of the first four counts as the last tab).
    int tabOf(const ui::TableView& table) const;
    // The visible table.
    const std::shared_ptr<ui::TableView>& shownTable() const { return tableView[eventType]; }

    void selectEventType(int tab);
    void reloadWeatherAnimations();

    void lapsBreakdownTap(ui::Control& sender);
    void pitStopsBreakdownTap(ui::Control& sender);
    void tyresTap(ui::Control& sender);
    void driverStandingsTap(ui::Control& sender);
    void teamStandingsTap(ui::Control& sender);
    void driverPredictionsTap(ui::Control& sender);
    void teamPredictionsTap(ui::Control& sender);
    // eventType 0 opens the drivers' list, 1 the teams'.
    void presentStandings(int eventType);
    void presentPredictions(int eventType);
    void raceMessagesTap(ui::Control& sender);
    void raceRadioTap(ui::Control& sender);

    // The weekend data, each awaited before the next; predictions only from round 3. The screen is held
    // only while a read runs, so one that has gone starts no further read.
    static dispatch::Task<void> loadWeekend(std::weak_ptr<PastDetailsViewController> screen);
    using Read = dispatch::Task<void> (PastDetailsViewController::*)();
    static dispatch::Task<void> readInTurn(std::weak_ptr<PastDetailsViewController> screen, std::vector<Read> reads);
    dispatch::Task<void> loadRaceResults();
    dispatch::Task<void> loadQualifyingResults();
    dispatch::Task<void> loadDriverOfTheDay();
    dispatch::Task<void> loadDriverList();
    dispatch::Task<void> loadWeather();
    dispatch::Task<void> loadLaps();
    dispatch::Task<void> loadPitStops();
    dispatch::Task<void> loadTyres();
    dispatch::Task<void> loadDriverStandings();
    dispatch::Task<void> loadTeamStandings();
    dispatch::Task<void> loadPredictions();
    dispatch::Task<void> loadRaceMessages();
    dispatch::Task<void> loadTeamRadio();
    void loadCircuits();
    // The top three of the sprint (or Practice 3), Practice 2 and Practice 1, each awaited.
    static dispatch::Task<void> loadTopThrees(std::weak_ptr<PastDetailsViewController> screen);
    dispatch::Task<void> loadSprintTopThree();
    dispatch::Task<void> loadPractice3TopThree();
    dispatch::Task<void> loadPractice2TopThree();
    dispatch::Task<void> loadPractice1TopThree();

    // Takes the race's meeting's sessions, when the index lists the meeting.
    void readMeeting(const std::vector<livetiming::Meeting>& meetings);
    // Takes the meeting's sessions: the sprint flag and the qualifying and practice starts.
    void readSessions(const std::vector<livetiming::Session>& sessions);
    // The race, or none when the presenter handed none.
    const RacesDetailsModel* race() const { return races.empty() ? nullptr : &races.front(); }
    // The circuit's facts, or none when the circuit facts have no entry for the race's locality.
    const circuitDetailsOverviewModel* circuitFacts() const;
    // "Round 1 Started at 16:00, on 05 Mar": the start of the tab's session in local time; "TBC" for
    // the time when the session's start is not known.
    std::string headerTimeText() const;
    // A tab's name in its picker and menu: "Race", "Qualifying", "Sprint" (on a sprint weekend) or
    // "Practice 3", "Practice 2", "Practice 1".
    std::string tabName(int tab) const;
    // Fills the weather card and sets its fans turning, unless they already turn.
    void fillWeather(WeatherOverviewCell& cell);
    // The first result whose driver's name is `name` (diacritics folded; case counts).
    const RaceResultsModel* raceResult(const std::string& name) const;

    // A driver as every tab shows them: one name (the results' name, diacritics folded), one team
    // (the results' constructor) and the key of their picture and colour, whichever source the tab
    // reads.
    struct ShownDriver {
        std::string name;
        std::string team;
        std::string key;
    };
    ShownDriver shownDriver(const DriversDetailsModel& driver, const std::string& team) const;
    // A top-three line's driver, found by racing number among the weekend's drivers; the line's own
    // name and team for a driver not found.
    ShownDriver shownDriver(const livetiming::RaceResultLine& line) const;

private:
    void setUpTable(ui::TableView& table, bool first);
    void showTable(ui::TableView& table);
    std::shared_ptr<ui::TableViewCell> tabRow(ui::TableView& table, ui::IndexPath indexPath, int tab);
    std::shared_ptr<ui::TableViewCell> cardRow(ui::TableView& table, ui::IndexPath indexPath);
    void fillRaceRow(DriverCell& cell, int row);
    // Reloads every table.
    void reloadAll();
    // The rows of a tab's classification; empty.
    int classificationCount(int tab) const;
    // Whether the tab's results section shows the state row instead of its (missing) classification.
    bool showsResultsState(int tab) const { return classificationCount(tab) == 0; }
    // The state row of a tab without a classification: loading, not held, none recorded or failed.
    void fillResultsState(StateCell& cell, int tab) const;
    // The session a tab shows, for the tabs after qualifying.
    weekend::SessionKind sessionKindOf(int tab) const;
    // What the state row names for a tab: "The race results".
    std::string resultsListName(int tab) const;

    // Records why a tab's classification did not load, or that it did; a failure shows at once.
    void noteResultsLoaded(int tab, std::optional<LoadFailure> failure);
    dispatch::Task<void> loadTopThree(const livetiming::Session* session, std::vector<livetiming::RaceResultLine>& into, int table);
    // Files the drivers of a session's driver list that the weekend's dictionaries do not hold yet
    // (the race's list is missing while only the sprint has run); says whether any were new.
    dispatch::Task<bool> fileMissingDrivers(std::string sessionPath, const std::vector<livetiming::RaceResultLine>& lines);
    template <class Sheet>
    void presentSheet(const std::shared_ptr<Sheet>& sheet);
    template <class Sheet>
    void handOverRaceAndLaps(Sheet& sheet) const;
};
