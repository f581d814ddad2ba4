#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "dispatch/Queue.h"
#include "logging/LBAbstractLogger.h"
#include "logging/LBLog.h"

// A logger that keeps what it is given, and the order of everything it is told.
class CapturingLogger : public logging::LBAbstractLogger {
public:
    explicit CapturingLogger(std::string name = "test.capturing") : LBAbstractLogger(std::move(name)) {}

    void logMessage(const logging::LBLogMessage& message) override {
        std::lock_guard lock(mutex_);
        records_.push_back(message);
        events_.push_back("log " + message.message());
    }
    void didAddLogger() override { note("add"); }
    void willRemoveLogger() override { note("remove"); }
    void flush() override { note("flush"); }

    std::vector<logging::LBLogMessage> records() const {
        std::lock_guard lock(mutex_);
        return records_;
    }
    std::vector<std::string> messages() const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> texts;
        for (const auto& record : records_) texts.push_back(record.message());
        return texts;
    }
    std::vector<std::string> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }

protected:
    void note(std::string event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }

private:
    mutable std::mutex mutex_;
    std::vector<logging::LBLogMessage> records_;
    std::vector<std::string> events_;
};

// Waits until the configuration changes queued so far (logging queue, then the logger's) are done.
inline void settle(const std::shared_ptr<logging::LBLogger>& logger) {
    logging::LBLog::loggingQueue()->sync([] {});
    logger->loggerQueue()->sync([] {});
}

// A record made on the calling thread, with the fields tests usually set.
inline logging::LBLogMessage record(std::string text, logging::LBLogFlag flag = logging::LBLogFlag::info,
                                    logging::LBLogContext context = 0, logging::LBLogTag tag = std::nullopt) {
    return logging::LBLogMessage(std::move(text), logging::LBLogLevel::all, flag, context, __FILE__, "test", 1,
                                 std::move(tag));
}

// A record of `text` through the dispatcher's string entry point.
inline void logText(logging::LBLog& log, bool asynchronous, std::string text,
                    logging::LBLogFlag flag = logging::LBLogFlag::info) {
    log.log(asynchronous, std::move(text), logging::LBLogLevel::all, flag, 0, __FILE__, __func__, __LINE__,
            std::nullopt);
}
