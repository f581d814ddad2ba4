#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "AnimationSupport.h"
#include "DeclarativeTestSupport.h"
#include "ImageSamples.h"
#include "pictura/PCAnimatedImage.h"

namespace pictura {
namespace {

using testing::DeclarativeFixture;

class DeclarativeAnimatedImages : public DeclarativeFixture {
protected:
    static std::shared_ptr<AnimatedImageView> animatedViewIn(const std::shared_ptr<ui::View>& view) {
        return std::dynamic_pointer_cast<AnimatedImageView>(imageViewIn(view));
    }
};

TEST_F(DeclarativeAnimatedImages, renderConfigurationsRunOnceBeforeTheImageAndLaterOnesMissTheMadeView) {
    std::vector<bool> hadImage;
    auto view = PCAnimatedImage::data(samples::gif({0.1, 0.1, 0.1}), "configured")
                    .configure([&](AnimatedImageView& made) {
                        hadImage.push_back(made.image() != nullptr);
                        made.setFramePreloadCount(2);
                    });
    auto hosting = host(view);
    auto made = animatedViewIn(hosting);
    ASSERT_TRUE(made);
    EXPECT_EQ(hadImage, (std::vector<bool>{false}));
    EXPECT_FALSE(made->image()) << "nothing loaded yet: the view shows nothing under the placeholder";
    EXPECT_EQ(made->contentCompressionResistancePriority(ui::LayoutAxis::horizontal), ui::layoutPriority::defaultLow);
    EXPECT_EQ(made->contentCompressionResistancePriority(ui::LayoutAxis::vertical), ui::layoutPriority::defaultLow);

    ASSERT_TRUE(waitUntil([&] { return made->animator() != nullptr; }));
    const auto animator = made->animator();
    view.configure([&](AnimatedImageView&) { hadImage.push_back(true); });
    hosting->setRootView(view);
    settle(0.02);
    EXPECT_EQ(animatedViewIn(hosting), made) << "the same identity keeps the hosted view";
    EXPECT_EQ(made->animator(), animator) << "the same image object does not rebuild the animator";
    EXPECT_EQ(hadImage.size(), 1u);
    EXPECT_EQ(made->framePreloadCount(), 2);
}

TEST_F(DeclarativeAnimatedImages, animatedImagePlaysFromItsSourceAtFullSizeWhileAStillImageIsShownPlain) {
    auto animated = host(PCAnimatedImage::data(samples::gif({0.1, 0.2}, 6, 4), "animated"));
    ASSERT_TRUE(waitUntil([&] { return animatedViewIn(animated)->animator() != nullptr; }));
    auto animator = animatedViewIn(animated)->animator();
    EXPECT_EQ(animator->frameCount(), 2);
    EXPECT_EQ(animator->size(), (ui::Size{0, 0})) << "made while the view had no size: no prescaling";

    auto still = host(PCAnimatedImage::url(server.url("/image/still")));
    ASSERT_TRUE(waitUntil([&] { return showsPicture(still); }));
    EXPECT_FALSE(animatedViewIn(still)->animator());
    EXPECT_EQ(animatedViewIn(still)->image()->bitmap()->width, 16);
}

}  // namespace
}  // namespace pictura
