#pragma once

#include <functional>
#include <memory>
#include <string>

#include "logging/LBLogger.h"

namespace logging {

// The common base of the concrete loggers: a serial queue of its own, labelled with the logger's
// name, and the formatter slot. Public configuration is read synchronously and written
// asynchronously, hopping to the global logging queue and then to the logger's queue, so that it
// never changes in the middle of a record. Code already on the logger's queue uses the fields.
class LBAbstractLogger : public LBLogger {
public:
    explicit LBAbstractLogger(std::string loggerName = "LBAbstractLogger");
    ~LBAbstractLogger() override;

    void logMessage(const LBLogMessage&) override {}

    std::shared_ptr<LBLogFormatter> logFormatter() const override;
    void setLogFormatter(std::shared_ptr<LBLogFormatter> formatter) override;

    std::shared_ptr<dispatch::Queue> loggerQueue() const override { return loggerQueue_; }
    std::string loggerName() const override { return loggerName_; }

    bool isOnGlobalLoggingQueue() const;
    bool isOnInternalLoggerQueue() const;

protected:
    // The two-hop pattern for subclasses' own properties. A read must not come from the logging queue
    // nor from the logger's queue (which reads its fields directly).
    void readOnLoggerQueue(const std::function<void()>& read) const;
    // A write runs at once on the logger's queue, else later through the logging queue.
    void writeOnLoggerQueue(std::function<void()> write);

    std::shared_ptr<LBLogFormatter> logFormatter_;  // on the logger's queue only

private:
    std::string loggerName_;
    std::shared_ptr<dispatch::Queue> loggerQueue_;
};

}  // namespace logging
