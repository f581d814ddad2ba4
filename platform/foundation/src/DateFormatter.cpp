#include "foundation/DateFormatter.h"

#include <unicode/dtfmtsym.h>
#include <unicode/smpdtfmt.h>

#include <algorithm>
#include <cctype>

#include "IcuTime.h"

namespace foundation {

struct DateFormatter::Engine {
    std::unique_ptr<icu::SimpleDateFormat> format;
    std::unique_ptr<icu::Calendar> parseCalendar;
};

namespace {

std::unique_ptr<icu::SimpleDateFormat> formatFor(const Locale& locale) {
    // Never destroyed: log-file pruning formats dates on the global queue, which may outlive exit().
    static auto& prototypes = *new icu_time::PrototypeCache<icu::SimpleDateFormat>;
    return prototypes.clone(locale.identifier(), [&] {
        UErrorCode status = U_ZERO_ERROR;
        auto made = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString(), icu_time::toIcu(locale), status);
        if (U_FAILURE(status)) made.reset();
        return made;
    });
}

// The longest run of characters that `belongs` takes.
template <class Belongs>
std::size_t longestRun(std::string_view text, Belongs belongs) {
    std::size_t longest = 0;
    std::size_t run = 0;
    for (char c : text) {
        run = belongs(static_cast<unsigned char>(c)) ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

// Whether `text` is longer than anything `pattern` writes could be. No field writes more than a few dozen
// bytes (the longest are zone and day-period names), and a number alone needs at most ten digits, or as
// many as the pattern's letters side by side ("yyyyMMddHHmmss"). ICU reads a number's digits whatever their
// count in time that grows as their square (a megabyte of them: seconds), and a fraction of seconds past
// ten digits overflows: wrong past eleven, a division by zero at a hundred.
bool pastThePattern(std::string_view text, std::string_view pattern) {
    if (text.size() > 64 + 32 * pattern.size()) return true;
    const auto letters = longestRun(pattern, [](unsigned char c) { return std::isalpha(c) != 0; });
    return longestRun(text, [](unsigned char c) { return std::isdigit(c) != 0; }) > std::max<std::size_t>(10, letters);
}

}  // namespace

DateFormatter::DateFormatter() : locale_(Locale::current()), timeZone_(TimeZone::current()) {}

void DateFormatter::setDateFormat(std::string pattern) { dateFormat_ = std::move(pattern); }
void DateFormatter::setLocale(Locale locale) { locale_ = std::move(locale); }
void DateFormatter::setTimeZone(TimeZone timeZone) { timeZone_ = std::move(timeZone); }
void DateFormatter::setLenient(bool lenient) { lenient_ = lenient; }

DateFormatter::Engine* DateFormatter::engine() const {
    auto key = locale_.identifier() + '\n' + timeZone_.identifier() + '\n' + (lenient_ ? "1" : "0") + dateFormat_;
    return icu_time::PerThreadCache<Engine>::get(key, [&]() -> std::unique_ptr<Engine> {
        auto engine = std::make_unique<Engine>();
        engine->format = formatFor(locale_);
        if (!engine->format) engine->format = formatFor(Locale("en_US_POSIX"));
        if (!engine->format) return nullptr;
        engine->format->applyPattern(icu_time::toUnicode(dateFormat_));
        engine->format->setTimeZone(icu_time::toIcu(timeZone_));
        engine->format->setLenient(lenient_);
        engine->parseCalendar.reset(engine->format->getCalendar()->clone());
        return engine;
    });
}

std::string DateFormatter::string(Date date) const {
    auto* engine = this->engine();
    if (!engine) return {};
    icu::UnicodeString text;
    engine->format->format(icu_time::toUDate(date), text);
    return icu_time::toUtf8(text);
}

std::optional<Date> DateFormatter::date(std::string_view text) const {
    auto* engine = this->engine();
    if (text.empty() || !engine || pastThePattern(text, dateFormat_)) return std::nullopt;
    auto& [format, calendar] = *engine;
    auto unicode = icu_time::toUnicode(text);
    calendar->clear();
    calendar->set(2000, UCAL_JANUARY, 1, 0, 0, 0);
    icu::ParsePosition position(0);
    format->parse(unicode, *calendar, position);
    if (position.getErrorIndex() >= 0 || position.getIndex() != unicode.length()) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    UDate parsed = calendar->getTime(status);
    if (U_FAILURE(status)) return std::nullopt;
    return icu_time::fromUDate(parsed);
}

namespace {

std::vector<std::string> names(const icu::UnicodeString* symbols, int32_t count, int32_t first) {
    std::vector<std::string> result;
    for (int32_t index = first; index < count; ++index) result.push_back(icu_time::toUtf8(symbols[index]));
    return result;
}

}  // namespace

std::vector<std::string> DateFormatter::weekdayNames(int width) const {
    auto* engine = this->engine();
    if (!engine) return {};
    int32_t count = 0;
    auto symbols = engine->format->getDateFormatSymbols()->getWeekdays(
        count, icu::DateFormatSymbols::FORMAT, static_cast<icu::DateFormatSymbols::DtWidthType>(width));
    return names(symbols, count, 1);  // ICU leaves index 0 empty so that Sunday is 1
}

std::vector<std::string> DateFormatter::monthNames(int width) const {
    auto* engine = this->engine();
    if (!engine) return {};
    int32_t count = 0;
    auto symbols = engine->format->getDateFormatSymbols()->getMonths(
        count, icu::DateFormatSymbols::FORMAT, static_cast<icu::DateFormatSymbols::DtWidthType>(width));
    return names(symbols, count, 0);
}

std::vector<std::string> DateFormatter::weekdaySymbols() const { return weekdayNames(icu::DateFormatSymbols::WIDE); }
std::vector<std::string> DateFormatter::shortWeekdaySymbols() const {
    return weekdayNames(icu::DateFormatSymbols::ABBREVIATED);
}
std::vector<std::string> DateFormatter::veryShortWeekdaySymbols() const {
    return weekdayNames(icu::DateFormatSymbols::NARROW);
}
std::vector<std::string> DateFormatter::monthSymbols() const { return monthNames(icu::DateFormatSymbols::WIDE); }
std::vector<std::string> DateFormatter::shortMonthSymbols() const {
    return monthNames(icu::DateFormatSymbols::ABBREVIATED);
}
std::vector<std::string> DateFormatter::veryShortMonthSymbols() const {
    return monthNames(icu::DateFormatSymbols::NARROW);
}

}  // namespace foundation
