#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "logging/LBLogger.h"

namespace logging {

class LBFileLogger;

// Stands in for a file logger (made by its wrapWithBuffer): encodes records as the file logger
// would, gathers them in memory and hands them over in blocks once the buffer reaches its size, on
// flush and when it goes. Everything else (queue, name, formatter, being added and removed) is the
// file logger's. Lines still in the buffer when the process is killed are lost (at normal exit the
// dispatcher flushes the proxies it has).
class LBBufferedProxy : public LBLogger {
public:
    // The root volume's block size, and its optimal transfer size as the largest buffer.
    static std::uint64_t defaultBufferSize();
    static std::uint64_t maximumBufferSize();

    explicit LBBufferedProxy(std::shared_ptr<LBFileLogger> fileLogger);
    ~LBBufferedProxy() override;

    void logMessage(const LBLogMessage& message) override;
    void flush() override;  // writes the buffer, then flushes the file logger

    std::shared_ptr<LBLogFormatter> logFormatter() const override;
    void setLogFormatter(std::shared_ptr<LBLogFormatter> formatter) override;
    void didAddLoggerInQueue(const std::shared_ptr<dispatch::Queue>& queue) override;
    void willRemoveLogger() override;
    std::shared_ptr<dispatch::Queue> loggerQueue() const override;
    std::string loggerName() const override;

    std::shared_ptr<LBBufferedProxy> wrapWithBuffer();
    std::shared_ptr<LBFileLogger> unwrapFromBuffer() const { return fileLogger_; }
    const std::shared_ptr<LBFileLogger>& fileLogger() const { return fileLogger_; }

    std::uint64_t maxBufferSizeBytes() const { return maxBufferSizeBytes_; }
    // Capped at maximumBufferSize(). Set it before the proxy is added.
    void setMaxBufferSizeBytes(std::uint64_t bytes);
    std::uint64_t currentBufferSizeBytes() const { return buffer_.size(); }

private:
    void flushBuffer();  // a fresh, empty buffer
    void lt_sendBufferedDataToFileLogger();

    std::shared_ptr<LBFileLogger> fileLogger_;
    std::string buffer_;  // on the file logger's queue only
    std::uint64_t maxBufferSizeBytes_ = 0;
};

}  // namespace logging
