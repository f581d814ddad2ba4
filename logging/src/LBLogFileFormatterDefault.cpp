#include "logging/LBLogFileFormatterDefault.h"

#include <cmath>

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

void LBLogFileFormatterDefault::appendTimestamp(std::string& text, foundation::Date date) {
    if (!isDefaultPattern_) {
        text += dateFormatter_.string(date);
        return;
    }
    const double seconds = date.timeIntervalSinceReferenceDate;
    const double second = std::floor(seconds);
    if (second != cachedSecond_) {
        cachedPrefix_ = dateFormatter_.string(foundation::Date{second});
        cachedSecond_ = second;
    }
    const int milliseconds = std::min(999, static_cast<int>((seconds - second) * 1000.0));
    const char tail[] = {':', static_cast<char>('0' + milliseconds / 100), static_cast<char>('0' + milliseconds / 10 % 10),
                         static_cast<char>('0' + milliseconds % 10)};
    text += cachedPrefix_;
    text.append(tail, sizeof tail);
}

std::optional<std::string> LBLogFileFormatterDefault::formatLogMessage(const LBLogMessage& message) {
    // One allocation: the time, two spaces, the text and room for the line break the logger adds.
    std::string line;
    line.reserve(32 + message.message().size());
    appendLine(line, message);
    return line;
}

void LBLogFileFormatterDefault::appendLine(std::string& text, const LBLogMessage& message) {
    const auto stamp = message.timestamp();
    {
        std::lock_guard lock(mutex_);
        appendTimestamp(text, stamp ? *stamp : foundation::Date::now());
    }
    text += "  ";
    text += message.message();
}

}  // namespace logging
