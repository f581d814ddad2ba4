#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ImageSamples.h"
#include "RetrievalTestSupport.h"
#include "dispatch/Queue.h"
#include "gfx/AttributedString.h"
#include "pictura/PCBuilder.h"
#include "ui/HeadlessHost.h"

namespace pictura {
namespace {

// What a builder's callbacks heard, and whether each ran on the main thread.
struct Heard {
    int successes = 0;
    int progress = 0;
    std::vector<int> failureCodes;
    bool offMain = false;

    std::shared_ptr<PC::Builder> listen(std::shared_ptr<PC::Builder> builder) {
        return builder
            ->onSuccess([this](const RetrieveImageResult&) {
                ++successes;
                offMain |= !dispatch::isMainThread();
            })
            ->onFailure([this](const PicturaError& error) { failureCodes.push_back(error.errorCode()); })
            ->onProgress([this](std::int64_t, std::int64_t) {
                ++progress;
                offMain |= !dispatch::isMainThread();
            });
    }
};

// Image views in the headless host's window, requests through the builder against the loopback server,
// stored in the fixture's temporary cache by its own downloader.
class PCBuilderTest : public testing::RetrievalFixture {
protected:
    void SetUp() override {
        testing::RetrievalFixture::SetUp();
        host.window()->addSubview(first);
        host.window()->addSubview(second);
    }

    std::shared_ptr<PC::Builder> builder(const std::string& path) {
        return heard.listen(PC::url(server.url(path))->targetCache(cache)->downloader(downloader));
    }

