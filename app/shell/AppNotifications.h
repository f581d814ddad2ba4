#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "foundation/Notification.h"

// The five notifications through which the screens coordinate, all posted on the default centre with
// no sender. Only "upcomingRace", "selectedRace" and "changedYear" carry a payload, of one entry.
namespace notifications {

// "race": the index in GlobalStruct::races() of the first race still ahead.
inline const foundation::Notification::Name upcomingRace{"upcomingRace"};
// "race": the index in GlobalStruct::races() of the race picked on the map or in the season list.
inline const foundation::Notification::Name selectedRace{"selectedRace"};
// "year": the four-digit season year picked in the season sheet.
inline const foundation::Notification::Name changedYear{"changedYear"};
inline const foundation::Notification::Name updateTable{"updateTable"};
inline const foundation::Notification::Name reloadWeatherAnimations{"reloadWeatherAnimations"};

inline constexpr std::string_view raceKey = "race";
inline constexpr std::string_view yearKey = "year";

inline foundation::UserInfo raceUserInfo(int raceIndex) { return {{std::string(raceKey), raceIndex}}; }
inline foundation::UserInfo yearUserInfo(std::string year) { return {{std::string(yearKey), std::move(year)}}; }

// A handler ignores a payload that is missing or of another type: "race" must be an int, "year" a
// std::string.
inline std::optional<int> raceIndex(const foundation::Notification& notification) {
    if (const int* index = notification.value<int>(raceKey)) return *index;
    return std::nullopt;
}

inline std::optional<std::string> year(const foundation::Notification& notification) {
    if (const std::string* text = notification.value<std::string>(yearKey)) return *text;
    return std::nullopt;
}

}  // namespace notifications
