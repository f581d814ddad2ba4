#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/JSONCoding.h"

// Small models in the shapes the app's documents take, shared by the decoder and encoder tests.
namespace json_test {

struct Session {
    std::int64_t key = 0;
    std::string type;
    std::optional<std::int64_t> number;
    std::string path;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Key", &Session::key),
        foundation::field("Type", &Session::type),
        foundation::optionalField("Number", &Session::number),
        foundation::field("Path", &Session::path),
    };
};

struct Meeting {
    std::vector<Session> sessions;
    std::string name;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Sessions", &Meeting::sessions),
        foundation::field("Name", &Meeting::name),
    };
};

struct Events {
    int year = 0;
    std::vector<Meeting> meetings;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Year", &Events::year),
        foundation::field("Meetings", &Events::meetings),
    };
};

struct Prediction {
    std::string racingNumber;
    int predictedPosition = 0;
    double predictedPoints = 0;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("RacingNumber", &Prediction::racingNumber),
        foundation::field("PredictedPosition", &Prediction::predictedPosition),
        foundation::field("PredictedPoints", &Prediction::predictedPoints),
    };
};

struct Predictions {
    std::map<std::string, Prediction> drivers;

    static constexpr auto codingKeys = std::tuple{foundation::field("Drivers", &Predictions::drivers)};
};

// The feed sends "New" as the text "true" or "false"; the model keeps a Boolean.
struct TextIsTrue {
    static bool decode(const foundation::DecodingValue& value) { return value.decode<std::string>() == "true"; }
    static bool encode(bool isNew) { return isNew; }
};

struct Stint {
    std::string compound;
    bool isNew = false;
    std::int64_t totalLaps = 0;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Compound", &Stint::compound),
        foundation::field("New", &Stint::isNew, TextIsTrue{}),
        foundation::field("TotalLaps", &Stint::totalLaps),
    };
};

struct Stints {
    std::map<std::string, std::vector<Stint>> stints;

    static constexpr auto codingKeys = std::tuple{foundation::field("Stints", &Stints::stints)};
};

// Results-API records are shared by reference.
struct Circuit {
    std::string circuitId;
    std::optional<std::string> url;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("circuitId", &Circuit::circuitId),
        foundation::optionalField("url", &Circuit::url),
    };
};

struct Race {
    std::string season;
    std::string round;
    std::shared_ptr<const Circuit> circuit;
    std::optional<std::vector<std::string>> laps;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("season", &Race::season),
        foundation::field("round", &Race::round),
        foundation::field("Circuit", &Race::circuit),
        foundation::optionalField("Laps", &Race::laps),
    };
};

struct RaceTable {
    std::vector<std::shared_ptr<const Race>> races;

    static constexpr auto codingKeys = std::tuple{foundation::field("Races", &RaceTable::races)};
};

struct Envelope {
    RaceTable raceTable;

    static constexpr auto codingKeys = std::tuple{foundation::field("RaceTable", &Envelope::raceTable)};
};

struct RaceDocument {
    Envelope data;

    static constexpr auto codingKeys = std::tuple{foundation::field("MRData", &RaceDocument::data)};
};

}  // namespace json_test
