#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gfx/Image.h"
#include "net/ProtocolRegistry.h"
#include "pictura/ImageCache.h"
#include "pictura/ImageProcessor.h"
#include "ui/ImageView.h"

// What the screens pass along with an image address: at most a processor (the flags' SVG processor)
// and a placeholder. No processor means the image library's default decoding; no placeholder means
// the view is cleared while the image loads.
struct ImageRequestOptions {
    std::shared_ptr<const pictura::ImageProcessor> processor = nullptr;
    std::shared_ptr<gfx::Image> placeholder = nullptr;
};

struct ImageRequest {
    std::weak_ptr<ui::ImageView> view;
    std::string url;
    ImageRequestOptions options;
};

// Where remote images may come from and where they are kept.
struct RemoteImageSettings {
    // When set, only hosts this registry answers in-process are asked (the offline season): a picture
    // it lacks leaves the view's placeholder and nothing goes out to the network.
    std::shared_ptr<net::ProtocolRegistry> inProcessOnly;
    // Null: the image library's default cache.
    std::shared_ptr<pictura::ImageCache> cache;
};
RemoteImageSettings remoteImageSettings();
// Holds until the next call; requests already made keep the settings they started with.
void setRemoteImageSettings(RemoteImageSettings settings);

// Decoded pictures the app keeps in memory for reuse, in bytes. Without a bound the image library keeps
// them up to a quarter of the machine's memory for minutes, so the pictures of closed screens stay.
inline constexpr std::int64_t imageMemoryLimit = 32LL << 20;
// Bounds the memory level of the cache requests use now (the settings' cache, else the library's
// default); a lower bound already set stays. The program's start does this.
void limitImageMemory(std::int64_t bytes = imageMemoryLimit);

// The one way the screens set a remote image: through the image library's builder, which looks it up in
// the caches, downloads it on a miss, processes it and sets it on the view if the view still waits for
// this request. An address that does not parse asks for nothing and leaves the view cleared (or on its
// placeholder). Every request is also recorded, for tests. Main thread.
void setRemoteImage(std::weak_ptr<ui::ImageView> view, std::string url, ImageRequestOptions options = {});

// Stops the view waiting for its latest request, so a load still under way never lands on it (a reused
// row that now shows something else). Main thread.
void cancelRemoteImage(const std::shared_ptr<ui::ImageView>& view);

// The address the view still waits for: its latest request, unless cancelled since.
std::optional<std::string> awaitedImageURL(const std::shared_ptr<ui::ImageView>& view);

// The requests recorded since the last call, oldest first (at most the latest 256 are kept).
std::vector<ImageRequest> takeRecordedImageRequests();
