#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/CircuitDetails.h"
#include "data/Client.h"
#include "data/ResultModels.h"
#include "dispatch/Task.h"
#include "dispatch/Timer.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "livetiming/RaceControlMessageModel.h"
#include "livetiming/TeamRadioModel.h"
#include "livetiming/TimingData.h"
#include "livetiming/TyresModel.h"
#include "livetiming/WeatherModel.h"
#include "shell/RaceScreen.h"
#include "ui/Button.h"
#include "ui/TableView.h"
#include "weekend/WeekendSchedule.h"

class DriverCell;
class CircuitDetailsCell;
class WeatherOverviewCell;

// The screen of a race weekend whose session is under way: the session's running order, re-read every
// 2.5 seconds, with the circuit facts, the weekend schedule and the weather, and the cards that open
// the laps, pit-stops, tyres, messages and team-radio sheets. The season sheet hands it `races` (the
// one race), `year`, `raceRound` and the session's `path`, or the way to find it once the season's
// index has arrived: until then the screen reads nothing of the session and says it waits.
//
// Only one timing read is in flight at a time, from its request to the end of its document's decode (a
// tick meanwhile does nothing), and an answer older than the order shown is dropped. The screen's timer
// and observation end with it.
class LiveViewController final : public RaceScreen, public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    using DriverDictionary = std::map<std::string, std::string>;

    static constexpr double refreshInterval = 2.5;
    // A timing read that has not answered by then counts as failed, so the next tick reads again.
    static constexpr double timingReadTimeout = 4 * refreshInterval;
    static constexpr int driverSection = 2;
    static constexpr int weekendSection = 7;
    static constexpr int weatherSection = 8;
    static constexpr const char* rotationAnimationKey = "rotationanimationkey";
    static constexpr const char* voteAddress = "https://www.formula1.com/en/vote.html";

    LiveViewController() { raceRound = 1; }
    ~LiveViewController() override;

    std::vector<livetiming::RaceLineModel> raceResults;  // the running order
    // The last timing read failed: with no order shown yet, the drivers' section shows the state row.
    bool timingCouldNotLoad = false;
    // Why, as far as the screen knows: the read's failure, or the season index's when it named no session.
    std::optional<LoadFailure> timingFailure;
    // The last timing read answered with no driver: the state row says so rather than "Loading".
    bool timingListsNoDriver = false;
    // With no order yet the drivers' section shows the state row: loading, empty or failed.
    bool showsTimingState() const { return raceResults.empty(); }
    // The offline data holds the session only as it stood before its start (it replays none of it):
    // a gap row under the title says so, as the other gaps are told, over the order read.
    bool sessionNotRecorded() const;
    DriverDictionary driverImageDictionary;  // driver key to headshot address
    DriverDictionary driverColDictionary;    // driver key to team colour
    DriverDictionary driverNumDictionary;    // driver key to racing number
    std::vector<livetiming::WeatherModel> weather;  // one element once loaded
    // Why the weather could not be loaded, when it could not: its row says so in place of the card.
    std::optional<LoadFailure> weatherCouldNotLoad;
    std::vector<LapTimingsModel> lapsResults;       // lap 1's timings
    std::vector<PitStopsModel> pitStopsResults;
    std::map<std::string, std::vector<livetiming::StintModel>> tyresResults;  // by racing number
    std::vector<livetiming::Message> raceMessages;  // newest first
    std::vector<livetiming::Capture> driverRadio;   // newest first
    // Why those lists could not be loaded, when they could not: handed to their sheets.
    std::optional<LoadFailure> lapsCouldNotLoad, pitStopsCouldNotLoad, tyresCouldNotLoad, messagesCouldNotLoad,
        radioCouldNotLoad;
    std::vector<circuitDetailsOverviewModel> allCircuits;
    // The session's length in laps from its lap count (a sprint runs fewer laps than the race the
    // circuit facts give); none until read.
    std::optional<std::int64_t> sessionLaps;
    bool weatherSelected = false;  // the weather card shows the wind's direction instead of its speed
    // Why the last Vote Now tap opened nothing; the vote card says it until the next tap.
    std::optional<std::string> voteFailure;
    // The last timing read failed or timed out: the order shown is the last one read, marked as such.
    bool timingStale = false;
    // The weekend's sessions, latest first; row r of the schedule section shows session r - 1.
    std::vector<WeekendSession> weekendStructure;
    std::vector<int> selectedRows;  // expanded driver rows, by position in the order
    foundation::Date date = foundation::Date::now();  // the race day
    // Only the first is shown; all five are reloaded together.
    std::vector<std::shared_ptr<ui::TableView>> tableView{
        std::make_shared<ui::TableView>(), std::make_shared<ui::TableView>(), std::make_shared<ui::TableView>(),
        std::make_shared<ui::TableView>(), std::make_shared<ui::TableView>()};
    std::shared_ptr<dispatch::Timer> timer = std::make_shared<dispatch::Timer>();

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void viewDidDisappear(bool animated) override;

    // "reloadWeatherAnimations": the weather card is filled again on the next main-queue turn, so fans
    // that lost their rotation get it back.
    void reloadWeatherAnimations();
    // A refresh tick: reads the timing lines again unless a read is still in flight.
    void fireTimer();
    // Whether a timing read is asked for or under way, its decode included.
    bool timingReadInFlight() const { return refreshQueued_ || timingReadsInFlight_ > 0; }
    // Where the timing lines come from: the session's "TimingData.json" by default (on a session whose
    // transfers end after the time-out as well); tests gate it.
    using TimingRead = std::function<dispatch::Task<Loaded>(std::string path)>;
    void setTimingRead(TimingRead read) { timingRead_ = std::move(read); }

    // The loading task: the nine reads one after another, while the screen lives.
    static dispatch::Task<void> loadEverything(std::weak_ptr<LiveViewController> screen);
    dispatch::Task<void> loadTimingData();
    dispatch::Task<void> loadDriverList();
    dispatch::Task<void> loadWeather();
    dispatch::Task<void> loadLaps();
    dispatch::Task<void> loadPitStops();
    dispatch::Task<void> loadTyres();
    dispatch::Task<void> loadRaceMessages();
    dispatch::Task<void> loadTeamRadio();
    dispatch::Task<void> loadLapCount();
    void loadCircuits();
    void buildWeekendStructure();
    void reloadTables();

    // The lines by position, numerically; a position that is not a number goes last. Ties keep the
    // document's order.
    static std::vector<livetiming::RaceLineModel> runningOrder(const livetiming::TimingData& timing);

    int numberOfSections(ui::TableView&) override { return 9; }
    int numberOfRows(ui::TableView& table, int section) override;
    std::optional<double> heightForRow(ui::TableView&, ui::IndexPath) override { return ui::TableView::automaticDimension; }
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath indexPath) override;
    void didSelectRow(ui::TableView& table, ui::IndexPath indexPath) override;

    // The card actions (the button is the one tapped; its tag is its row).
    void lapsBreakdownTap(ui::Button& sender);
    void pitStopsBreakdownTap(ui::Button& sender);
    void tyresTap(ui::Button& sender);
    void raceMessagesTap(ui::Button& sender);
    void raceRadioTap(ui::Button& sender);
    void voteTapped();

private:
    void fillDriver(DriverCell& cell, int row);
    void fillCircuit(CircuitDetailsCell& cell);
    std::shared_ptr<ui::TableViewCell> cardRow(ui::TableView& table, ui::IndexPath indexPath);
    void wire(ui::Button& button, int tag, const std::string& title, void (LiveViewController::*action)(ui::Button&));
    void presentSheet(const std::shared_ptr<ui::ViewController>& sheet);
    const circuitDetailsOverviewModel* circuitFacts() const;

    // The timing read, given up (empty data) once `timingReadTimeout` has passed without an answer.
    dispatch::Task<Loaded> readTimingWithTimeout();

    TimingRead timingRead_;
    bool refreshQueued_ = false;  // a tick's read is on its way to the main queue
    int timingReadsInFlight_ = 0;
    std::uint64_t timingReadsStarted_ = 0;  // numbers every timing read
    std::uint64_t timingReadShown_ = 0;     // the number of the read whose order is shown
};