    ui::HeadlessHost host;
    std::shared_ptr<ui::ImageView> first = std::make_shared<ui::ImageView>();
    std::shared_ptr<ui::ImageView> second = std::make_shared<ui::ImageView>();
    Heard heard;
};

TEST_F(PCBuilderTest, aDroppedBuilderSetsTheImageAndReportsOnceOnTheMainThread) {
    std::weak_ptr<PC::Builder> weak;
    {
        auto made = builder("/image/dropped");
        weak = made;
        EXPECT_TRUE(made->set(first));
    }
    ASSERT_FALSE(weak.expired()) << "the running request holds the builder";
    ASSERT_TRUE(waitUntil([&] { return heard.successes == 1; }));
    ASSERT_TRUE(first->image());
    EXPECT_EQ(first->image()->pixelWidth(), 16);
    EXPECT_TRUE(heard.failureCodes.empty());
    EXPECT_GE(heard.progress, 1);
    EXPECT_FALSE(heard.offMain);
    EXPECT_TRUE(waitUntil([&] { return weak.expired(); })) << "released once the request has ended";

    // From memory now: no download, so no progress, and reported before set returns.
    const int progressBefore = heard.progress;
    builder("/image/dropped")->set(second);
    EXPECT_EQ(heard.successes, 2);
    EXPECT_EQ(heard.progress, progressBefore);
    EXPECT_EQ(second->image()->pixelWidth(), 16);
    EXPECT_EQ(server.hits("/image/dropped"), 1);
}

TEST_F(PCBuilderTest, noSourceShowsThePlaceholderAndFailsBeforeReturning) {
    auto placeholder = samples::image(samples::filled(2, 2, {0, 0, 1, 1}));
    auto made = heard.listen(PC::url(std::nullopt)->placeholder(placeholder));
    EXPECT_FALSE(made->set(first));
    EXPECT_EQ(heard.failureCodes, std::vector<int>{5001});
    EXPECT_EQ(first->image(), placeholder);
    EXPECT_FALSE(pc(first).taskIdentifier());
}

TEST_F(PCBuilderTest, aSecondSetOnTheSameViewOvertakesTheFirst) {
    auto made = builder("/held/twice");
    made->set(first);
    ASSERT_TRUE(server.waitForHits("/held/twice"));
    made->set(first);
    server.openGate();
    ASSERT_TRUE(waitUntil([&] { return heard.successes + heard.failureCodes.size() == 2; }));
    EXPECT_EQ(heard.successes, 1);
    EXPECT_EQ(heard.failureCodes, std::vector<int>{5002});
    EXPECT_TRUE(first->image());
}

TEST_F(PCBuilderTest, optionsChangedAfterASetReachOnlyTheNextSet) {
    auto made = builder("/image/changed");
    made->set(first);
    made->blackWhite();
    made->set(second);
    ASSERT_TRUE(waitUntil([&] { return heard.successes == 2; }));
    // The noise picture has colour; its black-and-white form has none.
    auto grey = [](const std::shared_ptr<ui::ImageView>& view) {
        const auto& bitmap = *view->image()->bitmap();
        for (int y = 0; y < bitmap.height; ++y)
            for (int x = 0; x < bitmap.width; ++x) {
                const auto pixel = bitmap.pixel(x, y);
                if ((pixel & 0xff) != ((pixel >> 8) & 0xff) || (pixel & 0xff) != ((pixel >> 16) & 0xff)) return false;
            }
        return true;
    };
    EXPECT_FALSE(grey(first));
    EXPECT_TRUE(grey(second));
}

TEST_F(PCBuilderTest, aBuilderGivenOnlyItsOwnCacheKeepsTheOriginalThereToo) {
    const auto url = server.url("/image/own-cache");
    auto made = builder("/image/own-cache")->blackWhite()->cacheOriginalImage()->waitForCache();
    EXPECT_EQ(made->options().originalCache, nullptr);
    made->set(first);
    ASSERT_TRUE(waitUntil([&] { return heard.successes == 1; }));
    EXPECT_EQ(cache->imageCachedType(url.absoluteString(), ""), CacheType::disk);
    EXPECT_EQ(ImageCache::defaultCache()->imageCachedType(url.absoluteString(), ""), CacheType::none);
}

TEST_F(PCBuilderTest, registeringOnSuccessAgainReplacesTheEarlierBlock) {
    std::vector<std::string> calls;
    auto made = builder("/image/replaced");
    made->onSuccess([&](const RetrieveImageResult&) { calls.push_back("first"); });
    made->onSuccess([&](const RetrieveImageResult&) { calls.push_back("second"); });
    made->set(first);
    ASSERT_TRUE(waitUntil([&] { return !calls.empty(); }));
    EXPECT_EQ(calls, std::vector<std::string>{"second"});
}

TEST_F(PCBuilderTest, otherTargetsTakeOnlyAnImagePlaceholderAndShareTheCallbacks) {
    auto covering = std::make_shared<ui::View>();
    auto button = ui::Button::make();
    auto item = ui::ListItem::make("Bahrain");
    auto attachment = std::make_shared<gfx::TextAttachment>();
    int redraws = 0;
    auto label = std::make_shared<ui::View>();

    auto made = builder("/held/targets")->placeholder(Placeholder::view(covering));
    made->set(first);
    EXPECT_EQ(covering->superview().get(), first.get()) << "a view placeholder covers the image view";
    made->set(button, ui::ControlState::normal);
    made->set(item);
    EXPECT_FALSE(button->image(ui::ControlState::normal));
    EXPECT_FALSE(item->image());

    auto image = samples::image(samples::filled(3, 3, {1, 0, 0, 1}));
    made->placeholder(image);
    made->setBackground(button, ui::ControlState::highlighted);
    made->set(attachment, [&] {
        ++redraws;
        return label;
    });
    EXPECT_EQ(button->backgroundImage(ui::ControlState::highlighted), image);
    EXPECT_EQ(attachment->image.width, 3);

    server.openGate();
    ASSERT_TRUE(waitUntil([&] { return heard.successes == 5; }));
    EXPECT_TRUE(heard.failureCodes.empty());
    EXPECT_FALSE(covering->superview()) << "the placeholder goes when the image comes";
    EXPECT_EQ(first->image()->pixelWidth(), 16);
    EXPECT_EQ(button->image(ui::ControlState::normal)->pixelWidth(), 16);
    EXPECT_EQ(button->backgroundImage(ui::ControlState::highlighted)->pixelWidth(), 16);
    EXPECT_EQ(item->image()->pixelWidth(), 16);
    EXPECT_EQ(attachment->image.width, 16);
    EXPECT_GE(redraws, 1);
    EXPECT_EQ(server.hits("/held/targets"), 1) << "one download for every target";
}

}  // namespace
}  // namespace pictura
