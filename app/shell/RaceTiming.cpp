#include "shell/RaceTiming.h"

#include "foundation/Calendar.h"
#include "foundation/DateFormatter.h"
#include "offline/OfflineSeason.h"
#include "shell/PosixFormatter.h"
#include "weekend/WeekendSessions.h"

std::optional<foundation::Date> RaceTiming::startInstant(const RacesDetailsModel& race) {
    if (race.time.empty()) {
        // Midnight of its own date where the device is: read as UTC, it would show the day before
        // west of UTC. The zone is the one of the moment, so no formatter is kept.
        return posixFormatter("yyyy-MM-dd", foundation::TimeZone::current()).date(race.date);
    }
    // The results API's own form ("2023-07-30", "13:00:00Z") is read without the formatter, which costs
    // more than the rest of a season's load when the season is long; any other form goes to it.
    if (auto start = instantFromISO8601(race.date + "T" + race.time)) return start;
    // "Z" (RFC 822) reads "+0000" and ISO's "Z"; a time written without a zone is UTC as well.
    thread_local const foundation::DateFormatter withZone = posixFormatter("yyyy-MM-dd HH:mm:ssZ", foundation::TimeZone::utc());
    thread_local const foundation::DateFormatter withoutZone = posixFormatter("yyyy-MM-dd HH:mm:ss", foundation::TimeZone::utc());
    std::string text = race.date + " " + race.time;
    if (auto start = withZone.date(text)) return start;
    return withoutZone.date(text);
}

foundation::Date RaceTiming::startOrNow(const RacesDetailsModel& race, foundation::Date now) {
    return startInstant(race).value_or(now);
}

RacePhase RaceTiming::phase(const RacesDetailsModel& race, foundation::Date now) {
    RacePhase ofRace = phase(startOrNow(race, now), now);
    if (ofRace == RacePhase::upcoming && sprintIsLive(race, now)) return RacePhase::live;
    return ofRace;
}

bool RaceTiming::sprintIsLive(const RacesDetailsModel& race, foundation::Date now) {
    if (!race.sprint) return false;
    auto start = weekend::scheduledStart(race.sprint->date, race.sprint->time);
    return start && phase(*start, now) == RacePhase::live;
}

RacePhase RaceTiming::phase(foundation::Date start, foundation::Date now) {
    if (start > now) return RacePhase::upcoming;
    if (now < start.addingTimeInterval(liveDuration)) return RacePhase::live;
    return RacePhase::finished;
}

Countdown RaceTiming::countdown(foundation::Date start, foundation::Date now) {
    using foundation::CalendarComponent;
    auto left = foundation::Calendar::current().dateComponents(
        {CalendarComponent::day, CalendarComponent::hour, CalendarComponent::minute}, now, start);
    return {left.day.value_or(0), left.hour.value_or(0), left.minute.value_or(0)};
}

std::string RaceTiming::countdownText(const Countdown& countdown) {
    return "In " + std::to_string(countdown.days) + " days, " + std::to_string(countdown.hours) + " hours, " +
           std::to_string(countdown.minutes) + " minutes";
}

SeasonTiming::SeasonTiming(const std::vector<RacesDetailsModel>& races) {
    starts_.reserve(races.size());
    for (const RacesDetailsModel& race : races) {
        Starts starts{RaceTiming::startInstant(race), std::nullopt};
        if (race.sprint) starts.sprint = weekend::scheduledStart(race.sprint->date, race.sprint->time);
        starts_.push_back(starts);
    }
}

RacePhase SeasonTiming::phase(const Starts& starts, foundation::Date now) const {
    if (!starts.race) return RacePhase::live;
    RacePhase ofRace = RaceTiming::phase(*starts.race, now);
    if (ofRace == RacePhase::upcoming && starts.sprint && RaceTiming::phase(*starts.sprint, now) == RacePhase::live)
        return RacePhase::live;
    return ofRace;
}

std::optional<std::size_t> SeasonTiming::firstRaceAhead(foundation::Date now) const {
    if (!searchedAt_ || now < *searchedAt_) searchedFrom_ = 0;
    searchedAt_ = now;
    while (searchedFrom_ < starts_.size() && phase(starts_[searchedFrom_], now) == RacePhase::finished) ++searchedFrom_;
    if (searchedFrom_ == starts_.size()) return std::nullopt;
    return searchedFrom_;
}
