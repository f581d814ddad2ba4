#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dispatch/Queue.h"
#include "pictura/PicturaManager.h"

namespace pictura {

// Warms the caches for images before they are shown, at most `maxConcurrentDownloads` retrievals at
// once. Progress after each source and one completion at the end, on the main thread, each with the
// skipped, failed and completed sources. All bookkeeping runs on the prefetcher's own serial queue.
class ImagePrefetcher : public std::enable_shared_from_this<ImagePrefetcher> {
public:
    using Block = std::function<void(const std::vector<ImageResource>& skipped, const std::vector<ImageResource>& failed,
                                     const std::vector<ImageResource>& completed)>;
    using SourceBlock = std::function<void(const std::vector<Source>& skipped, const std::vector<Source>& failed,
                                           const std::vector<Source>& completed)>;

    static std::shared_ptr<ImagePrefetcher> make(const std::vector<foundation::URL>& urls,
                                                 const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                                 Block progressBlock = nullptr, Block completionHandler = nullptr);
    static std::shared_ptr<ImagePrefetcher> make(const std::vector<ImageResource>& resources,
                                                 const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                                 Block progressBlock = nullptr, Block completionHandler = nullptr);
    static std::shared_ptr<ImagePrefetcher> make(std::vector<Source> sources,
                                                 const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                                 SourceBlock progressBlock = nullptr, SourceBlock completionHandler = nullptr);

    // Read once, when the started work begins; not guarded.
    int maxConcurrentDownloads = 5;

    // Both return at once; the work runs on the prefetcher's queue.
    void start();
    // Cancels the running downloads; everything not yet done counts as failed, and nothing new begins.
    void stop();

    // The object's address, "0x" and sixteen hexadecimal digits.
    std::string description() const;

    const std::vector<Source> prefetchSources;
    const PicturaParsedOptionsInfo optionsInfo;
    const std::shared_ptr<PicturaManager> manager;

private:
    ImagePrefetcher(std::vector<Source> sources, const std::optional<PicturaOptionsInfo>& options);

    void beginSource(const Source& source);
    void fetchAndStore(const Source& source);
    void fetchCompleted(std::uint64_t fetch, const Source& source, bool succeeded);
    std::shared_ptr<RetrievingContext> makeContext(const Source& source) const;
    void recordSkipped(const Source& source);
    void advanceOrFinish();
    void finishIfStopped();
    void deliverCompletion();
    void publishProgress();
    bool allAccounted() const;
    bool isDone() const { return allAccounted() && tasks_.empty(); }

    Block progressBlock_;
    Block completionHandler_;
    SourceBlock progressSourceBlock_;
    SourceBlock completionSourceHandler_;

    const std::shared_ptr<::dispatch::Queue> pretchQueue_;
    // Keyed per fetch: two sources with one cache key are two fetches, each cancelled by stop().
    std::map<std::uint64_t, WrappedTask> tasks_;
    std::uint64_t nextFetch_ = 0;
    // Disk hits being brought into memory: begun, not yet recorded.
    int lookingUp_ = 0;
    std::size_t pendingIndex_ = 0;
    std::vector<Source> skippedSources_;
    std::vector<Source> completedSources_;
    std::vector<Source> failedSources_;
    bool stopped_ = false;
};

}  // namespace pictura
