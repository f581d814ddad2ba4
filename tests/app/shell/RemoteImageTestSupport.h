#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <unistd.h>

#include "dispatch/RunLoop.h"
#include "pictura/ImageCache.h"
#include "shell/ImageSeam.h"

namespace imagetest {

// An image cache in a temporary folder of its own, used by the image seam while the value lives; the
// folder goes with it.
class TemporaryImageCache {
public:
    TemporaryImageCache() {
        std::string pattern = (std::filesystem::temp_directory_path() / "sorvane-images-XXXXXX").string();
        folder_ = ::mkdtemp(pattern.data()) ? std::filesystem::path(pattern) : std::filesystem::path();
        auto made = pictura::ImageCache::create("test", folder_);
        EXPECT_TRUE(made) << "no cache in " << folder_;
        if (made) cache = *made;
        auto settings = previous_ = remoteImageSettings();
        settings.cache = cache;
        setRemoteImageSettings(settings);
    }
    ~TemporaryImageCache() {
        auto settings = remoteImageSettings();
        settings.cache = previous_.cache;
        setRemoteImageSettings(settings);
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }
    TemporaryImageCache(const TemporaryImageCache&) = delete;
    TemporaryImageCache& operator=(const TemporaryImageCache&) = delete;

    std::shared_ptr<pictura::ImageCache> cache;

private:
    std::filesystem::path folder_;
    RemoteImageSettings previous_;
};

// Turns the main run loop in short steps (downloads report from other threads) until `done` holds.
inline bool waitUntil(const std::function<bool()>& done, double seconds = 30) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done() && std::chrono::steady_clock::now() < deadline) dispatch::RunLoop::main()->runUntil(done, 0.005);
    return done();
}

}  // namespace imagetest
