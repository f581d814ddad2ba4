#include "shell/RaceTiming.h"

#include "foundation/DateFormatter.h"
#include "foundation/TimeZone.h"

std::optional<foundation::Date> RaceTiming::startInstant(const RacesDetailsModel& race) {
    foundation::DateFormatter formatter;
    formatter.setLocale(foundation::Locale("en_US_POSIX"));
    formatter.setTimeZone(foundation::TimeZone::utc());
    formatter.setDateFormat("yyyy-MM-dd HH:mm:ssZ");
    return formatter.date(race.date + " " + race.time);
}

RacePhase RaceTiming::phase(const RacesDetailsModel& race, foundation::Date now) {
    foundation::Date start = startInstant(race).value_or(now);
    if (now < start) return RacePhase::upcoming;
    if (now.timeIntervalSince(start) < liveDuration) return RacePhase::live;
    return RacePhase::finished;
}
