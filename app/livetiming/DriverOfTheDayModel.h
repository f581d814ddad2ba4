#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/JSONCoding.h"
#include "livetiming/FeedLimits.h"

namespace livetiming {

// The polls service's reply: every driver-of-the-day poll of the season. Its keys are lower camel case.

struct DriverOfTheDayWinnerModel {
    std::string firstName;
    std::string lastName;
    std::string teamName;
    std::string teamColour;
    std::int64_t number = 0;  // a JSON number here, unlike the timing feed's racing numbers
    std::string headshotURL;
    std::string bodyshotURL;
    std::string flagURL;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("firstName", &DriverOfTheDayWinnerModel::firstName),
        foundation::field("lastName", &DriverOfTheDayWinnerModel::lastName),
        foundation::field("teamName", &DriverOfTheDayWinnerModel::teamName),
        foundation::field("teamColour", &DriverOfTheDayWinnerModel::teamColour),
        foundation::field("number", &DriverOfTheDayWinnerModel::number),
        foundation::field("headshotURL", &DriverOfTheDayWinnerModel::headshotURL),
        foundation::field("bodyshotURL", &DriverOfTheDayWinnerModel::bodyshotURL),
        foundation::field("flagURL", &DriverOfTheDayWinnerModel::flagURL),
    };
};

struct DriverOfTheDayDataModel {
    std::string grandPrixName;
    std::optional<DriverOfTheDayWinnerModel> winner;  // empty while the vote is open

    static constexpr auto codingKeys = std::tuple{
        foundation::field("grandPrixName", &DriverOfTheDayDataModel::grandPrixName),
        foundation::optionalField("winner", &DriverOfTheDayDataModel::winner),
    };
};

struct DriverOfTheDayModel {
    std::vector<DriverOfTheDayDataModel> data;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("data", &DriverOfTheDayModel::data),
    };
    static constexpr foundation::JSONLimits jsonLimits = pollsDocumentLimits;
};

}  // namespace livetiming
