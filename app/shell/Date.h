#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "foundation/Date.h"
#include "foundation/Locale.h"
#include "foundation/TimeZone.h"

// The app's date helpers over foundation::Date: named formats and styles, ISO 8601 text, short
// relative-time phrases, named comparisons, components and calendar arithmetic. Calendar work uses
// Calendar::current() at the time of the call. The screens format their own dates; nothing here is
// shared with them. Main thread.
namespace dates {

using foundation::Date;

// A named date-format pattern, or one the caller gives.
class DateFormatType {
public:
    enum class Kind {
        custom,
        isoYear,
        isoYearMonth,
        isoDate,
        isoDateTime,
        isoDateTimeSec,
        isoDateTimeMilliSec,
        dotNet,  // "/Date(milliseconds)/" with an optional "+hhmm"; no pattern, rules of its own
        rss,
        altRSS,
        httpHeader,
        standard,
    };

    static DateFormatType custom(std::string pattern) { return {Kind::custom, std::move(pattern)}; }
    static const DateFormatType isoYear, isoYearMonth, isoDate, isoDateTime, isoDateTimeSec,
        isoDateTimeMilliSec, dotNet, rss, altRSS, httpHeader, standard;

    Kind kind() const { return kind_; }
    // The formatter pattern; empty for dotNet.
    std::string stringFormat() const;

private:
    DateFormatType(Kind kind, std::string pattern = {}) : kind_(kind), customPattern_(std::move(pattern)) {}

    Kind kind_;
    std::string customPattern_;
};

inline const DateFormatType DateFormatType::isoYear{Kind::isoYear};
inline const DateFormatType DateFormatType::isoYearMonth{Kind::isoYearMonth};
inline const DateFormatType DateFormatType::isoDate{Kind::isoDate};
inline const DateFormatType DateFormatType::isoDateTime{Kind::isoDateTime};
inline const DateFormatType DateFormatType::isoDateTimeSec{Kind::isoDateTimeSec};
inline const DateFormatType DateFormatType::isoDateTimeMilliSec{Kind::isoDateTimeMilliSec};
inline const DateFormatType DateFormatType::dotNet{Kind::dotNet};
inline const DateFormatType DateFormatType::rss{Kind::rss};
inline const DateFormatType DateFormatType::altRSS{Kind::altRSS};
inline const DateFormatType DateFormatType::httpHeader{Kind::httpHeader};
inline const DateFormatType DateFormatType::standard{Kind::standard};

enum class TimeZoneType { local, utc };

// `short_` and `long_`: `short` and `long` are C++ keywords.
enum class DateStyleType {
    short_,
    medium,
    long_,
    full,
    ordinalDay,
    weekday,
    shortWeekday,
    veryShortWeekday,
    month,
    shortMonth,
    veryShortMonth,
};

// The platform date formatter's styles, as the style-based toString takes them.
enum class DateFormatterStyle { none, short_, medium, long_, full };

enum class RelativeTimeStringType {
    nowPast,
    nowFuture,
    secondsPast,
    secondsFuture,
    oneMinutePast,
    oneMinuteFuture,
    minutesPast,
    minutesFuture,
    oneHourPast,
    oneHourFuture,
    hoursPast,
    hoursFuture,
    oneDayPast,
    oneDayFuture,
    daysPast,
    daysFuture,
    oneWeekPast,
    oneWeekFuture,
    weeksPast,
    weeksFuture,
    oneMonthPast,
    oneMonthFuture,
    monthsPast,
    monthsFuture,
    oneYearPast,
    oneYearFuture,
    yearsPast,
    yearsFuture,
};

// The caller's phrases; a phrase marked "%.f" in the defaults is a format with one number.
using RelativeTimeStrings = std::unordered_map<RelativeTimeStringType, std::string>;

// A named comparison; six of them compare with another date.
class DateComparisonType {
public:
    enum class Kind {
        isSameDay,
        isSameWeek,
        isSameMonth,
        isSameYear,
        isEarlier,
        isLater,
        isToday,
        isTomorrow,
        isYesterday,
        isThisWeek,
        isNextWeek,
        isLastWeek,
        isThisMonth,
        isNextMonth,
        isLastMonth,
        isThisYear,
        isNextYear,
        isLastYear,
        isInTheFuture,
        isInThePast,
        isWeekday,
        isWeekend,
    };

    static DateComparisonType isSameDay(Date as) { return {Kind::isSameDay, as}; }
    static DateComparisonType isSameWeek(Date as) { return {Kind::isSameWeek, as}; }
    static DateComparisonType isSameMonth(Date as) { return {Kind::isSameMonth, as}; }
    static DateComparisonType isSameYear(Date as) { return {Kind::isSameYear, as}; }
    static DateComparisonType isEarlier(Date than) { return {Kind::isEarlier, than}; }
    static DateComparisonType isLater(Date than) { return {Kind::isLater, than}; }
    static const DateComparisonType isToday, isTomorrow, isYesterday, isThisWeek, isNextWeek, isLastWeek,
        isThisMonth, isNextMonth, isLastMonth, isThisYear, isNextYear, isLastYear, isInTheFuture,
        isInThePast, isWeekday, isWeekend;

    Kind kind() const { return kind_; }
    Date other() const { return other_; }  // the date compared with, for the six that carry one

private:
    DateComparisonType(Kind kind, Date other = {}) : kind_(kind), other_(other) {}

