#pragma once

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "data/ConstructorModels.h"
#include "data/DriverModels.h"
#include "data/ResultsPage.h"
#include "foundation/JSONCoding.h"

// The drivers' or constructors' championship: MRData -> StandingsTable -> StandingsLists -> lines.

struct DriverStandingsModel {
    std::string position;
    std::string points;
    std::string wins;
    DriversDetailsModel driver;
    std::vector<ConstructorsDetailsModel> constructors;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("position", &DriverStandingsModel::position),
        foundation::field("points", &DriverStandingsModel::points),
        foundation::field("wins", &DriverStandingsModel::wins),
        foundation::field("Driver", &DriverStandingsModel::driver),
        foundation::field("Constructors", &DriverStandingsModel::constructors),
    };
};

struct ConstructorStandingsModel {
    std::string position;
    std::string points;
    std::string wins;
    ConstructorsDetailsModel constructors;  // one constructor, under the singular key, plural name kept

    static constexpr auto codingKeys = std::tuple{
        foundation::field("position", &ConstructorStandingsModel::position),
        foundation::field("points", &ConstructorStandingsModel::points),
        foundation::field("wins", &ConstructorStandingsModel::wins),
        foundation::field("Constructor", &ConstructorStandingsModel::constructors),
    };
};

struct StandingsDetailsModel {
    std::string season;
    std::string round;
    std::optional<std::vector<DriverStandingsModel>> driverStandings;
    std::optional<std::vector<ConstructorStandingsModel>> constructorStandings;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("season", &StandingsDetailsModel::season),
        foundation::field("round", &StandingsDetailsModel::round),
        foundation::optionalField("DriverStandings", &StandingsDetailsModel::driverStandings),
        foundation::optionalField("ConstructorStandings", &StandingsDetailsModel::constructorStandings),
    };
};

struct StandingsModel {
    std::string season;
    std::optional<std::string> round;
    std::vector<StandingsDetailsModel> standings;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("season", &StandingsModel::season),
        foundation::optionalField("round", &StandingsModel::round),
        foundation::field("StandingsLists", &StandingsModel::standings),
    };
};

struct StandingsTableModel {
    StandingsModel standingsTable;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("StandingsTable", &StandingsTableModel::standingsTable),
    };
};

struct StandingModel {
    StandingsTableModel data;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("MRData", &StandingModel::data),
    };
    static constexpr foundation::JSONLimits jsonLimits = resultsDocumentLimits;
};
