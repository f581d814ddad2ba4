#pragma once

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "data/CircuitModels.h"
#include "data/ResultModels.h"
#include "data/ResultsPage.h"
#include "foundation/JSONCoding.h"

// One race weekend of a season: the record every race screen receives. Which optional parts it
// carries depends on the endpoint that produced the document.
struct RacesDetailsModel {
    std::string season;
    std::string round;
    std::string url;
    std::string raceName;
    CircuitsDetailsModel circuit;
    std::string date;
    std::string time;
    std::optional<std::vector<RaceResultsModel>> raceResults;
    std::optional<std::vector<QualifyingResultsModel>> qualifyingResults;
    std::optional<std::vector<PitStopsModel>> pitStops;
    std::optional<std::vector<LapsModel>> laps;
    std::optional<dateTimeModel> firstPractice;
    std::optional<dateTimeModel> secondPractice;
    std::optional<dateTimeModel> thirdPractice;
    std::optional<dateTimeModel> qualifying;
    std::optional<dateTimeModel> sprint;
    // The sprint's own qualifying, which takes the second practice's place on a 2023 sprint weekend.
    std::optional<dateTimeModel> sprintShootout;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("season", &RacesDetailsModel::season),
        foundation::field("round", &RacesDetailsModel::round),
        foundation::field("url", &RacesDetailsModel::url),
        foundation::field("raceName", &RacesDetailsModel::raceName),
        foundation::field("Circuit", &RacesDetailsModel::circuit),
        foundation::field("date", &RacesDetailsModel::date),
        foundation::field("time", &RacesDetailsModel::time),
        foundation::optionalField("Results", &RacesDetailsModel::raceResults),
        foundation::optionalField("QualifyingResults", &RacesDetailsModel::qualifyingResults),
        foundation::optionalField("PitStops", &RacesDetailsModel::pitStops),
        foundation::optionalField("Laps", &RacesDetailsModel::laps),
        foundation::optionalField("FirstPractice", &RacesDetailsModel::firstPractice),
        foundation::optionalField("SecondPractice", &RacesDetailsModel::secondPractice),
        foundation::optionalField("ThirdPractice", &RacesDetailsModel::thirdPractice),
        foundation::optionalField("Qualifying", &RacesDetailsModel::qualifying),
        foundation::optionalField("Sprint", &RacesDetailsModel::sprint),
        foundation::optionalField("SprintShootout", &RacesDetailsModel::sprintShootout),
    };
};

struct RacesModel {
    std::vector<RacesDetailsModel> races;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Races", &RacesModel::races),
    };
};

struct RaceTableModel {
    RacesModel raceTable;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("RaceTable", &RaceTableModel::raceTable),
    };
};

// A race document: the season calendar, results, qualifying, laps or pit stops.
struct RaceModel {
    RaceTableModel data;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("MRData", &RaceModel::data),
    };
    static constexpr foundation::JSONLimits jsonLimits = resultsDocumentLimits;
};
