#pragma once

#include <optional>
#include <string>

#include "data/RaceModels.h"
#include "foundation/Date.h"

// Which session of a weekend a race screen's session picker stands for, by the picker's index: 0 the
// race, 1 qualifying, 2 Practice 3 or the sprint, 3 Practice 2, 4 (and anything larger) Practice 1.
namespace weekend {

struct SelectedSession {
    std::string name;  // "Race", "Qualifying", "Practice 3", "Sprint", "Practice 2", "Practice 1"
    std::optional<std::string> date;
    std::optional<std::string> time;
};

// The one rule that tells a third practice from a sprint, for naming and dating alike: the weekend
// has a third practice when its record carries one with a date (as the weekend schedule lists it).
bool hasThirdPractice(const RacesDetailsModel& race);

SelectedSession selectedSession(const RacesDetailsModel& race, int index);

// The session's start as the UTC instant it is; none without a date and a time.
std::optional<foundation::Date> selectedSessionStart(const RacesDetailsModel& race, int index);

}  // namespace weekend
