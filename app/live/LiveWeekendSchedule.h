#pragma once

#include <optional>
#include <string>
#include <vector>

#include "data/RaceModels.h"
#include "foundation/Date.h"

// One session of a race weekend as the live screen's schedule rows show it. The start is the UTC
// instant the results API gives (its date and "HH:mm:ssZ" time read together); day, month, clock and
// weekday are that instant in the device's zone. A session without a time (or without a date) has no
// start: its clock reads "TBC", and the day, month and weekday show what its date alone tells.
struct WeekendSession {
    std::string name;  // "Race", "Qualifying", "Sprint", "Practice 3", "Practice 2", "Practice 1"
    std::string day;   // "dd"
    std::string month;  // "LLL"
    std::string time;   // "HH:mm", or "TBC"
    std::string weekday;  // "EEEE", or empty without a date
    std::optional<foundation::Date> start;
};

// The clock text shown when a session's time is not known.
inline constexpr const char* toBeConfirmed = "TBC";

// The weekend's five sessions: the race, qualifying, the third practice when it has a date (else the
// sprint), the second and the first practice, ordered latest start first; sessions without a start
// follow, in that building order.
std::vector<WeekendSession> liveWeekendSessions(const RacesDetailsModel& race);

// One session from its date and time texts.
WeekendSession weekendSession(std::string name, const std::optional<std::string>& date,
                              const std::optional<std::string>& time);

// The strict weak ordering of the schedule: a is before b when both have a start and a's is later,
// or when only a has one.
bool startsLaterInSchedule(const WeekendSession& a, const WeekendSession& b);
