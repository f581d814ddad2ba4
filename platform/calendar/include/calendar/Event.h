#pragma once

#include <optional>
#include <string>

#include "foundation/Date.h"

namespace calendar {

// A place with a title and a circle around its coordinates.
struct StructuredLocation {
    std::string title;
    double latitude = 0;
    double longitude = 0;
    double radius = 0;  // metres

    friend bool operator==(const StructuredLocation&, const StructuredLocation&) = default;
};

// One calendar event as the app fills it in and the store keeps it.
struct Event {
    std::string identifier;  // given by the store when the event is first saved
    std::string title;
    foundation::Date startDate;
    foundation::Date endDate;
    std::optional<StructuredLocation> structuredLocation;
    std::string notes;

    friend bool operator==(const Event&, const Event&) = default;
};

}  // namespace calendar
