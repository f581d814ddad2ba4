#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "logging/LBAbstractLogger.h"
#include "logging/LBLogFileManager.h"

namespace dispatch {
class FileEventSource;
class TimerSource;
}  // namespace dispatch

namespace logging {

class LBBufferedProxy;
class LBLogFileFormatterDefault;

// Writes each record as one line to the current file of a folder of rolling log files. The file is
// opened on the first write; it is rolled (closed and marked archived) when it reaches the maximum
// size, when it grows older than the rolling frequency, on request, when the logger is removed, and
// when it is deleted or moved behind the logger's back. A young unarchived file found at start is
// resumed.
//
// Each record is one write system call (records handed over together, an asynchronous batch, share
// writes), made before the logger takes the next: once written, a line survives a crash, an abort or
// a kill of the process (not the machine's own end; flush synchronises the file to the disk). Raw data
// (logData, the buffering proxy's blocks) is one write too. Gathering lines in memory to write fewer is
// what the buffering proxy (wrapWithBuffer) is for.
//
// File-system failures are printed, never raised. A failure is said once, with its reason; from then
// on lines are dropped without touching the disk until the next try, `retryInterval` seconds later
// (or on flush), and the line that gets through again says how many were lost. A file-size limit
// (RLIMIT_FSIZE) counts as a full disk only when SIGXFSZ is ignored, as the process must arrange at
// start (signal(SIGXFSZ, SIG_IGN)); otherwise the write that crosses the limit ends the process.
class LBFileLogger : public LBAbstractLogger {
public:
    // Writes into the default folder, through a new LBLogFileManagerDefault.
    LBFileLogger();
    // Manager notifications and roll completions go to `completionQueue` (by default the global queue).
    explicit LBFileLogger(std::shared_ptr<LBLogFileManager> logFileManager,
                          std::shared_ptr<dispatch::Queue> completionQueue = nullptr);
    ~LBFileLogger() override;

    static constexpr double retryInterval = 1.0;

    // A proxy that gathers lines in memory and writes them in blocks (see LBBufferedProxy).
    std::shared_ptr<LBBufferedProxy> wrapWithBuffer();
    std::shared_ptr<LBFileLogger> unwrapFromBuffer();

    // Appends bytes as they are, as a record's line would be.
    void logData(std::string_view data);

    // 0 turns rolling by size off. The setters open the current file.
    std::uint64_t maximumFileSize() const;
    void setMaximumFileSize(std::uint64_t bytes);
    // Seconds; 0 or less turns rolling by age off.
    double rollingFrequency() const;
    void setRollingFrequency(double seconds);

    // The completion runs on the completion queue once the file is rolled.
    void rollLogFile(std::function<void()> completion = {});
    // The file being written; asking may create it.
    std::shared_ptr<LBLogFileInfo> currentLogFileInfo();

    bool doNotReuseLogFiles() const { return doNotReuseLogFiles_; }
    void setDoNotReuseLogFiles(bool value) { doNotReuseLogFiles_ = value; }
    bool automaticallyAppendNewlineForCustomFormatters() const { return automaticallyAppendNewline_; }
    void setAutomaticallyAppendNewlineForCustomFormatters(bool value) { automaticallyAppendNewline_ = value; }
    const std::shared_ptr<LBLogFileManager>& logFileManager() const { return logFileManager_; }

    void logMessage(const LBLogMessage& message) override;
    // Records handed over together go to the file in as few writes as fit its size.
    void logMessages(std::span<const LBLogMessage* const> messages) override;
    void willRemoveLogger() override;  // rolls, so the file it wrote is archived
    void flush() override;

    // Around every write, on the logger's queue. didLogMessage rolls when the file reached its size.
    virtual void willLogMessage(LBLogFileInfo&) {}
    virtual void didLogMessage(LBLogFileInfo&);
    // Whether a file found at start must be archived rather than resumed.
    virtual bool shouldArchiveRecentLogFileInfo(LBLogFileInfo&) { return false; }

private:
    friend class LBBufferedProxy;

    // Runs `work` on the logger's queue and waits: inline there, else through the logging queue.
    void syncOnLoggerQueue(const std::function<void()>& work);

    void lt_cleanup();
    std::string lt_dataForMessage(const LBLogMessage& message);
    void lt_logData(std::string_view data);
    // Writes the bytes `fill` answers to the current file, in one write. When they cannot be taken,
    // `dropped` is called instead, for the number of lines lost.
    template <class Dropped, class Fill>
    void lt_write(const Dropped& dropped, const Fill& fill);
    void lt_writeOut(std::string_view data);
    // Appends the record's line, as logMessage would write it, to `text`; false when there is none.
    bool lt_appendLine(std::string& text, const LBLogMessage& message);
    // The formatter when it is exactly the default one, whose lines are made in place.
    LBLogFileFormatterDefault* lt_defaultFormatter();
    void lt_failed(std::string what);
    void lt_armRetryTimer();
    std::shared_ptr<LBLogFileInfo> lt_currentLogFileInfo();
    bool lt_shouldUseLogFile(LBLogFileInfo& logFileInfo, bool isResuming);
    bool lt_shouldLogFileBeArchived(LBLogFileInfo& logFileInfo);
    int lt_currentLogFileHandle();
    void lt_monitorCurrentLogFileForExternalChanges();
    void lt_scheduleTimerToRollLogFileDueToAge();
    void lt_rollLogFileNow();
    void lt_maybeRollLogFileDueToAge();
    void lt_maybeRollLogFileDueToSize();
    void lt_flush();
    void lt_closeHandle(bool inBackground);
    void assertOnLoggerQueue(std::string_view message) const;

    const std::shared_ptr<LBLogFileManager> logFileManager_;
    const std::shared_ptr<dispatch::Queue> completionQueue_;
    // On the logger's queue only.
    std::shared_ptr<LBLogFileInfo> currentLogFileInfo_;
    int currentLogFileHandle_ = -1;
    std::uint64_t currentLogFileOffset_ = 0;  // where the next write lands
    std::string line_;                         // the line being written, kept for its capacity
    std::shared_ptr<LBLogFormatter> formatterSeen_;  // the formatter lt_defaultFormatter() last looked at
    LBLogFileFormatterDefault* defaultFormatter_ = nullptr;
    bool lineOpen_ = false;                    // the file ends inside a line (a crash, a failed write)
    bool lookedForFileToResume_ = false;       // the newest file is considered once, at start
    std::shared_ptr<dispatch::TimerSource> retryTimer_;
    bool retryTimerArmed_ = false;
    // After a failure: lines are dropped until retryDue_; each drop is counted.
    bool failing_ = false;
    bool retryDue_ = false;
    std::uint64_t lostLines_ = 0;
    std::shared_ptr<dispatch::FileEventSource> currentLogFileVnode_;
    bool watchFailureSaid_ = false;
    std::shared_ptr<dispatch::TimerSource> rollingTimer_;
    double rollingFrequency_ = 24 * 60 * 60;
    std::uint64_t maximumFileSize_ = 1024 * 1024;

    std::atomic<bool> doNotReuseLogFiles_ = false;
    std::atomic<bool> automaticallyAppendNewline_ = true;
};

}  // namespace logging
