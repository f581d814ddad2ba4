#include <algorithm>
#include <ranges>

#include "data/Decoding.h"
#include "data/RaceModels.h"
#include "data/ResultsEndpoints.h"
#include "foundation/JSONDecoder.h"
#include "foundation/NumberText.h"
#include "foundation/Print.h"
#include "livetiming/DriverListPartModel.h"
#include "livetiming/LiveTiming.h"
#include "shell/DriverKey.h"
#include "shell/Utilities.h"
#include "weekend/PastDetailsViewController.h"
#include "shell/Utilities.h"
#include "weekend/WeekendSessions.h"

// Every load reads its answer on the main queue, where the screen's fields live; a failed read or an
// answer of another shape prints one line and leaves the fields as they were.

namespace {


int yearNumber(const std::string& year) {
    auto value = foundation::parseInt(year);
    return value && *value > 0 && *value < 10000 ? static_cast<int>(*value) : 0;
}

// The first race of a results-API answer, or none; `failure` tells a document that could not be
// loaded (and why) from one that lists no race.
dispatch::Task<std::optional<RacesDetailsModel>> firstRace(Loaded body, std::optional<LoadFailure>& failure) {
    auto model = co_await decodeLoadedNoting<RaceModel>(std::move(body), failure);
    if (!model || model->data.raceTable.races.empty()) co_return std::nullopt;
    co_return std::move(model->data.raceTable.races.front());
}

dispatch::Task<std::optional<StandingsDetailsModel>> firstStandings(Loaded body, std::optional<LoadFailure>& failure) {
    auto model = co_await decodeLoadedNoting<StandingModel>(std::move(body), failure);
    if (!model || model->data.standingsTable.standings.empty()) co_return std::nullopt;
    co_return std::move(model->data.standingsTable.standings.front());
}



}  // namespace

// Runs the reads one after another, holding the screen only while one runs.
dispatch::Task<void> PastDetailsViewController::readInTurn(std::weak_ptr<PastDetailsViewController> screen,
                                                           std::vector<Read> reads) {
    for (Read read : reads) {
        auto self = screen.lock();
        if (!self) co_return;
        co_await ((*self).*read)();
    }
}

dispatch::Task<void> PastDetailsViewController::loadWeekend(std::weak_ptr<PastDetailsViewController> screen) {
    // The session's files wait for the season's index when it had not arrived as the screen was made.
    std::vector<Read> reads{&PastDetailsViewController::loadRaceResults,   &PastDetailsViewController::loadQualifyingResults,
                            &PastDetailsViewController::findSession,       &PastDetailsViewController::loadDriverList,
                            &PastDetailsViewController::loadDriverOfTheDay, &PastDetailsViewController::loadWeather,
                            &PastDetailsViewController::loadLaps,          &PastDetailsViewController::loadPitStops,
                            &PastDetailsViewController::loadTyres,         &PastDetailsViewController::loadDriverStandings,
                            &PastDetailsViewController::loadTeamStandings};
    if (auto self = screen.lock(); self && self->raceRound >= 3) reads.push_back(&PastDetailsViewController::loadPredictions);
    reads.push_back(&PastDetailsViewController::loadRaceMessages);
    reads.push_back(&PastDetailsViewController::loadTeamRadio);
    co_await readInTurn(std::move(screen), std::move(reads));
}

dispatch::Task<void> PastDetailsViewController::loadRaceResults() {
    std::optional<LoadFailure> failure;
    auto answered = co_await firstRace(co_await RaceResults::all(yearNumber(year), raceRound), failure);
    noteResultsLoaded(0, failure);
    if (!answered || !answered->raceResults || answered->raceResults->empty()) co_return;
    raceResults = std::move(*answered->raceResults);
    // The fastest lap is the one ranked first, found once the classification is in.
    auto fastest = weekend::fastestLapResult(raceResults);
    fastestLap = fastest ? std::vector{*fastest} : std::vector<RaceResultsModel>{};
    doneFastestLapOnce = true;
    tableView[0]->reloadData();
}

dispatch::Task<void> PastDetailsViewController::loadQualifyingResults() {
    std::optional<LoadFailure> failure;
    auto answered = co_await firstRace(co_await QualifyingResults::all(yearNumber(year), raceRound), failure);
    noteResultsLoaded(1, failure);
    if (!answered || !answered->qualifyingResults || answered->qualifyingResults->empty()) co_return;
    qualifyingResults = std::move(*answered->qualifyingResults);
    tableView[1]->reloadData();
}

