#include "logging/LBOSLogger.h"

#include "foundation/Assertion.h"

namespace logging {
namespace {

constexpr std::string_view captureFileName = "LBASLLogCapture";

systemlog::LogType typeFor(LBLogFlag flag) {
    switch (flag) {
        case LBLogFlag::error: return systemlog::LogType::error;
        case LBLogFlag::warning:
        case LBLogFlag::info: return systemlog::LogType::info;
        default: return systemlog::LogType::debug;
    }
}

}  // namespace

std::shared_ptr<LBOSLogger> LBOSLogger::sharedInstance() {
    static auto& instance = *new std::shared_ptr<LBOSLogger>(std::make_shared<LBOSLogger>());
    return instance;
}

LBOSLogger::LBOSLogger(std::optional<std::string> subsystem, std::optional<std::string> category)
    : LBAbstractLogger("tolvane.logbook.osLogger"), subsystem_(std::move(subsystem)), category_(std::move(category)) {
    foundation::assertion(subsystem_.has_value() == category_.has_value(),
                          "Either both subsystem and category or neither should be nil.");
}

systemlog::UnifiedLogHandle LBOSLogger::getLogger() const {
    if (subsystem_ && category_) return {subsystem_, category_};
    return {};
}

const systemlog::UnifiedLogHandle& LBOSLogger::logger() {
    if (!logger_) logger_ = getLogger();
    return *logger_;
}

void LBOSLogger::logMessage(const LBLogMessage& message) {
    if (message.fileName() == captureFileName) return;
    std::optional<std::string> formatted;
    if (logFormatter_) {
        formatted = logFormatter_->formatLogMessage(message);
        if (!formatted) return;
    }
    const std::string& text = formatted ? *formatted : message.message();
    auto system = systemlog::SystemLog::current();
    const auto type = typeFor(message.flag());
    if (system->isEnabled(logger(), type)) system->writeUnified(logger(), type, text);
}

}  // namespace logging
