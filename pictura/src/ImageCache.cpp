#include "pictura/ImageCache.h"

#include <unistd.h>

#include "FatalStop.h"
#include "foundation/UUID.h"
#include "pictura/ImageWrapper.h"

namespace pictura {

namespace {

// Carries a processor identifier inside options; never processes anything.
class TempProcessor final : public ImageProcessor {
public:
    explicit TempProcessor(std::string identifier) : identifier_(std::move(identifier)) {}
    std::string identifier() const override { return identifier_; }
    std::shared_ptr<gfx::Image> process(const ImageProcessItem&, const PicturaParsedOptionsInfo&) const override {
        return nullptr;
    }

private:
    std::string identifier_;
};

std::int64_t physicalMemory() {
    const auto pages = sysconf(_SC_PHYS_PAGES);
    const auto pageSize = sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0 ? static_cast<std::int64_t>(pages) * pageSize : 0;
}

MemoryStorage::Config memoryConfig() {
    return MemoryStorage::Config(static_cast<std::int64_t>(static_cast<std::uint64_t>(physicalMemory()) >> 2), 120);
}

void checkName(const std::string& name) {
    if (name.empty())
        detail::fatalStop("Pictura/ImageCache",
                          "[Pictura] You should specify a name for the cache. A cache with empty name is not permitted.");
}

const CacheSerializer& serializerOf(const PicturaParsedOptionsInfo& options) {
    return options.cacheSerializer ? *options.cacheSerializer : *DefaultCacheSerializer::defaultSerializer();
}

}  // namespace

std::int64_t CacheCostCalculable<std::shared_ptr<gfx::Image>>::cacheCost(const std::shared_ptr<gfx::Image>& image) {
    if (!image) return 0;
    const auto size = image->size();
    const auto pixels = static_cast<std::int64_t>(size.width * size.height * image->scale() * image->scale());
    if (!image->bitmap()) return pixels * 4;
    const std::int64_t bytesPerPixel = 4;  // every bitmap holds 32-bit pixels
    const auto cost = pixels * bytesPerPixel;
    return image->isAnimated() ? cost * static_cast<std::int64_t>(image->frames().size()) : cost;
}

std::string processedKey(const std::string& key, const std::string& processorIdentifier) {
    return processorIdentifier.empty() ? key : key + "@" + processorIdentifier;
}

const std::shared_ptr<ImageCache>& ImageCache::defaultCache() {
    // Never destroyed: it serves until the process ends, exit handlers included.
    static const auto* shared = new std::shared_ptr<ImageCache>(create("default"));
    return *shared;
}

std::shared_ptr<ImageCache> ImageCache::create(const std::string& name) {
    checkName(name);
    DiskStorage::Config config(name, 0);
    return create(MemoryBackend::create(memoryConfig()), DiskBackend::create(std::move(config), true));
}

std::expected<std::shared_ptr<ImageCache>, PicturaError> ImageCache::create(const std::string& name,
                                                                          std::optional<DiskStorage::Path> cacheDirectoryURL,
                                                                          PathClosure diskCachePathClosure) {
    checkName(name);
    DiskStorage::Config config(name, 0, foundation::FileManager::defaultManager(), std::move(cacheDirectoryURL));
    if (diskCachePathClosure) config.cachePathBlock = std::move(diskCachePathClosure);
    auto disk = DiskBackend::create(std::move(config));
    if (!disk) return std::unexpected(disk.error());
    return create(MemoryBackend::create(memoryConfig()), std::move(*disk));
}

std::shared_ptr<ImageCache> ImageCache::create(std::shared_ptr<MemoryBackend> memoryStorage,
                                               std::shared_ptr<DiskBackend> diskStorage) {
    auto cache = std::shared_ptr<ImageCache>(new ImageCache(std::move(memoryStorage), std::move(diskStorage)));
    cache->registerObservers();
    return cache;
}

ImageCache::ImageCache(std::shared_ptr<MemoryBackend> memoryStorage, std::shared_ptr<DiskBackend> diskStorage)
    : memoryStorage_(std::move(memoryStorage)),
      diskStorage_(std::move(diskStorage)),
      ioQueue_(dispatch::Queue::serial("com.tolvane.Pictura.ImageCache.ioQueue." + foundation::UUID::random().uuidString())) {}

void ImageCache::store(const ImagePointer& image, const std::optional<foundation::Data>& original,
                       const std::string& key, const PicturaParsedOptionsInfo& options, bool toDisk,
                       StoreHandler completionHandler) {
    const auto identifier = options.processor ? options.processor->identifier() : std::string();
    const auto callbackQueue = options.callbackQueue;
    const auto computedKey = processedKey(key, identifier);
    memoryStorage_->store(image, computedKey, options.memoryCacheExpiration);
    if (!toDisk) {
        if (completionHandler)
            callbackQueue.execute([completionHandler] { completionHandler(CacheStoreResult{{}, {}}); });
        return;
    }
    auto serializer = options.cacheSerializer ? options.cacheSerializer
                                              : std::shared_ptr<const CacheSerializer>(DefaultCacheSerializer::defaultSerializer());
    ioQueue_->async([self = shared_from_this(), image, original, key, identifier, callbackQueue, serializer,
                     expiration = options.diskCacheExpiration, writeOptions = options.diskStoreWriteOptions,
                     completionHandler] {
        auto data = serializer->data(image, original);
        if (!data) {
            if (completionHandler)
                callbackQueue.execute([=] {
                    completionHandler(CacheStoreResult{
                        {}, std::unexpected(PicturaError::cacheError(PicturaError::CannotSerializeImage{image, original, serializer}))});
                });
            return;
        }
        self->syncStoreToDisk(*data, key, identifier, callbackQueue, expiration, writeOptions, completionHandler);
    });
}

void ImageCache::store(const ImagePointer& image, const std::optional<foundation::Data>& original,
                       const std::string& key, const std::string& processorIdentifier,
                       std::shared_ptr<const CacheSerializer> serializer, bool toDisk, CallbackQueue callbackQueue,
                       StoreHandler completionHandler) {
    PicturaParsedOptionsInfo options({PicturaOptionsInfoItem::processor(std::make_shared<TempProcessor>(processorIdentifier)),
                                      PicturaOptionsInfoItem::cacheSerializer(std::move(serializer)),
                                      PicturaOptionsInfoItem::callbackQueue(std::move(callbackQueue))});
    store(image, original, key, options, toDisk, std::move(completionHandler));
}

void ImageCache::storeToDisk(const foundation::Data& data, const std::string& key, const std::string& processorIdentifier,
                             std::optional<StorageExpiration> expiration, CallbackQueue callbackQueue,
                             StoreHandler completionHandler) {
    ioQueue_->async([self = shared_from_this(), data, key, processorIdentifier, expiration, callbackQueue, completionHandler] {
        self->syncStoreToDisk(data, key, processorIdentifier, callbackQueue, expiration, {}, completionHandler);
    });
}

void ImageCache::syncStoreToDisk(const foundation::Data& data, const std::string& key,
                                 const std::string& processorIdentifier, const CallbackQueue& callbackQueue,
                                 std::optional<StorageExpiration> expiration, foundation::WriteOptions writeOptions,
                                 const StoreHandler& completionHandler) {
    auto stored = diskStorage_->store(data, processedKey(key, processorIdentifier), expiration, writeOptions);
    if (completionHandler)
        callbackQueue.execute([completionHandler, stored = std::move(stored)] {
            completionHandler(CacheStoreResult{{}, stored});
        });
}

void ImageCache::removeImage(const std::string& key, const std::string& processorIdentifier, bool fromMemory,
                             bool fromDisk, CallbackQueue callbackQueue, std::function<void()> completionHandler) {
    const auto computedKey = processedKey(key, processorIdentifier);
    if (fromMemory) memoryStorage_->remove(computedKey);
    if (!fromDisk) {
        if (completionHandler) callbackQueue.execute([completionHandler] { completionHandler(); });
        return;
    }
    ioQueue_->async([self = shared_from_this(), computedKey, callbackQueue, completionHandler] {
        (void)self->diskStorage_->files().remove(computedKey);
        if (completionHandler) callbackQueue.execute([completionHandler] { completionHandler(); });
    });
}

void ImageCache::retrieveImage(const std::string& key, const PicturaParsedOptionsInfo& options,
                               CallbackQueue callbackQueue, RetrieveHandler completionHandler) {
    if (!completionHandler) return;
    if (auto image = retrieveImageInMemoryCache(key, options)) {
        callbackQueue.execute([completionHandler, image] { completionHandler(ImageCacheResult::memory(image)); });
        return;
    }
    if (options.fromMemoryCacheOrRefresh) {
        callbackQueue.execute([completionHandler] { completionHandler(ImageCacheResult::none()); });
        return;
    }
    retrieveImageInDiskCache(
        key, options, callbackQueue,
        [self = shared_from_this(), key, options, callbackQueue, completionHandler](std::expected<ImagePointer, PicturaError> result) {
            if (!result) {
                callbackQueue.execute([completionHandler, error = result.error()] { completionHandler(std::unexpected(error)); });
                return;
            }
            auto image = *result;
            if (!image) {
                callbackQueue.execute([completionHandler] { completionHandler(ImageCacheResult::none()); });
                return;
            }
            auto memoryOptions = options;
            memoryOptions.callbackQueue = CallbackQueue::untouch();
            self->store(image, std::nullopt, key, memoryOptions, false, [callbackQueue, completionHandler, image](CacheStoreResult) {
                callbackQueue.execute([completionHandler, image] { completionHandler(ImageCacheResult::disk(image)); });
            });
        });
}

ImageCache::ImagePointer ImageCache::retrieveImageInMemoryCache(const std::string& key, const PicturaParsedOptionsInfo& options) {
    const auto identifier = options.processor ? options.processor->identifier() : std::string();
    return memoryStorage_->value(processedKey(key, identifier), options.memoryCacheAccessExtendingExpiration).value_or(nullptr);
}

void ImageCache::retrieveImageInDiskCache(const std::string& key, const PicturaParsedOptionsInfo& options,
                                          CallbackQueue callbackQueue, DiskRetrieveHandler completionHandler) {
    const auto identifier = options.processor ? options.processor->identifier() : std::string();
    auto load = [self = shared_from_this(), computedKey = processedKey(key, identifier), options, callbackQueue,
                 completionHandler] {
        auto data = self->diskStorage_->value(computedKey, foundation::Date::now(), true,
                                              options.diskCacheAccessExtendingExpiration);
        if (!data) {
            callbackQueue.execute([completionHandler, error = data.error()] { completionHandler(std::unexpected(error)); });
            return;
        }
        ImagePointer image;
        if (*data) {
            image = serializerOf(options).image(**data, options);
            // A file that no longer decodes would be a hit that never shows: it goes, and the image
            // is fetched again.
            if (!image) self->diskStorage_->files().discard(computedKey, **data);
        }
        if (options.backgroundDecode) image = pc(image).decoded(options.scaleFactor);
        callbackQueue.execute([completionHandler, image] { completionHandler(image); });
    };
    if (options.loadDiskFileSynchronously)
        load();
    else
        ioQueue_->async(std::move(load));
}

CacheType ImageCache::imageCachedType(const std::string& key, const std::string& processorIdentifier) {
    const auto computedKey = processedKey(key, processorIdentifier);
    if (memoryStorage_->isCached(computedKey)) return CacheType::memory;
    if (diskStorage_->isCached(computedKey)) return CacheType::disk;
    return CacheType::none;
}

std::string ImageCache::hash(const std::string& key, const std::string& processorIdentifier) const {
    return diskStorage_->files().cacheFileName(processedKey(key, processorIdentifier));
}

std::string ImageCache::cachePath(const std::string& key, const std::string& processorIdentifier) const {
    return diskStorage_->files().cacheFileURL(processedKey(key, processorIdentifier)).string();
}

}  // namespace pictura
