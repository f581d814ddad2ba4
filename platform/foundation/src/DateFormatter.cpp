#include "foundation/DateFormatter.h"

#include <unicode/dtfmtsym.h>
#include <unicode/smpdtfmt.h>

#include "IcuTime.h"

namespace foundation {

struct DateFormatter::Engine {
    std::unique_ptr<icu::SimpleDateFormat> format;
    std::unique_ptr<icu::Calendar> parseCalendar;
};

namespace {

std::unique_ptr<icu::SimpleDateFormat> formatFor(const Locale& locale) {
    static icu_time::PrototypeCache<icu::SimpleDateFormat> prototypes;
    return prototypes.clone(locale.identifier(), [&] {
        UErrorCode status = U_ZERO_ERROR;
        auto made = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString(), icu_time::toIcu(locale), status);
        if (U_FAILURE(status)) made.reset();
        return made;
    });
}

}  // namespace

DateFormatter::DateFormatter() : locale_(Locale::current()), timeZone_(TimeZone::current()) {}
DateFormatter::~DateFormatter() = default;
DateFormatter::DateFormatter(DateFormatter&&) noexcept = default;
DateFormatter& DateFormatter::operator=(DateFormatter&&) noexcept = default;

// The engine is a cache of the settings, so a copy rebuilds its own.
DateFormatter::DateFormatter(const DateFormatter& other)
    : dateFormat_(other.dateFormat_), locale_(other.locale_), timeZone_(other.timeZone_), lenient_(other.lenient_) {}

DateFormatter& DateFormatter::operator=(const DateFormatter& other) {
    if (this != &other) *this = DateFormatter(other);
    return *this;
}

void DateFormatter::setDateFormat(std::string pattern) {
    dateFormat_ = std::move(pattern);
    if (engine_) engine_->format->applyPattern(icu_time::toUnicode(dateFormat_));
}

void DateFormatter::setLocale(Locale locale) {
    locale_ = std::move(locale);
    engine_.reset();
}

void DateFormatter::setTimeZone(TimeZone timeZone) {
    timeZone_ = std::move(timeZone);
    if (engine_) {
        engine_->format->setTimeZone(icu_time::toIcu(timeZone_));
        engine_->parseCalendar->setTimeZone(icu_time::toIcu(timeZone_));
    }
}

void DateFormatter::setLenient(bool lenient) {
    lenient_ = lenient;
    if (engine_) {
        engine_->format->setLenient(lenient_);
        engine_->parseCalendar->setLenient(lenient_);
    }
}

DateFormatter::Engine& DateFormatter::engine() const {
    if (!engine_) {
        auto engine = std::make_unique<Engine>();
        engine->format = formatFor(locale_);
        if (!engine->format) engine->format = formatFor(Locale("en_US_POSIX"));
        engine->format->applyPattern(icu_time::toUnicode(dateFormat_));
        engine->format->setTimeZone(icu_time::toIcu(timeZone_));
        engine->format->setLenient(lenient_);
        engine->parseCalendar.reset(engine->format->getCalendar()->clone());
        engine->parseCalendar->setLenient(lenient_);
        engine_ = std::move(engine);
    }
    return *engine_;
}

std::string DateFormatter::string(Date date) const {
    icu::UnicodeString text;
    engine().format->format(icu_time::toUDate(date), text);
    return icu_time::toUtf8(text);
}

std::optional<Date> DateFormatter::date(std::string_view text) const {
    if (text.empty()) return std::nullopt;
    auto& [format, calendar] = engine();
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
    int32_t count = 0;
    auto symbols = engine().format->getDateFormatSymbols()->getWeekdays(
        count, icu::DateFormatSymbols::FORMAT, static_cast<icu::DateFormatSymbols::DtWidthType>(width));
    return names(symbols, count, 1);  // ICU leaves index 0 empty so that Sunday is 1
}

std::vector<std::string> DateFormatter::monthNames(int width) const {
    int32_t count = 0;
    auto symbols = engine().format->getDateFormatSymbols()->getMonths(
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
