#include "data/ResultsEndpoints.h"

#include "data/Client.h"
#include "data/ServiceHosts.h"

namespace {

// Whole numbers enter a path in plain decimal: no leading zeros, no grouping.
std::string n(int value) { return std::to_string(value); }

}  // namespace

std::string resultsapi::baseAddress() { return "http://" + ServiceHosts::current().resultsAPI + "/api/f1/"; }

dispatch::Task<Loaded> resultsapi::fetch(std::string pathAfterBase) {
    co_return co_await Client::shared().load(baseAddress() + pathAfterBase);
}

// Arguments that do not enter the text (a year beside "current") are still taken, as callers pass them.
dispatch::Task<Loaded> Standings::driverCurrent([[maybe_unused]] int year) {
    return resultsapi::fetch("current/driverStandings.json");
}
dispatch::Task<Loaded> Standings::driverSpecific(std::string driver) {
    return resultsapi::fetch("drivers/" + driver + "/driverStandings.json");
}
dispatch::Task<Loaded> Standings::driverAfterRace(int year, int round) {
    return resultsapi::fetch(n(year) + "/" + n(round) + "/driverStandings.json");
}
dispatch::Task<Loaded> Standings::driverAfterSeason(int year) {
    return resultsapi::fetch(n(year) + "/driverStandings.json");
}
dispatch::Task<Loaded> Standings::driversAllWinners([[maybe_unused]] int year) {
    return resultsapi::fetch("driverStandings/1.json");
}
dispatch::Task<Loaded> Standings::constructorsCurrent([[maybe_unused]] int year) {
    return resultsapi::fetch("current/constructorStandings.json");
}
dispatch::Task<Loaded> Standings::constructorSpecific(std::string constructor) {
    return resultsapi::fetch("constructors/" + constructor + "/constructorStandings.json");
}
dispatch::Task<Loaded> Standings::constructorAfterRace(int year, int round) {
    return resultsapi::fetch(n(year) + "/" + n(round) + "/constructorStandings.json");
}
dispatch::Task<Loaded> Standings::constructorAfterSeason(int year) {
    return resultsapi::fetch(n(year) + "/constructorStandings.json");
}
dispatch::Task<Loaded> Standings::constructorsAllWinners([[maybe_unused]] int year) {
    return resultsapi::fetch("constructorStandings/1.json");
}
dispatch::Task<Loaded> RaceSchedules::currentSeason() {
    return resultsapi::fetch("current.json");
}
dispatch::Task<Loaded> RaceSchedules::specificSeason(int year) {
    return resultsapi::fetch(n(year) + ".json");
}
dispatch::Task<Loaded> RaceSchedules::specificRace(int year, int round) {
    return resultsapi::fetch(n(year) + "/" + n(round) + ".json");
}
dispatch::Task<Loaded> RaceResults::all(int year, int round) {
    return resultsapi::fetch(n(year) + "/" + n(round) + "/results.json");
}
dispatch::Task<Loaded> RaceResults::recent() {
    return resultsapi::fetch("current/last/results.json");
}
dispatch::Task<Loaded> QualifyingResults::all(int year, int round) {
    return resultsapi::fetch(n(year) + "/" + n(round) + "/qualifying.json");
}
dispatch::Task<Loaded> LapTimes::lap(int year, int round, int lap) {
    return resultsapi::fetch(n(year) + "/" + n(round) + "/laps/" + n(lap) + ".json");
}
dispatch::Task<Loaded> PitStops::pitStops(int year, int round) {
    return resultsapi::fetch(n(year) + "/" + n(round) + "/pitstops.json");
}
dispatch::Task<Loaded> PitStops::specific(int year, int round, int pitStop) {
    return resultsapi::fetch(n(year) + "/" + n(round) + "/pitstops/" + n(pitStop) + ".json");
}
dispatch::Task<Loaded> Constructors::listAllConstructors() {
    return resultsapi::fetch("constructors.json");
}
dispatch::Task<Loaded> Constructors::listAllConstructorsWithinYear(int year) {
    return resultsapi::fetch(n(year) + "/constructors.json");
}
dispatch::Task<Loaded> Constructors::listAllConstructorsWithinRaceAndYear(int year, int round) {
    return resultsapi::fetch(n(year) + "/" + n(round) + "/constructors.json");
}
dispatch::Task<Loaded> Constructors::constructorInformation(std::string constructor) {
    return resultsapi::fetch("constructors/" + constructor + ".json");
}
dispatch::Task<Loaded> Drivers::listAllDrivers() {
    return resultsapi::fetch("drivers.json");
}
dispatch::Task<Loaded> Drivers::listAllDriversWithinYear(int year) {
    return resultsapi::fetch(n(year) + "/drivers.json");
}
dispatch::Task<Loaded> Drivers::listAllDriversWithinRaceAndYear(int year, int round) {
    return resultsapi::fetch(n(year) + "/" + n(round) + "/drivers.json");
}
dispatch::Task<Loaded> Drivers::driverInformation(std::string driver) {
    return resultsapi::fetch("drivers/" + driver + ".json");
}
dispatch::Task<Loaded> Circuits::listAllCircuits() {
    return resultsapi::fetch("circuits.json");
}
dispatch::Task<Loaded> Circuits::listAllCircuitsWithinYear(int year) {
    return resultsapi::fetch(n(year) + "/circuits.json");
}
dispatch::Task<Loaded> Circuits::listAllCircuitsWithinRaceAndYear(int year, int round) {
    return resultsapi::fetch(n(year) + "/" + n(round) + "/circuits.json");
}
dispatch::Task<Loaded> Circuits::circuitInformation(std::string circuit) {
    return resultsapi::fetch("circuits/" + circuit + ".json");
}
dispatch::Task<Loaded> FinishingStatus::all() {
    return resultsapi::fetch("status.json");
}
dispatch::Task<Loaded> FinishingStatus::specificSeason(int year) {
    return resultsapi::fetch(n(year) + "/status.json");
}
dispatch::Task<Loaded> FinishingStatus::specificRoundInSeason(int year, int round) {
    return resultsapi::fetch(n(year) + "/" + n(round) + "/status.json");
}
