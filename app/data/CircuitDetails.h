#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "data/CircuitModels.h"
#include "foundation/JSONCoding.h"

// The circuit facts compiled into the app: 23 places keyed by the locality of their circuit.
class CircuitDetailsJSON {
public:
    static const CircuitDetailsJSON& shared();

    std::string_view circuitDetailsJSON;
};

// A lap record; every field is "--" where the circuit has none.
struct circuitDetailsRecordOverviewModel {
    std::string time;
    std::string driver;
    std::string year;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("time", &circuitDetailsRecordOverviewModel::time),
        foundation::field("driver", &circuitDetailsRecordOverviewModel::driver),
        foundation::field("year", &circuitDetailsRecordOverviewModel::year),
    };
};

struct circuitDetailsOverviewModel {
    std::string id;
    std::string name;  // slug used in the circuit-map picture's address
    std::int64_t lapCount = 0;
    std::int64_t cornerCount = 0;
    std::string trackLength;
    std::string trackDistance;
    std::string firstOpened;
    std::string firstGrandPrix;
    circuitDetailsRecordOverviewModel record;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("id", &circuitDetailsOverviewModel::id),
        foundation::field("name", &circuitDetailsOverviewModel::name),
        foundation::field("lapCount", &circuitDetailsOverviewModel::lapCount),
        foundation::field("cornerCount", &circuitDetailsOverviewModel::cornerCount),
        foundation::field("trackLength", &circuitDetailsOverviewModel::trackLength),
        foundation::field("trackDistance", &circuitDetailsOverviewModel::trackDistance),
        foundation::field("firstOpened", &circuitDetailsOverviewModel::firstOpened),
        foundation::field("firstGrandPrix", &circuitDetailsOverviewModel::firstGrandPrix),
        foundation::field("record", &circuitDetailsOverviewModel::record),
    };
};

struct circuitDetailsModel {
    std::map<std::string, circuitDetailsOverviewModel> places;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("places", &circuitDetailsModel::places),
    };
};

// The first place, in the map's order, whose id equals the locality as Unicode text (case counts).
const circuitDetailsOverviewModel* placeForLocality(const circuitDetailsModel& details, std::string_view locality);

// The facts of a race's circuit among `places`: the place whose id is the circuit's locality, else the
// place its circuit identifier is known by, since sources and seasons name one place apart ("Barcelona"
// and "Montmel\u00f3", "Lusail" and "Al Daayen", "Monte Carlo" and "Monte-Carlo").
const circuitDetailsOverviewModel* circuitFactsFor(const std::vector<circuitDetailsOverviewModel>& places,
                                                   const CircuitsDetailsModel& circuit);
