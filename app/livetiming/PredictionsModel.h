#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>

#include "foundation/JSONCoding.h"
#include "livetiming/FeedLimits.h"

namespace livetiming {

// "ChampionshipPrediction.json": current and predicted places (whole numbers) and points (real).

struct DriverPredictions {
    std::string racingNumber;
    std::int64_t currentPosition = 0;
    std::int64_t predictedPosition = 0;
    double currentPoints = 0;
    double predictedPoints = 0;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("RacingNumber", &DriverPredictions::racingNumber),
        foundation::field("CurrentPosition", &DriverPredictions::currentPosition),
        foundation::field("PredictedPosition", &DriverPredictions::predictedPosition),
        foundation::field("CurrentPoints", &DriverPredictions::currentPoints),
        foundation::field("PredictedPoints", &DriverPredictions::predictedPoints),
    };
};

struct TeamPredictions {
    std::string teamName;
    std::int64_t currentPosition = 0;
    std::int64_t predictedPosition = 0;
    double currentPoints = 0;
    double predictedPoints = 0;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("TeamName", &TeamPredictions::teamName),
        foundation::field("CurrentPosition", &TeamPredictions::currentPosition),
        foundation::field("PredictedPosition", &TeamPredictions::predictedPosition),
        foundation::field("CurrentPoints", &TeamPredictions::currentPoints),
        foundation::field("PredictedPoints", &TeamPredictions::predictedPoints),
    };
};

struct PredictionsModel {
    std::map<std::string, DriverPredictions> drivers;
    std::map<std::string, TeamPredictions> teams;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Drivers", &PredictionsModel::drivers),
        foundation::field("Teams", &PredictionsModel::teams),
    };
    static constexpr foundation::JSONLimits jsonLimits = liveTimingDocumentLimits;
};

}  // namespace livetiming
