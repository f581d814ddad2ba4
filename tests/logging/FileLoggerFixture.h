#pragma once

#include <mutex>
#include <regex>
#include <set>
#include <thread>

#include "CapturingLogger.h"
#include "LogFolder.h"
#include "logging/LBFileLogger.h"
#include "logging/LBLogFileManagerDefault.h"

// A manager that keeps every file (no pruning) and notes the files the logger archived.
class RecordingFileManager : public logging::LBLogFileManagerDefault {
public:
    explicit RecordingFileManager(const LogFolder& folder) : LBLogFileManagerDefault(folder.string()) {
        setMaximumNumberOfLogFiles(0);
        setLogFilesDiskQuota(0);
    }
    void didArchiveLogFile(const std::string& path, bool wasRolled) override {
        std::lock_guard lock(mutex_);
        archived_.push_back({path, wasRolled});
    }
    std::vector<std::pair<std::string, bool>> archived() const {
        std::lock_guard lock(mutex_);
        return archived_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, bool>> archived_;
};

class FileLoggerTest : public ::testing::Test {
protected:
    std::shared_ptr<logging::LBFileLogger> makeLogger() {
        return std::make_shared<logging::LBFileLogger>(manager);
    }
    // Straight to the logger, on its queue, as the dispatcher would.
    static void write(const std::shared_ptr<logging::LBLogger>& logger, const logging::LBLogMessage& message) {
        settle(logger);
        logger->loggerQueue()->sync([&] { logger->logMessage(message); });
    }
    // The lines of every log file, in the order the files were made.
    std::vector<std::string> linesOf(const std::string& name) const { return splitLines(readFile(folder / name)); }
    static std::vector<std::string> splitLines(const std::string& text) {
        std::vector<std::string> lines;
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        if (start < text.size()) lines.push_back(text.substr(start));
        return lines;
    }
    bool archived(const std::string& name) const { return logging::LBLogFileInfo((folder / name).string()).isArchived(); }
    // The numbers of the "line N" records (see logNumberedLines) in every file; each line must be whole.
    std::multiset<int> numberedLines() const;

    LogFolder folder;
    std::shared_ptr<RecordingFileManager> manager = std::make_shared<RecordingFileManager>(folder);
};

// What the default formatter writes before the text of a stamped() record.
inline const std::string stampPrefix = "2026/03/01 10:00:00:500  ";

// A record with a fixed time, so that its line is known: stampPrefix + text.
inline logging::LBLogMessage stamped(std::string text) {
    return logging::LBLogMessage(std::move(text), logging::LBLogLevel::all, logging::LBLogFlag::info, 0, __FILE__,
                                 "test", 1, std::nullopt, 0, foundation::Date::fromUnix(1772359200.5));
}

// `threads` producers log `perThread` records "line N" each through `log`, numbered 0 up.
inline void logNumberedLines(logging::LBLog& log, bool asynchronous, int threads, int perThread) {
    std::vector<std::thread> producers;
    for (int thread = 0; thread < threads; ++thread) {
        producers.emplace_back([&log, asynchronous, thread, perThread] {
            for (int index = 0; index < perThread; ++index) {
                log.log(asynchronous, stamped("line " + std::to_string(thread * perThread + index)));
            }
        });
    }
    for (auto& producer : producers) producer.join();
}

inline std::multiset<int> FileLoggerTest::numberedLines() const {
    const std::string prefix = stampPrefix + "line ";
    std::multiset<int> seen;
    for (const auto& name : folder.logFiles()) {
        for (const auto& text : linesOf(name)) {
            EXPECT_TRUE(text.starts_with(prefix)) << text;
            if (text.starts_with(prefix)) seen.insert(std::stoi(text.substr(prefix.size())));
        }
    }
    return seen;
}