dispatch::Task<void> PastDetailsViewController::loadDriverList() {
    // One malformed driver never loses the others.
    auto drivers = co_await decodeLoadedValidItems<livetiming::DriverList>(co_await sessionFile(&LiveTiming::driverList));
    if (!drivers) co_return;
    if (drivers->empty()) co_return;
    fileDrivers(*this, *drivers);
    // One reload for the whole list: the rows read every entry at once.
    reloadAll();
}

dispatch::Task<void> PastDetailsViewController::loadDriverOfTheDay() {
    auto polls = co_await decodeLoaded<livetiming::DriverOfTheDayModel>(co_await LiveTiming::driverOfTheDay());
    driverOfTheDayLoaded = polls.has_value();
    tableView[0]->reloadData();
    if (!polls || !race()) co_return;
    auto poll = weekend::pollOf(*polls, *race(), foundation::Date::now());
    if (!poll || !poll->winner) co_return;
    driverOfTheDayResults = {*poll->winner};
    tableView[0]->reloadData();
}

dispatch::Task<void> PastDetailsViewController::loadWeather() {
    auto document = co_await decodeLoadedNoting<livetiming::WeatherModel>(co_await sessionFile(&LiveTiming::weatherData), weatherCouldNotLoad);
    if (!document) {
        reloadAll();
        co_return;
    }
    weather = {std::move(*document)};
    reloadAll();
}

dispatch::Task<void> PastDetailsViewController::loadLaps() {
    auto answered = co_await firstRace(co_await LapTimes::lap(yearNumber(year), raceRound, 1), lapsCouldNotLoad);
    if (!answered || !answered->laps || answered->laps->empty()) co_return;
    lapsResults = std::move(answered->laps->front().timings);
}

dispatch::Task<void> PastDetailsViewController::loadPitStops() {
    auto answered = co_await firstRace(co_await PitStops::pitStops(yearNumber(year), raceRound), pitStopsCouldNotLoad);
    if (!answered || !answered->pitStops || answered->pitStops->empty()) co_return;
    pitStopsResults = std::move(*answered->pitStops);
}

dispatch::Task<void> PastDetailsViewController::loadTyres() {
    auto document = co_await decodeLoadedNoting<livetiming::TyresModel>(co_await sessionFile(&LiveTiming::tyreStintSeries), tyresCouldNotLoad);
    if (!document) co_return;
    tyresResults = std::move(document->stints);
}

dispatch::Task<void> PastDetailsViewController::loadDriverStandings() {
    auto standings = co_await firstStandings(co_await Standings::driverAfterRace(yearNumber(year), raceRound), standingsCouldNotLoad[0]);
    if (!standings || !standings->driverStandings) co_return;
    driverStandings = std::move(*standings->driverStandings);
}

dispatch::Task<void> PastDetailsViewController::loadTeamStandings() {
    auto standings = co_await firstStandings(co_await Standings::constructorAfterRace(yearNumber(year), raceRound), standingsCouldNotLoad[1]);
    if (!standings || !standings->constructorStandings) co_return;
    teamStandings = std::move(*standings->constructorStandings);
}

dispatch::Task<void> PastDetailsViewController::loadPredictions() {
    auto document = co_await decodeLoadedNoting<livetiming::PredictionsModel>(co_await sessionFile(&LiveTiming::championshipPrediction),
                                                                     predictionsCouldNotLoad);
    if (!document) co_return;
    for (const auto& [key, driver] : document->drivers) driverPredictions.push_back(driver);
    std::ranges::stable_sort(driverPredictions, {}, &livetiming::DriverPredictions::predictedPosition);
    for (const auto& [key, team] : document->teams) teamPredictions.push_back(team);
    std::ranges::stable_sort(teamPredictions, {}, &livetiming::TeamPredictions::predictedPosition);
}

dispatch::Task<void> PastDetailsViewController::loadRaceMessages() {
    auto document = co_await decodeLoadedNoting<livetiming::RaceControlMessageModel>(co_await sessionFile(&LiveTiming::raceControlMessages), messagesCouldNotLoad);
    if (!document) co_return;
    raceMessages.assign(document->messages.rbegin(), document->messages.rend());
}

