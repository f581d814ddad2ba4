#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/JSONCoding.h"

namespace livetiming {

// The season index: its meetings, each with its sessions and the folder path of their files.

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

// The feed lists cancelled and placeholder sessions without "Path" (and often without "Name"): they
// have no files. Leaving them out keeps the season's other sessions instead of failing the whole
// index on them; every session that has a path is still read strictly.
struct SessionsWithFiles {
    static std::vector<Session> decode(const foundation::DecodingValue& value) {
        const auto& json = value.json();
        if (!json.is_array()) return value.decode<std::vector<Session>>();
        std::vector<Session> sessions;
        for (std::size_t index = 0; index < json.size(); ++index) {
            if (json[index].is_object() && !json[index].contains("Path")) continue;
            sessions.push_back(value.decodeElement<Session>(index));
        }
        return sessions;
    }
    static std::vector<Session> encode(const std::vector<Session>& sessions) { return sessions; }
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
        foundation::field("Sessions", &Meeting::sessions, SessionsWithFiles{}),
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
        foundation::field("Meetings", &EventsModel::meetings),
    };
};

}  // namespace livetiming
