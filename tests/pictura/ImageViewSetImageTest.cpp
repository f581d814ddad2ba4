#include <gtest/gtest.h>

#include <thread>

#include "SetImageTestSupport.h"
#include "dispatch/Queue.h"

namespace pictura {
namespace {

using Item = PicturaOptionsInfoItem;

class ImageViewSetImageTest : public testing::SetImageFixture {};

// Decodes like the default processor, writing down whether it was asked to load every frame.
class PreloadRecorder final : public ImageProcessor {
public:
    std::string identifier() const override { return "preload-recorder"; }
    std::shared_ptr<gfx::Image> process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const override {
        *preloadAll = options.preloadAllAnimationData;
        return DefaultImageProcessor::defaultProcessor()->process(item, options);
    }
    std::shared_ptr<std::atomic<bool>> preloadAll = std::make_shared<std::atomic<bool>>(false);
};

class SelfDecidingView final : public ui::ImageView, public AnimationPreloading {
public:
    bool shouldPreloadAllAnimation() const override { return false; }
};

// Writes down whether it ended on the main thread (1) or elsewhere (0).
template <class View>
class EndWatching final : public View {
public:
    ~EndWatching() override { *endedOnMain = dispatch::isMainThread() ? 1 : 0; }
    std::shared_ptr<std::atomic<int>> endedOnMain = std::make_shared<std::atomic<int>>(-1);
};

// Only keeps the check that the retrieval gives its side effects.
class CheckKeeper final : public DataReceivingSideEffect {
public:
    void onDataReceived(const std::shared_ptr<net::Session>&, const SessionDataTask&, const foundation::Data&) override {}
};

// Never answers.
class SilentProvider final : public ImageDataProvider {
public:
    std::string cacheKey() const override { return "silent"; }
    void data(Handler) const override {}
};

TEST_F(ImageViewSetImageTest, aViewsPlaceholderAndIndicatorEndWithItOnTheMainThread) {
    for (int round = 0; round < 3; ++round) {
        auto transient = std::make_shared<ui::ImageView>();
        auto cover = std::make_shared<EndWatching<ui::View>>();
        const auto coverEnded = cover->endedOnMain;
        pc(transient).setIndicatorType(IndicatorType::activity());
        std::weak_ptr<Indicator> indicator = pc(transient).indicator();
        auto report = std::make_shared<testing::Report>();
        pc(transient).setImage(network("/held/ending" + std::to_string(round)), Placeholder::view(cover), items(), testing::reportTo(report));
        cover.reset();
        transient.reset();
        EXPECT_EQ(coverEnded->load(), 1) << "the placeholder outlived its view";
        EXPECT_TRUE(indicator.expired()) << "the indicator outlived its view";
        server.openGate();
        ASSERT_TRUE(waitFor(report));
        EXPECT_EQ(report->code(), 5002);
    }
}

TEST_F(ImageViewSetImageTest, theCheckMadeForEveryChunkNeverHoldsTheView) {
    // Each round drops the view while another thread runs the check as fast as it can: a check that
    // took hold of the view, however briefly, would now and then end it on that thread.
    for (int round = 0; round < 20; ++round) {
        auto transient = std::make_shared<EndWatching<ui::ImageView>>();
        const auto ended = transient->endedOnMain;
        auto keeper = std::make_shared<CheckKeeper>();
        PicturaParsedOptionsInfo options(items());
        options.onDataReceived = std::vector<std::shared_ptr<DataReceivingSideEffect>>{keeper};
        pc(transient).setImage(Source::provider(std::make_shared<SilentProvider>()), nullptr, options, nullptr, nullptr);
        const auto check = keeper->onShouldApply;
        ASSERT_TRUE(check());
        std::atomic<int> checks = 0;
        std::atomic<bool> stop = false;
        std::thread checking([&] {
            while (!stop) {
                check();
                ++checks;
            }
        });
        while (checks < 1000) std::this_thread::yield();
        transient.reset();
        stop = true;
        checking.join();
        ASSERT_EQ(ended->load(), 1) << "round " << round << ": the view ended on the checking thread";
        EXPECT_FALSE(check());
    }
}

TEST_F(ImageViewSetImageTest, aMemoryHitIsSetBeforeTheCallReturns) {
    ASSERT_TRUE(cached("/image/memory"));
    auto placeholder = solid(gfx::Color::white());
    auto report = std::make_shared<testing::Report>();
    auto task = pc(view).setImage(server.url("/image/memory"), Placeholder::image(placeholder), items(),
                                  testing::reportTo(report));
    EXPECT_FALSE(task);
    ASSERT_EQ(report->calls, 1);
    ASSERT_TRUE(report->succeeded()) << report->result->error();
    EXPECT_EQ((*report->result)->cacheType, CacheType::memory);
    EXPECT_EQ(view->image(), report->image());
    EXPECT_FALSE(pc(view).taskIdentifier());
    EXPECT_FALSE(pc(view).placeholder());
    EXPECT_EQ(server.hits("/image/memory"), 1);
}

TEST_F(ImageViewSetImageTest, aNewerRequestReplacesAnOlderOneWhichHearsNotCurrent) {
    pc(view).setIndicatorType(IndicatorType::activity());
    auto spinner = std::dynamic_pointer_cast<ActivityIndicator>(pc(view).indicator());
    ASSERT_TRUE(spinner);
    auto older = std::make_shared<testing::Report>();
    auto newer = std::make_shared<testing::Report>();
    const auto olderSource = network("/held/older");
    ASSERT_TRUE(pc(view).setImage(olderSource, nullptr, items(), testing::reportTo(older)));
    const auto olderIdentifier = pc(view).taskIdentifier();
    ASSERT_TRUE(olderIdentifier);
    pc(view).setImage(network("/image/newer"), nullptr, items(), testing::reportTo(newer));
    EXPECT_EQ(pc(view).taskIdentifier(), *olderIdentifier + 1);
    EXPECT_EQ(spinner->animatingCount(), 2);

    ASSERT_TRUE(waitFor(newer));
    ASSERT_TRUE(newer->succeeded());
    EXPECT_EQ(view->image(), newer->image());
    // The older retrieval still runs, so the shared spinner still turns.
    EXPECT_FALSE(spinner->activityIndicatorView()->isHidden());

    server.openGate();
    ASSERT_TRUE(waitFor(older));
    EXPECT_EQ(older->code(), 5002);
    const auto* stale = older->notCurrent();
    ASSERT_TRUE(stale);
    EXPECT_TRUE(stale->result);
    EXPECT_FALSE(stale->error);
    EXPECT_EQ(stale->source, olderSource);
    EXPECT_EQ(view->image(), newer->image());
    EXPECT_EQ(spinner->animatingCount(), 0);
    EXPECT_TRUE(spinner->activityIndicatorView()->isHidden());
    EXPECT_FALSE(spinner->activityIndicatorView()->isAnimating());
}

TEST_F(ImageViewSetImageTest, aNilSourceShowsThePlaceholderReportsAtOnceAndLeavesTheRunningLoadStale) {
    auto inFlight = std::make_shared<testing::Report>();
    pc(view).setImage(network("/held/flight"), nullptr, items(), testing::reportTo(inFlight));
    const auto first = pc(view).taskIdentifier();
    ASSERT_TRUE(first);

    auto placeholder = solid(gfx::Color::white());
    auto empty = std::make_shared<testing::Report>();
    EXPECT_FALSE(pc(view).setImage(std::optional<Source>(), Placeholder::image(placeholder), items(),
                                   testing::reportTo(empty)));
    ASSERT_EQ(empty->calls, 1);
    EXPECT_EQ(empty->code(), 5001);
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_FALSE(pc(view).taskIdentifier());

    // No placeholder clears what the view shows.
    pc(view).setImage(std::optional<foundation::URL>(), nullptr, items(), testing::reportTo(empty));
    EXPECT_EQ(empty->calls, 2);
    EXPECT_FALSE(view->image());

    // Not cancelled: the download completes, and its result is no longer wanted.
    server.openGate();
    ASSERT_TRUE(waitFor(inFlight));
    ASSERT_TRUE(inFlight->notCurrent());
    EXPECT_TRUE(inFlight->notCurrent()->result);
    EXPECT_FALSE(view->image());

    // Calls without a source issue no identifier.
    auto next = std::make_shared<testing::Report>();
    pc(view).setImage(network("/image/next"), nullptr, items(), testing::reportTo(next));
    EXPECT_EQ(pc(view).taskIdentifier(), *first + 1);
    ASSERT_TRUE(waitFor(next));
}

TEST_F(ImageViewSetImageTest, theIndicatorShowsWhileLoadingAndGoesAfterwards) {
    pc(view).setIndicatorType(IndicatorType::activity());
    auto spinner = std::dynamic_pointer_cast<ActivityIndicator>(pc(view).indicator());
    ASSERT_TRUE(spinner);
    const auto& spinnerView = spinner->activityIndicatorView();
    EXPECT_EQ(spinnerView->superview(), view);
    EXPECT_TRUE(spinnerView->isHidden());

    auto report = std::make_shared<testing::Report>();
    pc(view).setImage(network("/held/spin"), nullptr, items(), testing::reportTo(report));
    EXPECT_FALSE(spinnerView->isHidden());
    EXPECT_TRUE(spinnerView->isAnimating());
    server.openGate();
    ASSERT_TRUE(waitFor(report));
    EXPECT_TRUE(report->succeeded());
    EXPECT_TRUE(spinnerView->isHidden());
    EXPECT_FALSE(spinnerView->isAnimating());

    // A failure stops it too; a memory hit starts and stops it before the call returns.
    pc(view).setImage(network("/status/500"), nullptr, items(), testing::reportTo(report));
    ASSERT_TRUE(waitFor(report, 2));
    EXPECT_TRUE(spinnerView->isHidden());
    cached("/image/hit");
    pc(view).setImage(network("/image/hit"), nullptr, items(), testing::reportTo(report));
    EXPECT_EQ(report->calls, 3);
    EXPECT_EQ(spinner->animatingCount(), 0);
    EXPECT_TRUE(spinnerView->isHidden());
}

TEST_F(ImageViewSetImageTest, transitionsRunOnlyForImagesThatCameFromNoCache) {
    const auto fade = Item::transition(ImageTransition::fade(0.3));
    auto placeholder = solid(gfx::Color::white());
    auto loaded = std::make_shared<testing::Report>();
    pc(view).setImage(network("/image/fade"), Placeholder::image(placeholder), items({fade, Item::waitForCache()}),
                      testing::reportTo(loaded));
    // First a transition without animation, whose end starts the animated one.
    ASSERT_TRUE(waitUntil([&] { return !delays->empty(); }));
    EXPECT_EQ(delays->delays(), std::vector<double>{0});
    EXPECT_EQ(view->image(), placeholder);
    delays->runHeld();
    EXPECT_EQ(delays->delays(), std::vector<double>{0.3});
    EXPECT_NE(view->image(), placeholder);
    EXPECT_FALSE(pc(view).placeholder());
    EXPECT_FALSE(view->layer()->sublayers().empty());  // the old picture fading out
    EXPECT_EQ(loaded->calls, 0);
    delays->runHeld();
    ASSERT_EQ(loaded->calls, 1);
    ASSERT_TRUE(loaded->succeeded());
    EXPECT_EQ((*loaded->result)->cacheType, CacheType::none);
    EXPECT_EQ(view->image(), loaded->image());

    // From memory: at once, no animation.
    auto hit = std::make_shared<testing::Report>();
    pc(view).setImage(network("/image/fade"), Placeholder::image(placeholder), items({fade}), testing::reportTo(hit));
    ASSERT_EQ(hit->calls, 1);
    EXPECT_EQ((*hit->result)->cacheType, CacheType::memory);
    EXPECT_TRUE(delays->empty());
    EXPECT_EQ(view->image(), hit->image());

    // Forced, the memory hit animates as well.
    auto forced = std::make_shared<testing::Report>();
    pc(view).setImage(network("/image/fade"), nullptr, items({fade, Item::forceTransition()}), testing::reportTo(forced));
    EXPECT_EQ(forced->calls, 0);
    EXPECT_EQ(delays->delays(), std::vector<double>{0});
    delays->runHeld();
    delays->runHeld();
    EXPECT_EQ(forced->calls, 1);
    EXPECT_TRUE(forced->succeeded());
}

TEST_F(ImageViewSetImageTest, aCustomTransitionRunsItsOwnAnimationsAndCompletionBeforeTheHandler) {
    cached("/image/custom");
    std::vector<std::string> steps;
    std::shared_ptr<gfx::Image> animated;
    auto custom = ImageTransition::custom(
        0.5, {.transition = ui::ViewTransition::flipFromTop},
        [&](ui::ImageView& target, const std::shared_ptr<gfx::Image>& image) {
            steps.push_back("animations");
            animated = image;
            target.setImage(image);
        },
        [&](bool finished) { steps.push_back(finished ? "finished" : "cut short"); });
    auto report = std::make_shared<testing::Report>();
    pc(view).setImage(network("/image/custom"), nullptr, items({Item::transition(custom), Item::forceTransition()}),
                      [&](PicturaManager::RetrieveResult result) {
                          steps.push_back("handler");
                          testing::reportTo(report)(std::move(result));
                      });
    delays->runHeld();
    EXPECT_EQ(delays->delays(), std::vector<double>{0.5});
    delays->runHeld();
    EXPECT_EQ(steps, (std::vector<std::string>{"animations", "finished", "handler"}));
    EXPECT_EQ(animated, report->image());
}

TEST_F(ImageViewSetImageTest, anOlderTransitionNeverCoversTheImageOfANewerRequest) {
    cached("/image/newer");
    auto older = std::make_shared<testing::Report>();
    pc(view).setImage(network("/image/older"), nullptr, items({Item::transition(ImageTransition::fade(0.3))}),
                      testing::reportTo(older));
    ASSERT_TRUE(waitUntil([&] { return !delays->empty(); }));
    // The older image has arrived and waits for its transition; a reused view is given another image.
    auto newer = std::make_shared<testing::Report>();
    pc(view).setImage(network("/image/newer"), nullptr, items(), testing::reportTo(newer));
    ASSERT_TRUE(newer->succeeded());
    EXPECT_EQ(view->image(), newer->image());
    delays->runHeld();
    delays->runHeld();
    EXPECT_EQ(view->image(), newer->image());
    ASSERT_EQ(older->calls, 1);
    EXPECT_EQ(older->code(), 5002);
    ASSERT_TRUE(older->notCurrent());
    EXPECT_TRUE(older->notCurrent()->result);
}

TEST_F(ImageViewSetImageTest, aFailureShowsTheFailureImageOrKeepsThePlaceholder) {
    auto placeholder = solid(gfx::Color::white());
    auto failure = solid(gfx::Color::black());
    auto report = std::make_shared<testing::Report>();
    pc(view).setImage(network("/status/404"), Placeholder::image(placeholder), items(), testing::reportTo(report));
    ASSERT_TRUE(waitFor(report));
    EXPECT_TRUE(report->result->error().isInvalidResponseStatusCode(404));
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_TRUE(pc(view).placeholder());

    pc(view).setImage(network("/status/404"), Placeholder::image(placeholder), items({Item::onFailureImage(failure)}),
                      testing::reportTo(report));
    ASSERT_TRUE(waitFor(report, 2));
    EXPECT_EQ(view->image(), failure);
    EXPECT_FALSE(pc(view).placeholder());

    // A failure image that is itself none empties the view.
    pc(view).setImage(network("/status/404"), Placeholder::image(placeholder), items({Item::onFailureImage(nullptr)}),
                      testing::reportTo(report));
    ASSERT_TRUE(waitFor(report, 3));
    EXPECT_FALSE(view->image());
}

TEST_F(ImageViewSetImageTest, keepingTheCurrentImageSkipsThePlaceholderOnlyWhenSomethingShows) {
    auto shown = solid(gfx::Color::black());
    auto placeholder = solid(gfx::Color::white());
    view->setImage(shown);
    auto report = std::make_shared<testing::Report>();
    pc(view).setImage(network("/held/keep"), Placeholder::image(placeholder), items({Item::keepCurrentImageWhileLoading()}),
                      testing::reportTo(report));
    EXPECT_EQ(view->image(), shown);
    EXPECT_FALSE(pc(view).placeholder());

    auto empty = std::make_shared<ui::ImageView>();
    pc(empty).setImage(network("/held/keep"), Placeholder::image(placeholder), items({Item::keepCurrentImageWhileLoading()}),
                       testing::reportTo(report));
    EXPECT_EQ(empty->image(), placeholder);
    server.openGate();
    ASSERT_TRUE(waitFor(report, 2));
    EXPECT_NE(view->image(), shown);
    EXPECT_NE(empty->image(), placeholder);
}

TEST_F(ImageViewSetImageTest, aViewPlaceholderCoversTheViewUntilTheImageArrives) {
    auto cover = std::make_shared<ui::View>();
    auto report = std::make_shared<testing::Report>();
    pc(view).setImage(network("/held/cover"), Placeholder::view(cover), items(), testing::reportTo(report));
    EXPECT_EQ(cover->superview(), view);
    host.renderIfNeeded();
    EXPECT_EQ(cover->frame(), (ui::Rect{0, 0, 100, 100}));
    server.openGate();
    ASSERT_TRUE(waitFor(report));
    EXPECT_FALSE(cover->superview());
    EXPECT_EQ(view->image(), report->image());
}

TEST_F(ImageViewSetImageTest, cancellingEndsTheDownloadWithACancellation) {
    pc(view).cancelDownloadTask();  // nothing to cancel yet
    auto report = std::make_shared<testing::Report>();
    ASSERT_TRUE(pc(view).setImage(network("/held/cancel"), nullptr, items(), testing::reportTo(report)));
    ASSERT_TRUE(waitUntil([&] { return server.hits("/held/cancel") > 0; }));
    pc(view).cancelDownloadTask();
    ASSERT_TRUE(waitFor(report));
    EXPECT_TRUE(report->result->error().isTaskCancelled());
    EXPECT_FALSE(pc(view).taskIdentifier());
}

TEST_F(ImageViewSetImageTest, plainImageViewsLoadEveryFrameAndOtherKindsDecide) {
    auto recorder = std::make_shared<PreloadRecorder>();
    auto report = std::make_shared<testing::Report>();
    pc(view).setImage(network("/image/plain"), nullptr, items({Item::processor(recorder)}), testing::reportTo(report));
    ASSERT_TRUE(waitFor(report));
    EXPECT_TRUE(recorder->preloadAll->load());

    auto deciding = std::make_shared<SelfDecidingView>();
    pc(deciding).setImage(network("/image/deciding"), nullptr, items({Item::processor(recorder)}),
                          testing::reportTo(report));
    ASSERT_TRUE(waitFor(report, 2));
    EXPECT_TRUE(report->succeeded());
    EXPECT_FALSE(recorder->preloadAll->load());
    EXPECT_EQ(deciding->image(), report->image());
}

TEST_F(ImageViewSetImageTest, progressReachesTheBlockAndProvidersLoadLikeDownloads) {
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
    auto report = std::make_shared<testing::Report>();
    pc(view).setImage(network("/image/progress"), nullptr, items(),
                      [&](std::int64_t received, std::int64_t expected) { progress.emplace_back(received, expected); },
                      testing::reportTo(report));
    ASSERT_TRUE(waitFor(report));
    const auto size = static_cast<std::int64_t>(server.picture.size());
    ASSERT_TRUE(waitUntil([&] { return !progress.empty() && progress.back().first == size; }));
    for (const auto& [received, expected] : progress) EXPECT_EQ(expected, size);

    auto provider = std::make_shared<RawImageDataProvider>(server.picture, "raw-provider");
    auto provided = std::make_shared<testing::Report>();
    pc(view).setImage(std::shared_ptr<const ImageDataProvider>(provider), nullptr, items(), testing::reportTo(provided));
    ASSERT_TRUE(waitFor(provided));
    ASSERT_TRUE(provided->succeeded());
    EXPECT_EQ(view->image(), provided->image());
    EXPECT_EQ(provided->image()->pixelWidth(), 16);
}

TEST_F(ImageViewSetImageTest, aViewDroppedWhileLoadingIsReleasedAndItsResultIsStale) {
    auto transient = std::make_shared<ui::ImageView>();
    std::weak_ptr<ui::ImageView> watched = transient;
    auto report = std::make_shared<testing::Report>();
    pc(transient).setImage(network("/held/dropped"), nullptr, items(), testing::reportTo(report));
    transient.reset();
    EXPECT_TRUE(watched.expired());
    server.openGate();
    ASSERT_TRUE(waitFor(report));
    EXPECT_EQ(report->code(), 5002);
}

}  // namespace
}  // namespace pictura
