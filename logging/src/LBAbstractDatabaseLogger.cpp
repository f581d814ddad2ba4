#include "logging/LBAbstractDatabaseLogger.h"

#include "dispatch/Queue.h"
#include "dispatch/TimerSource.h"

namespace logging {
namespace {

constexpr double leeway = 1.0;

}  // namespace

LBAbstractDatabaseLogger::LBAbstractDatabaseLogger(std::string loggerName) : LBAbstractLogger(std::move(loggerName)) {}

LBAbstractDatabaseLogger::~LBAbstractDatabaseLogger() {
    if (saveTimer_) saveTimer_->cancel();
    if (deleteTimer_) deleteTimer_->cancel();
}

std::uint64_t LBAbstractDatabaseLogger::saveThreshold() const {
    std::uint64_t value = 0;
    readOnLoggerQueue([&] { value = saveThreshold_; });
    return value;
}

void LBAbstractDatabaseLogger::setSaveThreshold(std::uint64_t threshold) {
    writeOnLoggerQueue([this, threshold] {
        if (threshold == saveThreshold_) return;
        saveThreshold_ = threshold;
        if (saveThreshold_ != 0 && unsavedCount_ >= saveThreshold_) performSaveAndSuspendSaveTimer();
    });
}

double LBAbstractDatabaseLogger::saveInterval() const {
    double value = 0;
    readOnLoggerQueue([&] { value = saveInterval_; });
    return value;
}

void LBAbstractDatabaseLogger::setSaveInterval(double seconds) {
    writeOnLoggerQueue([this, seconds] {
        if (!(seconds < saveInterval_ || seconds > saveInterval_)) return;
        saveInterval_ = seconds;
        if (saveInterval_ > 0) {
            if (!saveTimer_) createSuspendedSaveTimer();
            updateAndResumeSaveTimer();
        } else {
            destroySaveTimer();
        }
    });
}

double LBAbstractDatabaseLogger::maxAge() const {
    double value = 0;
    readOnLoggerQueue([&] { value = maxAge_; });
    return value;
}

void LBAbstractDatabaseLogger::setMaxAge(double seconds) {
    writeOnLoggerQueue([this, seconds] {
        if (!(seconds < maxAge_ || seconds > maxAge_)) return;
        const double old = maxAge_;
        maxAge_ = seconds;
        if (old > 0 && seconds <= 0) {
            destroyDeleteTimer();
            return;
        }
        if ((old > 0 && seconds < old) || (old <= 0 && seconds > 0)) {
            performDelete();
            if (deleteTimer_) {
                updateDeleteTimer();
            } else {
                createAndStartDeleteTimer();
            }
        }
    });
}

double LBAbstractDatabaseLogger::deleteInterval() const {
    double value = 0;
    readOnLoggerQueue([&] { value = deleteInterval_; });
    return value;
}

void LBAbstractDatabaseLogger::setDeleteInterval(double seconds) {
    writeOnLoggerQueue([this, seconds] {
        if (!(seconds < deleteInterval_ || seconds > deleteInterval_)) return;
        deleteInterval_ = seconds;
        if (deleteInterval_ > 0) {
            if (deleteTimer_) {
                updateDeleteTimer();
            } else {
                createAndStartDeleteTimer();
            }
        } else {
            destroyDeleteTimer();
        }
    });
}

bool LBAbstractDatabaseLogger::deleteOnEverySave() const {
    bool value = false;
    readOnLoggerQueue([&] { value = deleteOnEverySave_; });
    return value;
}

void LBAbstractDatabaseLogger::setDeleteOnEverySave(bool value) {
    writeOnLoggerQueue([this, value] { deleteOnEverySave_ = value; });
}

void LBAbstractDatabaseLogger::onLoggerQueue(std::function<void()> work) {
    if (isOnInternalLoggerQueue()) {
        work();
        return;
    }
    loggerQueue()->async([self = shared_from_this(), work = std::move(work)] { work(); });
}

void LBAbstractDatabaseLogger::savePendingLogEntries() {
    onLoggerQueue([this] { performSaveAndSuspendSaveTimer(); });
}

void LBAbstractDatabaseLogger::deleteOldLogEntries() {
    onLoggerQueue([this] { performDelete(); });
}

void LBAbstractDatabaseLogger::performSaveAndSuspendSaveTimer() {
    if (unsavedCount_ > 0) {
        if (deleteOnEverySave_) {
            db_saveAndDelete();
        } else {
            db_save();
        }
    }
    unsavedCount_ = 0;
    unsavedTime_.reset();
    if (saveTimer_ && saveTimerState_ == SaveTimerState::running) {
        saveTimer_->suspend();
        saveTimerState_ = SaveTimerState::suspended;
    }
}

void LBAbstractDatabaseLogger::performDelete() {
    if (maxAge_ <= 0) return;
    db_delete();
    lastDeleteTime_ = dispatch::Deadline::now();
}

void LBAbstractDatabaseLogger::destroySaveTimer() {
    if (!saveTimer_) return;
    // A source may be cancelled in any state: it needs no resume before it goes.
    saveTimer_->cancel();
    saveTimer_.reset();
    saveTimerState_ = SaveTimerState::running;
}

void LBAbstractDatabaseLogger::updateAndResumeSaveTimer() {
    if (!saveTimer_ || saveInterval_ <= 0 || !unsavedTime_) return;
    saveTimer_->schedule(*unsavedTime_ + saveInterval_, saveInterval_, leeway);
    if (saveTimerState_ != SaveTimerState::running) {
        saveTimer_->resume();
        saveTimerState_ = SaveTimerState::running;
    }
}

void LBAbstractDatabaseLogger::createSuspendedSaveTimer() {
    if (saveTimer_ || saveInterval_ <= 0) return;
    saveTimer_ = dispatch::TimerSource::create(loggerQueue());
    std::weak_ptr<LBLogger> weakSelf = weak_from_this();
    saveTimer_->setEventHandler([weakSelf] {
        auto self = std::static_pointer_cast<LBAbstractDatabaseLogger>(weakSelf.lock());
        if (self) self->performSaveAndSuspendSaveTimer();
    });
    saveTimerState_ = SaveTimerState::neverStarted;
}

void LBAbstractDatabaseLogger::destroyDeleteTimer() {
    if (!deleteTimer_) return;
    deleteTimer_->cancel();
    deleteTimer_.reset();
}

void LBAbstractDatabaseLogger::updateDeleteTimer() {
    if (!deleteTimer_ || deleteInterval_ <= 0 || maxAge_ <= 0) return;
    dispatch::Deadline start = lastDeleteTime_.value_or(dispatch::Deadline::now()) + deleteInterval_;
    deleteTimer_->schedule(start, deleteInterval_, leeway);
}

void LBAbstractDatabaseLogger::createAndStartDeleteTimer() {
    if (deleteTimer_ || deleteInterval_ <= 0 || maxAge_ <= 0) return;
    deleteTimer_ = dispatch::TimerSource::create(loggerQueue());
    std::weak_ptr<LBLogger> weakSelf = weak_from_this();
    deleteTimer_->setEventHandler([weakSelf] {
        auto self = std::static_pointer_cast<LBAbstractDatabaseLogger>(weakSelf.lock());
        if (self) self->performDelete();
    });
    updateDeleteTimer();
    deleteTimer_->resume();
}

void LBAbstractDatabaseLogger::didAddLogger() {
    createSuspendedSaveTimer();
    createAndStartDeleteTimer();
}

void LBAbstractDatabaseLogger::willRemoveLogger() {
    performSaveAndSuspendSaveTimer();
    destroySaveTimer();
    destroyDeleteTimer();
}

void LBAbstractDatabaseLogger::logMessage(const LBLogMessage& message) {
    if (!db_log(message)) return;
    ++unsavedCount_;
    if (saveThreshold_ != 0 && unsavedCount_ >= saveThreshold_) {
        performSaveAndSuspendSaveTimer();
    } else if (unsavedCount_ == 1) {
        unsavedTime_ = dispatch::Deadline::now();
        updateAndResumeSaveTimer();
    }
}

void LBAbstractDatabaseLogger::flush() { performSaveAndSuspendSaveTimer(); }

}  // namespace logging
