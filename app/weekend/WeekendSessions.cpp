#include "weekend/WeekendSessions.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "foundation/Locale.h"
#include "foundation/NumberText.h"
#include "foundation/TimeZone.h"
#include "shell/PosixFormatter.h"

namespace weekend {

namespace {

bool isSprintName(const std::string& name) { return name.find("Sprint") != std::string::npos; }

// "03:00:00", "-04:00:00", "+05:30:00" as seconds east of UTC.
std::optional<double> offsetSeconds(const std::string& text) {
    if (text.empty()) return 0.0;
    std::string_view rest = text;
    double sign = 1;
    if (rest.front() == '-' || rest.front() == '+') {
        sign = rest.front() == '-' ? -1 : 1;
        rest.remove_prefix(1);
    }
    double total = 0;
    double unit = 3600;
    while (!rest.empty() && unit >= 1) {
        auto colon = rest.find(':');
        auto part = foundation::parseInt(rest.substr(0, colon));
        if (!part || *part < 0 || *part > 99) return std::nullopt;
        total += static_cast<double>(*part) * unit;
        unit /= 60;
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    return sign * total;
}

}  // namespace

SessionKind kindOf(const livetiming::Session& session) {
    if (session.type == "Race") return isSprintName(session.name) ? SessionKind::sprint : SessionKind::race;
    if (session.type == "Qualifying") return isSprintName(session.name) ? SessionKind::sprintShootout : SessionKind::qualifying;
    if (session.type == "Practice") {
        if (session.name == "Practice 1") return SessionKind::practice1;
        if (session.name == "Practice 2") return SessionKind::practice2;
        if (session.name == "Practice 3") return SessionKind::practice3;
    }
    return SessionKind::other;
}

const livetiming::Session* findSession(const std::vector<livetiming::Session>& sessions, SessionKind kind) {
    auto found = std::find_if(sessions.begin(), sessions.end(), [kind](const auto& session) { return kindOf(session) == kind; });
    return found == sessions.end() ? nullptr : &*found;
}

std::string raceSessionPath(const RacesDetailsModel& race, const std::vector<livetiming::Meeting>& meetings) {
    for (const auto& meeting : meetings) {
        if (meeting.name != race.raceName) continue;
        const livetiming::Session* session = findSession(meeting.sessions, SessionKind::race);
        return session ? session->path : std::string();
    }
    return {};
}

std::optional<foundation::Date> sessionStart(const livetiming::Session& session) {
    thread_local const auto local = posixFormatter("yyyy-MM-dd'T'HH:mm:ss", foundation::TimeZone::utc());
    auto clock = local.date(session.startDate);
    auto offset = offsetSeconds(session.gmtOffset);
    if (!clock || !offset) return std::nullopt;
    return clock->addingTimeInterval(-*offset);
}

std::optional<foundation::Date> scheduledStart(const std::optional<std::string>& date, const std::optional<std::string>& time) {
    if (!date || !time || date->empty() || time->empty()) return std::nullopt;
    thread_local const auto withZone = posixFormatter("yyyy-MM-dd HH:mm:ssZ", foundation::TimeZone::utc());
    thread_local const auto withoutZone = posixFormatter("yyyy-MM-dd HH:mm:ss", foundation::TimeZone::utc());
    std::string text = *date + " " + *time;
    if (auto start = withZone.date(text)) return start;
    return withoutZone.date(text);
}

std::optional<double> pitStopSeconds(const std::string& duration) {
    std::string_view text = duration;
    double minutes = 0;
    if (auto colon = text.find(':'); colon != std::string_view::npos) {
        auto whole = foundation::parseInt(text.substr(0, colon));
        if (!whole || *whole < 0) return std::nullopt;
        minutes = static_cast<double>(*whole);
        text.remove_prefix(colon + 1);
    }
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; })) {
        return std::nullopt;
    }
    auto seconds = foundation::parseDouble(text);
    if (!seconds || !std::isfinite(*seconds)) return std::nullopt;
    return minutes * 60 + *seconds;
}

std::optional<PitStopsModel> fastestPitStop(const std::vector<PitStopsModel>& stops) {
    std::optional<PitStopsModel> fastest;
    std::optional<double> best;
    for (const auto& stop : stops) {
        auto seconds = pitStopSeconds(stop.duration);
        if (!seconds || (best && *seconds >= *best)) continue;
        best = seconds;
        fastest = stop;
    }
    return fastest;
}

std::optional<RaceResultsModel> fastestLapResult(const std::vector<RaceResultsModel>& results) {
    for (const auto& result : results) {
        if (result.fastestLap && result.fastestLap->rank == "1") return result;
    }
    return std::nullopt;
}

bool pollsCover(const RacesDetailsModel& race, foundation::Date now) {
    auto seconds = std::chrono::sys_seconds(std::chrono::seconds(static_cast<long long>(std::floor(now.timeIntervalSince1970()))));
    std::chrono::year_month_day day(std::chrono::floor<std::chrono::days>(seconds));
    return race.season == std::to_string(static_cast<int>(day.year()));
}

const livetiming::DriverOfTheDayDataModel* pollOf(const livetiming::DriverOfTheDayModel& polls,
                                                  const RacesDetailsModel& race, foundation::Date now) {
    if (!pollsCover(race, now)) return nullptr;
    auto poll = std::ranges::find_if(polls.data, [&](const auto& entry) { return entry.grandPrixName == race.raceName; });
    return poll == polls.data.end() ? nullptr : &*poll;
}

}  // namespace weekend
