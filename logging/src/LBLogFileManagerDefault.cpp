#include "logging/LBLogFileManagerDefault.h"

#include <algorithm>
#include <charconv>
#include <errno.h>

#include "dispatch/Queue.h"
#include "foundation/Assertion.h"
#include "foundation/FileManager.h"
#include "foundation/Format.h"
#include "foundation/Locale.h"
#include "foundation/Print.h"
#include "foundation/TimeZone.h"

namespace logging {
namespace {

namespace fs = std::filesystem;

foundation::FileManager& files() { return *foundation::FileManager::defaultManager(); }

bool endsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// Failures other than a name clash that a creation takes before it gives up.
constexpr int maximumCriticalErrors = 5;

std::optional<unsigned> clashNumber(std::string_view piece) {
    unsigned number = 0;
    auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), number);
    if (error != std::errc() || end != piece.data() + piece.size()) return std::nullopt;
    return number;
}

}  // namespace

// The order of a file among the others: the date in its name (else its creation date), then the
// number a clash added. Worked out once per file, so that sorting compares fixed values.
struct LBLogFileManagerDefault::SortKey {
    foundation::Date date;
    unsigned clash = 1;

    // Newest first.
    bool operator<(const SortKey& other) const {
        if (date != other.date) return date > other.date;
        return clash > other.clash;
    }
};

struct LBLogFileManagerDefault::KeptFile {
    SortKey key;
    std::string path;
    std::uint64_t size = 0;
    bool sizeKnown = false;  // a file that is no longer the newest keeps its size
};

LBLogFileManagerDefault::LBLogFileManagerDefault(std::string logsDirectory,
                                                 std::optional<LBFileProtection> defaultFileProtectionLevel)
    : logsDirectory_(logsDirectory.empty() ? defaultLogsDirectory() : std::move(logsDirectory)),
      defaultFileProtectionLevel_(defaultFileProtectionLevel) {
    fileDateFormatter_.setLocale(foundation::Locale("en_US_POSIX"));
    fileDateFormatter_.setTimeZone(foundation::TimeZone::gmt());
    fileDateFormatter_.setDateFormat("yyyy'-'MM'-'dd'--'HH'-'mm'-'ss'-'SSS'");
}

LBLogFileManagerDefault::~LBLogFileManagerDefault() = default;

std::string LBLogFileManagerDefault::defaultLogsDirectory() {
    return (files().cachesDirectory() / "Logs").string();
}

const std::string& LBLogFileManagerDefault::applicationName() {
    // Never destroyed: pruning on the global queue names files by it while the process exits.
    static const auto& name = *new std::string(program_invocation_short_name ? program_invocation_short_name : "");
    return name;
}

void LBLogFileManagerDefault::setMaximumNumberOfLogFiles(std::uint64_t count) {
    if (maximumNumberOfLogFiles_.exchange(count) != count) deleteOldFilesForConfigurationChange();
}

void LBLogFileManagerDefault::setLogFilesDiskQuota(std::uint64_t bytes) {
    if (logFilesDiskQuota_.exchange(bytes) != bytes) deleteOldFilesForConfigurationChange();
}

void LBLogFileManagerDefault::deleteOldFilesForConfigurationChange() {
    // A manager still being made (a subclass setting its limits) has no files to prune for it yet.
    auto self = weak_from_this().lock();
    if (!self) return;
    dispatch::Queue::global()->async([self = std::move(self)] { self->deleteOldLogFiles(); });
}

std::string LBLogFileManagerDefault::logsDirectory() const {
    foundation::assertion(!logsDirectory_.empty(), "Directory must be set.");
    // Said once until the folder can be made again, not on every call.
    if (auto made = files().createDirectory(logsDirectory_, true); !made) {
        if (!directoryFailureSaid_.exchange(true)) {
            foundation::printLine(foundation::format("LBFileLogManagerDefault: Error creating logsDirectory: %@",
                                                     made.error().message));
        }
    } else {
        directoryFailureSaid_ = false;
    }
    return logsDirectory_;
}

LBFileProtection LBLogFileManagerDefault::logFileProtection() const {
    // No background modes exist here, so the stricter default applies.
    return defaultFileProtectionLevel_.value_or(LBFileProtection::completeUnlessOpen);
}

bool LBLogFileManagerDefault::isLogFile(const std::string& fileName) const {
    const std::string prefix = applicationName() + " ";
    return fileName.starts_with(prefix) && endsWith(fileName, ".log");
}

