#include "shell/Date.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <mutex>

#include "foundation/Calendar.h"
#include "foundation/DateFormatter.h"
#include "foundation/Format.h"
#include "foundation/NumberFormatter.h"
#include "foundation/NumberText.h"

namespace dates {

namespace {

using foundation::DateFormatter;
using foundation::Locale;

// Formatters live for the process, keyed by the hashes of pattern, zone type and locale. Each is made
// with the zone current at that moment and keeps it: the zone type does not set the zone.
DateFormatter cachedFormatter(const std::string& pattern, TimeZoneType timeZone, const Locale& locale) {
    static std::mutex mutex;
    static std::unordered_map<std::string, DateFormatter> formatters;

    std::string key = std::to_string(std::hash<std::string>{}(pattern)) +
                      std::to_string(std::hash<TimeZoneType>{}(timeZone)) +
                      std::to_string(std::hash<std::string>{}(locale.identifier()));
    std::lock_guard lock(mutex);
    auto found = formatters.find(key);
    if (found != formatters.end()) return found->second;

    DateFormatter formatter;
    formatter.setDateFormat(pattern);
    formatter.setTimeZone(foundation::TimeZone::current());
    formatter.setLocale(Locale("en_US_POSIX"));
    formatter.setLenient(true);
    formatters.emplace(key, formatter);
    return formatter;
}

// "/Date(digits[+-hhmm])/", its slashes maybe escaped, found anywhere in the text: one pass, however long
// the runs of digits (a backtracking pattern search was quadratic in them, and deep in the stack).
std::optional<Date> fromDotNet(std::string_view text) {
    constexpr std::string_view opening = "/Date(";
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    for (std::size_t at = text.find(opening); at != std::string_view::npos; at = text.find(opening, at + 1)) {
        std::size_t digitsFrom = at + opening.size(), end = digitsFrom;
        while (end < text.size() && isDigit(text[end])) ++end;
        if (end == digitsFrom) continue;
        std::size_t next = end;
        if (next + 5 <= text.size() && (text[next] == '+' || text[next] == '-') &&
            std::all_of(text.begin() + next + 1, text.begin() + next + 5, isDigit))
            next += 5;
        if (next >= text.size() || text[next] != ')') continue;
        ++next;
        if (next < text.size() && text[next] == '\\') ++next;
        if (next >= text.size() || text[next] != '/') continue;
        auto milliseconds = foundation::parseDouble(std::string(text.substr(digitsFrom, end - digitsFrom)));
        if (!milliseconds) return std::nullopt;
        return Date::fromUnix(*milliseconds / 1000);
    }
    return std::nullopt;
}

// The milliseconds since 1970 and the device zone's whole-hour offset, so that fromString reads it back.
std::string toDotNet(Date date) {
    long long milliseconds = std::llround(date.timeIntervalSince1970() * 1000);
    int hours = foundation::TimeZone::current().secondsFromGMT() / 3600;
    return foundation::format("/Date(%lld%c%02d00)/", milliseconds, hours < 0 ? '-' : '+', std::abs(hours));
}

}  // namespace

std::string DateFormatType::stringFormat() const {
    switch (kind_) {
        case Kind::custom: return customPattern_;
        case Kind::isoYear: return "yyyy";
        case Kind::isoYearMonth: return "yyyy-MM";
        case Kind::isoDate: return "yyyy-MM-dd";
        case Kind::isoDateTime: return "yyyy-MM-dd'T'HH:mmZ";
        case Kind::isoDateTimeSec: return "yyyy-MM-dd'T'HH:mm:ssZ";
        case Kind::isoDateTimeMilliSec: return "yyyy-MM-dd'T'HH:mm:ss.SSSZ";
        case Kind::dotNet: return "";
        case Kind::rss: return "EEE, d MMM yyyy HH:mm:ss ZZZ";
        case Kind::altRSS: return "d MMM yyyy HH:mm:ss ZZZ";
        case Kind::httpHeader: return "EEE, dd MM yyyy HH:mm:ss ZZZ";
        case Kind::standard: return "EEE MMM dd HH:mm:ss Z yyyy";
    }
    return "";
}

std::optional<Date> fromString(std::string_view text, const DateFormatType& format, TimeZoneType timeZone,
                               const Locale& locale) {
    if (text.empty()) return std::nullopt;
    using Kind = DateFormatType::Kind;
    if (format.kind() == Kind::dotNet) return fromDotNet(text);

    std::string readable(text);
    if ((format.kind() == Kind::rss || format.kind() == Kind::altRSS) && readable.ends_with('Z')) {
        readable.replace(readable.size() - 1, 1, "GMT");
    }
    return cachedFormatter(format.stringFormat(), timeZone, locale).date(readable);
}

std::string toString(Date date, const DateFormatType& format, TimeZoneType timeZone, const Locale& locale) {
    if (format.kind() == DateFormatType::Kind::dotNet) return toDotNet(date);
    return cachedFormatter(format.stringFormat(), timeZone, locale).string(date);
}

std::string toString(Date date, DateFormatterStyle, DateFormatterStyle timeStyle, bool,
                     const foundation::TimeZone&, const Locale&) {
    DateFormatter formatter;
    formatter.setDateFormat(timeStyle == DateFormatterStyle::none ? "d MMM yyyy" : "d MMM yyyy HH:mm");
    return formatter.string(date);
}

std::string toString(Date date, DateStyleType style) {
    auto named = [&](std::vector<std::string> (DateFormatter::*symbols)() const, DateComponentType index) {
        auto formatter = cachedFormatter(DateFormatType::standard.stringFormat(), TimeZoneType::local,
                                         Locale::current());
        auto names = (formatter.*symbols)();
        int position = component(date, index).value_or(1) - 1;
        return position >= 0 && position < static_cast<int>(names.size()) ? names[position] : std::string();
    };
    switch (style) {
        case DateStyleType::short_:
            return toString(date, DateFormatterStyle::short_, DateFormatterStyle::short_);
        case DateStyleType::medium:
            return toString(date, DateFormatterStyle::medium, DateFormatterStyle::medium);
        case DateStyleType::long_: return toString(date, DateFormatterStyle::long_, DateFormatterStyle::long_);
        case DateStyleType::full: return toString(date, DateFormatterStyle::full, DateFormatterStyle::full);
        case DateStyleType::ordinalDay: {
            static std::mutex mutex;
            static foundation::NumberFormatter ordinals;
            std::lock_guard lock(mutex);
            ordinals.setNumberStyle(foundation::NumberFormatter::Style::ordinal);
            ordinals.setLocale(Locale::current());
            return ordinals.string(component(date, DateComponentType::day).value_or(0)).value_or("");
        }
        case DateStyleType::weekday: return named(&DateFormatter::weekdaySymbols, DateComponentType::weekday);
        case DateStyleType::shortWeekday:
            return named(&DateFormatter::shortWeekdaySymbols, DateComponentType::weekday);
        case DateStyleType::veryShortWeekday:
            return named(&DateFormatter::veryShortWeekdaySymbols, DateComponentType::weekday);
        case DateStyleType::month: return named(&DateFormatter::monthSymbols, DateComponentType::month);
        case DateStyleType::shortMonth: return named(&DateFormatter::shortMonthSymbols, DateComponentType::month);
        case DateStyleType::veryShortMonth:
            return named(&DateFormatter::veryShortMonthSymbols, DateComponentType::month);
    }
    return "";
}

std::string iso8601String(Date date) {
    DateFormatter formatter;
    formatter.setLocale(Locale("en_US_POSIX"));
    formatter.setTimeZone(*foundation::TimeZone::fromAbbreviation("GMT"));
    formatter.setDateFormat("yyyy-MM-dd'T'HH:mm:ss.SSS");
    return formatter.string(date) + "Z";
}

namespace {

struct Phrase {
    RelativeTimeStringType key;
    const char* text;
    std::optional<double> number;  // set when the phrase is a format with one number
};

Phrase pastOrFuture(bool past, Phrase inPast, Phrase inFuture) { return past ? inPast : inFuture; }

Phrase relativePhrase(Date date) {
    using enum RelativeTimeStringType;
    Date now = Date::now();
    double difference = now.timeIntervalSince(date);
    bool past = difference > 0;
    double seconds = std::abs(difference);
    long long minutes = static_cast<long long>(seconds / 60);
    long long hours = minutes / 60;
    long long days = hours / 24;
    auto calendarCount = [&](DateComponentType unit) {
        return static_cast<double>(std::llabs(since(date, now, unit)));
    };
    auto inAdjacent = [&](const DateComparisonType& last, const DateComparisonType& next) {
        return compare(date, past ? last : next);
    };

    if (seconds < 10) return pastOrFuture(past, {nowPast, "1s", {}}, {nowFuture, "now", {}});
    if (seconds < 60) return pastOrFuture(past, {secondsPast, "%.fs", seconds}, {secondsFuture, "now", seconds});
    if (minutes == 1) return pastOrFuture(past, {oneMinutePast, "1m", {}}, {oneMinuteFuture, "in 1 minute", {}});
    if (minutes < 60) {
        double count = static_cast<double>(minutes);
        return pastOrFuture(past, {minutesPast, "%.fm", count}, {minutesFuture, "in %.f minutes", count});
    }
    if (hours == 1) return pastOrFuture(past, {oneHourPast, "1h", {}}, {oneHourFuture, "next hour", {}});
    if (hours < 24) {
        double count = static_cast<double>(hours);
        return pastOrFuture(past, {hoursPast, "%.fh", count}, {hoursFuture, "in %.f hours", count});
    }
    if (days == 1) return pastOrFuture(past, {oneDayPast, "1d", {}}, {oneDayFuture, "tomorrow", {}});
    if (days < 7) {
        double count = static_cast<double>(days);
        return pastOrFuture(past, {daysPast, "%.fd", count}, {daysFuture, "in %.f days", count});
    }
    if (days < 28) {
        if (inAdjacent(DateComparisonType::isLastWeek, DateComparisonType::isNextWeek)) {
            return pastOrFuture(past, {oneWeekPast, "1w", {}}, {oneWeekFuture, "next week", {}});
        }
        double count = calendarCount(DateComponentType::week);
        return pastOrFuture(past, {weeksPast, "%.fw", count}, {weeksFuture, "in %.f weeks", count});
    }
    if (days < 365) {
        if (inAdjacent(DateComparisonType::isLastMonth, DateComparisonType::isNextMonth)) {
            return pastOrFuture(past, {oneMonthPast, "1M", {}}, {oneMonthFuture, "next month", {}});
        }
        double count = calendarCount(DateComponentType::month);
        return pastOrFuture(past, {monthsPast, "%.fM", count}, {monthsFuture, "in %.f months", count});
    }
    if (inAdjacent(DateComparisonType::isLastYear, DateComparisonType::isNextYear)) {
        return pastOrFuture(past, {oneYearPast, "1y", {}}, {oneYearFuture, "next year", {}});
    }
    double count = calendarCount(DateComponentType::year);
    return pastOrFuture(past, {yearsPast, "%.fy", count}, {yearsFuture, "in %.f years", count});
}

// The app ships no translations, so a phrase is its own localisation.
std::string localizedPhrase(const char* phrase) { return phrase; }

}  // namespace

std::string toStringWithRelativeTime(Date date, const std::optional<RelativeTimeStrings>& strings) {
    Phrase phrase = relativePhrase(date);
    std::string text;
    if (strings && strings->contains(phrase.key)) {
        text = strings->at(phrase.key);
    } else {
        text = localizedPhrase(phrase.text);
    }
    return phrase.number ? foundation::format(text, *phrase.number) : text;
}

}  // namespace dates
