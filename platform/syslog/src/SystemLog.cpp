#include "systemlog/SystemLog.h"

#include <mutex>

#include "JournalSystemLog.h"

namespace systemlog {
namespace {

std::mutex currentMutex;

std::shared_ptr<SystemLog>& installed() {
    static auto& log = *new std::shared_ptr<SystemLog>;
    return log;
}

}  // namespace

std::shared_ptr<SystemLog> SystemLog::current() {
    std::lock_guard lock(currentMutex);
    auto& log = installed();
    if (!log) log = std::make_shared<JournalSystemLog>();
    return log;
}

void SystemLog::setCurrent(std::shared_ptr<SystemLog> log) {
    std::lock_guard lock(currentMutex);
    installed() = std::move(log);
}

}  // namespace systemlog
