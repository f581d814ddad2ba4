#include "logging/LBBufferedProxy.h"

#include <sys/statfs.h>

#include "dispatch/Queue.h"
#include "foundation/Assertion.h"
#include "logging/LBFileLogger.h"
#include "logging/LBLog.h"

namespace logging {
namespace {

struct RootVolume {
    std::uint64_t blockSize = 4096;
    std::uint64_t transferSize = 1024 * 1024;
};

const RootVolume& rootVolume() {
    static const RootVolume volume = [] {
        RootVolume found;
        struct statfs status {};
        if (::statfs("/", &status) == 0) {
            if (status.f_frsize > 0) found.blockSize = static_cast<std::uint64_t>(status.f_frsize);
            if (status.f_bsize > 0) found.transferSize = static_cast<std::uint64_t>(status.f_bsize);
        }
        return found;
    }();
    return volume;
}

}  // namespace

std::uint64_t LBBufferedProxy::defaultBufferSize() { return rootVolume().blockSize; }
std::uint64_t LBBufferedProxy::maximumBufferSize() { return rootVolume().transferSize; }

LBBufferedProxy::LBBufferedProxy(std::shared_ptr<LBFileLogger> fileLogger)
    : fileLogger_(std::move(fileLogger)), maxBufferSizeBytes_(defaultBufferSize()) {
    flushBuffer();
}

LBBufferedProxy::~LBBufferedProxy() {
    auto send = [this] { lt_sendBufferedDataToFileLogger(); };
    if (fileLogger_->isOnInternalLoggerQueue()) {
        send();
    } else {
        fileLogger_->loggerQueue()->sync(send);
    }
}

void LBBufferedProxy::flushBuffer() {
    buffer_.clear();
    buffer_.reserve(maxBufferSizeBytes_ + 256);
}

void LBBufferedProxy::lt_sendBufferedDataToFileLogger() {
    if (!buffer_.empty()) fileLogger_->lt_logData(buffer_);
    flushBuffer();
}

void LBBufferedProxy::logMessage(const LBLogMessage& message) {
    if (fileLogger_->lt_appendLine(buffer_, message) && buffer_.size() >= maxBufferSizeBytes_) {
        lt_sendBufferedDataToFileLogger();
    }
}

void LBBufferedProxy::flush() {
    auto work = [this] {
        lt_sendBufferedDataToFileLogger();
        fileLogger_->flush();
    };
    if (fileLogger_->isOnInternalLoggerQueue()) {
        work();
        return;
    }
    foundation::assertion(!LBLog::isOnLoggingQueue(), "Core architecture requirement failure");
    LBLog::loggingQueue()->sync([&] { fileLogger_->loggerQueue()->sync(work); });
}

void LBBufferedProxy::setMaxBufferSizeBytes(std::uint64_t bytes) {
    maxBufferSizeBytes_ = std::min(bytes, maximumBufferSize());
}

std::shared_ptr<LBLogFormatter> LBBufferedProxy::logFormatter() const { return fileLogger_->logFormatter(); }

void LBBufferedProxy::setLogFormatter(std::shared_ptr<LBLogFormatter> formatter) {
    fileLogger_->setLogFormatter(std::move(formatter));
}

void LBBufferedProxy::didAddLoggerInQueue(const std::shared_ptr<dispatch::Queue>& queue) {
    fileLogger_->didAddLoggerInQueue(queue);
}

void LBBufferedProxy::willRemoveLogger() {
    // The file logger rolls on removal; what is buffered belongs in the file it rolls.
    lt_sendBufferedDataToFileLogger();
    fileLogger_->willRemoveLogger();
}

std::shared_ptr<dispatch::Queue> LBBufferedProxy::loggerQueue() const { return fileLogger_->loggerQueue(); }

std::string LBBufferedProxy::loggerName() const { return fileLogger_->loggerName(); }

std::shared_ptr<LBBufferedProxy> LBBufferedProxy::wrapWithBuffer() {
    return std::static_pointer_cast<LBBufferedProxy>(shared_from_this());
}

}  // namespace logging
