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

// The clock text shown when a session's time is not known.
inline constexpr const char* toBeConfirmed = "TBC";

// One session from its results-API date and time texts. The start is the UTC instant they give, shown
// in local time; without a time the session reads "TBC" and shows its day as written when the date reads.
WeekendSession weekendSession(std::string name, const std::optional<std::string>& date,
                              const std::optional<std::string>& time);

// The strict weak ordering of the schedule: a is before b when both have a start and a's is later,
// or when only a has one.
bool startsLaterInSchedule(const WeekendSession& a, const WeekendSession& b);

// The weekend's five sessions: the race, qualifying, Practice 3 when it has a date (else the sprint),
// Practice 2 (the sprint shoot-out when it has a date and Practice 2 none) and Practice 1, latest
// start first; sessions without a start follow, in that order.
std::vector<WeekendSession> weekendSessions(const RacesDetailsModel& race);

// The schedule as the weekend screens' table lists it: entry 0 is the empty place of the section's
// header row, then the weekend's sessions.
std::vector<WeekendSession> buildWeekendStructure(const RacesDetailsModel& race);
