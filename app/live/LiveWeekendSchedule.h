#pragma once

#include <optional>
#include <string>
#include <vector>

#include "data/RaceModels.h"
#include "foundation/Date.h"
#include "weekend/WeekendSchedule.h"

// The live screen's schedule rows are the weekend schedule's sessions (weekend/WeekendSchedule.h): the
// start is the UTC instant the results API gives, and a session without a time reads "TBC".

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
