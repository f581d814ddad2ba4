#pragma once

#include <atomic>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "dispatch/Queue.h"
#include "foundation/Data.h"
#include "foundation/Date.h"
#include "foundation/FileManager.h"
#include "pictura/PicturaError.h"
#include "pictura/StorageExpiration.h"

namespace pictura {

// A value the disk storage keeps as bytes: specialise with `toData`, `fromData` and `empty` (the
// placeholder a presence test returns). Data itself converts as it is.
template <class T>
struct DataTransformable;

template <>
struct DataTransformable<foundation::Data> {
    static std::expected<foundation::Data, AnyError> toData(const foundation::Data& value) { return value; }
    static std::expected<foundation::Data, AnyError> fromData(foundation::Data data) { return data; }
    static foundation::Data empty() { return {}; }
};

namespace DiskStorage {

using Path = std::filesystem::path;

struct Config {
    Config(std::string name, std::uint64_t sizeLimit,
           std::shared_ptr<foundation::FileManager> fileManager = foundation::FileManager::defaultManager(),
           std::optional<Path> directory = std::nullopt)
        : sizeLimit(sizeLimit), name(std::move(name)), fileManager(std::move(fileManager)),
          directory(std::move(directory)) {}
    std::uint64_t sizeLimit;  // 0: no limit
    StorageExpiration expiration = StorageExpiration::days(7);
    std::optional<std::string> pathExtension;
    bool usesHashedFileName = true;
    bool autoExtAfterHashedFileName = false;
    // The folder from the parent directory and the folder's name.
    std::function<Path(const Path& directory, const std::string& cacheName)> cachePathBlock =
        [](const Path& directory, const std::string& cacheName) { return directory / cacheName; };
    std::string name;
    std::shared_ptr<foundation::FileManager> fileManager;
    std::optional<Path> directory;  // absent: the user's caches directory
};

struct Creation {
    explicit Creation(const Config& config);
    Path directoryURL;
    std::string cacheName;  // "com.tolvane.Pictura.ImageCache." and the name
};

// One file as the storage sees it: last access in its creation date, expiry in its modification date.
struct FileMeta {
    Path url;
    std::optional<foundation::Date> lastAccessDate;
    std::optional<foundation::Date> estimatedExpirationDate;
    bool isDirectory = false;
    std::int64_t fileSize = 0;

    static std::expected<FileMeta, foundation::FileError> read(const foundation::FileManager& fileManager,
                                                                const Path& url);
    FileMeta(Path url, const std::optional<foundation::FileAttributes>& attributes);
    // Expired without an expiry, and at the expiry itself.
    bool expired(foundation::Date referenceDate) const;
};

// The disk level over bytes: one file per key in one folder, the bytes as given. Every operation
// may be called from any thread; dates are moved after reads on a queue of the storage's own.
class Files : public std::enable_shared_from_this<Files> {
public:
    // Never fails: a folder that cannot be made leaves the storage not ready.
    static std::shared_ptr<Files> create(Config config, bool creatingDirectory);
    // Fails with cannotCreateDirectory when the folder cannot be made.
    static std::expected<std::shared_ptr<Files>, PicturaError> create(Config config);
    ~Files();

    Config config() const;
    void setConfig(Config config);
    const Path& directoryURL() const { return directoryURL_; }
    bool storageReady() const;

    std::expected<void, PicturaError> prepareDirectory();
    std::expected<void, PicturaError> store(const foundation::Data& data, const std::string& key,
                                            std::optional<StorageExpiration> expiration = std::nullopt,
                                            foundation::WriteOptions writeOptions = {});
    // The bytes of a live file (empty bytes when not `actuallyLoad`), nothing for a missing or
    // expired one; a read moves the file's dates afterwards by `extending`. A file whose bytes no
    // longer match the digest kept with them (damaged, or another key's file) is removed and missed.
    std::expected<std::optional<foundation::Data>, PicturaError> value(const std::string& key,
                                                                       foundation::Date referenceDate,
                                                                       bool actuallyLoad,
                                                                       const ExpirationExtending& extending);
    std::expected<std::optional<foundation::Data>, PicturaError> value(const std::string& key,
                                                                       const ExpirationExtending& extending) {
        return value(key, foundation::Date::now(), true, extending);
    }
    bool isCached(const std::string& key, foundation::Date referenceDate);
    bool isCached(const std::string& key) { return isCached(key, foundation::Date::now()); }

    std::expected<void, foundation::FileError> remove(const std::string& key);
    // Removes the key's file if it still holds `seen`: bytes read that turned out unusable.
    void discard(const std::string& key, const foundation::Data& seen);
    std::expected<void, foundation::FileError> removeFile(const Path& url);
    // Removes the folder, then makes it again unless told to skip.
    // The folder's removal fails with the file manager's error, its making again with cannotCreateDirectory.
    std::expected<void, AnyError> removeAll(bool skipCreatingDirectory = false);

