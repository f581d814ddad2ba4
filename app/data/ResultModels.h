#pragma once

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "data/ConstructorModels.h"
#include "data/DriverModels.h"
#include "foundation/JSONCoding.h"

// What a race record carries besides its schedule: results, qualifying, pit stops, laps and the start
// of each session. Every scalar is text, as the results API sends it.

struct RaceResultsTimeModel {
    std::optional<std::string> millis;
    std::optional<std::string> time;

    static constexpr auto codingKeys = std::tuple{
        foundation::optionalField("millis", &RaceResultsTimeModel::millis),
        foundation::optionalField("time", &RaceResultsTimeModel::time),
    };
};

struct RaceResultsAverageSpeedModel {
    std::optional<std::string> units;
    std::optional<std::string> speed;

    static constexpr auto codingKeys = std::tuple{
        foundation::optionalField("units", &RaceResultsAverageSpeedModel::units),
        foundation::optionalField("speed", &RaceResultsAverageSpeedModel::speed),
    };
};

struct RaceResultsFastestLapModel {
    std::optional<std::string> rank;
    std::optional<std::string> lap;
    std::optional<RaceResultsTimeModel> time;
    std::optional<RaceResultsAverageSpeedModel> averageSpeed;

    static constexpr auto codingKeys = std::tuple{
        foundation::optionalField("rank", &RaceResultsFastestLapModel::rank),
        foundation::optionalField("lap", &RaceResultsFastestLapModel::lap),
        foundation::optionalField("Time", &RaceResultsFastestLapModel::time),
        foundation::optionalField("AverageSpeed", &RaceResultsFastestLapModel::averageSpeed),
    };
};

struct RaceResultsModel {
    std::string number;
    std::string position;
    std::string points;
    DriversDetailsModel driver;
    ConstructorsDetailsModel constructor;
    std::string grid;
    std::string laps;
    std::string status;
    std::optional<RaceResultsTimeModel> time;
    std::optional<RaceResultsFastestLapModel> fastestLap;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("number", &RaceResultsModel::number),
        foundation::field("position", &RaceResultsModel::position),
        foundation::field("points", &RaceResultsModel::points),
        foundation::field("Driver", &RaceResultsModel::driver),
        foundation::field("Constructor", &RaceResultsModel::constructor),
        foundation::field("grid", &RaceResultsModel::grid),
        foundation::field("laps", &RaceResultsModel::laps),
        foundation::field("status", &RaceResultsModel::status),
        foundation::optionalField("Time", &RaceResultsModel::time),
        foundation::optionalField("FastestLap", &RaceResultsModel::fastestLap),
    };
};

struct QualifyingResultsModel {
    std::string number;
    std::string position;
    DriversDetailsModel driver;
    ConstructorsDetailsModel constructor;
    std::optional<std::string> Q1;
    std::optional<std::string> Q2;
    std::optional<std::string> Q3;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("number", &QualifyingResultsModel::number),
        foundation::field("position", &QualifyingResultsModel::position),
        foundation::field("Driver", &QualifyingResultsModel::driver),
        foundation::field("Constructor", &QualifyingResultsModel::constructor),
        foundation::optionalField("Q1", &QualifyingResultsModel::Q1),
        foundation::optionalField("Q2", &QualifyingResultsModel::Q2),
        foundation::optionalField("Q3", &QualifyingResultsModel::Q3),
    };
};

struct PitStopsModel {
    std::string driverId;
    std::string lap;
    std::string stop;
    std::string time;
    std::string duration;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("driverId", &PitStopsModel::driverId),
        foundation::field("lap", &PitStopsModel::lap),
        foundation::field("stop", &PitStopsModel::stop),
        foundation::field("time", &PitStopsModel::time),
        foundation::field("duration", &PitStopsModel::duration),
    };
};

struct LapTimingsModel {
    std::string driverId;
    std::string position;
    std::string time;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("driverId", &LapTimingsModel::driverId),
        foundation::field("position", &LapTimingsModel::position),
        foundation::field("time", &LapTimingsModel::time),
    };
};

struct LapsModel {
    std::string number;
    std::vector<LapTimingsModel> timings;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("number", &LapsModel::number),
        foundation::field("Timings", &LapsModel::timings),
    };
};

// The start of one session of a race weekend.
struct dateTimeModel {
    std::optional<std::string> date;
    std::optional<std::string> time;

    static constexpr auto codingKeys = std::tuple{
        foundation::optionalField("date", &dateTimeModel::date),
        foundation::optionalField("time", &dateTimeModel::time),
    };
};
