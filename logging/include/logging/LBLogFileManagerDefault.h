#pragma once

#include <atomic>
#include <mutex>
#include <optional>

#include "foundation/Data.h"
#include "foundation/DateFormatter.h"
#include "logging/LBLogFileManager.h"

namespace logging {

// The platform's file-protection classes. Linux has no such classes: the level is kept and answered,
// and changes nothing on disk.
enum class LBFileProtection { none, complete, completeUnlessOpen, completeUntilFirstUserAuthentication };

// A folder of log files named "<application name> <GMT date>.log": creates them (each a new file,
// with an optional header), lists them newest first and prunes the oldest by count and by size.
class LBLogFileManagerDefault : public LBLogFileManager,
                                public std::enable_shared_from_this<LBLogFileManagerDefault> {
public:
    // An empty folder means the default one, "Logs" in the caches folder. The folder is made when
    // first needed.
    explicit LBLogFileManagerDefault(std::string logsDirectory = {},
                                     std::optional<LBFileProtection> defaultFileProtectionLevel = std::nullopt);
    ~LBLogFileManagerDefault() override;

    static std::string defaultLogsDirectory();
    // The program's name (there is no bundle identifier here); computed once.
    static const std::string& applicationName();

    std::uint64_t maximumNumberOfLogFiles() const override { return maximumNumberOfLogFiles_; }
    void setMaximumNumberOfLogFiles(std::uint64_t count) override;  // 0: no limit
    std::uint64_t logFilesDiskQuota() const override { return logFilesDiskQuota_; }
    void setLogFilesDiskQuota(std::uint64_t bytes) override;  // 0: no limit

    // Creates the folder (with its parents) on every call.
    std::string logsDirectory() const override;
    LBFileProtection logFileProtection() const;

    bool isLogFile(const std::string& fileName) const;
    const foundation::DateFormatter& logFileDateFormatter() const { return fileDateFormatter_; }

    std::vector<std::string> unsortedLogFilePaths() const override;
    std::vector<std::string> unsortedLogFileNames() const override;
    std::vector<std::shared_ptr<LBLogFileInfo>> unsortedLogFileInfos() const override;
    std::vector<std::string> sortedLogFilePaths() const override;
    std::vector<std::string> sortedLogFileNames() const override;
    std::vector<std::shared_ptr<LBLogFileInfo>> sortedLogFileInfos() const override;

    std::string newLogFileName() const;
    // Written at the top of every new file; none by default.
    virtual std::optional<std::string> logFileHeader() const { return std::nullopt; }
    std::optional<foundation::Data> logFileHeaderData() const;

    // A file that did not exist before: on a clash the name gets " 2", " 3", ... before ".log". Any
    // other failure is tried again; the fifth gives up with its reason. What failed is said once until
    // a file is made again.
    std::expected<std::string, std::string> createNewLogFile() override;

    // Deletes the oldest files beyond the count and the quota; never the newest unarchived one, which
    // is being written. One pruning at a time. This one lists the folder afresh; the pruning after each
    // new file works from the files known since (those found by the first listing, and those made
    // here since), so that making a file costs the same however many are kept. Files that other
    // programs add to the folder are seen by the next listing.
    void deleteOldLogFiles();
    // deleteOldLogFiles, later, on a global queue.
    void deleteOldFilesForConfigurationChange();

    struct KeptFile;

private:
    struct SortKey;
    std::vector<std::pair<SortKey, std::shared_ptr<LBLogFileInfo>>> keyedLogFileInfos() const;
    SortKey sortKey(LBLogFileInfo& info) const;  // under formatterMutex_
    void prune(bool listAfresh);
    void noteNewFile(const std::string& path);

    foundation::DateFormatter fileDateFormatter_;  // under formatterMutex_
    mutable std::mutex formatterMutex_;
    std::atomic<std::uint64_t> maximumNumberOfLogFiles_ = 5;
    std::atomic<std::uint64_t> logFilesDiskQuota_ = 20 * 1024 * 1024;
    std::string logsDirectory_;
    std::optional<LBFileProtection> defaultFileProtectionLevel_;
    std::mutex pruneMutex_;
    mutable std::atomic<bool> directoryFailureSaid_ = false;
    std::atomic<bool> creationFailureSaid_ = false;
    // The files known, newest first, once a pruning listed them; under keptMutex_.
    std::mutex keptMutex_;
    std::unique_ptr<std::vector<KeptFile>> kept_;
};

}  // namespace logging
