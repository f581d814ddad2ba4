#pragma once

#include <cstdint>
#include <expected>
#include <memory>
#include <string>
#include <vector>

#include "logging/LBLogFileInfo.h"

namespace logging {

// What the file logger needs of the folder it writes into: new files, the existing ones, and the
// limits by which old ones are pruned. Managers live in std::shared_ptr.
class LBLogFileManager {
public:
    virtual ~LBLogFileManager() = default;

    // The new file's path, or why there is none.
    virtual std::expected<std::string, std::string> createNewLogFile() = 0;

    virtual std::uint64_t maximumNumberOfLogFiles() const = 0;
    virtual void setMaximumNumberOfLogFiles(std::uint64_t count) = 0;
    virtual std::uint64_t logFilesDiskQuota() const = 0;
    virtual void setLogFilesDiskQuota(std::uint64_t bytes) = 0;

    virtual std::string logsDirectory() const = 0;
    virtual std::vector<std::string> unsortedLogFilePaths() const = 0;
    virtual std::vector<std::string> unsortedLogFileNames() const = 0;
    virtual std::vector<std::shared_ptr<LBLogFileInfo>> unsortedLogFileInfos() const = 0;
    // Newest first.
    virtual std::vector<std::string> sortedLogFilePaths() const = 0;
    virtual std::vector<std::string> sortedLogFileNames() const = 0;
    virtual std::vector<std::shared_ptr<LBLogFileInfo>> sortedLogFileInfos() const = 0;

    // Told on the file logger's completion queue when a file was archived, and whether by a roll.
    virtual void didArchiveLogFile(const std::string& /*logFilePath*/, bool /*wasRolled*/) {}
};

}  // namespace logging
