#include "data/CircuitDetails.h"

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