    Kind kind_;
    Date other_;
};

inline const DateComparisonType DateComparisonType::isToday{Kind::isToday};
inline const DateComparisonType DateComparisonType::isTomorrow{Kind::isTomorrow};
inline const DateComparisonType DateComparisonType::isYesterday{Kind::isYesterday};
inline const DateComparisonType DateComparisonType::isThisWeek{Kind::isThisWeek};
inline const DateComparisonType DateComparisonType::isNextWeek{Kind::isNextWeek};
inline const DateComparisonType DateComparisonType::isLastWeek{Kind::isLastWeek};
inline const DateComparisonType DateComparisonType::isThisMonth{Kind::isThisMonth};
inline const DateComparisonType DateComparisonType::isNextMonth{Kind::isNextMonth};
inline const DateComparisonType DateComparisonType::isLastMonth{Kind::isLastMonth};
inline const DateComparisonType DateComparisonType::isThisYear{Kind::isThisYear};
inline const DateComparisonType DateComparisonType::isNextYear{Kind::isNextYear};
inline const DateComparisonType DateComparisonType::isLastYear{Kind::isLastYear};
inline const DateComparisonType DateComparisonType::isInTheFuture{Kind::isInTheFuture};
inline const DateComparisonType DateComparisonType::isInThePast{Kind::isInThePast};
inline const DateComparisonType DateComparisonType::isWeekday{Kind::isWeekday};
inline const DateComparisonType DateComparisonType::isWeekend{Kind::isWeekend};

// nthWeekday is the weekday ordinal ("second Sunday"), week the week of the year.
enum class DateComponentType { second, minute, hour, day, weekday, nthWeekday, week, month, year };

// A date derived from another; the two rounding cases carry a positive step.
class DateForType {
public:
    enum class Kind {
        nearestMinute,
        nearestHour,
        startOfDay,
        endOfDay,
        startOfWeek,
        endOfWeek,
        startOfMonth,
        endOfMonth,
        tomorrow,
        yesterday,
    };

    static DateForType nearestMinute(int minute) { return {Kind::nearestMinute, minute}; }
    static DateForType nearestHour(int hour) { return {Kind::nearestHour, hour}; }
    static const DateForType startOfDay, endOfDay, startOfWeek, endOfWeek, startOfMonth, endOfMonth,
        tomorrow, yesterday;

    Kind kind() const { return kind_; }
    int step() const { return step_; }

private:
    DateForType(Kind kind, int step = 0) : kind_(kind), step_(step) {}

    Kind kind_;
    int step_;
};

inline const DateForType DateForType::startOfDay{Kind::startOfDay};
inline const DateForType DateForType::endOfDay{Kind::endOfDay};
inline const DateForType DateForType::startOfWeek{Kind::startOfWeek};
inline const DateForType DateForType::endOfWeek{Kind::endOfWeek};
inline const DateForType DateForType::startOfMonth{Kind::startOfMonth};
inline const DateForType DateForType::endOfMonth{Kind::endOfMonth};
inline const DateForType DateForType::tomorrow{Kind::tomorrow};
inline const DateForType DateForType::yesterday{Kind::yesterday};

// Fields to replace in adjust(date, fields); absent ones keep the date's own.
struct DateFields {
    std::optional<int> hour = std::nullopt;
    std::optional<int> minute = std::nullopt;
    std::optional<int> second = std::nullopt;
    std::optional<int> day = std::nullopt;
    std::optional<int> month = std::nullopt;
};

// Formatting and parsing. The formatters behind `format` are cached per pattern, zone type and locale
// for the life of the process; each parses leniently in locale "en_US_POSIX" and in the device's zone
// at the moment it was made. The zone type and locale only pick the cache entry.
std::optional<Date> fromString(std::string_view text, const DateFormatType& format,
                               TimeZoneType timeZone = TimeZoneType::local,
                               const foundation::Locale& locale = foundation::Locale::current());
std::string toString(Date date, const DateFormatType& format, TimeZoneType timeZone = TimeZoneType::local,
                     const foundation::Locale& locale = foundation::Locale::current());
std::string toString(Date date, DateStyleType style);
// "d MMM yyyy", plus " HH:mm" unless the time style is none, in the current locale and zone; the other
// arguments do not change the text.
std::string toString(Date date, DateFormatterStyle dateStyle, DateFormatterStyle timeStyle, bool isRelative = false,
                     const foundation::TimeZone& timeZone = foundation::TimeZone::current(),
                     const foundation::Locale& locale = foundation::Locale::current());
// "2023-03-05T15:00:00.000Z"
std::string iso8601String(Date date);
// "45s", "in 3 hours", "tomorrow", "1w"...; the caller's phrases replace the defaults key by key.
std::string toStringWithRelativeTime(Date date, const std::optional<RelativeTimeStrings>& strings = std::nullopt);

// Comparison, components and arithmetic.
bool compare(Date date, const DateComparisonType& comparison);
std::optional<int> component(Date date, DateComponentType component);
// Positive when `date` is the later one. Seconds, minutes and hours count elapsed time; the calendar
// units count boundaries crossed (23:00 to 01:00 the next day is one day but two hours).
std::int64_t since(Date date, Date other, DateComponentType unit);
Date adjust(Date date, DateComponentType component, int offset);
// Values out of range are normalised: day 0 is the last day of the previous month.
Date adjust(Date date, const DateFields& fields);
// Rounding to a step below one is refused: the date comes back unchanged.
Date dateFor(Date date, const DateForType& type);
int numberOfDaysInMonth(Date date);
// The day of the month of the week's first day (Sunday in the Gregorian week), and of the following
// week's first day.
int firstDayOfWeek(Date date);
int lastDayOfWeek(Date date);

}  // namespace dates
