#include "shell/ImageSeam.h"

#include <deque>
#include <mutex>

namespace {

// Bounded so that scrolling a long list for a whole session cannot grow it without end.
constexpr std::size_t recordLimit = 256;

std::mutex recordMutex;
std::deque<ImageRequest> recorded;

}  // namespace

void setRemoteImage(std::weak_ptr<ui::ImageView> view, std::string url, ImageRequestOptions options) {
    std::lock_guard lock(recordMutex);
    recorded.push_back({std::move(view), std::move(url), std::move(options)});
    if (recorded.size() > recordLimit) recorded.pop_front();
}

std::vector<ImageRequest> takeRecordedImageRequests() {
    std::lock_guard lock(recordMutex);
    std::vector<ImageRequest> requests(std::make_move_iterator(recorded.begin()),
                                       std::make_move_iterator(recorded.end()));
    recorded.clear();
    return requests;
}
