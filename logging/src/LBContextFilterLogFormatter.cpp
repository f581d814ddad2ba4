#include "logging/LBContextFilterLogFormatter.h"

namespace logging {

void LBLoggingContextSet::addToSet(LBLogContext context) {
    std::lock_guard lock(mutex_);
    set_.insert(context);
}

void LBLoggingContextSet::removeFromSet(LBLogContext context) {
    std::lock_guard lock(mutex_);
    set_.erase(context);
}

std::vector<LBLogContext> LBLoggingContextSet::currentSet() const {
    std::lock_guard lock(mutex_);
    return {set_.begin(), set_.end()};
}

bool LBLoggingContextSet::isInSet(LBLogContext context) const {
    std::lock_guard lock(mutex_);
    return set_.contains(context);
}

std::optional<std::string> LBContextAllowlistFilterLogFormatter::formatLogMessage(const LBLogMessage& message) {
    if (!contextSet_.isInSet(message.context())) return std::nullopt;
    return message.message();
}

std::optional<std::string> LBContextDenylistFilterLogFormatter::formatLogMessage(const LBLogMessage& message) {
    if (contextSet_.isInSet(message.context())) return std::nullopt;
    return message.message();
}

}  // namespace logging
