#include "shell/ImageSeam.h"

#include <deque>
#include <map>
#include <mutex>

#include "foundation/URL.h"
#include "pictura/ImageViewWrapper.h"
#include "pictura/PCBuilder.h"
#include "pictura/RequestModifier.h"

namespace {

// Bounded so that scrolling a long list for a whole session cannot grow it without end.
constexpr std::size_t recordLimit = 256;

std::mutex recordMutex;
std::deque<ImageRequest> recorded;
// What each view waits for; views that are gone are dropped as the map grows.
std::map<std::weak_ptr<ui::ImageView>, std::string, std::owner_less<>> awaited;
RemoteImageSettings settings;

// Lets a request out only to a host the registry answers in-process; any other gives no request, so
// the retrieval fails at once without a transfer.
class InProcessHostsOnly final : public pictura::ImageDownloadRequestModifier {
public:
    explicit InProcessHostsOnly(std::shared_ptr<net::ProtocolRegistry> registry) : registry_(std::move(registry)) {}

    using pictura::ImageDownloadRequestModifier::modified;
    std::optional<net::Request> modified(const net::Request& request) const override {
        auto host = request.url ? request.url->host() : std::nullopt;
        if (!host || !registry_->handlerFor(*host)) return std::nullopt;
        return request;
    }

private:
    std::shared_ptr<net::ProtocolRegistry> registry_;
};

}  // namespace

RemoteImageSettings remoteImageSettings() {
    std::lock_guard lock(recordMutex);
    return settings;
}

void setRemoteImageSettings(RemoteImageSettings newSettings) {
    std::lock_guard lock(recordMutex);
    settings = std::move(newSettings);
}

void limitImageMemory(std::int64_t bytes) {
    auto cache = remoteImageSettings().cache;
    if (!cache) cache = pictura::ImageCache::defaultCache();
    const auto& memory = cache->memoryStorage();
    auto config = memory->config();
    if (config.totalCostLimit > 0 && config.totalCostLimit <= bytes) return;
    config.totalCostLimit = bytes;
    memory->setConfig(config);
}

void setRemoteImage(std::weak_ptr<ui::ImageView> view, std::string url, ImageRequestOptions options) {
    RemoteImageSettings current;
    {
        std::lock_guard lock(recordMutex);
        if (awaited.size() >= recordLimit) std::erase_if(awaited, [](const auto& entry) { return entry.first.expired(); });
        awaited[view] = url;
        recorded.push_back({view, url, options});
        if (recorded.size() > recordLimit) recorded.pop_front();
        current = settings;
    }
    auto target = view.lock();
    if (!target) return;
    auto builder = pictura::PC::url(foundation::URL::fromString(url));
    builder->placeholder(options.placeholder);
    if (options.processor) builder->setProcessor(options.processor);
    if (current.cache) builder->targetCache(current.cache)->originalCache(current.cache);
    if (current.inProcessOnly) builder->requestModifier(std::make_shared<const InProcessHostsOnly>(current.inProcessOnly));
    builder->set(target);
}

void cancelRemoteImage(const std::shared_ptr<ui::ImageView>& view) {
    {
        std::lock_guard lock(recordMutex);
        if (auto found = awaited.find(view); found != awaited.end()) awaited.erase(found);
    }
    // A request without a source leaves the view waiting for nothing, so a load under way never lands.
    pictura::pc(view).cancelDownloadTask();
    pictura::PC::source(std::nullopt)->set(view);
}

std::optional<std::string> awaitedImageURL(const std::shared_ptr<ui::ImageView>& view) {
    std::lock_guard lock(recordMutex);
    auto found = awaited.find(view);
    if (found == awaited.end()) return std::nullopt;
    return found->second;
}

std::vector<ImageRequest> takeRecordedImageRequests() {
    std::lock_guard lock(recordMutex);
    std::vector<ImageRequest> requests(std::make_move_iterator(recorded.begin()),
                                       std::make_move_iterator(recorded.end()));
    recorded.clear();
    return requests;
}
