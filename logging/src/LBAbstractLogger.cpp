#include "logging/LBAbstractLogger.h"

#include "dispatch/Queue.h"
#include "foundation/Assertion.h"
#include "logging/LBLog.h"

namespace logging {
namespace {
constexpr std::string_view coreRequirement = "Core architecture requirement failure";
constexpr std::string_view useTheField = "MUST access ivar directly, NOT via self.* syntax.";
}  // namespace

LBAbstractLogger::LBAbstractLogger(std::string loggerName)
    : loggerName_(std::move(loggerName)), loggerQueue_(dispatch::Queue::serial(loggerName_)) {
    loggerQueue_->setSpecific(this, true);
}

LBAbstractLogger::~LBAbstractLogger() { loggerQueue_->setSpecific(this, {}); }

bool LBAbstractLogger::isOnGlobalLoggingQueue() const { return LBLog::isOnLoggingQueue(); }

bool LBAbstractLogger::isOnInternalLoggerQueue() const {
    // The queue is tagged with this logger and no other queue is; asking the queue itself spares the
    // tag lookup on every line.
    return loggerQueue_->isCurrent();
}

void LBAbstractLogger::readOnLoggerQueue(const std::function<void()>& read) const {
    foundation::assertion(!isOnGlobalLoggingQueue(), coreRequirement);
    foundation::assertion(!isOnInternalLoggerQueue(), useTheField);
    LBLog::loggingQueue()->sync([&] { loggerQueue_->sync(read); });
}

void LBAbstractLogger::writeOnLoggerQueue(std::function<void()> write) {
    if (isOnInternalLoggerQueue()) {
        write();
        return;
    }
    foundation::assertion(!isOnGlobalLoggingQueue(), coreRequirement);
    LBLog::asyncOnLoggingQueue([self = shared_from_this(), queue = loggerQueue_, write = std::move(write)]() mutable {
        queue->async([self = std::move(self), write = std::move(write)] { write(); });
    });
}

std::shared_ptr<LBLogFormatter> LBAbstractLogger::logFormatter() const {
    std::shared_ptr<LBLogFormatter> formatter;
    readOnLoggerQueue([&] { formatter = logFormatter_; });
    return formatter;
}

void LBAbstractLogger::setLogFormatter(std::shared_ptr<LBLogFormatter> formatter) {
    foundation::assertion(!isOnGlobalLoggingQueue(), coreRequirement);
    foundation::assertion(!isOnInternalLoggerQueue(), useTheField);
    LBLog::asyncOnLoggingQueue([self = shared_from_this(), queue = loggerQueue_, formatter]() mutable {
        queue->async([self = std::move(self), formatter = std::move(formatter)] {
            auto& logger = static_cast<LBAbstractLogger&>(*self);
            if (formatter == logger.logFormatter_) return;
            if (logger.logFormatter_) logger.logFormatter_->willRemoveFromLogger(logger);
            logger.logFormatter_ = formatter;
            if (formatter) formatter->didAddToLoggerInQueue(logger, logger.loggerQueue_);
        });
    });
}

}  // namespace logging
