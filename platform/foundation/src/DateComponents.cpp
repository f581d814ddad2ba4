#include "foundation/DateComponents.h"

namespace foundation {

namespace {

template <class Components>
auto& field(Components& components, CalendarComponent component) {
    switch (component) {
        case CalendarComponent::era: return components.era;
        case CalendarComponent::year: return components.year;
        case CalendarComponent::month: return components.month;
        case CalendarComponent::day: return components.day;
        case CalendarComponent::hour: return components.hour;
        case CalendarComponent::minute: return components.minute;
        case CalendarComponent::second: return components.second;
        case CalendarComponent::nanosecond: return components.nanosecond;
        case CalendarComponent::weekday: return components.weekday;
        case CalendarComponent::weekdayOrdinal: return components.weekdayOrdinal;
        case CalendarComponent::weekOfMonth: return components.weekOfMonth;
        case CalendarComponent::weekOfYear: return components.weekOfYear;
        case CalendarComponent::yearForWeekOfYear: return components.yearForWeekOfYear;
    }
    return components.era;  // unreachable with a valid enumerator
}

}  // namespace

std::optional<int> DateComponents::value(CalendarComponent component) const { return field(*this, component); }

void DateComponents::setValue(std::optional<int> value, CalendarComponent component) {
    field(*this, component) = value;
}

}  // namespace foundation
