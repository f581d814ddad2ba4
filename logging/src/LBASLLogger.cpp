#include "logging/LBASLLogger.h"

#include <unistd.h>

#include <cstdio>

#include "foundation/Assertion.h"
#include "systemlog/SystemLog.h"

namespace logging {
namespace {

constexpr std::string_view captureFileName = "LBASLLogCapture";

const char* levelFor(LBLogFlag flag) {
    switch (flag) {
        case LBLogFlag::error: return "2";
        case LBLogFlag::warning: return "3";
        case LBLogFlag::info: return "4";
        default: return "5";
    }
}

}  // namespace

std::shared_ptr<LBASLLogger> LBASLLogger::sharedInstance() {
    static auto& instance = *new std::shared_ptr<LBASLLogger>(new LBASLLogger);
    return instance;
}

LBASLLogger::LBASLLogger() : LBAbstractLogger("tolvane.logbook.aslLogger") {}

void LBASLLogger::logMessage(const LBLogMessage& message) {
    if (message.fileName() == captureFileName) return;
    std::optional<std::string> formatted;
    if (logFormatter_) {
        formatted = logFormatter_->formatLogMessage(message);
        if (!formatted) return;
    }
    const std::string& text = formatted ? *formatted : message.message();
    char readUID[16];
    int length = std::snprintf(readUID, sizeof readUID, "%d", static_cast<int>(::geteuid()));
    foundation::assertion(length >= 0 && length < static_cast<int>(sizeof readUID), "Formatted euid is too long.");
    systemlog::LegacyMessage entry;
    bool complete = entry.set("Level", levelFor(message.flag())) && entry.set("Message", text) &&
                    entry.set("ReadUID", readUID) && entry.set("LBLog", "1");
    if (complete) systemlog::SystemLog::current()->sendLegacy(facility, entry);
}

}  // namespace logging
