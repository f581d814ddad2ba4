#pragma once

#include <string>

#include "dispatch/Task.h"
#include "foundation/Data.h"

// The results API's documents, each an async read of one URL text through Client.shared. Nothing is
// decoded here; every operation returns the body as Client.run gave it (empty after any failure).
namespace resultsapi {

// "http://" + host + "/api/f1/"
std::string baseAddress();
dispatch::Task<foundation::Data> fetch(std::string pathAfterBase);

}  // namespace resultsapi

struct Standings {
    static dispatch::Task<foundation::Data> driverCurrent(int year);
    static dispatch::Task<foundation::Data> driverSpecific(std::string driver);
    static dispatch::Task<foundation::Data> driverAfterRace(int year, int round);
    static dispatch::Task<foundation::Data> driverAfterSeason(int year);
    static dispatch::Task<foundation::Data> driversAllWinners(int year);
    static dispatch::Task<foundation::Data> constructorsCurrent(int year);
    static dispatch::Task<foundation::Data> constructorSpecific(std::string constructor);
    static dispatch::Task<foundation::Data> constructorAfterRace(int year, int round);
    static dispatch::Task<foundation::Data> constructorAfterSeason(int year);
    static dispatch::Task<foundation::Data> constructorsAllWinners(int year);
};

struct RaceSchedules {
    static dispatch::Task<foundation::Data> currentSeason();
    static dispatch::Task<foundation::Data> specificSeason(int year);
    static dispatch::Task<foundation::Data> specificRace(int year, int round);
};

struct RaceResults {
    static dispatch::Task<foundation::Data> all(int year, int round);
    static dispatch::Task<foundation::Data> recent();
};

struct QualifyingResults {
    static dispatch::Task<foundation::Data> all(int year, int round);
};

struct LapTimes {
    static dispatch::Task<foundation::Data> lap(int year, int round, int lap);
};

struct PitStops {
    static dispatch::Task<foundation::Data> pitStops(int year, int round);
    static dispatch::Task<foundation::Data> specific(int year, int round, int pitStop);
};

struct Constructors {
    static dispatch::Task<foundation::Data> listAllConstructors();
    static dispatch::Task<foundation::Data> listAllConstructorsWithinYear(int year);
    static dispatch::Task<foundation::Data> listAllConstructorsWithinRaceAndYear(int year, int round);
    static dispatch::Task<foundation::Data> constructorInformation(std::string constructor);
};

struct Drivers {
    static dispatch::Task<foundation::Data> listAllDrivers();
    static dispatch::Task<foundation::Data> listAllDriversWithinYear(int year);
    static dispatch::Task<foundation::Data> listAllDriversWithinRaceAndYear(int year, int round);
    static dispatch::Task<foundation::Data> driverInformation(std::string driver);
};

struct Circuits {
    static dispatch::Task<foundation::Data> listAllCircuits();
    static dispatch::Task<foundation::Data> listAllCircuitsWithinYear(int year);
    static dispatch::Task<foundation::Data> listAllCircuitsWithinRaceAndYear(int year, int round);
    static dispatch::Task<foundation::Data> circuitInformation(std::string circuit);
};

struct FinishingStatus {
    static dispatch::Task<foundation::Data> all();
    static dispatch::Task<foundation::Data> specificSeason(int year);
    static dispatch::Task<foundation::Data> specificRoundInSeason(int year, int round);
};
