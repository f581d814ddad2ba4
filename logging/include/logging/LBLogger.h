#pragma once

#include <memory>
#include <span>
#include <string>

#include "logging/LBLogFormatter.h"
#include "logging/LBLogMessage.h"

namespace dispatch {
class Queue;
}

namespace logging {

// Something that writes records somewhere. `LBLog` calls every member on the logger's own serial
// queue. Loggers live in std::shared_ptr.
class LBLogger : public std::enable_shared_from_this<LBLogger> {
public:
    virtual ~LBLogger() = default;

    virtual void logMessage(const LBLogMessage& message) = 0;
    // Records handed over together (a batch of asynchronous ones), in order; by default one logMessage
    // each. A logger may take them in one step (the file logger writes them with fewer writes).
    virtual void logMessages(std::span<const LBLogMessage* const> messages) {
        for (const LBLogMessage* message : messages) logMessage(*message);
    }

    virtual std::shared_ptr<LBLogFormatter> logFormatter() const = 0;
    virtual void setLogFormatter(std::shared_ptr<LBLogFormatter> formatter) = 0;

    virtual void didAddLogger() {}
    // Told the queue it will be called on; by default the same as didAddLogger.
    virtual void didAddLoggerInQueue(const std::shared_ptr<dispatch::Queue>&) { didAddLogger(); }
    virtual void willRemoveLogger() {}
    virtual void flush() {}

    // The logger's own serial queue; null lets the dispatcher make one labelled with the logger's name.
    virtual std::shared_ptr<dispatch::Queue> loggerQueue() const { return nullptr; }
    virtual std::string loggerName() const { return {}; }
};

}  // namespace logging
