#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/JSONCoding.h"
#include "livetiming/FeedLimits.h"

namespace livetiming {

// The season index: its meetings, each with its sessions and the folder path of their files.
// The feed lists cancelled and placeholder sessions without "Path" or "Name", and older seasons other
// malformed ones: a session (or meeting) that does not decode is left out, the rest of the season is
// kept, and every one kept is read strictly.

struct Country {
    std::int64_t key = 0;
    std::string code;
    std::string name;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Key", &Country::key),
        foundation::field("Code", &Country::code),
        foundation::field("Name", &Country::name),
    };
};

struct Circuit {
    std::int64_t key = 0;
    std::string shortName;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Key", &Circuit::key),
        foundation::field("ShortName", &Circuit::shortName),
    };
};

struct Session {
    std::int64_t key = 0;
    std::optional<std::int64_t> number;
    std::string name;
    std::string type;  // "Race" marks a meeting's race
    std::string startDate;
    std::string endDate;
    std::string gmtOffset;
    std::string path;  // relative to the static base, ends in "/"; file names are appended directly

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Key", &Session::key),
        foundation::field("Type", &Session::type),
        foundation::optionalField("Number", &Session::number),
        foundation::field("Name", &Session::name),
        foundation::field("StartDate", &Session::startDate),
        foundation::field("EndDate", &Session::endDate),
        foundation::field("GmtOffset", &Session::gmtOffset),
        foundation::field("Path", &Session::path),
    };
};

struct Meeting {
    std::vector<Session> sessions;
    std::int64_t key = 0;
    std::int64_t number = 0;
    std::string code;
    std::string location;
    std::string officialName;
    std::string name;
    Country country;
    Circuit circuit;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Sessions", &Meeting::sessions, foundation::ValidItems<std::vector<Session>>{}),
        foundation::field("Key", &Meeting::key),
        foundation::field("Code", &Meeting::code),
        foundation::field("Number", &Meeting::number),
        foundation::field("Location", &Meeting::location),
        foundation::field("OfficialName", &Meeting::officialName),
        foundation::field("Name", &Meeting::name),
        foundation::field("Country", &Meeting::country),
        foundation::field("Circuit", &Meeting::circuit),
    };
};

struct EventsModel {
    std::int64_t year = 0;
    std::vector<Meeting> meetings;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Year", &EventsModel::year),
        foundation::field("Meetings", &EventsModel::meetings, foundation::ValidItems<std::vector<Meeting>>{}),
    };
    static constexpr foundation::JSONLimits jsonLimits = liveTimingDocumentLimits;
};

}  // namespace livetiming
