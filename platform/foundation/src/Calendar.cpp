#include "foundation/Calendar.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <unicode/gregocal.h>

#include "IcuTime.h"

namespace foundation {

namespace icu_time {

std::unique_ptr<icu::Calendar> makeGregorian(const Locale& locale, const TimeZone& zone) {
    // Never destroyed: calendars are made on worker threads that may outlive exit().
    static auto& prototypes = *new PrototypeCache<icu::Calendar>;
    auto calendar = prototypes.clone(locale.identifier(), [&]() -> std::unique_ptr<icu::Calendar> {
        UErrorCode status = U_ZERO_ERROR;
        auto made = std::make_unique<icu::GregorianCalendar>(toIcu(locale), status);
        if (U_FAILURE(status)) made = std::make_unique<icu::GregorianCalendar>(icu::Locale::getRoot(), status);
        return made;
    });
    calendar->setTimeZone(toIcu(zone));
    calendar->setLenient(true);
    return calendar;
}

}  // namespace icu_time

namespace {

// ICU calendars work in whole milliseconds; the rest of a date is carried around them.
double belowMillisecond(Date date) {
    UDate milliseconds = icu_time::toUDate(date);
    return (milliseconds - std::floor(milliseconds)) / 1000.0;
}

}  // namespace

struct Calendar::Engine {
    std::unique_ptr<icu::Calendar> prototype;

