#include "weekend/WeekendSchedule.h"

#include <algorithm>

#include "foundation/DateFormatter.h"
#include "foundation/Locale.h"
#include "foundation/TimeZone.h"
#include "weekend/WeekendSessions.h"

namespace {

foundation::DateFormatter posix(const char* pattern, std::optional<foundation::TimeZone> zone = std::nullopt) {
    foundation::DateFormatter formatter;
    formatter.setLocale(foundation::Locale("en_US_POSIX"));
    if (zone) formatter.setTimeZone(*zone);
    formatter.setDateFormat(pattern);
    return formatter;
}

WeekendSession fromModel(std::string name, const std::optional<dateTimeModel>& session) {
    if (!session) return weekendSession(std::move(name), std::nullopt, std::nullopt);
    return weekendSession(std::move(name), session->date, session->time);
}

}  // namespace

WeekendSession weekendSession(std::string name, const std::optional<std::string>& date,
                              const std::optional<std::string>& time) {
    WeekendSession row{.name = std::move(name), .start = weekend::scheduledStart(date, time)};
    if (row.start) {
        row.day = posix("dd").string(*row.start);
        row.month = posix("LLL").string(*row.start);
        row.time = posix("HH:mm").string(*row.start);
        row.weekday = posix("EEEE").string(*row.start);
        return row;
    }
    // Without a time only the calendar day is known, as written.
    row.time = toBeConfirmed;
    if (date) {
        auto utc = foundation::TimeZone::utc();
        if (auto day = posix("yyyy-MM-dd", utc).date(*date)) {
            row.day = posix("dd", utc).string(*day);
            row.month = posix("LLL", utc).string(*day);
            row.weekday = posix("EEEE", utc).string(*day);
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
    sessions.push_back(fromModel("Practice 2", race.secondPractice));
    sessions.push_back(fromModel("Practice 1", race.firstPractice));
    std::stable_sort(sessions.begin(), sessions.end(), startsLaterInSchedule);
    return sessions;
}

std::vector<WeekendSession> buildWeekendStructure(const RacesDetailsModel& race) {
    std::vector<WeekendSession> rows(1);
    std::ranges::move(weekendSessions(race), std::back_inserter(rows));
    return rows;
}
