#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>

#include "foundation/JSONCoding.h"
#include "foundation/JSONDecoder.h"
#include "livetiming/FeedLimits.h"

namespace livetiming {

// One driver of a session's "DriverList.json", which decodes as a map from any member name to these
// (with `foundation::ValidItems`, so a keyframe's "_kf" marker or one malformed entry loses nothing
// else). Seasons before 2022 and from 2025 on send no "CountryCode", and some drivers no
// "HeadshotUrl": both are optional; the driver is kept.
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
    std::optional<std::string> headshotUrl;
    std::optional<std::string> countryCode;

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
        foundation::optionalField("HeadshotUrl", &DriverListPartModel::headshotUrl),
        foundation::optionalField("CountryCode", &DriverListPartModel::countryCode),
    };
};

using DriverList = std::map<std::string, DriverListPartModel>;

}  // namespace livetiming

// A driver list is a plain dictionary, which can hold no limits of its own.
template <>
constexpr foundation::JSONLimits foundation::jsonLimitsOf<livetiming::DriverList>() {
    return liveTimingDocumentLimits;
}
