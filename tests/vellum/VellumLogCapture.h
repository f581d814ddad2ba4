#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "logging/LBAbstractLogger.h"
#include "logging/LBLog.h"
#include "vellum/SVGLength.h"

// While alive, collects what the SVG library logs (context 556) through the shared dispatcher.
class VellumLogCapture {
public:
    VellumLogCapture() : logger_(std::make_shared<Logger>()) {
        // The machine's pixels-per-inch figure is reported once per process, on first use: before any
        // capture, so that what a test sees does not depend on which test ran first.
        vellum::SVGLength::pixelsPerInchForCurrentDevice();
        logging::LBLog::sharedInstance().addLogger(logger_);
    }
    ~VellumLogCapture() { logging::LBLog::sharedInstance().removeLogger(logger_); }

    // Every record so far, once the asynchronous ones have arrived.
    std::vector<std::string> messages() const {
        logging::LBLog::sharedInstance().flushLog();
        std::lock_guard lock(logger_->mutex);
        return logger_->texts;
    }

private:
    struct Logger : logging::LBAbstractLogger {
        Logger() : LBAbstractLogger("test.vellum") {}
        void logMessage(const logging::LBLogMessage& message) override {
            if (message.context() != 556) return;
            std::lock_guard lock(mutex);
            texts.push_back(message.message());
        }
        std::mutex mutex;
        std::vector<std::string> texts;
    };
    std::shared_ptr<Logger> logger_;
};
