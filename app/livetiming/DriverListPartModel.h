#pragma once

#include <cstdint>
#include <string>
#include <tuple>

#include "foundation/JSONCoding.h"

namespace livetiming {

// One driver of a session's "DriverList.json", which decodes as a map from any member name to these.
struct DriverListPartModel {
    std::string racingNumber;
    std::string broadcastName;
    std::string fullName;
    std::string tla;
    std::int64_t line = 0;
    std::string teamName;
    std::string teamColour;
    std::string firstName;
    std::string lastName;
    std::string reference;
    std::string headshotUrl;
    std::string countryCode;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("RacingNumber", &DriverListPartModel::racingNumber),
        foundation::field("BroadcastName", &DriverListPartModel::broadcastName),
        foundation::field("FullName", &DriverListPartModel::fullName),
        foundation::field("Tla", &DriverListPartModel::tla),
        foundation::field("Line", &DriverListPartModel::line),
        foundation::field("TeamName", &DriverListPartModel::teamName),
        foundation::field("TeamColour", &DriverListPartModel::teamColour),
        foundation::field("FirstName", &DriverListPartModel::firstName),
        foundation::field("LastName", &DriverListPartModel::lastName),
        foundation::field("Reference", &DriverListPartModel::reference),
        foundation::field("HeadshotUrl", &DriverListPartModel::headshotUrl),
        foundation::field("CountryCode", &DriverListPartModel::countryCode),
    };
};

}  // namespace livetiming
