#include "weekend/SelectedSession.h"

#include "weekend/WeekendSessions.h"

namespace weekend {

namespace {

SelectedSession named(std::string name, const std::optional<dateTimeModel>& session) {
    if (!session) return {std::move(name), std::nullopt, std::nullopt};
    return {std::move(name), session->date, session->time};
}

}  // namespace

bool hasThirdPractice(const RacesDetailsModel& race) { return race.thirdPractice && race.thirdPractice->date; }

SelectedSession selectedSession(const RacesDetailsModel& race, int index) {
    switch (index) {
        case 0: return {"Race", race.date, race.time};
        case 1: return named("Qualifying", race.qualifying);
        case 2: return hasThirdPractice(race) ? named("Practice 3", race.thirdPractice) : named("Sprint", race.sprint);
        case 3: return named("Practice 2", race.secondPractice);
        default: return named("Practice 1", race.firstPractice);
    }
}

std::optional<foundation::Date> selectedSessionStart(const RacesDetailsModel& race, int index) {
    SelectedSession session = selectedSession(race, index);
    return scheduledStart(session.date, session.time);
}

}  // namespace weekend
