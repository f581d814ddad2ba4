#include <atomic>
#include <cstdio>
#include <memory>

#include "logging/LBAbstractLogger.h"
#include "logging/LBLog.h"

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
    return logger->received == 1 ? 0 : 1;
}