std::vector<std::string> LBLogFileManagerDefault::unsortedLogFilePaths() const {
    std::string directory = logsDirectory();
    auto names = files().contentsOfDirectory(directory);
    std::vector<std::string> paths;
    if (!names) return paths;
    for (const auto& name : *names) {
        if (isLogFile(name)) paths.push_back((fs::path(directory) / name).string());
    }
    return paths;
}

std::vector<std::string> LBLogFileManagerDefault::unsortedLogFileNames() const {
    std::vector<std::string> names;
    for (const auto& path : unsortedLogFilePaths()) names.push_back(fs::path(path).filename().string());
    return names;
}

std::vector<std::shared_ptr<LBLogFileInfo>> LBLogFileManagerDefault::unsortedLogFileInfos() const {
    std::vector<std::shared_ptr<LBLogFileInfo>> infos;
    for (auto& path : unsortedLogFilePaths()) infos.push_back(std::make_shared<LBLogFileInfo>(std::move(path)));
    return infos;
}

LBLogFileManagerDefault::SortKey LBLogFileManagerDefault::sortKey(LBLogFileInfo& info) const {
    std::string_view name = info.fileName();
    if (name.ends_with(".log")) name.remove_suffix(4);
    std::string_view last = name.substr(name.rfind(' ') + 1);
    SortKey key;
    std::optional<foundation::Date> date = fileDateFormatter_.date(last);
    if (!date) {
        // "<name> <date> 2.log": a clash's number follows the date.
        std::string_view before = name.substr(0, name.rfind(' '));
        auto number = clashNumber(last);
        if (number && before.find(' ') != std::string_view::npos) {
            date = fileDateFormatter_.date(before.substr(before.rfind(' ') + 1));
            if (date) key.clash = *number;
        }
    }
    key.date = date ? *date : info.creationDate().value_or(foundation::Date::now());
    return key;
}

std::vector<std::pair<LBLogFileManagerDefault::SortKey, std::shared_ptr<LBLogFileInfo>>>
LBLogFileManagerDefault::keyedLogFileInfos() const {
    auto infos = unsortedLogFileInfos();
    std::vector<std::pair<SortKey, std::shared_ptr<LBLogFileInfo>>> keyed;
    keyed.reserve(infos.size());
    {
        std::lock_guard lock(formatterMutex_);
        for (auto& info : infos) keyed.emplace_back(sortKey(*info), std::move(info));
    }
    std::ranges::stable_sort(keyed, [](const auto& first, const auto& second) { return first.first < second.first; });
    return keyed;
}

std::vector<std::shared_ptr<LBLogFileInfo>> LBLogFileManagerDefault::sortedLogFileInfos() const {
    std::vector<std::shared_ptr<LBLogFileInfo>> infos;
    for (auto& [key, info] : keyedLogFileInfos()) infos.push_back(std::move(info));
    return infos;
}

std::vector<std::string> LBLogFileManagerDefault::sortedLogFilePaths() const {
    std::vector<std::string> paths;
    for (const auto& info : sortedLogFileInfos()) paths.push_back(info->filePath());
    return paths;
}

std::vector<std::string> LBLogFileManagerDefault::sortedLogFileNames() const {
    std::vector<std::string> names;
    for (const auto& info : sortedLogFileInfos()) names.push_back(info->fileName());
    return names;
}

std::string LBLogFileManagerDefault::newLogFileName() const {
    std::lock_guard lock(formatterMutex_);
    return foundation::format("%@ %@.log", applicationName(), fileDateFormatter_.string(foundation::Date::now()));
}

std::optional<foundation::Data> LBLogFileManagerDefault::logFileHeaderData() const {
    auto header = logFileHeader();
    if (!header || header->empty()) return std::nullopt;
    if (!header->ends_with('\n')) header->push_back('\n');
    return foundation::Data::fromString(*header);
}

