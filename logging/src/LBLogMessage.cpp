#include "logging/LBLogMessage.h"

#include <functional>

#include "dispatch/Queue.h"
#include "foundation/Thread.h"

namespace logging {
namespace {

// Quality-of-service classes. Linux has none: the main thread reports what the platform gives its
// main thread, the dispatch pool's threads the default class (every queue here runs at it), any other
// thread unspecified.
constexpr std::uint32_t userInteractive = 33;
constexpr std::uint32_t defaultClass = 21;
constexpr std::uint32_t unspecified = 0;

std::string_view fileNameOf(std::string_view file) {
    auto slash = file.rfind('/');
    std::string_view name = slash == std::string_view::npos ? file : file.substr(slash + 1);
    auto dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

template <class T>
std::size_t hashOf(const T& value) {
    return std::hash<T>{}(value);
}

// Fills `origin` in place: a record that one thread refills then copies only what changed.
void assignCurrentOrigin(LBLogMessage::Origin& origin) {
    thread_local const std::string threadID = std::to_string(foundation::currentThreadID());
    if (origin.threadID != threadID) origin.threadID = threadID;
    if (const auto& name = foundation::currentThreadName(); name.empty()) {
        origin.threadName.reset();
    } else if (origin.threadName != name) {
        origin.threadName = name;
    }
    // One look at the running queue (the main queue on the main thread) gives the label and the class.
    const dispatch::Queue* queue = dispatch::Queue::currentUnretained();
    if (!queue) {
        // Off any queue, so off the main thread too.
        origin.queueLabel.clear();
        origin.qos = unspecified;
        return;
    }
    if (origin.queueLabel != queue->label()) origin.queueLabel = queue->label();
    origin.qos = dispatch::isMainThread() ? userInteractive : defaultClass;
}

}  // namespace

LBLogMessage::Origin LBLogMessage::Origin::current() {
    Origin origin;
    assignCurrentOrigin(origin);
    return origin;
}

void LBLogMessage::takeCurrentOrigin() { assignCurrentOrigin(origin_); }

LBLogMessage::LBLogMessage(std::string message, LBLogLevel level, LBLogFlag flag, LBLogContext context,
                           std::string_view file, std::optional<std::string_view> function, std::uint64_t line,
                           LBLogTag tag, int options, std::optional<foundation::Date> timestamp, Origin origin)
    : message_(std::move(message)),
      level_(level),
      flag_(flag),
      context_(context),
      function_(function),
      line_(line),
      tag_(std::move(tag)),
      options_(options),
      timestamp_(timestamp ? timestamp : foundation::Date::now()),
      origin_(std::move(origin)) {
    if (options & copyFile) {
        ownedFile_ = std::make_shared<const std::string>(file);
        file_ = *ownedFile_;
    } else {
        file_ = file;
    }
    if ((options & copyFunction) && function) {
        ownedFunction_ = std::make_shared<const std::string>(*function);
        function_ = *ownedFunction_;
    }
}

std::string_view LBLogMessage::fileName() const { return fileNameOf(file_); }

bool LBLogMessage::operator==(const LBLogMessage& other) const {
    if (this == &other) return true;
    return message_ == other.message_ && level_ == other.level_ && flag_ == other.flag_ &&
           context_ == other.context_ && file_ == other.file_ && function_ == other.function_ &&
           line_ == other.line_ && tag_ == other.tag_ && timestamp_ == other.timestamp_ &&
           origin_.threadID == other.origin_.threadID && origin_.queueLabel == other.origin_.queueLabel &&
           origin_.qos == other.origin_.qos;
}

std::size_t LBLogMessage::hash() const {
    std::size_t value = hashOf(message_) ^ hashOf(file_) ^ hashOf(function_.value_or(std::string_view())) ^
                        hashOf(origin_.threadID) ^ hashOf(origin_.queueLabel);
    if (timestamp_) value ^= hashOf(timestamp_->timeIntervalSinceReferenceDate);
    value ^= bits(level_) ^ bits(flag_) ^ static_cast<std::size_t>(context_) ^ line_ ^ origin_.qos;
    if (tag_) value ^= hashOf(*tag_);
    return value;
}

}  // namespace logging