    std::unique_ptr<icu::Calendar> at(Date date) const {
        std::unique_ptr<icu::Calendar> calendar(prototype->clone());
        UErrorCode status = U_ZERO_ERROR;
        calendar->setTime(std::floor(icu_time::toUDate(date)), status);
        return calendar;
    }
};

namespace {

using Component = CalendarComponent;

UCalendarDateFields icuField(Component component) {
    switch (component) {
        case Component::era: return UCAL_ERA;
        case Component::year: return UCAL_YEAR;
        case Component::month: return UCAL_MONTH;
        case Component::day: return UCAL_DATE;
        case Component::hour: return UCAL_HOUR_OF_DAY;
        case Component::minute: return UCAL_MINUTE;
        case Component::second: return UCAL_SECOND;
        case Component::nanosecond: return UCAL_MILLISECOND;
        case Component::weekday: return UCAL_DAY_OF_WEEK;
        case Component::weekdayOrdinal: return UCAL_DAY_OF_WEEK_IN_MONTH;
        case Component::weekOfMonth: return UCAL_WEEK_OF_MONTH;
        case Component::weekOfYear: return UCAL_WEEK_OF_YEAR;
        case Component::yearForWeekOfYear: return UCAL_YEAR_WOY;
    }
    return UCAL_ERA;
}

// ICU counts months from 0; everything else is already as the platform counts.
int monthShift(Component component) { return component == Component::month ? 1 : 0; }

int get(const icu::Calendar& calendar, UCalendarDateFields field) {
    UErrorCode status = U_ZERO_ERROR;
    return calendar.get(field, status);
}

// ICU keeps milliseconds; the nanoseconds come from the date itself.
int nanosecondsOf(Date date) {
    double seconds = date.timeIntervalSinceReferenceDate;
    auto nanoseconds = std::llround((seconds - std::floor(seconds)) * 1e9);
    return static_cast<int>(std::min<long long>(nanoseconds, 999'999'999));
}

// Largest unit first, as differences and sums must be taken.
constexpr std::array<Component, 12> unitsLargestFirst{
    Component::era, Component::year, Component::yearForWeekOfYear, Component::month, Component::weekOfYear,
    Component::weekOfMonth, Component::weekdayOrdinal, Component::day, Component::weekday, Component::hour,
    Component::minute, Component::second,
};

constexpr std::array<Component, 12> setOrder{
    Component::yearForWeekOfYear, Component::weekOfYear, Component::weekOfMonth, Component::weekdayOrdinal,
    Component::weekday, Component::era, Component::year, Component::month, Component::day, Component::hour,
    Component::minute, Component::second,
};

std::optional<Date> timeOf(icu::Calendar& calendar, double extraSeconds = 0) {
    UErrorCode status = U_ZERO_ERROR;
    UDate time = calendar.getTime(status);
    if (U_FAILURE(status)) return std::nullopt;
    return icu_time::fromUDate(time).addingTimeInterval(extraSeconds);
}

}  // namespace

Calendar::Calendar(Locale locale, TimeZone timeZone) : locale_(std::move(locale)), timeZone_(std::move(timeZone)) {
    setLocale(locale_);
}

Calendar Calendar::current() { return Calendar(Locale::current(), TimeZone::current()); }

void Calendar::setTimeZone(TimeZone timeZone) {
    timeZone_ = std::move(timeZone);
    rebuild();
}

void Calendar::setLocale(Locale locale) {
    locale_ = std::move(locale);
    auto calendar = icu_time::makeGregorian(locale_, timeZone_);
    UErrorCode status = U_ZERO_ERROR;
    firstWeekday_ = calendar->getFirstDayOfWeek(status);
    minimumDaysInFirstWeek_ = calendar->getMinimalDaysInFirstWeek();
    rebuild();
}

void Calendar::setFirstWeekday(int weekday) {
    if (weekday < 1 || weekday > 7) return;
    firstWeekday_ = weekday;
    rebuild();
}

void Calendar::setMinimumDaysInFirstWeek(int days) {
    if (days < 1 || days > 7) return;
    minimumDaysInFirstWeek_ = days;
    rebuild();
}

// Const operations only read the engine, so copies share it until one of them is reconfigured.
void Calendar::rebuild() {
    auto engine = std::make_shared<Engine>();
    engine->prototype = icu_time::makeGregorian(locale_, timeZone_);
    engine->prototype->setFirstDayOfWeek(static_cast<UCalendarDaysOfWeek>(firstWeekday_));
    engine->prototype->setMinimalDaysInFirstWeek(static_cast<uint8_t>(minimumDaysInFirstWeek_));
    engine_ = std::move(engine);
}

DateComponents Calendar::dateComponents(const CalendarComponents& components, Date date) const {
    auto calendar = engine_->at(date);
    DateComponents result;
    for (auto component : components) {
        if (component == Component::nanosecond) {
            result.nanosecond = nanosecondsOf(date);
        } else {
            result.setValue(get(*calendar, icuField(component)) + monthShift(component), component);
        }
    }
    return result;
}

int Calendar::component(Component component, Date date) const {
    return *dateComponents({component}, date).value(component);
}

DateComponents Calendar::dateComponents(const CalendarComponents& components, Date start, Date end) const {
    auto calendar = engine_->at(start);
    UDate target = icu_time::toUDate(end);
    DateComponents result;
    for (auto component : unitsLargestFirst) {
        if (!components.contains(component)) continue;
        UErrorCode status = U_ZERO_ERROR;
        int difference = calendar->fieldDifference(target, icuField(component), status);
        result.setValue(U_SUCCESS(status) ? difference : 0, component);
    }
    if (components.contains(Component::nanosecond)) {
        auto reached = timeOf(*calendar, belowMillisecond(start)).value_or(start);
        double nanoseconds = std::round(end.timeIntervalSince(reached) * 1e9);
        result.nanosecond = static_cast<int>(std::clamp(nanoseconds, -2147483647.0, 2147483647.0));
    }
    return result;
}

std::optional<Date> Calendar::date(const DateComponents& components) const {
    std::unique_ptr<icu::Calendar> calendar(engine_->prototype->clone());
    calendar->clear();
    if (!components.year && !components.yearForWeekOfYear) calendar->set(UCAL_YEAR, 1);
    // ICU resolves by the most recently set fields: a day of the month beats a week and weekday
    // that came along with it, as when a date's own components are edited and turned back.
    for (auto component : setOrder) {
        if (auto value = components.value(component)) {
            calendar->set(icuField(component), *value - monthShift(component));
        }
    }
    double nanoseconds = components.nanosecond.value_or(0);
    double wholeMilliseconds = std::floor(nanoseconds / 1e6);
    calendar->set(UCAL_MILLISECOND, static_cast<int>(wholeMilliseconds));
    return timeOf(*calendar, (nanoseconds - wholeMilliseconds * 1e6) / 1e9);
}

std::optional<Date> Calendar::dateByAdding(Component component, int value, Date date, bool wrapping) const {
    if (component == Component::nanosecond) return date.addingTimeInterval(value / 1e9);
    auto calendar = engine_->at(date);
    UErrorCode status = U_ZERO_ERROR;
    if (wrapping) {
        calendar->roll(icuField(component), value, status);
    } else {
        calendar->add(icuField(component), value, status);
    }
    if (U_FAILURE(status)) return std::nullopt;
    return timeOf(*calendar, belowMillisecond(date));
}

std::optional<Date> Calendar::dateByAdding(const DateComponents& amounts, Date date) const {
    auto calendar = engine_->at(date);
    for (auto component : unitsLargestFirst) {
        if (auto value = amounts.value(component)) {
            UErrorCode status = U_ZERO_ERROR;
            calendar->add(icuField(component), *value, status);
            if (U_FAILURE(status)) return std::nullopt;
        }
    }
    return timeOf(*calendar, belowMillisecond(date) + amounts.nanosecond.value_or(0) / 1e9);
}

Date Calendar::startOfDay(Date date) const {
    auto calendar = engine_->at(date);
    for (auto field : {UCAL_HOUR_OF_DAY, UCAL_MINUTE, UCAL_SECOND, UCAL_MILLISECOND}) calendar->set(field, 0);
    return timeOf(*calendar).value_or(date);
}

bool Calendar::isDateInSameDay(Date date, Date other) const {
    return get(*engine_->at(date), UCAL_JULIAN_DAY) == get(*engine_->at(other), UCAL_JULIAN_DAY);
}

bool Calendar::isDateInDayOffsetFromToday(Date date, int days) const {
    auto day = dateByAdding(Component::day, days, Date::now());
    return day && isDateInSameDay(date, *day);
}

bool Calendar::isDateInToday(Date date) const { return isDateInDayOffsetFromToday(date, 0); }
bool Calendar::isDateInTomorrow(Date date) const { return isDateInDayOffsetFromToday(date, 1); }
bool Calendar::isDateInYesterday(Date date) const { return isDateInDayOffsetFromToday(date, -1); }

std::optional<Calendar::Range> Calendar::range(Component smaller, Component larger, Date date) const {
    auto calendar = engine_->at(date);
    auto actual = [&](UCalendarDateFields field) -> std::optional<Range> {
        UErrorCode status = U_ZERO_ERROR;
        int lowest = calendar->getActualMinimum(field, status);
        int highest = calendar->getActualMaximum(field, status);
        if (U_FAILURE(status)) return std::nullopt;
        return Range{lowest, highest + 1};
    };
    bool inWeek = larger == Component::weekOfYear || larger == Component::weekOfMonth;
    if (smaller == Component::day && larger == Component::month) return actual(UCAL_DATE);
    if (smaller == Component::day && larger == Component::year) return actual(UCAL_DAY_OF_YEAR);
    if (smaller == Component::weekday && inWeek) return Range{1, 8};
    if (smaller == Component::month && larger == Component::year) return Range{1, 13};
    if (smaller == Component::weekOfYear && larger == Component::year) return actual(UCAL_WEEK_OF_YEAR);
    if (smaller == Component::weekOfMonth && larger == Component::month) return actual(UCAL_WEEK_OF_MONTH);
    if (smaller == Component::hour && larger == Component::day) return Range{0, 24};
    if (smaller == Component::minute && larger == Component::hour) return Range{0, 60};
    if (smaller == Component::second && larger == Component::minute) return Range{0, 60};
    return std::nullopt;
}

std::optional<Calendar::Range> Calendar::maximumRange(Component component) const {
    if (component == Component::nanosecond) return Range{0, 1'000'000'000};
    auto field = icuField(component);
    int shift = monthShift(component);
    return Range{engine_->prototype->getMinimum(field) + shift, engine_->prototype->getMaximum(field) + shift + 1};
}

std::optional<int> Calendar::ordinality(Component smaller, Component larger, Date date) const {
    auto calendar = engine_->at(date);
    int weekday = get(*calendar, UCAL_DAY_OF_WEEK);
    int positionInWeek = (weekday - firstWeekday_ + 7) % 7 + 1;
    bool isDay = smaller == Component::day || smaller == Component::weekday;
    bool inWeek = larger == Component::weekOfYear || larger == Component::weekOfMonth;

    if (larger == Component::era) {
        // Counted from 1 January of year 1; the era before it has no first day to count from.
        if (get(*calendar, UCAL_ERA) == 0) return std::nullopt;
        std::unique_ptr<icu::Calendar> eraStart(engine_->prototype->clone());
        eraStart->clear();
        eraStart->set(1, UCAL_JANUARY, 1);
        int firstJulianDay = get(*eraStart, UCAL_JULIAN_DAY);
        int dayInEra = get(*calendar, UCAL_JULIAN_DAY) - firstJulianDay + 1;
        int firstPositionInWeek = (get(*eraStart, UCAL_DAY_OF_WEEK) - firstWeekday_ + 7) % 7;
        int year = get(*calendar, UCAL_YEAR);
        switch (smaller) {
            case Component::day:
            case Component::weekday: return dayInEra;
            case Component::weekOfYear:
            case Component::weekOfMonth:
            case Component::weekdayOrdinal: return (dayInEra - 1 + firstPositionInWeek) / 7 + 1;
            case Component::month: return (year - 1) * 12 + get(*calendar, UCAL_MONTH) + 1;
            case Component::year: return year;
            default: return std::nullopt;
        }
    }
    if (isDay && inWeek) return positionInWeek;
    if (smaller == Component::day && larger == Component::month) return get(*calendar, UCAL_DATE);
    if (smaller == Component::day && larger == Component::year) return get(*calendar, UCAL_DAY_OF_YEAR);
    if (smaller == Component::weekday && larger == Component::month) return get(*calendar, UCAL_DAY_OF_WEEK_IN_MONTH);
    if (smaller == Component::weekOfYear && larger == Component::year) return get(*calendar, UCAL_WEEK_OF_YEAR);
    if (smaller == Component::weekOfMonth && larger == Component::month) return get(*calendar, UCAL_WEEK_OF_MONTH);
    if (smaller == Component::month && larger == Component::year) return get(*calendar, UCAL_MONTH) + 1;
    if (smaller == Component::hour && larger == Component::day) return get(*calendar, UCAL_HOUR_OF_DAY) + 1;
    if (smaller == Component::minute && larger == Component::hour) return get(*calendar, UCAL_MINUTE) + 1;
    if (smaller == Component::second && larger == Component::minute) return get(*calendar, UCAL_SECOND) + 1;
    return std::nullopt;
}

}  // namespace foundation