std::expected<std::string, std::string> LBLogFileManagerDefault::createNewLogFile() {
    const std::string fileName = newLogFileName();
    const fs::path directory = logsDirectory();
    const foundation::Data contents = logFileHeaderData().value_or(foundation::Data());
    const std::string stem = fs::path(fileName).stem().string();
    const std::string extension = fs::path(fileName).extension().string();

    // The failures of a creation are said once until a file is made again, not on every call.
    const bool saying = !creationFailureSaid_.load();
    std::string lastSaid;
    int criticalErrors = 0;
    for (unsigned long attempt = 1;;) {
        std::string name = attempt == 1 ? fileName : foundation::format("%@ %lu%@", stem, attempt, extension);
        fs::path path = directory / name;
        // Made exclusively, never over an existing file: a clash tries the next name.
        auto written = files().write(path, contents, {.withoutOverwriting = true});
        if (written) {
            creationFailureSaid_ = false;
            noteNewFile(path.string());
            // Pruned later, on a global queue, from the files known.
            if (auto self = weak_from_this().lock()) {
                dispatch::Queue::global()->async([self = std::move(self)] { self->prune(false); });
            }
            return path.string();
        }
        if (written.error().isFileExists()) {
            ++attempt;
            continue;
        }
        // Anything else (a folder that cannot be written, a full disk) is tried again with the same
        // name, a few times; the same reason is said once.
        const std::string& reason = written.error().message;
        if (saying && reason != lastSaid) {
            foundation::printLine(
                foundation::format("LBLogFileManagerDefault: Critical error while creating log file: %@", reason));
            lastSaid = reason;
        }
        if (++criticalErrors == maximumCriticalErrors) {
            if (saying) {
                creationFailureSaid_ = true;
                foundation::printLine(foundation::format(
                    "LBLogFileManagerDefault: Bailing file creation, encountered %ld errors.", criticalErrors));
            }
            return std::unexpected(reason);
        }
    }
}

void LBLogFileManagerDefault::noteNewFile(const std::string& path) {
    std::lock_guard lock(keptMutex_);
    // A listing made since the file was written has it already.
    if (!kept_ || std::ranges::find(*kept_, path, &KeptFile::path) != kept_->end()) return;
    // The file that was the newest stops growing: its size is read once more.
    if (!kept_->empty()) kept_->front().sizeKnown = false;
    LBLogFileInfo info(path);
    SortKey key;
    {
        std::lock_guard formatterLock(formatterMutex_);
        key = sortKey(info);
    }
    auto at = std::ranges::upper_bound(*kept_, key, std::less<>{}, &KeptFile::key);
    kept_->insert(at, KeptFile{key, path, 0, false});
}

void LBLogFileManagerDefault::deleteOldLogFiles() { prune(true); }

void LBLogFileManagerDefault::prune(bool listAfresh) {
    // Two prunings side by side would each delete from their own, already stale, list.
    std::lock_guard lock(pruneMutex_);
    const std::uint64_t quota = logFilesDiskQuota_;
    const std::uint64_t maximum = maximumNumberOfLogFiles_;
    std::vector<std::string> doomed;
    {
        // Held while listing: a file made meanwhile is noted after the listing, not lost between the two.
        std::lock_guard keptLock(keptMutex_);
        if (listAfresh || !kept_) {
            auto listed = std::make_unique<std::vector<KeptFile>>();
            for (auto& [key, info] : keyedLogFileInfos()) {
                listed->push_back(KeptFile{key, info->filePath(), quota > 0 ? info->fileSize() : 0, quota > 0});
            }
            kept_ = std::move(listed);
        }
        auto& kept = *kept_;
        std::optional<std::size_t> firstToDelete;
        if (quota > 0) {
            std::uint64_t used = 0;
            for (std::size_t index = 0; index < kept.size(); ++index) {
                // The newest file still grows; the others are read once.
                if (index == 0 || !kept[index].sizeKnown) {
                    // A file deleted meanwhile counts for nothing; its removal below is no error either.
                    std::error_code missing;
                    const auto size = fs::file_size(kept[index].path, missing);
                    kept[index].size = missing ? 0 : static_cast<std::uint64_t>(size);
                    kept[index].sizeKnown = index > 0;
                }
                used += kept[index].size;
                if (used > quota) {
                    firstToDelete = index;
                    break;
                }
            }
        }
        if (maximum > 0) {
            std::size_t byCount = static_cast<std::size_t>(std::min<std::uint64_t>(maximum, kept.size()));
            firstToDelete = firstToDelete ? std::min(*firstToDelete, byCount) : byCount;
        }
        if (!firstToDelete) return;
        if (*firstToDelete == 0 && !kept.empty() && !LBLogFileInfo(kept.front().path).isArchived()) firstToDelete = 1;
        for (std::size_t index = *firstToDelete; index < kept.size(); ++index) doomed.push_back(kept[index].path);
        kept.resize(std::min(kept.size(), *firstToDelete));
    }
    for (const auto& path : doomed) {
        // One already gone (deleted by hand) is no error.
        if (auto removed = files().removeItem(path); !removed && !removed.error().isNoSuchFile()) {
            foundation::printLine(
                foundation::format("LBLogFileManagerDefault: Error deleting file %@", removed.error().message));
        }
    }
}

}  // namespace logging
