#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gfx/Image.h"
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

// The one way the screens set a remote image: look it up in the caches, download it on a miss, process
// it and set it on the view if the view still waits for this request. Main thread.
// Until the image library is wired in, a request is only recorded.
void setRemoteImage(std::weak_ptr<ui::ImageView> view, std::string url, ImageRequestOptions options = {});

// Stops the view waiting for its latest request, so a load still under way never lands on it (a reused
// row that now shows something else). Main thread.
void cancelRemoteImage(const std::shared_ptr<ui::ImageView>& view);

// The address the view still waits for: its latest request, unless cancelled since.
std::optional<std::string> awaitedImageURL(const std::shared_ptr<ui::ImageView>& view);

// The requests recorded since the last call, oldest first (at most the latest 256 are kept).
std::vector<ImageRequest> takeRecordedImageRequests();
