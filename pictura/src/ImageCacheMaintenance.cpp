#include <vector>

#include "foundation/NotificationCenter.h"
#include "pictura/ImageCache.h"
#include "ui/Application.h"

namespace pictura {

namespace {

void onMain(std::function<void()> block) {
    if (block) dispatch::Queue::main()->async([block = std::move(block)] { block(); });
}

}  // namespace

void ImageCache::registerObservers() {
    auto& center = foundation::NotificationCenter::defaultCenter();
    std::weak_ptr<ImageCache> weak = shared_from_this();
    const std::weak_ptr<void> observer = weak;
    center.addObserver(observer, ui::Application::didReceiveMemoryWarningNotification,
                       [weak](const foundation::Notification&) {
                           if (auto cache = weak.lock()) cache->clearMemoryCache();
                       });
    center.addObserver(observer, ui::Application::willTerminateNotification, [weak](const foundation::Notification&) {
        if (auto cache = weak.lock()) cache->cleanExpiredDiskCache();
    });
    center.addObserver(observer, ui::Application::didEnterBackgroundNotification,
                       [weak](const foundation::Notification&) {
                           if (auto cache = weak.lock()) cache->backgroundCleanExpiredDiskCache();
                       });
}

ImageCache::~ImageCache() { foundation::NotificationCenter::defaultCenter().removeObserver(this); }

void ImageCache::clearMemoryCache() { memoryStorage_->removeAll(); }

void ImageCache::cleanExpiredMemoryCache() { memoryStorage_->removeExpired(); }

void ImageCache::clearDiskCache(std::function<void()> completion) {
    ioQueue_->async([self = shared_from_this(), completion = std::move(completion)]() mutable {
        (void)self->diskStorage_->files().removeAll();
        onMain(std::move(completion));
    });
}

void ImageCache::clearCache(std::function<void()> completion) {
    clearMemoryCache();
    clearDiskCache(std::move(completion));
}

void ImageCache::cleanExpiredDiskCache(std::function<void()> completion) {
    ioQueue_->async([self = shared_from_this(), completion = std::move(completion)]() mutable {
        auto& files = self->diskStorage_->files();
        std::vector<DiskStorage::Path> removed;
        // A folder that cannot be listed cleans nothing; the completion still runs.
        if (auto expired = files.removeExpiredValues()) removed = std::move(*expired);
        if (auto exceeded = files.removeSizeExceededValues())
            removed.insert(removed.end(), exceeded->begin(), exceeded->end());
        if (!removed.empty()) {
            std::vector<std::string> names;
            for (const auto& url : removed) names.push_back(url.filename().string());
            dispatch::Queue::main()->async([self, names = std::move(names)] {
                foundation::NotificationCenter::defaultCenter().post(
                    PicturaDidCleanDiskCache, self, {{std::string(PicturaDiskCacheCleanedHashKey), names}});
            });
        }
        onMain(std::move(completion));
    });
}

void ImageCache::cleanExpiredCache(std::function<void()> completion) {
    cleanExpiredMemoryCache();
    cleanExpiredDiskCache(std::move(completion));
}

// The process has no background time limit on Linux: the clean simply runs on the disk queue.
void ImageCache::backgroundCleanExpiredDiskCache() { cleanExpiredDiskCache(); }

void ImageCache::calculateDiskStorageSize(std::function<void(std::expected<std::uint64_t, PicturaError>)> completion) {
    ioQueue_->async([self = shared_from_this(), completion = std::move(completion)] {
        auto size = self->diskStorage_->files().totalSize();
        dispatch::Queue::main()->async([completion, size = std::move(size)] { completion(size); });
    });
}

dispatch::Task<std::expected<std::uint64_t, PicturaError>> ImageCache::diskStorageSize() {
    using Size = std::expected<std::uint64_t, PicturaError>;
    auto self = shared_from_this();
    std::function<void(std::function<void(Size)>)> start = [self](std::function<void(Size)> resume) {
        self->calculateDiskStorageSize(std::move(resume));
    };
    Size size = co_await dispatch::awaitCallback<Size>(std::move(start));
    co_return size;
}

}  // namespace pictura
