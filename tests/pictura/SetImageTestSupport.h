#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "RetrievalTestSupport.h"
#include "gfx/Color.h"
#include "pictura/ImageDataProviders.h"
#include "pictura/PlatformWrappers.h"
#include "ui/HeadlessHost.h"
#include "ui/RunLoopBridge.h"

namespace pictura::testing {

// Keeps the view toolkit's delayed work (animation and transition completions) until the test lets it
// run, so the steps of a transition can be looked at one by one. The end-of-turn work (rendering) goes
// to the main queue as usual.
class HeldDelays final : public ui::RunLoopBridge {
public:
    void performAtEndOfTurn(std::function<void()> work) override { mainQueue_.performAtEndOfTurn(std::move(work)); }
    void performAfter(double seconds, std::function<void()> work) override {
        held_.push_back({seconds, std::move(work)});
    }

    // The delays of the work held now, in the order it was asked for.
    std::vector<double> delays() const {
        std::vector<double> seconds;
        for (const auto& entry : held_) seconds.push_back(entry.seconds);
        return seconds;
    }
    bool empty() const { return held_.empty(); }
    // Runs what is held now; work it asks for is held anew.
    void runHeld() {
        auto work = std::move(held_);
        held_.clear();
        for (auto& entry : work) entry.work();
    }

private:
    struct Entry {
        double seconds;
        std::function<void()> work;
    };
    ui::MainQueueBridge mainQueue_;
    std::vector<Entry> held_;
};

// What one set-image call reported, and how often.
struct Report {
    int calls = 0;
    std::optional<PicturaManager::RetrieveResult> result;

    bool succeeded() const { return result && result->has_value(); }
    std::shared_ptr<gfx::Image> image() const { return succeeded() ? (*result)->image : nullptr; }
    int code() const { return result && !result->has_value() ? result->error().errorCode() : 0; }
    const PicturaError::NotCurrentSourceTask* notCurrent() const {
        if (!result || result->has_value()) return nullptr;
        const auto* reason = result->error().imageSettingErrorReason();
        return reason ? std::get_if<PicturaError::NotCurrentSourceTask>(reason) : nullptr;
    }
};

inline SetImageCompletionHandler reportTo(const std::shared_ptr<Report>& report) {
    return [report](PicturaManager::RetrieveResult result) {
        ++report->calls;
        report->result = std::move(result);
    };
}

// A window without display over the retrieval fixture; set-image goes through the shared manager, told
// to use this fixture's cache and downloader by option items.
class SetImageFixture : public RetrievalFixture {
protected:
    void SetUp() override {
        RetrievalFixture::SetUp();
        ui::setRunLoopBridge(delays);
        view->setFrame({0, 0, 100, 100});
        host.window()->addSubview(view);
    }
    void TearDown() override {
        server.openGate();
        ui::setRunLoopBridge(nullptr);
    }

    PicturaOptionsInfo items(PicturaOptionsInfo extra = {}) const {
        PicturaOptionsInfo all{PicturaOptionsInfoItem::targetCache(cache), PicturaOptionsInfoItem::downloader(downloader)};
        all.insert(all.end(), extra.begin(), extra.end());
        return all;
    }
    // The picture of `path`, loaded into the memory cache.
    std::shared_ptr<gfx::Image> cached(const std::string& path) {
        auto result = retrieve(network(path), {PicturaOptionsInfoItem::waitForCache()});
        EXPECT_TRUE(result);
        return result ? result->image : nullptr;
    }
    bool waitFor(const std::shared_ptr<Report>& report, int calls = 1, double seconds = 30) {
        return waitUntil([&] { return report->calls >= calls; }, seconds);
    }
    static std::shared_ptr<gfx::Image> solid(gfx::Color color, int size = 4) {
        auto bitmap = gfx::Bitmap::make(size, size);
        for (int y = 0; y < size; ++y) std::fill_n(bitmap.row(y), size, color.premultipliedPixel());
        return gfx::Image::fromBitmap(std::move(bitmap));
    }

    ui::HeadlessHost host{{{200, 200}, 1}};
    std::shared_ptr<HeldDelays> delays = std::make_shared<HeldDelays>();
    std::shared_ptr<ui::ImageView> view = std::make_shared<ui::ImageView>();
};

}  // namespace pictura::testing
