#pragma once

#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "dispatch/Queue.h"
#include "dispatch/Task.h"
#include "foundation/Data.h"
#include "foundation/Notification.h"
#include "gfx/Image.h"
#include "pictura/CacheSerializer.h"
#include "pictura/CallbackQueue.h"
#include "pictura/DiskStorage.h"
#include "pictura/MemoryStorage.h"
#include "pictura/PicturaError.h"
#include "pictura/PicturaOptions.h"
#include "pictura/RetrieveImageResult.h"
#include "pictura/StorageExpiration.h"

namespace pictura {

// Decoded bytes: point size times scale squared, four bytes a pixel, times the frames of an animation.
template <>
struct CacheCostCalculable<std::shared_ptr<gfx::Image>> {
    static std::int64_t cacheCost(const std::shared_ptr<gfx::Image>& image);
};

inline bool cached(CacheType type) { return type != CacheType::none; }

struct CacheStoreResult {
    std::expected<void, PicturaError> memoryCacheResult;  // always success
    std::expected<void, PicturaError> diskCacheResult;
};

class ImageCacheResult {
public:
    static ImageCacheResult disk(std::shared_ptr<gfx::Image> image) { return {CacheType::disk, std::move(image)}; }
    static ImageCacheResult memory(std::shared_ptr<gfx::Image> image) { return {CacheType::memory, std::move(image)}; }
    static ImageCacheResult none() { return {CacheType::none, nullptr}; }
    CacheType cacheType() const { return type_; }
    const std::shared_ptr<gfx::Image>& image() const { return image_; }

private:
    ImageCacheResult(CacheType type, std::shared_ptr<gfx::Image> image) : type_(type), image_(std::move(image)) {}
    CacheType type_;
    std::shared_ptr<gfx::Image> image_;
};

// Posted on the default centre, with the cache as object, when a disk clean removed files; the
// user information holds their names under PicturaDiskCacheCleanedHashKey.
inline const foundation::Notification::Name PicturaDidCleanDiskCache{"com.tolvane.Pictura.PicturaDidCleanDiskCache"};
inline constexpr std::string_view PicturaDiskCacheCleanedHashKey = "com.tolvane.Pictura.cleanedHash";

// The two-level image cache: decoded images in memory in front of encoded bytes on disk, with one
// serial queue for all disk work. Shared and long-lived; any thread may call it.
class ImageCache : public std::enable_shared_from_this<ImageCache> {
public:
    using ImagePointer = std::shared_ptr<gfx::Image>;
    using MemoryBackend = MemoryStorage::Backend<ImagePointer>;
    using DiskBackend = DiskStorage::Backend<foundation::Data>;
    using PathClosure = std::function<DiskStorage::Path(const DiskStorage::Path&, const std::string&)>;
    using StoreHandler = std::function<void(CacheStoreResult)>;
    using RetrieveHandler = std::function<void(std::expected<ImageCacheResult, PicturaError>)>;
    using DiskRetrieveHandler = std::function<void(std::expected<ImagePointer, PicturaError>)>;

    // The shared cache, named "default", made on first use.
    static const std::shared_ptr<ImageCache>& defaultCache();
    // A folder that cannot be made leaves the disk level not ready. An empty name is a programmer error.
    static std::shared_ptr<ImageCache> create(const std::string& name);
    static std::expected<std::shared_ptr<ImageCache>, PicturaError> create(
        const std::string& name, std::optional<DiskStorage::Path> cacheDirectoryURL, PathClosure diskCachePathClosure = nullptr);
    // Registers for the application's memory warning, termination and entering the background.
    static std::shared_ptr<ImageCache> create(std::shared_ptr<MemoryBackend> memoryStorage,
                                              std::shared_ptr<DiskBackend> diskStorage);
    ~ImageCache();

    const std::shared_ptr<MemoryBackend>& memoryStorage() const { return memoryStorage_; }
    const std::shared_ptr<DiskBackend>& diskStorage() const { return diskStorage_; }
    const std::shared_ptr<dispatch::Queue>& ioQueue() const { return ioQueue_; }

