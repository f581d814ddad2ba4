#include <cmath>
#include <cstdlib>

#include "foundation/Calendar.h"
#include "shell/Date.h"

namespace dates {

namespace {

using foundation::Calendar;
using foundation::CalendarComponent;
using foundation::DateComponents;

constexpr double secondsPerDay = 86400;
constexpr double secondsPerWeek = 604800;

// The fields a date is taken apart into before a comparison or an edit.
const foundation::CalendarComponents componentSet{
    CalendarComponent::year,   CalendarComponent::month,   CalendarComponent::day,
    CalendarComponent::weekOfYear, CalendarComponent::hour, CalendarComponent::minute,
    CalendarComponent::second, CalendarComponent::weekday, CalendarComponent::weekdayOrdinal,
};

CalendarComponent calendarComponent(DateComponentType type) {
    switch (type) {
        case DateComponentType::second: return CalendarComponent::second;
        case DateComponentType::minute: return CalendarComponent::minute;
        case DateComponentType::hour: return CalendarComponent::hour;
        case DateComponentType::day: return CalendarComponent::day;
        case DateComponentType::weekday: return CalendarComponent::weekday;
        case DateComponentType::nthWeekday: return CalendarComponent::weekdayOrdinal;
        case DateComponentType::week: return CalendarComponent::weekOfYear;
        case DateComponentType::month: return CalendarComponent::month;
        case DateComponentType::year: return CalendarComponent::year;
    }
    return CalendarComponent::day;
}

DateComponents componentsOf(Date date) { return Calendar::current().dateComponents(componentSet, date); }

Date addingToNow(CalendarComponent unit, int amount) {
    Date now = Date::now();
    return Calendar::current().dateByAdding(unit, amount, now).value_or(now);
}

Date addingDays(Date date, int days) {
    return Calendar::current().dateByAdding(CalendarComponent::day, days, date).value_or(date);
}

bool sameDay(Date date, Date other) {
    auto a = componentsOf(date);
    auto b = componentsOf(other);
    return a.year == b.year && a.month == b.month && a.day == b.day;
}

bool sameWeek(Date date, Date other) {
    return componentsOf(date).weekOfYear == componentsOf(other).weekOfYear &&
           std::abs(date.timeIntervalSince(other)) < secondsPerWeek;
}

bool sameMonth(Date date, Date other) {
    auto a = componentsOf(date);
    auto b = componentsOf(other);
    return a.year == b.year && a.month == b.month;
}

bool sameYear(Date date, Date other) { return componentsOf(date).year == componentsOf(other).year; }

bool isWeekend(Date date) {
    auto weekdays = Calendar::current().maximumRange(CalendarComponent::weekday);
    auto weekday = componentsOf(date).weekday;
    if (!weekdays || !weekday) return false;
    return *weekday == weekdays->lowerBound || *weekday == weekdays->upperBound - weekdays->lowerBound;
}

}  // namespace

bool compare(Date date, const DateComparisonType& comparison) {
    using Kind = DateComparisonType::Kind;
    switch (comparison.kind()) {
        case Kind::isSameDay: return sameDay(date, comparison.other());
        case Kind::isSameWeek: return sameWeek(date, comparison.other());
        case Kind::isSameMonth: return sameMonth(date, comparison.other());
        case Kind::isSameYear: return sameYear(date, comparison.other());
        case Kind::isEarlier: return date <= comparison.other();
        case Kind::isLater: return date >= comparison.other();
        case Kind::isToday: return sameDay(date, Date::now());
        case Kind::isTomorrow: return sameDay(date, addingToNow(CalendarComponent::day, 1));
        case Kind::isYesterday: return sameDay(date, addingToNow(CalendarComponent::day, -1));
        case Kind::isThisWeek: return sameWeek(date, Date::now());
        case Kind::isNextWeek: return sameWeek(date, addingToNow(CalendarComponent::weekOfYear, 1));
        case Kind::isLastWeek: return sameWeek(date, addingToNow(CalendarComponent::weekOfYear, -1));
        case Kind::isThisMonth: return sameMonth(date, Date::now());
        case Kind::isNextMonth: return sameMonth(date, addingToNow(CalendarComponent::month, 1));
        case Kind::isLastMonth: return sameMonth(date, addingToNow(CalendarComponent::month, -1));
        case Kind::isThisYear: return sameYear(date, Date::now());
        case Kind::isNextYear: return sameYear(date, addingToNow(CalendarComponent::year, 1));
        case Kind::isLastYear: return sameYear(date, addingToNow(CalendarComponent::year, -1));
        case Kind::isInTheFuture: return date >= Date::now();
        case Kind::isInThePast: return date <= Date::now();
        case Kind::isWeekday: return !isWeekend(date);
        case Kind::isWeekend: return isWeekend(date);
    }
    return false;
}

std::optional<int> component(Date date, DateComponentType type) {
    return componentsOf(date).value(calendarComponent(type));
}

std::int64_t since(Date date, Date other, DateComponentType unit) {
    double seconds = date.timeIntervalSince(other);
    switch (unit) {
        case DateComponentType::second: return static_cast<std::int64_t>(std::trunc(seconds));
        case DateComponentType::minute: return static_cast<std::int64_t>(std::trunc(seconds / 60));
        case DateComponentType::hour: return static_cast<std::int64_t>(std::trunc(seconds / 3600));
        default: break;
    }
    auto calendar = Calendar::current();
    auto smaller = calendarComponent(unit);
    auto mine = calendar.ordinality(smaller, CalendarComponent::era, date);
    auto theirs = calendar.ordinality(smaller, CalendarComponent::era, other);
    if (!mine || !theirs) return 0;
    return static_cast<std::int64_t>(*mine) - *theirs;
}

Date adjust(Date date, DateComponentType type, int offset) {
    DateComponents amount;
    amount.setValue(offset, calendarComponent(type));
    return Calendar::current().dateByAdding(amount, date).value_or(date);
}

Date adjust(Date date, const DateFields& fields) {
    auto components = componentsOf(date);
    if (fields.month) components.month = fields.month;
    if (fields.day) components.day = fields.day;
    if (fields.hour) components.hour = fields.hour;
    if (fields.minute) components.minute = fields.minute;
    if (fields.second) components.second = fields.second;
    return Calendar::current().date(components).value_or(date);
}

Date dateFor(Date date, const DateForType& type) {
    using Kind = DateForType::Kind;
    auto components = componentsOf(date);
    int step = type.step();
    // A step below one has no multiple to round to: the date is refused as it stands.
    if ((type.kind() == Kind::nearestMinute || type.kind() == Kind::nearestHour) && step <= 0) return date;
    switch (type.kind()) {
        case Kind::nearestMinute:
            return adjust(date, {.minute = (components.minute.value_or(0) + step / 2) / step * step});
        case Kind::nearestHour:
            return adjust(date, {.hour = (components.hour.value_or(0) + step / 2) / step * step, .minute = 0});
        case Kind::startOfDay: return adjust(date, {.hour = 0, .minute = 0, .second = 0});
        case Kind::endOfDay: return adjust(date, {.hour = 23, .minute = 59, .second = 59});
        case Kind::startOfWeek: return addingDays(date, 1 - components.weekday.value_or(1));
        case Kind::endOfWeek: return addingDays(date, 7 - components.weekday.value_or(1));
        case Kind::startOfMonth: return adjust(date, {.hour = 0, .minute = 0, .second = 0, .day = 1});
        case Kind::endOfMonth:
            return adjust(date, {.hour = 0, .minute = 0, .second = 0, .day = 0,
                                 .month = components.month.value_or(1) + 1});
        case Kind::tomorrow: return addingDays(date, 1);
        case Kind::yesterday: return addingDays(date, -1);
    }
    return date;
}

int numberOfDaysInMonth(Date date) {
    auto days = Calendar::current().range(CalendarComponent::day, CalendarComponent::month, date);
    return days ? days->count() : 0;
}

namespace {

Date firstInstantOfWeek(Date date) {
    int weekday = componentsOf(date).weekday.value_or(1);
    return date.addingTimeInterval(-(weekday - 1) * secondsPerDay);
}

}  // namespace

int firstDayOfWeek(Date date) { return componentsOf(firstInstantOfWeek(date)).day.value_or(0); }

int lastDayOfWeek(Date date) {
    return componentsOf(firstInstantOfWeek(date).addingTimeInterval(secondsPerWeek)).day.value_or(0);
}

}  // namespace dates
