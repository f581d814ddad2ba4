#include <stdlib.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "logging/LBAbstractLogger.h"
#include "logging/LBFileLogger.h"
#include "logging/LBLog.h"
#include "logging/LBLogFileManagerDefault.h"
#include "logging/LBOSLogger.h"
#include "systemlog/RecordingSystemLog.h"

namespace {

class CountingLogger : public logging::LBAbstractLogger {
public:
    CountingLogger() : LBAbstractLogger("consumer.counting") {}
    void logMessage(const logging::LBLogMessage& message) override {
        if (message.message() == "installed logging" && message.context() == 556) ++received;
    }
    std::atomic<int> received = 0;
};

}  // namespace

int main() {
    using namespace logging;
    auto& log = LBLog::sharedInstance();
    auto logger = std::make_shared<CountingLogger>();
    log.addLogger(logger, LBLogLevel::warning);
    log.log(false, LBLogLevel::warning, LBLogFlag::warning, 556, __FILE__, __func__, __LINE__, std::nullopt,
            "installed %@", "logging");
    log.log(true, LBLogLevel::warning, LBLogFlag::info, 556, __FILE__, __func__, __LINE__, std::nullopt,
            "installed %@", "logging");  // not admitted at Warning
    log.flushLog();
    std::printf("records received: %d\n", logger->received.load());

    // The file logger and the system log's seam come with the package.
    char pattern[] = "/tmp/logging-consumer-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    auto fileLogger = std::make_shared<LBFileLogger>(std::make_shared<LBLogFileManagerDefault>(pattern));
    auto recording = std::make_shared<systemlog::RecordingSystemLog>();
    systemlog::SystemLog::setCurrent(recording);
    log.addLogger(fileLogger);
    log.addLogger(std::make_shared<LBOSLogger>());
    log.log(false, LBLogLevel::all, LBLogFlag::error, 0, __FILE__, __func__, __LINE__, std::nullopt, "to a file");
    log.removeAllLoggers();
    log.flushLog();
    std::string written;
    for (const auto& entry : std::filesystem::directory_iterator(pattern)) {
        std::ifstream file(entry.path());
        written.append(std::istreambuf_iterator<char>(file), {});
    }
    std::filesystem::remove_all(pattern);
    const bool wroteFile = written.ends_with("  to a file\n");
    const bool wroteSystemLog = recording->unifiedEntries().size() == 1;
    std::printf("file line: %d, system log entries: %zu\n", wroteFile, recording->unifiedEntries().size());
    return logger->received == 1 && wroteFile && wroteSystemLog ? 0 : 1;
}
