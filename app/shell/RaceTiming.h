#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "data/RaceModels.h"
#include "foundation/Date.h"

// Where a race weekend stands: before its start, within three hours of it, or after.
enum class RacePhase { upcoming, live, finished };

// Whole days, hours and minutes left until a start, each negative once it has passed.
struct Countdown {
    int days = 0;
    int hours = 0;
    int minutes = 0;

    friend bool operator==(const Countdown&, const Countdown&) = default;
};

// The one rule for when a race happens. The results API gives the race's date ("yyyy-MM-dd") and its
// clock time in UTC ("HH:mm:ssZ"); together they are an instant, shown later in local time. The season
// list's LIVE rows and countdown, the map's pins and intro zoom and the choice of the race screen all
// read it from here.
class RaceTiming {
public:
    static constexpr double liveDuration = 3 * 60 * 60;

    // The race's start. A race without a clock time (older seasons) starts at midnight of its date in
    // the device's zone, so it shows its own date everywhere; a date that does not read gives nothing.
    static std::optional<foundation::Date> startInstant(const RacesDetailsModel& race);
    // The start, or `now` when it cannot be read: an unreadable race counts as under way.
    static foundation::Date startOrNow(const RacesDetailsModel& race, foundation::Date now);
    // The weekend's phase: live from the race's start for three hours, and also for the three hours
    // from the start of its sprint, when it has one; upcoming before, finished after the race.
    static RacePhase phase(const RacesDetailsModel& race, foundation::Date now);
    // Whether `now` falls within three hours of the weekend's sprint start (UTC date and time).
    static bool sprintIsLive(const RacesDetailsModel& race, foundation::Date now);
    static RacePhase phase(foundation::Date start, foundation::Date now);
    // From now to the start in the current calendar.
    static Countdown countdown(foundation::Date start, foundation::Date now);
    // "In 2 days, 3 hours, 4 minutes".
    static std::string countdownText(const Countdown& countdown);
};

// A season's race starts, each read once, for screens that ask about every race at a time (the map asks
// for each of its pins): the answers are those of RaceTiming.
class SeasonTiming {
public:
    SeasonTiming() = default;
    explicit SeasonTiming(const std::vector<RacesDetailsModel>& races);

    // The first race not yet finished at `now`: the next one to start, or the one under way.
    std::optional<std::size_t> firstRaceAhead(foundation::Date now) const;

private:
    struct Starts {
        std::optional<foundation::Date> race;  // none: unreadable, so under way
        std::optional<foundation::Date> sprint;
    };
    RacePhase phase(const Starts& starts, foundation::Date now) const;

    std::vector<Starts> starts_;
    // A race once finished stays finished, so later clocks resume the search where the last one ended.
    mutable std::size_t searchedFrom_ = 0;
    mutable std::optional<foundation::Date> searchedAt_;
};
