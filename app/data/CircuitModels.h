#pragma once

#include <string>
#include <tuple>
#include <vector>

#include "data/ResultsPage.h"
#include "foundation/JSONCoding.h"

// Where a circuit lies. Coordinates stay text; the screens that need numbers convert them.
struct Location {
    std::string lat;
    std::string long_;  // "long": the JSON key is a C++ keyword
    std::string locality;
    std::string country;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("lat", &Location::lat),
        foundation::field("long", &Location::long_),
        foundation::field("locality", &Location::locality),
        foundation::field("country", &Location::country),
    };
};

struct CircuitsDetailsModel {
    std::string circuitId;
    std::string url;
    std::string circuitName;
    Location location;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("circuitId", &CircuitsDetailsModel::circuitId),
        foundation::field("url", &CircuitsDetailsModel::url),
        foundation::field("circuitName", &CircuitsDetailsModel::circuitName),
        foundation::field("Location", &CircuitsDetailsModel::location),
    };
};

struct CircuitsModel {
    std::vector<CircuitsDetailsModel> circuits;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Circuits", &CircuitsModel::circuits),
    };
};

struct CircuitTableModel {
    CircuitsModel circuitTable;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("CircuitTable", &CircuitTableModel::circuitTable),
    };
};

struct CircuitModel {
    CircuitTableModel data;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("MRData", &CircuitModel::data),
    };
    static constexpr foundation::JSONLimits jsonLimits = resultsDocumentLimits;
};
