#pragma once

#include <string>

#include "dispatch/Task.h"
#include "data/Client.h"

// The results API's documents, each an async read of one URL text through Client.shared. Nothing is
// decoded here; every operation returns what Client.load gave (empty, with the failure, after any failure).
namespace resultsapi {

// "http://" + host + "/api/f1/"
std::string baseAddress();
dispatch::Task<Loaded> fetch(std::string pathAfterBase);

}  // namespace resultsapi

struct Standings {
    static dispatch::Task<Loaded> driverCurrent(int year);
    static dispatch::Task<Loaded> driverSpecific(std::string driver);
    static dispatch::Task<Loaded> driverAfterRace(int year, int round);
    static dispatch::Task<Loaded> driverAfterSeason(int year);
    static dispatch::Task<Loaded> driversAllWinners(int year);
    static dispatch::Task<Loaded> constructorsCurrent(int year);
    static dispatch::Task<Loaded> constructorSpecific(std::string constructor);
    static dispatch::Task<Loaded> constructorAfterRace(int year, int round);
    static dispatch::Task<Loaded> constructorAfterSeason(int year);
    static dispatch::Task<Loaded> constructorsAllWinners(int year);
};

struct RaceSchedules {
    static dispatch::Task<Loaded> currentSeason();
    static dispatch::Task<Loaded> specificSeason(int year);
    static dispatch::Task<Loaded> specificRace(int year, int round);
};

struct RaceResults {
    static dispatch::Task<Loaded> all(int year, int round);
    static dispatch::Task<Loaded> recent();
};

struct QualifyingResults {
    static dispatch::Task<Loaded> all(int year, int round);
};

struct LapTimes {
    static dispatch::Task<Loaded> lap(int year, int round, int lap);
};

struct PitStops {
    static dispatch::Task<Loaded> pitStops(int year, int round);
    static dispatch::Task<Loaded> specific(int year, int round, int pitStop);
};

struct Constructors {
    static dispatch::Task<Loaded> listAllConstructors();
    static dispatch::Task<Loaded> listAllConstructorsWithinYear(int year);
    static dispatch::Task<Loaded> listAllConstructorsWithinRaceAndYear(int year, int round);
    static dispatch::Task<Loaded> constructorInformation(std::string constructor);
};

struct Drivers {
    static dispatch::Task<Loaded> listAllDrivers();
    static dispatch::Task<Loaded> listAllDriversWithinYear(int year);
    static dispatch::Task<Loaded> listAllDriversWithinRaceAndYear(int year, int round);
    static dispatch::Task<Loaded> driverInformation(std::string driver);
};

struct Circuits {
    static dispatch::Task<Loaded> listAllCircuits();
    static dispatch::Task<Loaded> listAllCircuitsWithinYear(int year);
    static dispatch::Task<Loaded> listAllCircuitsWithinRaceAndYear(int year, int round);
    static dispatch::Task<Loaded> circuitInformation(std::string circuit);
};

struct FinishingStatus {
    static dispatch::Task<Loaded> all();
    static dispatch::Task<Loaded> specificSeason(int year);
    static dispatch::Task<Loaded> specificRoundInSeason(int year, int round);
};
