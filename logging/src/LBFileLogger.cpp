#include "logging/LBFileLogger.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <exception>
#include <typeinfo>

#include "dispatch/FileEventSource.h"
#include "dispatch/Queue.h"
#include "dispatch/TimerSource.h"
#include "foundation/Assertion.h"
#include "foundation/Format.h"
#include "foundation/Print.h"
#include "logging/LBAtomicCounter.h"
#include "logging/LBBufferedProxy.h"
#include "logging/LBLog.h"
#include "logging/LBLogFileFormatterDefault.h"
#include "logging/LBLogFileManagerDefault.h"

namespace logging {
namespace {

constexpr std::string_view onLoggerQueue = "lt_ methods should be on logger queue.";
constexpr std::string_view dataOnLoggerQueue = "logMessage should only be executed on internal queue.";
constexpr std::string_view coreRequirement = "Core architecture requirement failure";
constexpr int reportedExceptionLimit = 10;
constexpr double longestTimerDelay = 9'223'372'036;
// Lines of records handed over together go to the file in writes of about this size.
constexpr std::size_t batchedWriteSize = 64 * 1024;
// A line buffer grown past this by one long record is given back rather than kept.
constexpr std::size_t keptLineCapacity = 2 * batchedWriteSize;

// Exceptions thrown while writing, across every file logger of the process.
LBAtomicCounter& writeExceptionCount() {
    static auto& counter = *new LBAtomicCounter(0);
    return counter;
}

std::string errorText(int code) { return std::strerror(code); }

// Writes all of `data` (the file is opened for appending: every write lands at its end). Answers 0,
// or the error that stopped it with `done` bytes written.
int writeAll(int handle, std::string_view data, std::size_t& done) {
    done = 0;
    while (done < data.size()) {
        ssize_t written = ::write(handle, data.data() + done, data.size() - done);
        if (written >= 0) {
            done += static_cast<std::size_t>(written);
        } else if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

// The lines `data` holds, counting a last one without its line break; at least one.
std::uint64_t linesIn(std::string_view data) {
    return std::max<std::uint64_t>(static_cast<std::uint64_t>(std::ranges::count(data, '\n')), 1);
}

void printError(std::string_view pattern, int code) { foundation::printLine(foundation::format(pattern, errorText(code))); }

}  // namespace

LBFileLogger::LBFileLogger() : LBFileLogger(std::make_shared<LBLogFileManagerDefault>()) {}

LBFileLogger::LBFileLogger(std::shared_ptr<LBLogFileManager> logFileManager,
                           std::shared_ptr<dispatch::Queue> completionQueue)
    : LBAbstractLogger("tolvane.logbook.fileLogger"),
      logFileManager_(std::move(logFileManager)),
      completionQueue_(completionQueue ? std::move(completionQueue) : dispatch::Queue::global()) {
    logFormatter_ = std::make_shared<LBLogFileFormatterDefault>();
}

LBFileLogger::~LBFileLogger() {
    if (isOnInternalLoggerQueue()) {
        lt_cleanup();
    } else {
        loggerQueue()->sync([this] { lt_cleanup(); });
    }
}

std::shared_ptr<LBBufferedProxy> LBFileLogger::wrapWithBuffer() {
    return std::make_shared<LBBufferedProxy>(unwrapFromBuffer());
}

std::shared_ptr<LBFileLogger> LBFileLogger::unwrapFromBuffer() {
    return std::static_pointer_cast<LBFileLogger>(shared_from_this());
}

void LBFileLogger::assertOnLoggerQueue(std::string_view message) const {
    foundation::assertion(isOnInternalLoggerQueue(), message);
}

void LBFileLogger::syncOnLoggerQueue(const std::function<void()>& work) {
    if (isOnInternalLoggerQueue()) {
        work();
        return;
    }
    foundation::assertion(!isOnGlobalLoggingQueue(), coreRequirement);
    LBLog::loggingQueue()->sync([&] { loggerQueue()->sync(work); });
}

void LBFileLogger::lt_closeHandle(bool inBackground) {
    if (currentLogFileHandle_ < 0) return;
    auto synchronizeAndClose = [handle = currentLogFileHandle_] {
        if (::fsync(handle) != 0) printError("LBFileLogger: Failed to synchronize file: %@", errno);
        if (::close(handle) != 0) printError("LBFileLogger: Failed to close file: %@", errno);
    };
    currentLogFileHandle_ = -1;
    currentLogFileOffset_ = 0;
    lineOpen_ = false;
    // Every line is already written; waiting for the disk would hold up the next file's lines.
    if (inBackground) {
        completionQueue_->async(synchronizeAndClose);
    } else {
        synchronizeAndClose();
    }
}

void LBFileLogger::lt_cleanup() {
    assertOnLoggerQueue(onLoggerQueue);
    lt_closeHandle(false);
    if (retryTimer_) retryTimer_->cancel();
    retryTimer_.reset();
    if (currentLogFileVnode_) currentLogFileVnode_->cancel();
    currentLogFileVnode_.reset();
    if (rollingTimer_) rollingTimer_->cancel();
    rollingTimer_.reset();
}

void LBFileLogger::logData(std::string_view data) {
    syncOnLoggerQueue([&] { lt_logData(data); });
}

std::uint64_t LBFileLogger::maximumFileSize() const {
    std::uint64_t size = 0;
    readOnLoggerQueue([&] { size = maximumFileSize_; });
    return size;
}

void LBFileLogger::setMaximumFileSize(std::uint64_t bytes) {
    writeOnLoggerQueue([this, bytes] {
        maximumFileSize_ = bytes;
        if (lt_currentLogFileHandle() < 0) return;
        lt_maybeRollLogFileDueToSize();
    });
}

double LBFileLogger::rollingFrequency() const {
    double frequency = 0;
    readOnLoggerQueue([&] { frequency = rollingFrequency_; });
    return frequency;
}

void LBFileLogger::setRollingFrequency(double seconds) {
    writeOnLoggerQueue([this, seconds] {
        rollingFrequency_ = seconds;
        if (lt_currentLogFileHandle() < 0) return;
        lt_maybeRollLogFileDueToAge();
    });
}

void LBFileLogger::rollLogFile(std::function<void()> completion) {
    auto roll = [this, completion = std::move(completion)] {
        lt_rollLogFileNow();
        if (completion) completionQueue_->async(completion);
    };
    if (isOnInternalLoggerQueue()) {
        roll();
        return;
    }
    LBLog::asyncOnLoggingQueue([self = shared_from_this(), queue = loggerQueue(), roll = std::move(roll)]() mutable {
        queue->async([self = std::move(self), roll = std::move(roll)] { roll(); });
    });
}

std::shared_ptr<LBLogFileInfo> LBFileLogger::currentLogFileInfo() {
    std::shared_ptr<LBLogFileInfo> info;
    syncOnLoggerQueue([&] { info = lt_currentLogFileInfo(); });
    return info;
}

void LBFileLogger::logMessage(const LBLogMessage& message) {
    const LBLogMessage* one = &message;
    logMessages(std::span(&one, 1));
}

void LBFileLogger::logMessages(std::span<const LBLogMessage* const> messages) {
    if (!lt_defaultFormatter()) {
        // Another formatter may answer nothing for a record: then no file is opened for it.
        for (const LBLogMessage* message : messages) {
            std::string data = lt_dataForMessage(*message);
            lt_logData(data);
        }
        return;
    }
    // Lines are made only once they are sure to be written, as many to a write as fit a block and
    // stay within the file's size (it rolls after the write that reaches it).
    for (std::size_t next = 0; next < messages.size();) {
        const std::size_t first = next;
        lt_write(
            [&] {
                next = messages.size();
                return next - first;
            },
            [&]() -> std::string_view {
                line_.clear();
                while (next < messages.size()) {
                    lt_appendLine(line_, *messages[next++]);
                    if (line_.size() >= batchedWriteSize) break;
                    if (maximumFileSize_ > 0 && currentLogFileOffset_ + line_.size() >= maximumFileSize_) break;
                }
                return line_;
            });
        if (next == first) ++next;  // a hook threw before the lines were made: that record is lost
    }
    if (line_.capacity() > keptLineCapacity) std::string().swap(line_);
}

void LBFileLogger::lt_logData(std::string_view data) {
    if (data.empty()) return;
    lt_write([data] { return linesIn(data); }, [data] { return data; });
}

bool LBFileLogger::lt_appendLine(std::string& text, const LBLogMessage& message) {
    if (LBLogFileFormatterDefault* formatter = lt_defaultFormatter()) {
        // Its line (never empty, never the bare message) is made straight into the text.
        formatter->appendLine(text, message);
        if (automaticallyAppendNewline_ && text.back() != '\n') text.push_back('\n');
        return true;
    }
    std::string data = lt_dataForMessage(message);
    text += data;
    return !data.empty();
}

LBLogFileFormatterDefault* LBFileLogger::lt_defaultFormatter() {
    if (logFormatter_ != formatterSeen_) {
        formatterSeen_ = logFormatter_;  // held, so that another formatter cannot take its address
        auto* formatter = logFormatter_.get();
        defaultFormatter_ = formatter && typeid(*formatter) == typeid(LBLogFileFormatterDefault)
                                ? static_cast<LBLogFileFormatterDefault*>(formatter)
                                : nullptr;
    }
    return defaultFormatter_;
}

void LBFileLogger::willRemoveLogger() { lt_rollLogFileNow(); }

void LBFileLogger::didLogMessage(LBLogFileInfo&) { lt_maybeRollLogFileDueToSize(); }

void LBFileLogger::flush() {
    syncOnLoggerQueue([this] { lt_flush(); });
}

void LBFileLogger::lt_flush() {
    foundation::assertion(isOnInternalLoggerQueue(), "flush should only be executed on internal queue.");
    if (failing_) retryDue_ = true;
    if (currentLogFileHandle_ >= 0 && ::fsync(currentLogFileHandle_) != 0) {
        printError("LBFileLogger: Failed to synchronize file: %@", errno);
    }
}

std::string LBFileLogger::lt_dataForMessage(const LBLogMessage& message) {
    assertOnLoggerQueue(dataOnLoggerQueue);
    std::optional<std::string> formatted;
    if (logFormatter_) {
        formatted = logFormatter_->formatLogMessage(message);
        if (!formatted) return {};
    }
    std::string text = formatted ? std::move(*formatted) : message.message();
    if (text.empty()) return {};
    const bool custom = formatted && text != message.message();
    if ((!custom || automaticallyAppendNewline_) && text.back() != '\n') text.push_back('\n');
    return text;
}

template <class Dropped, class Fill>
void LBFileLogger::lt_write(const Dropped& dropped, const Fill& fill) {
    assertOnLoggerQueue(dataOnLoggerQueue);
    try {
        // Backing off: no file-system call until the next try.
        if (failing_ && !retryDue_) {
            lostLines_ += dropped();
            return;
        }
        // An open, watched file stays current until its watch or a roll says otherwise.
        const int handle = currentLogFileHandle_ >= 0 && currentLogFileVnode_ ? currentLogFileHandle_
                                                                               : lt_currentLogFileHandle();
        const auto info = currentLogFileInfo_;  // a roll below must not take it from under the hooks
        if (info) willLogMessage(*info);
        if (handle < 0) {
            lostLines_ += dropped();  // the reason was said when opening failed
            return;
        }
        lt_writeOut(fill());
        if (info) didLogMessage(*info);
    } catch (const std::exception& exception) {
        int count = writeExceptionCount().increment();
        if (count <= reportedExceptionLimit) {
            foundation::printLine(foundation::format("LBFileLogger.logMessage: %@", exception.what()));
            if (count == reportedExceptionLimit) {
                foundation::printLine("LBFileLogger.logMessage: Too many exceptions -- will not log any more of them.");
            }
        }
    }
}

void LBFileLogger::lt_writeOut(std::string_view data) {
    std::size_t done = 0;
    int error = 0;
    // The file ends inside a line (left by a crash or a failed write): the next line starts afresh.
    if (lineOpen_) {
        error = writeAll(currentLogFileHandle_, "\n", done);
        if (!error) {
            lineOpen_ = false;
            ++currentLogFileOffset_;
            done = 0;
        }
    }
    if (!error) error = writeAll(currentLogFileHandle_, data, done);
    currentLogFileOffset_ += done;
    if (error) {
        if (done > 0 && data[done - 1] != '\n') lineOpen_ = true;
        lostLines_ += linesIn(data.substr(done));
        lt_failed(foundation::format("LBFileLogger: Failed to write data: %@", errorText(error)));
        return;
    }
    if (failing_) {
        failing_ = false;
        retryDue_ = false;
        foundation::printLine(foundation::format("LBFileLogger: Logging resumed; %llu lines were lost.",
                                                 static_cast<unsigned long long>(lostLines_)));
        lostLines_ = 0;
    }
}

void LBFileLogger::lt_failed(std::string what) {
    if (!failing_) {
        foundation::printLine(what + "; lines are dropped until logging works again.");
        failing_ = true;
    }
    retryDue_ = false;
    lt_armRetryTimer();
}


void LBFileLogger::lt_armRetryTimer() {
    if (retryTimerArmed_) return;
    if (!retryTimer_) {
        retryTimer_ = dispatch::TimerSource::create(loggerQueue());
        std::weak_ptr<LBLogger> weakSelf = weak_from_this();
        retryTimer_->setEventHandler([weakSelf] {
            auto self = std::static_pointer_cast<LBFileLogger>(weakSelf.lock());
            if (!self) return;
            self->retryTimerArmed_ = false;
            if (self->failing_) self->retryDue_ = true;
        });
        retryTimer_->resume();
    }
    retryTimer_->schedule(dispatch::Deadline::after(retryInterval));
    retryTimerArmed_ = true;
}

std::shared_ptr<LBLogFileInfo> LBFileLogger::lt_currentLogFileInfo() {
    assertOnLoggerQueue(onLoggerQueue);
    if (currentLogFileInfo_) {
        // An open, watched file is rolled by its watch when archived from outside; no need to ask
        // the file system before every line.
        if (currentLogFileVnode_ || lt_shouldUseLogFile(*currentLogFileInfo_, false)) return currentLogFileInfo_;
        // Archived or replaced by a link behind our back: the open handle must not go on writing there.
        lt_rollLogFileNow();
    } else if (!lookedForFileToResume_) {
        // Only at start: after a roll the newest file is the one just archived, and listing the
        // folder for every new file would make rolling slower the more files are kept.
        lookedForFileToResume_ = true;
        auto sorted = logFileManager_->sortedLogFileInfos();
        if (!sorted.empty() && lt_shouldUseLogFile(*sorted.front(), true)) {
            currentLogFileInfo_ = sorted.front();
            return currentLogFileInfo_;
        }
    }
    auto created = logFileManager_->createNewLogFile();
    if (!created) {
        lt_failed(foundation::format("LBFileLogger: Failed to create new log file: %@", created.error()));
        currentLogFileInfo_.reset();
        return nullptr;
    }
    currentLogFileInfo_ = std::make_shared<LBLogFileInfo>(*created);
    return currentLogFileInfo_;
}

bool LBFileLogger::lt_shouldUseLogFile(LBLogFileInfo& logFileInfo, bool isResuming) {
    assertOnLoggerQueue(onLoggerQueue);
    if (logFileInfo.isArchived() || logFileInfo.isSymlink()) return false;
    if (isResuming && (doNotReuseLogFiles_ || lt_shouldLogFileBeArchived(logFileInfo))) {
        logFileInfo.setIsArchived(true);
        completionQueue_->async([manager = logFileManager_, path = logFileInfo.filePath()] {
            manager->didArchiveLogFile(path, false);
        });
        return false;
    }
    return true;
}

bool LBFileLogger::lt_shouldLogFileBeArchived(LBLogFileInfo& logFileInfo) {
    assertOnLoggerQueue(onLoggerQueue);
    if (shouldArchiveRecentLogFileInfo(logFileInfo)) return true;
    if (maximumFileSize_ > 0 && logFileInfo.fileSize() >= maximumFileSize_) return true;
    if (rollingFrequency_ > 0 && logFileInfo.age() >= rollingFrequency_) return true;
    // File-protection classes do not exist here, so no file is refused for its class.
    return false;
}

int LBFileLogger::lt_currentLogFileHandle() {
    assertOnLoggerQueue(onLoggerQueue);
    auto info = lt_currentLogFileInfo();
    if (currentLogFileHandle_ >= 0 || !info) return currentLogFileHandle_;
    currentLogFileHandle_ = ::open(info->filePath().c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (currentLogFileHandle_ < 0) {
        lt_failed(foundation::format("LBFileLogger: Failed to open log file: %@", errorText(errno)));
        return -1;
    }
    off_t end = ::lseek(currentLogFileHandle_, 0, SEEK_END);
    if (end < 0) printError("LBFileLogger: Failed to seek to end of file: %@", errno);
    currentLogFileOffset_ = end < 0 ? 0 : static_cast<std::uint64_t>(end);
    // A resumed file whose last line was cut short (the program died mid-write) must not have the
    // next record glued onto it.
    char last = '\n';
    lineOpen_ = end > 0 && ::pread(currentLogFileHandle_, &last, 1, end - 1) == 1 && last != '\n';
    lt_scheduleTimerToRollLogFileDueToAge();
    lt_monitorCurrentLogFileForExternalChanges();
    return currentLogFileHandle_;
}

void LBFileLogger::lt_monitorCurrentLogFileForExternalChanges() {
    assertOnLoggerQueue(onLoggerQueue);
    foundation::assertion(currentLogFileHandle_ >= 0, "Can not monitor without handle.");
    constexpr unsigned long events =
        dispatch::FileEvent::deleted | dispatch::FileEvent::renamed | dispatch::FileEvent::attributes;
    auto source = dispatch::FileEventSource::createForDescriptor(currentLogFileHandle_, events, loggerQueue());
    if (!source) {
        // Writing goes on; the file is then checked before every line instead. Said once until a watch works.
        if (!watchFailureSaid_) {
            watchFailureSaid_ = true;
            printError("LBFileLogger: Failed to watch log file: %@", source.error().value());
        }
        return;
    }
    watchFailureSaid_ = false;
    std::weak_ptr<LBLogger> weakSelf = weak_from_this();
    std::weak_ptr<dispatch::FileEventSource> weakSource = *source;
    (*source)->setEventHandler([weakSelf, weakSource] {
        auto self = std::static_pointer_cast<LBFileLogger>(weakSelf.lock());
        // An event of a file already rolled away must not roll its successor.
        auto source = weakSource.lock();
        if (!self || !source || self->currentLogFileVnode_ != source) return;
        const unsigned long happened = source->data();
        // Linux has no revoke; an attribute change matters when it is the archived mark (or a link
        // count that reached zero, which arrives as a deletion).
        if ((happened & (dispatch::FileEvent::deleted | dispatch::FileEvent::renamed)) != 0 ||
            (self->currentLogFileInfo_ && self->currentLogFileInfo_->isArchived())) {
            self->lt_rollLogFileNow();
        }
    });
    currentLogFileVnode_ = *source;
    currentLogFileVnode_->resume();
}

void LBFileLogger::lt_scheduleTimerToRollLogFileDueToAge() {
    assertOnLoggerQueue(onLoggerQueue);
    if (rollingTimer_) rollingTimer_->cancel();
    rollingTimer_.reset();
    if (!currentLogFileInfo_ || rollingFrequency_ <= 0) return;
    auto created = currentLogFileInfo_->creationDate();
    foundation::Date rollTime = created.value_or(foundation::Date::now()).addingTimeInterval(rollingFrequency_);
    if (rollTime > foundation::Date::distantFuture()) rollTime = foundation::Date::distantFuture();
    double delay = std::clamp(rollTime.timeIntervalSinceNow(), 0.0, longestTimerDelay);
    rollingTimer_ = dispatch::TimerSource::create(loggerQueue());
    std::weak_ptr<LBLogger> weakSelf = weak_from_this();
    rollingTimer_->setEventHandler([weakSelf] {
        if (auto self = std::static_pointer_cast<LBFileLogger>(weakSelf.lock())) self->lt_maybeRollLogFileDueToAge();
    });
    rollingTimer_->schedule(dispatch::Deadline::after(delay), 0, 1.0);
    rollingTimer_->resume();
}

void LBFileLogger::lt_maybeRollLogFileDueToAge() {
    assertOnLoggerQueue(onLoggerQueue);
    if (rollingFrequency_ > 0 && currentLogFileInfo_ && currentLogFileInfo_->age() + 1 >= rollingFrequency_) {
        lt_rollLogFileNow();
    } else {
        lt_scheduleTimerToRollLogFileDueToAge();
    }
}

void LBFileLogger::lt_maybeRollLogFileDueToSize() {
    assertOnLoggerQueue(onLoggerQueue);
    if (currentLogFileHandle_ < 0 || maximumFileSize_ == 0) return;
    if (currentLogFileOffset_ >= maximumFileSize_) lt_rollLogFileNow();
}

void LBFileLogger::lt_rollLogFileNow() {
    assertOnLoggerQueue(onLoggerQueue);
    if (currentLogFileHandle_ < 0) return;
    lt_closeHandle(true);
    if (currentLogFileInfo_) {
        currentLogFileInfo_->setIsArchived(true);
        completionQueue_->async([manager = logFileManager_, path = currentLogFileInfo_->filePath()] {
            manager->didArchiveLogFile(path, true);
        });
    }
    currentLogFileInfo_.reset();
    // Ending a watch waits for its thread and the kernel: not on the logger's queue. Until then its
    // events are ignored, as it is no longer the current one.
    if (currentLogFileVnode_) completionQueue_->async([watch = std::move(currentLogFileVnode_)] { watch->cancel(); });
    currentLogFileVnode_.reset();
    if (rollingTimer_) rollingTimer_->cancel();
    rollingTimer_.reset();
}

}  // namespace logging
