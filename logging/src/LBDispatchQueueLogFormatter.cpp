#include "logging/LBDispatchQueueLogFormatter.h"

#include <algorithm>
#include <array>

#include "dispatch/Queue.h"
#include "foundation/Format.h"

namespace logging {
namespace {

// The labels of the platform's global queues: a record from one names its thread instead.
constexpr std::array<std::string_view, 7> rootQueueLabels{
    "com.apple.root.low-priority",           "com.apple.root.default-priority",
    "com.apple.root.high-priority",          "com.apple.root.low-overcommit-priority",
    "com.apple.root.default-overcommit-priority", "com.apple.root.high-overcommit-priority",
    "com.apple.root.default-qos.overcommit"};

std::string_view qosAbbreviation(std::uint32_t qos) {
    switch (qos) {
    case 9: return "BG";
    case 17: return "UT";
    case 21: return "DF";
    case 25: return "IN";
    case 33: return "UI";
    default: return "UN";
    }
}

}  // namespace

LBDispatchQueueLogFormatter::LBDispatchQueueLogFormatter() {
    replacements_.emplace(dispatch::Queue::mainLabel, "main");
}

std::optional<std::string> LBDispatchQueueLogFormatter::replacementStringForQueueLabel(std::string_view label) const {
    std::lock_guard lock(mutex_);
    auto found = replacements_.find(label);
    if (found == replacements_.end()) return std::nullopt;
    return found->second;
}

void LBDispatchQueueLogFormatter::setReplacementString(std::optional<std::string> replacement, std::string label) {
    std::lock_guard lock(mutex_);
    if (replacement) {
        replacements_.insert_or_assign(std::move(label), std::move(*replacement));
    } else {
        replacements_.erase(label);
    }
}

foundation::DateFormatter LBDispatchQueueLogFormatter::createDateFormatter() {
    foundation::DateFormatter formatter;
    configureDateFormatter(formatter);
    return formatter;
}

void LBDispatchQueueLogFormatter::configureDateFormatter(foundation::DateFormatter& formatter) {
    formatter.setLocale(foundation::Locale("en_US_POSIX"));
    formatter.setTimeZone(foundation::TimeZone::current());
    formatter.setDateFormat("yyyy-MM-dd HH:mm:ss:SSS");
}

std::string LBDispatchQueueLogFormatter::stringFromDate(foundation::Date date) {
    std::lock_guard lock(mutex_);
    if (!dateFormatter_) dateFormatter_ = createDateFormatter();
    return dateFormatter_->string(date);
}

std::string LBDispatchQueueLogFormatter::queueThreadLabelForLogMessage(const LBLogMessage& message) const {
    const auto& queueLabel = message.queueLabel();
    const bool fromGlobalQueue = std::ranges::find(rootQueueLabels, queueLabel) != rootQueueLabels.end();
    std::string label;
    bool replaceable = true;
    if (!queueLabel.empty() && !fromGlobalQueue) {
        label = queueLabel;
    } else if (message.threadName() && !message.threadName()->empty()) {
        label = *message.threadName();
    } else {
        label = message.threadID();
        replaceable = false;
    }
    if (replaceable) {
        if (auto replacement = replacementStringForQueueLabel(label)) label = std::move(*replacement);
    }
    const std::size_t maximum = maxQueueLength_, minimum = minQueueLength_;
    if (maximum > 0 && label.size() > maximum) {
        label.resize(maximum);
    } else if (label.size() < minimum) {
        label.append(minimum - label.size(), ' ');
    }
    return label;
}

std::optional<std::string> LBDispatchQueueLogFormatter::formatLogMessage(const LBLogMessage& message) {
    std::string timestamp = message.timestamp() ? stringFromDate(*message.timestamp()) : std::string();
    return foundation::format("%@ [%@ (QOS:%@)] %@", timestamp, queueThreadLabelForLogMessage(message),
                              qosAbbreviation(message.qos()), message.message());
}

}  // namespace logging
