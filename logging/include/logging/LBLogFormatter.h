#pragma once

#include <memory>
#include <optional>
#include <string>

#include "logging/LBLogMessage.h"

namespace dispatch {
class Queue;
}

namespace logging {

class LBLogger;

// Turns a record into the text a logger writes. Formatters live in std::shared_ptr and may be shared
// by loggers on different queues.
class LBLogFormatter {
public:
    virtual ~LBLogFormatter() = default;

    // The text to write, or nullopt to drop the record for that logger.
    virtual std::optional<std::string> formatLogMessage(const LBLogMessage& message) = 0;

    virtual void didAddToLogger(LBLogger&) {}
    // Told the queue the logger will call the formatter on; by default the same as didAddToLogger.
    virtual void didAddToLoggerInQueue(LBLogger& logger, const std::shared_ptr<dispatch::Queue>&) {
        didAddToLogger(logger);
    }
    virtual void willRemoveFromLogger(LBLogger&) {}
};

}  // namespace logging
