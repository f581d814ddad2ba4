#include "data/CircuitDetails.h"

#include <algorithm>
#include <array>
#include <utility>

#include "data/EmbeddedDocuments.h"
#include "foundation/Strings.h"

const CircuitDetailsJSON& CircuitDetailsJSON::shared() {
    static const CircuitDetailsJSON instance{embedded::circuitDetailsJSON};
    return instance;
}

const circuitDetailsOverviewModel* placeForLocality(const circuitDetailsModel& details, std::string_view locality) {
    for (const auto& [key, place] : details.places) {
        if (foundation::canonicallyEqual(place.id, locality)) return &place;
    }
    return nullptr;
}

namespace {

// Each place of the facts by the results API's circuit identifier.
constexpr std::array<std::pair<std::string_view, std::string_view>, 23> placeByCircuitId{{
    {"bahrain", "Sakhir"},          {"jeddah", "Jeddah"},           {"albert_park", "Melbourne"},
    {"baku", "Baku"},               {"miami", "Miami"},             {"imola", "Imola"},
    {"monaco", "Monte-Carlo"},      {"catalunya", "Montmel\u00f3"}, {"villeneuve", "Montreal"},
    {"red_bull_ring", "Spielberg"}, {"silverstone", "Silverstone"}, {"hungaroring", "Budapest"},
    {"spa", "Spa"},                 {"zandvoort", "Zandvoort"},     {"monza", "Monza"},
    {"marina_bay", "Marina Bay"},   {"suzuka", "Suzuka"},           {"losail", "Al Daayen"},
    {"americas", "Austin"},         {"rodriguez", "Mexico City"},   {"interlagos", "S\u00e3o Paulo"},
    {"vegas", "Las Vegas"},         {"yas_marina", "Abu Dhabi"},
}};

const circuitDetailsOverviewModel* placeWithId(const std::vector<circuitDetailsOverviewModel>& places,
                                               std::string_view id) {
    auto found = std::ranges::find_if(places, [&](const auto& place) { return foundation::canonicallyEqual(place.id, id); });
    return found == places.end() ? nullptr : &*found;
}

}  // namespace

const circuitDetailsOverviewModel* circuitFactsFor(const std::vector<circuitDetailsOverviewModel>& places,
                                                   const CircuitsDetailsModel& circuit) {
    if (const auto* place = placeWithId(places, circuit.location.locality)) return place;
    auto known = std::ranges::find(placeByCircuitId, std::string_view(circuit.circuitId),
                                   &std::pair<std::string_view, std::string_view>::first);
    return known == placeByCircuitId.end() ? nullptr : placeWithId(places, known->second);
}
