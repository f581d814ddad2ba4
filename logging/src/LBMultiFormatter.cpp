#include "logging/LBMultiFormatter.h"

#include <algorithm>

#include "dispatch/Queue.h"

namespace logging {

LBMultiFormatter::LBMultiFormatter() : queue_(dispatch::Queue::concurrent("tolvane.logbook.multiformatter")) {}

LBMultiFormatter::~LBMultiFormatter() {
    queue_->syncBarrier([] {});
}

std::optional<std::string> LBMultiFormatter::formatLogMessage(const LBLogMessage& message) {
    return queue_->sync([&]() -> std::optional<std::string> {
        std::string line = message.message();
        for (const auto& formatter : formatters_) {
            auto formatted = formatter->formatLogMessage(logMessageForLine(std::move(line), message));
            if (!formatted) return std::nullopt;
            line = std::move(*formatted);
        }
        return line;
    });
}

LBLogMessage LBMultiFormatter::logMessageForLine(std::string line, const LBLogMessage& original) {
    LBLogMessage copy = original;
    copy.message_ = std::move(line);
    return copy;
}

std::vector<std::shared_ptr<LBLogFormatter>> LBMultiFormatter::formatters() const {
    return queue_->sync([&] { return formatters_; });
}

void LBMultiFormatter::addFormatter(std::shared_ptr<LBLogFormatter> formatter) {
    queue_->asyncBarrier([this, formatter = std::move(formatter)]() mutable { formatters_.push_back(std::move(formatter)); });
}

void LBMultiFormatter::removeFormatter(const std::shared_ptr<LBLogFormatter>& formatter) {
    queue_->asyncBarrier([this, formatter] { std::erase(formatters_, formatter); });
}

void LBMultiFormatter::removeAllFormatters() {
    queue_->asyncBarrier([this] { formatters_.clear(); });
}

bool LBMultiFormatter::isFormattingWithFormatter(const std::shared_ptr<LBLogFormatter>& formatter) const {
    return queue_->sync([&] { return std::ranges::find(formatters_, formatter) != formatters_.end(); });
}

}  // namespace logging
