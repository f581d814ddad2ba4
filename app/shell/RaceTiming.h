#pragma once

#include <optional>

#include "data/RaceModels.h"
#include "foundation/Date.h"

enum class RacePhase { upcoming, live, finished };

// When a race happens: its date and clock time read as the UTC instant they are, and the three
// phases around it. Every screen that marks races as coming, live or run asks here.
struct RaceTiming {
    static constexpr double liveDuration = 3 * 3600;

    // "yyyy-MM-dd" and "HH:mm:ssZ" as one UTC instant; nothing when either does not read.
    static std::optional<foundation::Date> startInstant(const RacesDetailsModel& race);
    // Upcoming before the start, live for three hours from it, finished after. A race whose start
    // does not read counts as starting now.
    static RacePhase phase(const RacesDetailsModel& race, foundation::Date now);
};
