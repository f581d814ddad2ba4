#pragma once

#include <memory>
#include <optional>

#include "foundation/Date.h"
#include "foundation/DateComponents.h"
#include "foundation/Locale.h"
#include "foundation/TimeZone.h"

namespace foundation {

// The Gregorian calendar in a time zone, with a locale's week rules. A value: copies are independent,
// and const operations may run on several threads at once.
class Calendar {
public:
    using Component = CalendarComponent;

    // A half-open range of component values, lowerBound..<upperBound.
    struct Range {
        int lowerBound = 0;
        int upperBound = 0;
        int count() const { return upperBound - lowerBound; }
        friend bool operator==(const Range&, const Range&) = default;
    };

    Calendar(Locale locale, TimeZone timeZone);
    // The user's calendar: the current locale and time zone at the time of the call.
    static Calendar current();

    const TimeZone& timeZone() const { return timeZone_; }
    void setTimeZone(TimeZone timeZone);
    const Locale& locale() const { return locale_; }
    void setLocale(Locale locale);  // also takes the locale's week rules
    int firstWeekday() const { return firstWeekday_; }  // 1 = Sunday
    void setFirstWeekday(int weekday);
    int minimumDaysInFirstWeek() const { return minimumDaysInFirstWeek_; }
    void setMinimumDaysInFirstWeek(int days);

    DateComponents dateComponents(const CalendarComponents& components, Date date) const;
    int component(Component component, Date date) const;
    // The difference from start to end in the requested units, largest unit first; negative when end
    // is earlier. Units not requested are carried into smaller ones (no months: days pass 30).
    DateComponents dateComponents(const CalendarComponents& components, Date start, Date end) const;

    // Out-of-range fields are normalised (day 0 is the last day of the previous month); missing ones
    // take their lowest value (year 1, January, day 1, midnight).
    std::optional<Date> date(const DateComponents& components) const;
    // Adding a month to 31 January gives the last day of February; wrapping keeps larger units fixed.
    std::optional<Date> dateByAdding(Component component, int value, Date date, bool wrapping = false) const;
    std::optional<Date> dateByAdding(const DateComponents& amounts, Date date) const;

    Date startOfDay(Date date) const;
    bool isDateInSameDay(Date date, Date other) const;
    bool isDateInToday(Date date) const;  // "today" is the current Clock's now
    bool isDateInTomorrow(Date date) const;
    bool isDateInYesterday(Date date) const;

    // The values smaller takes inside the larger unit holding date (days of a month: 1..<29 to 1..<32).
    std::optional<Range> range(Component smaller, Component larger, Date date) const;
    // The widest range a component can have (weekday: 1..<8).
    std::optional<Range> maximumRange(Component component) const;
    // Position of the smaller unit holding date inside the larger one, counted from 1.
    std::optional<int> ordinality(Component smaller, Component larger, Date date) const;

private:
    struct Engine;

    void rebuild();
    bool isDateInDayOffsetFromToday(Date date, int days) const;

    Locale locale_;
    TimeZone timeZone_;
    int firstWeekday_ = 1;
    int minimumDaysInFirstWeek_ = 1;
    std::shared_ptr<const Engine> engine_;
};

}  // namespace foundation
