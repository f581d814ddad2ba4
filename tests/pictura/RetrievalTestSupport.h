#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "CacheTestSupport.h"
#include "DownloadServer.h"
#include "dispatch/RunLoop.h"
#include "pictura/ImageCache.h"
#include "pictura/PicturaManager.h"

namespace pictura::testing {

// A loopback server, a cache in a temporary folder, a downloader and a manager over them.
class RetrievalFixture : public ::testing::Test {
protected:
    void SetUp() override {
        cache = *ImageCache::create("retrieval", folder.path());
        downloader = ImageDownloader::make("retrieval");
        manager = PicturaManager::make(downloader, cache);
    }

    // Waits (turning the main run loop, where cache reads report) until `done` holds; short turns,
    // since other threads change what `done` reads without waking the loop.
    static bool waitUntil(const std::function<bool()>& done, double seconds = 30) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done() && std::chrono::steady_clock::now() < deadline) dispatch::RunLoop::main()->runUntil(done, 0.005);
        return done();
    }

    // One retrieval to its end.
    PicturaManager::RetrieveResult retrieve(const Source& source, PicturaOptionsInfo items = {}) {
        auto outcome = std::make_shared<std::optional<PicturaManager::RetrieveResult>>();
        manager->retrieveImage(source, items, nullptr, nullptr,
                               [outcome](PicturaManager::RetrieveResult result) { *outcome = std::move(result); });
        EXPECT_TRUE(waitUntil([&] { return outcome->has_value(); }));
        if (!outcome->has_value()) return std::unexpected(PicturaError::requestError(PicturaError::EmptyRequest{}));
        // Const: copying from a non-const one trips a constraint cycle in g++ 12's std::expected.
        return std::as_const(**outcome);
    }

    Source network(const std::string& path) { return Source::network(ImageResource(server.url(path))); }

    DownloadServer server;
    TempFolder folder;
    std::shared_ptr<ImageCache> cache;
    std::shared_ptr<ImageDownloader> downloader;
    std::shared_ptr<PicturaManager> manager;
};

}  // namespace pictura::testing
