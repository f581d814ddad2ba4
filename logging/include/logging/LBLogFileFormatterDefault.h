#pragma once

#include <mutex>
#include <optional>

#include "foundation/DateFormatter.h"
#include "logging/LBLogFormatter.h"

namespace logging {

// The file logger's line: the record's time, two spaces, the text. By default the time reads
// "yyyy/MM/dd HH:mm:ss:SSS" in GMT.
class LBLogFileFormatterDefault : public LBLogFormatter {
public:
    explicit LBLogFileFormatterDefault(std::optional<foundation::DateFormatter> dateFormatter = std::nullopt);

    std::optional<std::string> formatLogMessage(const LBLogMessage& message) override;
    // Appends the line formatLogMessage answers to `text` (the file logger makes its lines in place).
    void appendLine(std::string& text, const LBLogMessage& message);

private:
    void appendTimestamp(std::string& text, foundation::Date date);  // under mutex_

    // Shared by loggers on different queues; a date formatter serves one thread at a time.
    std::mutex mutex_;
    foundation::DateFormatter dateFormatter_;
    // The default pattern ends in ":SSS": the text up to the seconds is made once per second.
    bool isDefaultPattern_ = false;
    double cachedSecond_ = -1;
    std::string cachedPrefix_;
};

}  // namespace logging
