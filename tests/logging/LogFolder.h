#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Clock.h"
#include "logging/LBLogFileManagerDefault.h"

// A temporary folder of log files, removed with the test.
class LogFolder {
public:
    LogFolder() {
        char pattern[] = "/tmp/logging-files-XXXXXX";
        EXPECT_NE(::mkdtemp(pattern), nullptr);
        path_ = pattern;
    }
    ~LogFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    LogFolder(const LogFolder&) = delete;
    LogFolder& operator=(const LogFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string string() const { return path_.string(); }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    // "<application name> <date>.log", the way the manager names its files.
    static std::string logName(const std::string& date) {
        return logging::LBLogFileManagerDefault::applicationName() + " " + date + ".log";
    }
    std::filesystem::path write(const std::string& name, const std::string& contents) const {
        std::ofstream(path_ / name, std::ios::binary) << contents;
        return path_ / name;
    }
    // The names of the log files in the folder, oldest first: by name, except that files made in one
    // millisecond ("<app> <date>.log", "<app> <date> 2.log", ...) follow their clash number, which plain
    // name order would put before the first ("<date> 2" < "<date>.").
    std::vector<std::string> logFiles() const {
        std::vector<std::pair<std::pair<std::string, unsigned long>, std::string>> keyed;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            std::string name = entry.path().filename().string();
            if (!name.ends_with(".log")) continue;
            std::string stem = name.substr(0, name.size() - 4);
            unsigned long clash = 1;
            if (auto space = stem.rfind(' '); space != std::string::npos && space + 1 < stem.size() &&
                                              stem.find_first_not_of("0123456789", space + 1) == std::string::npos &&
                                              stem.find(' ') != space) {
                clash = std::stoul(stem.substr(space + 1));
                stem.resize(space);
            }
            keyed.push_back({{stem, clash}, name});
        }
        std::sort(keyed.begin(), keyed.end());
        std::vector<std::string> names;
        for (auto& [key, name] : keyed) names.push_back(std::move(name));
        return names;
    }

private:
    std::filesystem::path path_;
};

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Polls until `condition` holds, for a generous while.
inline bool eventually(const std::function<bool()>& condition) {
    for (int attempt = 0; attempt < 3000; ++attempt) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

// A manual clock for the life of the object, set to `start`; the system clock again afterwards.
class ManualClockScope {
public:
    explicit ManualClockScope(foundation::Date start)
        : clock_(std::make_shared<foundation::ManualClock>(start, 1000)) {
        foundation::Clock::setCurrent(clock_);
    }
    ~ManualClockScope() { foundation::Clock::setCurrent(nullptr); }
    ManualClockScope(const ManualClockScope&) = delete;
    ManualClockScope& operator=(const ManualClockScope&) = delete;
    foundation::ManualClock& clock() { return *clock_; }

private:
    std::shared_ptr<foundation::ManualClock> clock_;
};
