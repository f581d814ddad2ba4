#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Date.h"
#include "foundation/Locale.h"
#include "foundation/TimeZone.h"

namespace foundation {

// Turns dates into text and back by a fixed pattern (Unicode date field symbols, such as
// "yyyy-MM-dd'T'HH:mm:ssZ"). A new formatter takes the current locale and time zone of the moment
// it is made. A value: copies are independent; one formatter is used by one thread at a time.
class DateFormatter {
public:
    DateFormatter();

    const std::string& dateFormat() const { return dateFormat_; }
    void setDateFormat(std::string pattern);
    const Locale& locale() const { return locale_; }
    void setLocale(Locale locale);
    const TimeZone& timeZone() const { return timeZone_; }
    void setTimeZone(TimeZone timeZone);
    // Strict by default: every field in range and the whole text consumed. Lenient parsing lets
    // minutes and seconds roll over (12:61 is 13:01) and tolerates loose spacing and digit counts.
    bool isLenient() const { return lenient_; }
    void setLenient(bool lenient);

    std::string string(Date date) const;
    // A text that does not match the pattern as a whole gives nullopt. Fields the pattern lacks are
    // taken from 2000-01-01 00:00:00 in the formatter's zone, so a time alone lands on that day. Text
    // longer than the pattern could write (over 64 + 32 bytes a pattern byte), or with more than ten
    // digits in a row where the pattern has no longer run of letters, gives nullopt unread.
    std::optional<Date> date(std::string_view text) const;

    // Names in the formatter's locale, Sunday and January first.
    std::vector<std::string> weekdaySymbols() const;
    std::vector<std::string> shortWeekdaySymbols() const;
    std::vector<std::string> veryShortWeekdaySymbols() const;
    std::vector<std::string> monthSymbols() const;
    std::vector<std::string> shortMonthSymbols() const;
    std::vector<std::string> veryShortMonthSymbols() const;

private:
    struct Engine;

    Engine* engine() const;
    std::vector<std::string> weekdayNames(int width) const;
    std::vector<std::string> monthNames(int width) const;

    std::string dateFormat_;
    Locale locale_;
    TimeZone timeZone_;
    bool lenient_ = false;
};

}  // namespace foundation
