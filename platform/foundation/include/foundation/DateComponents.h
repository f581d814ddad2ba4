#pragma once

#include <optional>
#include <set>

namespace foundation {

enum class CalendarComponent {
    era,
    year,
    month,
    day,
    hour,
    minute,
    second,
    nanosecond,
    weekday,         // 1 = Sunday ... 7 = Saturday
    weekdayOrdinal,  // the 2 in "second Sunday of the month"
    weekOfMonth,
    weekOfYear,
    yearForWeekOfYear,
};

using CalendarComponents = std::set<CalendarComponent>;

// Calendar fields of a date, or amounts of each unit; absent fields are unset.
struct DateComponents {
    std::optional<int> era;
    std::optional<int> year;
    std::optional<int> month;
    std::optional<int> day;
    std::optional<int> hour;
    std::optional<int> minute;
    std::optional<int> second;
    std::optional<int> nanosecond;
    std::optional<int> weekday;
    std::optional<int> weekdayOrdinal;
    std::optional<int> weekOfMonth;
    std::optional<int> weekOfYear;
    std::optional<int> yearForWeekOfYear;

    std::optional<int> value(CalendarComponent component) const;
    void setValue(std::optional<int> value, CalendarComponent component);

    friend bool operator==(const DateComponents&, const DateComponents&) = default;
};

}  // namespace foundation
