#pragma once

#include "logging/LBLogLevel.h"
#include "systemlog/LegacyMessage.h"

namespace logging {

// Watches the legacy system log for messages of other programs the process may read and hands each to
// the shared dispatcher as a record of its own (file "LBASLLogCapture", context 0). The framework's
// own messages are left out, and the system-log loggers skip the records made here.
class LBASLLogCapture {
public:
    LBASLLogCapture() = delete;

    // Starting while running does nothing; stopping ends the watch at once.
    static void start();
    static void stop();
    static bool isRunning();

    // Which flags are handed on: Verbose (31) at first.
    static LBLogLevel captureLevel();
    static void setCaptureLevel(LBLogLevel level);

    // Only levels 0-7, and nothing the framework sent itself.
    static void configureAslQuery(systemlog::LegacyQuery& query);
    // Levels 0-2 become synchronous errors; 3 warnings, 4 information, 5 debug, the rest verbose.
    static void aslMessageReceived(const systemlog::LegacyMessage& message);
};

}  // namespace logging
