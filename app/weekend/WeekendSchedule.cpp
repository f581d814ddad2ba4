#include "weekend/WeekendSchedule.h"

#include <algorithm>

#include "shell/PosixFormatter.h"
#include "weekend/WeekendSessions.h"

namespace {

WeekendSession fromModel(std::string name, const std::optional<dateTimeModel>& session) {
    if (!session) return weekendSession(std::move(name), std::nullopt, std::nullopt);
    return weekendSession(std::move(name), session->date, session->time);
}

}  // namespace

WeekendSession weekendSession(std::string name, const std::optional<std::string>& date,
                              const std::optional<std::string>& time) {
    WeekendSession row{.name = std::move(name), .start = weekend::scheduledStart(date, time)};
    if (row.start) {
        row.day = posixFormatter("dd").string(*row.start);
        row.month = posixFormatter("LLL").string(*row.start);
        row.time = posixFormatter("HH:mm").string(*row.start);
        row.weekday = posixFormatter("EEEE").string(*row.start);
        return row;
    }
    // Without a time only the calendar day is known, as written.
    row.time = toBeConfirmed;
    if (date) {
        auto utc = foundation::TimeZone::utc();
        if (auto day = posixFormatter("yyyy-MM-dd", utc).date(*date)) {
            row.day = posixFormatter("dd", utc).string(*day);
            row.month = posixFormatter("LLL", utc).string(*day);
            row.weekday = posixFormatter("EEEE", utc).string(*day);
        }
    }
    return row;
}

bool startsLaterInSchedule(const WeekendSession& a, const WeekendSession& b) {
    if (a.start && b.start) return *a.start > *b.start;
    return a.start.has_value() && !b.start.has_value();
}

std::vector<WeekendSession> weekendSessions(const RacesDetailsModel& race) {
    std::vector<WeekendSession> sessions;
    sessions.push_back(weekendSession("Race", race.date, race.time));
    sessions.push_back(fromModel("Qualifying", race.qualifying));
    if (race.thirdPractice && race.thirdPractice->date) sessions.push_back(fromModel("Practice 3", race.thirdPractice));
    else sessions.push_back(fromModel("Sprint", race.sprint));
    // A sprint weekend without a second practice holds the shoot-out in its place: the row names the
    // session that runs, never an undated "Practice 2".
    if (!(race.secondPractice && race.secondPractice->date) && race.sprintShootout && race.sprintShootout->date) {
        sessions.push_back(fromModel("Sprint Shootout", race.sprintShootout));
    } else {
        sessions.push_back(fromModel("Practice 2", race.secondPractice));
    }
    sessions.push_back(fromModel("Practice 1", race.firstPractice));
    std::stable_sort(sessions.begin(), sessions.end(), startsLaterInSchedule);
    return sessions;
}

std::vector<WeekendSession> buildWeekendStructure(const RacesDetailsModel& race) {
    std::vector<WeekendSession> rows(1);
    std::ranges::move(weekendSessions(race), std::back_inserter(rows));
    return rows;
}
