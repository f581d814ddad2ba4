#include "shell/ImageSeam.h"

#include <deque>
#include <map>
#include <mutex>

namespace {

// Bounded so that scrolling a long list for a whole session cannot grow it without end.
constexpr std::size_t recordLimit = 256;

std::mutex recordMutex;
std::deque<ImageRequest> recorded;
// What each view waits for; views that are gone are dropped as the map grows.
std::map<std::weak_ptr<ui::ImageView>, std::string, std::owner_less<>> awaited;

}  // namespace

void setRemoteImage(std::weak_ptr<ui::ImageView> view, std::string url, ImageRequestOptions options) {
    std::lock_guard lock(recordMutex);
    if (awaited.size() >= recordLimit) std::erase_if(awaited, [](const auto& entry) { return entry.first.expired(); });
    awaited[view] = url;
    recorded.push_back({std::move(view), std::move(url), std::move(options)});
    if (recorded.size() > recordLimit) recorded.pop_front();
}

void cancelRemoteImage(const std::shared_ptr<ui::ImageView>& view) {
    std::lock_guard lock(recordMutex);
    if (auto found = awaited.find(view); found != awaited.end()) awaited.erase(found);
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