    // In memory before it returns; on disk once the queued write has run.
    void store(const ImagePointer& image, const std::optional<foundation::Data>& original, const std::string& key,
               const PicturaParsedOptionsInfo& options, bool toDisk = true, StoreHandler completionHandler = nullptr);
    void store(const ImagePointer& image, const std::optional<foundation::Data>& original, const std::string& key,
               const std::string& processorIdentifier, std::shared_ptr<const CacheSerializer> serializer, bool toDisk,
               CallbackQueue callbackQueue, StoreHandler completionHandler);
    void storeToDisk(const foundation::Data& data, const std::string& key, const std::string& processorIdentifier = "",
                     std::optional<StorageExpiration> expiration = std::nullopt,
                     CallbackQueue callbackQueue = CallbackQueue::untouch(), StoreHandler completionHandler = nullptr);
    void removeImage(const std::string& key, const std::string& processorIdentifier = "", bool fromMemory = true,
                     bool fromDisk = true, CallbackQueue callbackQueue = CallbackQueue::untouch(),
                     std::function<void()> completionHandler = nullptr);

    // Memory first, then disk (a disk hit goes back into memory before the handler hears of it).
    void retrieveImage(const std::string& key, const PicturaParsedOptionsInfo& options, CallbackQueue callbackQueue,
                       RetrieveHandler completionHandler);
    ImagePointer retrieveImageInMemoryCache(const std::string& key, const PicturaParsedOptionsInfo& options);
    // A file the serializer cannot decode is a miss (null), not a failure.
    void retrieveImageInDiskCache(const std::string& key, const PicturaParsedOptionsInfo& options,
                                  CallbackQueue callbackQueue, DiskRetrieveHandler completionHandler);

    // Extends nothing and reads no file's bytes; every disk error counts as none.
    CacheType imageCachedType(const std::string& key, const std::string& processorIdentifier = "");
    bool isCached(const std::string& key, const std::string& processorIdentifier = "") {
        return cached(imageCachedType(key, processorIdentifier));
    }
    std::string hash(const std::string& key, const std::string& processorIdentifier = "") const;
    std::string cachePath(const std::string& key, const std::string& processorIdentifier = "") const;

    // Maintenance (ImageCacheMaintenance.cpp). Completions and the clean notification run on the
    // main queue, asynchronously.
    void clearCache(std::function<void()> completion = nullptr);
    void clearMemoryCache();
    void clearDiskCache(std::function<void()> completion = nullptr);
    void cleanExpiredCache(std::function<void()> completion = nullptr);
    void cleanExpiredMemoryCache();
    // Removes expired files, then files past the size limit. A file that cannot be removed is left
    // and the clean goes on; the completion always runs.
    void cleanExpiredDiskCache(std::function<void()> completion = nullptr);
    // The disk clean when the application enters the background.
    void backgroundCleanExpiredDiskCache();
    void calculateDiskStorageSize(std::function<void(std::expected<std::uint64_t, PicturaError>)> completion);
    // The same size, awaited.
    dispatch::Task<std::expected<std::uint64_t, PicturaError>> diskStorageSize();

private:
    ImageCache(std::shared_ptr<MemoryBackend> memoryStorage, std::shared_ptr<DiskBackend> diskStorage);
    void registerObservers();
    void syncStoreToDisk(const foundation::Data& data, const std::string& key, const std::string& processorIdentifier,
                         const CallbackQueue& callbackQueue, std::optional<StorageExpiration> expiration,
                         foundation::WriteOptions writeOptions, const StoreHandler& completionHandler);

    std::shared_ptr<MemoryBackend> memoryStorage_;
    std::shared_ptr<DiskBackend> diskStorage_;
    std::shared_ptr<dispatch::Queue> ioQueue_;
};

// The key an image is cached under: the key, then "@" and the processor's identifier when it has one.
std::string processedKey(const std::string& key, const std::string& processorIdentifier);

}  // namespace pictura