    Path cacheFileURL(const std::string& key) const;
    // The MD5 of the key, or the key escaped so that it names one file inside the folder.
    std::string cacheFileName(const std::string& key) const;

    // The folder's files and sub-folders, hidden ones left out, with their metadata.
    std::expected<std::vector<foundation::DirectoryEntry>, PicturaError> allFileURLs() const;
    // Removed files in removal order. A file that cannot be removed is skipped.
    std::expected<std::vector<Path>, PicturaError> removeExpiredValues(foundation::Date referenceDate);
    std::expected<std::vector<Path>, PicturaError> removeExpiredValues() {
        return removeExpiredValues(foundation::Date::now());
    }
    // Past the size limit, the least recently read files go until half the limit is left.
    std::expected<std::vector<Path>, PicturaError> removeSizeExceededValues();
    std::expected<std::uint64_t, PicturaError> totalSize() const;

    // Where the date updates after reads run, one at a time.
    const std::shared_ptr<dispatch::Queue>& metaChangingQueue() const { return metaChangingQueue_; }
    // Waits for the date updates queued so far.
    void waitForPendingDateUpdates();

private:
    explicit Files(Config config);
    void setupCacheChecking();
    void extendExpiration(const FileMeta& seen, const ExpirationExtending& extending);
    bool matchesDigest(const foundation::FileManager& fileManager, const Path& url, const std::string& key,
                       const foundation::Data& data) const;

    mutable std::mutex configMutex_;
    Config config_;
    const std::string cacheName_;
    const Path directoryURL_;
    std::shared_ptr<dispatch::Queue> metaChangingQueue_;
    std::shared_ptr<dispatch::Queue> maybeCachedCheckingQueue_;
    std::optional<std::unordered_set<std::string>> maybeCached_;  // on maybeCachedCheckingQueue_ only
    std::atomic<bool> storageReady_ = true;
    // A file's bytes and dates change together: a store and a date update after a read never interleave.
    std::mutex datesMutex_;
};

// The disk level over values that convert to and from bytes.
template <class T>
class Backend {
public:
    explicit Backend(std::shared_ptr<Files> files) : files_(std::move(files)) {}
    static std::shared_ptr<Backend> create(Config config, bool creatingDirectory) {
        return std::make_shared<Backend>(Files::create(std::move(config), creatingDirectory));
    }
    static std::expected<std::shared_ptr<Backend>, PicturaError> create(Config config) {
        auto files = Files::create(std::move(config));
        if (!files) return std::unexpected(files.error());
        return std::make_shared<Backend>(std::move(*files));
    }

    Files& files() const { return *files_; }

    std::expected<void, PicturaError> store(const T& value, const std::string& key,
                                            std::optional<StorageExpiration> expiration = std::nullopt,
                                            foundation::WriteOptions writeOptions = {}) {
        if (!files_->storageReady())
            return std::unexpected(PicturaError::cacheError(
                PicturaError::DiskStorageIsNotReady{foundation::URL::fileURL(files_->directoryURL().string(), true)}));
        if (expiration.value_or(files_->config().expiration).isExpired()) return {};
        auto data = DataTransformable<T>::toData(value);
        if (!data)
            return std::unexpected(PicturaError::cacheError(PicturaError::CannotConvertToData{"value", data.error()}));
        return files_->store(*data, key, expiration, writeOptions);
    }
    std::expected<std::optional<T>, PicturaError> value(const std::string& key, foundation::Date referenceDate,
                                                        bool actuallyLoad, const ExpirationExtending& extending) {
        auto data = files_->value(key, referenceDate, actuallyLoad, extending);
        if (!data) return std::unexpected(data.error());
        if (!*data) return std::optional<T>();
        if (!actuallyLoad) return std::optional<T>(DataTransformable<T>::empty());
        auto converted = DataTransformable<T>::fromData(std::move(**data));
        if (!converted)
            return std::unexpected(PicturaError::cacheError(PicturaError::CannotLoadDataFromDisk{
                foundation::URL::fileURL(files_->cacheFileURL(key).string()), converted.error()}));
        return std::optional<T>(std::move(*converted));
    }
    std::expected<std::optional<T>, PicturaError> value(const std::string& key, const ExpirationExtending& extending) {
        return value(key, foundation::Date::now(), true, extending);
    }
    bool isCached(const std::string& key) { return files_->isCached(key); }

private:
    std::shared_ptr<Files> files_;
};

}  // namespace DiskStorage

}  // namespace pictura
