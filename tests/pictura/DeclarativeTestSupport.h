#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

#include "CacheTestSupport.h"
#include "DownloadServer.h"
#include "declarative/HostingView.h"
#include "dispatch/RunLoop.h"
#include "pictura/ImageCache.h"
#include "pictura/ImageDownloader.h"
#include "pictura/PicturaManager.h"
#include "ui/HeadlessHost.h"
#include "ui/ImageView.h"

namespace pictura::testing {

// The declarative views load through the shared manager: each test gives it a cache in a temporary
// folder and a downloader of its own, and puts the old ones back afterwards.
class DeclarativeFixture : public ::testing::Test {
protected:
    void SetUp() override {
        const auto& shared = PicturaManager::shared();
        savedCache = shared->cache();
        savedDownloader = shared->downloader();
        cache = *ImageCache::create("declarative", folder.path());
        shared->setCache(cache);
        shared->setDownloader(ImageDownloader::make("declarative"));
    }
    void TearDown() override {
        // Loads still under way end before the cache folder goes.
        server.openGate();
        for (const auto& hosting : hosted) hosting->removeFromSuperview();
        hosted.clear();
        settle(0.05);
        PicturaManager::shared()->setCache(savedCache);
        PicturaManager::shared()->setDownloader(savedDownloader);
    }

    // Turns the main run loop in short turns (other threads change what `done` reads) until it holds.
    static bool waitUntil(const std::function<bool()>& done, double seconds = 30) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done() && std::chrono::steady_clock::now() < deadline) dispatch::RunLoop::main()->runUntil(done, 0.005);
        return done();
    }
    // Turns the main run loop for a while, whatever happens.
    static void settle(double seconds) {
        waitUntil([] { return false; }, seconds);
    }

    std::shared_ptr<declarative::HostingView> host(declarative::AnyView view, bool inWindow = true) {
        auto hosting = declarative::HostingView::make(std::move(view));
        hosting->setFrame({0, 0, 100, 80});
        if (inWindow) hostWindow.window()->addSubview(hosting);
        hosted.push_back(hosting);
        return hosting;
    }

    // The first image view under `view`, depth first: the declarative views draw their image there.
    static std::shared_ptr<ui::ImageView> imageViewIn(const std::shared_ptr<ui::View>& view) {
        if (auto image = std::dynamic_pointer_cast<ui::ImageView>(view)) return image;
        for (const auto& child : view->subviews())
            if (auto found = imageViewIn(child)) return found;
        return nullptr;
    }
    // Whether the view's image view shows a picture (not the empty image of a view still loading).
    static bool showsPicture(const std::shared_ptr<ui::View>& view) {
        auto image = imageViewIn(view);
        return image && image->image() && image->image()->bitmap();
    }

    DownloadServer server;
    TempFolder folder;
    std::shared_ptr<ImageCache> cache;
    ui::HeadlessHost hostWindow{{{200, 200}, 1}};
    std::vector<std::shared_ptr<declarative::HostingView>> hosted;

private:
    std::shared_ptr<ImageCache> savedCache;
    std::shared_ptr<ImageDownloader> savedDownloader;
};

}  // namespace pictura::testing
