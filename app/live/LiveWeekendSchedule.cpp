#include "live/LiveWeekendSchedule.h"

#include <algorithm>

#include "foundation/DateFormatter.h"
#include "foundation/Locale.h"
#include "foundation/TimeZone.h"

namespace {

foundation::DateFormatter posixFormatter(const char* pattern, std::optional<foundation::TimeZone> zone = std::nullopt) {
    foundation::DateFormatter formatter;
    formatter.setLocale(foundation::Locale("en_US_POSIX"));
    if (zone) formatter.setTimeZone(*zone);
    formatter.setDateFormat(pattern);
    return formatter;
}

// The date and time texts read together as UTC; a time without its zone letter is UTC too.
std::optional<foundation::Date> utcInstant(const std::string& date, const std::string& time) {
    std::string text = date + " " + time;
    if (auto start = posixFormatter("yyyy-MM-dd HH:mm:ssZ", foundation::TimeZone::utc()).date(text)) return start;
    return posixFormatter("yyyy-MM-dd HH:mm:ss", foundation::TimeZone::utc()).date(text);
}

}  // namespace

WeekendSession weekendSession(std::string name, const std::optional<std::string>& date,
                              const std::optional<std::string>& time) {
    WeekendSession session;
    session.name = std::move(name);
    session.time = toBeConfirmed;
    if (date && time) session.start = utcInstant(*date, *time);
    if (session.start) {
        session.day = posixFormatter("dd").string(*session.start);
        session.month = posixFormatter("LLL").string(*session.start);
        session.time = posixFormatter("HH:mm").string(*session.start);
        session.weekday = posixFormatter("EEEE").string(*session.start);
        return session;
    }
    // Without a clock time the date is still the session's own day, wherever the device is.
    auto dayOnly = date ? posixFormatter("yyyy-MM-dd").date(*date) : std::nullopt;
    if (dayOnly) {
        session.day = posixFormatter("dd").string(*dayOnly);
        session.month = posixFormatter("LLL").string(*dayOnly);
        session.weekday = posixFormatter("EEEE").string(*dayOnly);
    }
    return session;
}

bool startsLaterInSchedule(const WeekendSession& a, const WeekendSession& b) {
    if (a.start && b.start) return *a.start > *b.start;
    return a.start.has_value() && !b.start.has_value();
}

std::vector<WeekendSession> liveWeekendSessions(const RacesDetailsModel& race) {
    auto fromModel = [](std::string name, const std::optional<dateTimeModel>& session) {
        if (!session) return weekendSession(std::move(name), std::nullopt, std::nullopt);
        return weekendSession(std::move(name), session->date, session->time);
    };
    std::vector<WeekendSession> sessions;
    sessions.push_back(weekendSession("Race", race.date, race.time.empty() ? std::nullopt : std::optional(race.time)));
    sessions.push_back(fromModel("Qualifying", race.qualifying));
    if (race.thirdPractice && race.thirdPractice->date) sessions.push_back(fromModel("Practice 3", race.thirdPractice));
    else sessions.push_back(fromModel("Sprint", race.sprint));
    sessions.push_back(fromModel("Practice 2", race.secondPractice));
    sessions.push_back(fromModel("Practice 1", race.firstPractice));
    std::stable_sort(sessions.begin(), sessions.end(), startsLaterInSchedule);
    return sessions;
}
