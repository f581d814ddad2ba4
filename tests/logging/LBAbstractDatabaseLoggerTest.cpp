#include <gtest/gtest.h>

#include <mutex>

#include "CapturingLogger.h"
#include "LogFolder.h"
#include "logging/LBAbstractDatabaseLogger.h"

using namespace logging;

namespace {

// Stores nothing, and counts what the base asks of it.
class CountingDatabaseLogger : public LBAbstractDatabaseLogger {
public:
    explicit CountingDatabaseLogger(bool accepts = true) : LBAbstractDatabaseLogger("test.database"), accepts_(accepts) {}

    int saves() const { return read(saves_); }
    int deletes() const { return read(deletes_); }
    int savesAndDeletes() const { return read(savesAndDeletes_); }

    // As the dispatcher would: on the logger's queue.
    void take(int count) {
        loggerQueue()->sync([&] {
            for (int index = 0; index < count; ++index) logMessage(record("entry"));
        });
    }
    void added() {
        loggerQueue()->sync([&] { didAddLogger(); });
    }

protected:
    bool db_log(const LBLogMessage&) override { return accepts_; }
    void db_save() override { bump(saves_); }
    void db_delete() override { bump(deletes_); }
    void db_saveAndDelete() override { bump(savesAndDeletes_); }

private:
    int read(const int& counter) const {
        std::lock_guard lock(mutex_);
        return counter;
    }
    void bump(int& counter) {
        std::lock_guard lock(mutex_);
        ++counter;
    }

    const bool accepts_;
    mutable std::mutex mutex_;
    int saves_ = 0;
    int deletes_ = 0;
    int savesAndDeletes_ = 0;
};

}  // namespace

TEST(LBAbstractDatabaseLogger, TheFiveHundredthEntrySavesAtOnce) {
    auto logger = std::make_shared<CountingDatabaseLogger>();
    logger->added();
    logger->take(499);
    EXPECT_EQ(logger->saves(), 0);
    logger->take(1);
    EXPECT_EQ(logger->saves(), 1);
    logger->loggerQueue()->sync([&] { logger->willRemoveLogger(); });
    EXPECT_EQ(logger->saves(), 1);  // nothing was left to save
}

TEST(LBAbstractDatabaseLogger, ASingleEntryIsSavedOneIntervalAfterItWasStored) {
    ManualClockScope manual(foundation::Date::now());
    auto logger = std::make_shared<CountingDatabaseLogger>();
    logger->added();
    logger->take(1);
    manual.clock().advance(59);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(logger->saves(), 0);
    manual.clock().advance(2);
    EXPECT_TRUE(eventually([&] { return logger->saves() == 1; }));
    // The timer rests until the next unsaved entry.
    manual.clock().advance(120);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(logger->saves(), 1);
}

TEST(LBAbstractDatabaseLogger, ALowerThresholdSavesAtOnceAndZeroTurnsCountingOff) {
    auto logger = std::make_shared<CountingDatabaseLogger>();
    logger->take(10);
    logger->setSaveThreshold(5);
    settle(logger);
    EXPECT_EQ(logger->saves(), 1);
    logger->setSaveThreshold(0);
    settle(logger);
    logger->take(600);
    EXPECT_EQ(logger->saves(), 1);
    EXPECT_EQ(logger->saveThreshold(), 0u);
    logger->flush();
    EXPECT_EQ(logger->saves(), 2);
}

TEST(LBAbstractDatabaseLogger, RaisingTheMaximumAgeDeletesNothingAndLoweringItDeletesAtOnce) {
    auto logger = std::make_shared<CountingDatabaseLogger>();
    logger->setMaxAge(14 * 24 * 60 * 60);
    settle(logger);
    EXPECT_EQ(logger->deletes(), 0);
    logger->setMaxAge(60);
    settle(logger);
    EXPECT_EQ(logger->deletes(), 1);
    logger->setMaxAge(0);
    settle(logger);
    logger->deleteOldLogEntries();
    settle(logger);
    EXPECT_EQ(logger->deletes(), 1);
    EXPECT_DOUBLE_EQ(logger->maxAge(), 0);
}

TEST(LBAbstractDatabaseLogger, DeletesEveryIntervalOnceAdded) {
    ManualClockScope manual(foundation::Date::now());
    auto logger = std::make_shared<CountingDatabaseLogger>();
    logger->added();
    manual.clock().advance(301);
    EXPECT_TRUE(eventually([&] { return logger->deletes() == 1; }));
    logger->setDeleteInterval(0);
    settle(logger);
    manual.clock().advance(301);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(logger->deletes(), 1);
}

TEST(LBAbstractDatabaseLogger, ARefusingSubclassNeverSaves) {
    auto logger = std::make_shared<CountingDatabaseLogger>(false);
    logger->added();
    logger->take(600);
    logger->flush();
    EXPECT_EQ(logger->saves(), 0);
}

TEST(LBAbstractDatabaseLogger, SavingCanDeleteToo) {
    auto logger = std::make_shared<CountingDatabaseLogger>();
    logger->setDeleteOnEverySave(true);
    settle(logger);
    logger->take(3);
    logger->savePendingLogEntries();
    settle(logger);
    EXPECT_EQ(logger->savesAndDeletes(), 1);
    EXPECT_EQ(logger->saves(), 0);
    EXPECT_TRUE(logger->deleteOnEverySave());
}
