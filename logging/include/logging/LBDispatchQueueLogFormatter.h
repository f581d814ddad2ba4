#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/DateFormatter.h"
#include "logging/LBLogFormatter.h"

namespace logging {

// Prefixes each line with its timestamp, the queue (or thread) it came from and its quality of
// service: "2024-05-01 10:00:00:123 [main (QOS:UI)] text". Shareable by loggers on different queues.
class LBDispatchQueueLogFormatter : public LBLogFormatter {
public:
    LBDispatchQueueLogFormatter();

    // The short label shown for a full queue label or thread name; "com.apple.main-thread" is "main".
    std::optional<std::string> replacementStringForQueueLabel(std::string_view label) const;
    // nullopt removes the entry.
    void setReplacementString(std::optional<std::string> replacement, std::string label);

    std::string stringFromDate(foundation::Date date);
    // The queue label, or for a global queue (or none) the thread's name, else its id; replaced, then
    // cut to the maximum or padded to the minimum length.
    std::string queueThreadLabelForLogMessage(const LBLogMessage& message) const;
    std::optional<std::string> formatLogMessage(const LBLogMessage& message) override;

    std::size_t minQueueLength() const { return minQueueLength_; }
    void setMinQueueLength(std::size_t length) { minQueueLength_ = length; }  // 0: no minimum
    std::size_t maxQueueLength() const { return maxQueueLength_; }
    void setMaxQueueLength(std::size_t length) { maxQueueLength_ = length; }  // 0: no cut

protected:
    // Subclasses may choose their own date format; made on first use.
    virtual foundation::DateFormatter createDateFormatter();
    virtual void configureDateFormatter(foundation::DateFormatter& formatter);

private:
    mutable std::mutex mutex_;
    std::optional<foundation::DateFormatter> dateFormatter_;  // under mutex_: one thread formats at a time
    std::atomic<std::size_t> minQueueLength_ = 0;
    std::atomic<std::size_t> maxQueueLength_ = 0;
    std::map<std::string, std::string, std::less<>> replacements_;
};

}  // namespace logging