dispatch::Task<void> PastDetailsViewController::loadTeamRadio() {
    auto document = co_await decodeLoadedNoting<livetiming::TeamRadioModel>(co_await sessionFile(&LiveTiming::teamRadio), radioCouldNotLoad);
    if (!document) co_return;
    driverRadio.assign(document->captures.rbegin(), document->captures.rend());
}

void PastDetailsViewController::loadCircuits() {
    auto document = decodeNow<circuitDetailsModel>(Loaded(foundation::Data::fromString(CircuitDetailsJSON::shared().circuitDetailsJSON)));
    if (!document) return;
    for (auto& [locality, facts] : document->places) allCircuits.push_back(std::move(facts));
    reloadAll();
}

dispatch::Task<void> PastDetailsViewController::loadTopThrees(std::weak_ptr<PastDetailsViewController> screen) {
    auto self = screen.lock();
    if (!self) co_return;
    std::vector<Read> reads{self->isASprintWeekend ? &PastDetailsViewController::loadSprintTopThree
                                                   : &PastDetailsViewController::loadPractice3TopThree,
                            &PastDetailsViewController::loadPractice2TopThree, &PastDetailsViewController::loadPractice1TopThree};
    self.reset();
    co_await readInTurn(std::move(screen), std::move(reads));
}

dispatch::Task<void> PastDetailsViewController::loadTopThree(const livetiming::Session* session,
                                                           std::vector<livetiming::RaceResultLine>& into, int table) {
    // No such session this weekend: nothing to ask for, and nothing will come.
    if (!session) {
        noteResultsLoaded(table, std::nullopt);
        co_return;
    }
    std::optional<LoadFailure> failure;
    auto document = co_await decodeLoadedNoting<livetiming::TopThreeModel>(co_await LiveTiming::topThree(session->path), failure);
    noteResultsLoaded(table, failure);
    if (!document) co_return;
    into = std::move(document->lines);
    tableView[table]->reloadData();
    if (co_await fileMissingDrivers(session->path, into)) reloadAll();
}

dispatch::Task<bool> PastDetailsViewController::fileMissingDrivers(std::string sessionPath,
                                                                    const std::vector<livetiming::RaceResultLine>& lines) {
    bool missing = std::ranges::any_of(lines, [&](const auto& line) { return !firstKey(line.racingNumber, driverNumDictionary); });
    if (!missing) co_return false;
    auto drivers = co_await decodeLoadedValidItems<livetiming::DriverList>(co_await LiveTiming::driverList(sessionPath));
    if (!drivers || drivers->empty()) co_return false;
    // The race's own list, when it comes, stays what the other rows read: only new drivers are added.
    struct {
        ChampionshipSheet::Dictionary driverImageDictionary, driverColDictionary, driverNumDictionary;
    } missingOnes;
    fileDrivers(missingOnes, *drivers);
    bool added = false;
    for (const auto& [key, number] : missingOnes.driverNumDictionary) {
        if (driverNumDictionary.contains(key)) continue;
        added = true;
        driverNumDictionary[key] = number;
        if (auto colour = missingOnes.driverColDictionary.find(key); colour != missingOnes.driverColDictionary.end())
            driverColDictionary[key] = colour->second;
        if (auto image = missingOnes.driverImageDictionary.find(key); image != missingOnes.driverImageDictionary.end())
            driverImageDictionary[key] = image->second;
    }
    co_return added;
}

dispatch::Task<void> PastDetailsViewController::loadSprintTopThree() {
    co_await loadTopThree(weekend::findSession(meetingSessions, weekend::SessionKind::sprint), p3Results, 2);
}

dispatch::Task<void> PastDetailsViewController::loadPractice3TopThree() {
    co_await loadTopThree(weekend::findSession(meetingSessions, weekend::SessionKind::practice3), p3Results, 2);
}

dispatch::Task<void> PastDetailsViewController::loadPractice2TopThree() {
    co_await loadTopThree(weekend::findSession(meetingSessions, weekend::SessionKind::practice2), p2Results, 3);
}

dispatch::Task<void> PastDetailsViewController::loadPractice1TopThree() {
    co_await loadTopThree(weekend::findSession(meetingSessions, weekend::SessionKind::practice1), p1Results, 4);
}
