#pragma once

#include <memory>
#include <vector>

#include "logging/LBLogFormatter.h"

namespace logging {

// Runs its formatters in order, each on the text the one before produced; any of them can drop the
// record. Changes take effect after the formatting already under way.
class LBMultiFormatter : public LBLogFormatter {
public:
    LBMultiFormatter();
    ~LBMultiFormatter() override;  // waits for the changes still queued

    std::optional<std::string> formatLogMessage(const LBLogMessage& message) override;
    // `original` with `line` as its text.
    static LBLogMessage logMessageForLine(std::string line, const LBLogMessage& original);

    std::vector<std::shared_ptr<LBLogFormatter>> formatters() const;
    void addFormatter(std::shared_ptr<LBLogFormatter> formatter);
    void removeFormatter(const std::shared_ptr<LBLogFormatter>& formatter);
    void removeAllFormatters();
    bool isFormattingWithFormatter(const std::shared_ptr<LBLogFormatter>& formatter) const;

private:
    std::shared_ptr<dispatch::Queue> queue_;  // concurrent: reads side by side, changes as barriers
    std::vector<std::shared_ptr<LBLogFormatter>> formatters_;
};

}  // namespace logging
