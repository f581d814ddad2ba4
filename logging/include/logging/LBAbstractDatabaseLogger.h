#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "dispatch/Deadline.h"
#include "logging/LBAbstractLogger.h"

namespace dispatch {
class TimerSource;
}

namespace logging {

// The base of loggers that keep records in a database and commit them in batches: it counts the
// entries not yet saved and saves after so many of them or so long after the first, and deletes
// entries older than a maximum age now and then. Subclasses store, save and delete (the db_ hooks).
// Everything runs on the logger's queue, timers included.
class LBAbstractDatabaseLogger : public LBAbstractLogger {
public:
    explicit LBAbstractDatabaseLogger(std::string loggerName = "LBAbstractDatabaseLogger");
    ~LBAbstractDatabaseLogger() override;

    // Entries; 0 turns saving by count off.
    std::uint64_t saveThreshold() const;
    void setSaveThreshold(std::uint64_t threshold);
    // Seconds; 0 or less turns timed saving off.
    double saveInterval() const;
    void setSaveInterval(double seconds);
    // Seconds; 0 or less turns deleting off.
    double maxAge() const;
    void setMaxAge(double seconds);
    // Seconds between deletions; 0 or less turns them off.
    double deleteInterval() const;
    void setDeleteInterval(double seconds);
    bool deleteOnEverySave() const;
    void setDeleteOnEverySave(bool value);

    void savePendingLogEntries();
    void deleteOldLogEntries();

    void didAddLogger() override;      // makes the timers
    void willRemoveLogger() override;  // saves, then drops the timers
    void logMessage(const LBLogMessage& message) override;
    void flush() override;  // saves

protected:
    // Store one record; answer whether it was stored. The base stores nothing.
    virtual bool db_log(const LBLogMessage&) { return false; }
    virtual void db_save() {}
    virtual void db_delete() {}
    virtual void db_saveAndDelete() {}

private:
    // The save timer's state: made but never started, suspended, or running (or absent).
    enum class SaveTimerState { neverStarted = -1, running = 0, suspended = 1 };

    void performSaveAndSuspendSaveTimer();
    void performDelete();
    void destroySaveTimer();
    void updateAndResumeSaveTimer();
    void createSuspendedSaveTimer();
    void destroyDeleteTimer();
    void updateDeleteTimer();
    void createAndStartDeleteTimer();
    // Runs at once on the logger's queue, else later, straight on it.
    void onLoggerQueue(std::function<void()> work);

    // On the logger's queue only.
    std::uint64_t saveThreshold_ = 500;
    double saveInterval_ = 60;
    double maxAge_ = 7 * 24 * 60 * 60;
    double deleteInterval_ = 5 * 60;
    bool deleteOnEverySave_ = false;
    SaveTimerState saveTimerState_ = SaveTimerState::running;
    std::uint64_t unsavedCount_ = 0;
    std::optional<dispatch::Deadline> unsavedTime_;
    std::shared_ptr<dispatch::TimerSource> saveTimer_;
    std::optional<dispatch::Deadline> lastDeleteTime_;
    std::shared_ptr<dispatch::TimerSource> deleteTimer_;
};

}  // namespace logging
