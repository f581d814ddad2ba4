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

WeekendSession sessionRow(std::string name, const std::optional<std::string>& date, const std::optional<std::string>& time) {
    WeekendSession row{.name = std::move(name), .start = weekend::scheduledStart(date, time)};
    if (row.start) {
        row.day = posix("dd").string(*row.start);
        row.month = posix("LLL").string(*row.start);
        row.time = posix("HH:mm").string(*row.start);
        row.weekday = posix("EEEE").string(*row.start);
        return row;
    }
    // Without a time only the calendar day is known, as written.
    row.time = "TBC";
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

std::optional<std::string> dateOf(const std::optional<dateTimeModel>& session) {
    return session ? session->date : std::nullopt;
}
std::optional<std::string> timeOf(const std::optional<dateTimeModel>& session) {
    return session ? session->time : std::nullopt;
}

}  // namespace

std::vector<WeekendSession> buildWeekendStructure(const RacesDetailsModel& race) {
    std::vector<WeekendSession> rows(1);
    rows.push_back(sessionRow("Race", race.date, race.time));
    rows.push_back(sessionRow("Qualifying", dateOf(race.qualifying), timeOf(race.qualifying)));
    if (race.thirdPractice && race.thirdPractice->date) {
        rows.push_back(sessionRow("Practice 3", dateOf(race.thirdPractice), timeOf(race.thirdPractice)));
    } else {
        rows.push_back(sessionRow("Sprint", dateOf(race.sprint), timeOf(race.sprint)));
    }
    rows.push_back(sessionRow("Practice 2", dateOf(race.secondPractice), timeOf(race.secondPractice)));
    rows.push_back(sessionRow("Practice 1", dateOf(race.firstPractice), timeOf(race.firstPractice)));
    std::stable_sort(rows.begin() + 1, rows.end(), [](const WeekendSession& a, const WeekendSession& b) {
        if (!a.start || !b.start) return a.start.has_value() && !b.start.has_value();
        return *a.start > *b.start;
    });
    return rows;
}
