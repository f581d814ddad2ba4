#pragma once

#include <optional>
#include <string>
#include <vector>

#include "data/RaceModels.h"
#include "foundation/Date.h"

// One row of a weekend's schedule: the session, its day ("dd"), month ("LLL"), clock time ("HH:mm")
// and weekday ("EEEE"), all in the device's time zone, and its start.
struct WeekendSession {
    std::string name;
    std::string day;
    std::string month;
    std::string time;
    std::string weekday;
    std::optional<foundation::Date> start;  // none while the session has no time yet ("TBC")
};

// The schedule of the race's weekend: entry 0 is the empty place of the section's header row, then
// the race, qualifying, Practice 3 (or the sprint when there is no third practice), Practice 2 and
// Practice 1, latest start first. The results API gives each start in UTC; it is shown in local time.
// A session without a time reads "TBC" (its day still shown when its date reads) and is listed last.
std::vector<WeekendSession> buildWeekendStructure(const RacesDetailsModel& race);
