#include "logging/LBLogFileFormatterDefault.h"

#include <cmath>
#include <cstdio>

#include "foundation/Locale.h"
#include "foundation/TimeZone.h"

namespace logging {

LBLogFileFormatterDefault::LBLogFileFormatterDefault(std::optional<foundation::DateFormatter> dateFormatter) {
    if (dateFormatter) {
        dateFormatter_ = std::move(*dateFormatter);
        return;
    }
    dateFormatter_.setLocale(foundation::Locale("en_US_POSIX"));
    dateFormatter_.setTimeZone(foundation::TimeZone::gmt());
    dateFormatter_.setDateFormat("yyyy/MM/dd HH:mm:ss");
    isDefaultPattern_ = true;
}

std::string LBLogFileFormatterDefault::timestampText(foundation::Date date) {
    if (!isDefaultPattern_) return dateFormatter_.string(date);
    const double seconds = date.timeIntervalSinceReferenceDate;
    const double second = std::floor(seconds);
    if (second != cachedSecond_) {
        cachedPrefix_ = dateFormatter_.string(foundation::Date{second});
        cachedSecond_ = second;
    }
    int milliseconds = std::min(999, static_cast<int>((seconds - second) * 1000.0));
    char tail[8];
    std::snprintf(tail, sizeof tail, ":%03d", milliseconds);
    return cachedPrefix_ + tail;
}

std::optional<std::string> LBLogFileFormatterDefault::formatLogMessage(const LBLogMessage& message) {
    std::string line;
    {
        std::lock_guard lock(mutex_);
        line = timestampText(message.timestamp().value_or(foundation::Date::now()));
    }
    line.reserve(line.size() + 2 + message.message().size() + 1);
    line += "  ";
    line += message.message();
    return line;
}

}  // namespace logging
