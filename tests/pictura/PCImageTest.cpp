#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "DeclarativeTestSupport.h"
#include "ImageSamples.h"
#include "declarative/Animation.h"
#include "declarative/Color.h"
#include "foundation/Clock.h"
#include "pictura/ImageProcessors.h"
#include "pictura/PCImage.h"

namespace pictura {
namespace {

using testing::DeclarativeFixture;

// The binder's state at an event, with the animation the event was sent under.
std::string state(const PCImageBinder& binder, const std::string& label) {
    const auto animation = declarative::currentAnimation();
    std::ostringstream text;
    text << std::boolalpha << label << " loading=" << binder.loading() << " loaded=" << binder.loaded()
         << " animating=" << binder.animating() << " image=" << (binder.loadedImage() != nullptr) << " animation=";
    if (animation) text << animation->duration;
    else text << "-";
    return text.str();
}

class DeclarativeImages : public DeclarativeFixture {
protected:
    // Records the binder's change events (progress ones apart) and the view's delegate calls.
    void watch(const PCImage& view, const std::shared_ptr<PCImageBinder>& binder) {
        subscription = binder->subscribe([this, binder] {
            if (binder->loading()) ++progressEvents;
            else journal.push_back(state(*binder, "change"));
        });
        view.onSuccessDelegate().delegate(view.delegateObserver(), [this, binder](PCImageContextBase&, const RetrieveImageResult&) {
            journal.push_back(state(*binder, "success"));
        });
        view.onFailureDelegate().delegate(view.delegateObserver(), [this, binder](PCImageContextBase&, const PicturaError& error) {
            errors.push_back(error);
            journal.push_back(state(*binder, "failure"));
        });
    }
    bool ended() const {
        return !journal.empty() && (journal.back().starts_with("success") || journal.back().starts_with("failure"));
    }

    std::vector<std::string> journal;
    std::vector<PicturaError> errors;
    int progressEvents = 0;
    declarative::Subscription subscription;
};

TEST_F(DeclarativeImages, networkLoadAnnouncesItsChangesInOrderAndTellsSuccessAfterTheImageIsSet) {
    auto view = PCImage::url(server.url("/image/order")).fade(0.4);
    auto binder = std::make_shared<PCImageBinder>();
    watch(view, binder);
    PCImageContextBase::ProgressPair lastProgress{-1, -1};
    view.onProgressDelegate().delegate(view.delegateObserver(), [&](PCImageContextBase&, const PCImageContextBase::ProgressPair& progress) {
        lastProgress = progress;
    });
    binder->startLoading(view.context);
    EXPECT_TRUE(binder->loading());
    EXPECT_TRUE(binder->downloadTask());
    ASSERT_TRUE(waitUntil([&] { return ended(); }));
    EXPECT_EQ(journal, (std::vector<std::string>{
                           "change loading=false loaded=true animating=true image=false animation=0.4",
                           "change loading=false loaded=true animating=true image=false animation=-",
                           "success loading=false loaded=true animating=false image=true animation=-",
                       }));
    EXPECT_GT(progressEvents, 0);
    const auto size = static_cast<std::int64_t>(server.picture.size());
    EXPECT_EQ(binder->progress()->completedUnitCount(), size);
    EXPECT_EQ(lastProgress, (PCImageContextBase::ProgressPair{size, size}));
    EXPECT_FALSE(binder->downloadTask());
}

TEST_F(DeclarativeImages, failedLoadShowsTheFailureImageThenMarksLoadedThenReportsTheError) {
    auto failureImage = samples::image(samples::filled(2, 2, gfx::Color::black()));
    auto view = PCImage::url(server.url("/status/404"));
    view.options().onFailureImage = failureImage;
    auto binder = std::make_shared<PCImageBinder>();
    watch(view, binder);
    binder->startLoading(view.context);
    ASSERT_TRUE(waitUntil([&] { return ended(); }));
    EXPECT_EQ(journal, (std::vector<std::string>{
                           "change loading=false loaded=false animating=false image=false animation=-",
                           "change loading=false loaded=true animating=false image=true animation=-",
                           "failure loading=false loaded=true animating=false image=true animation=-",
                       }));
    EXPECT_EQ(binder->loadedImage(), failureImage);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].kind(), PicturaError::Kind::responseError);
}

TEST_F(DeclarativeImages, missingSourceReportsEmptySourceAtOnceAndEachStartReportsAgain) {
    auto view = PCImage::url(std::nullopt);
    auto binder = std::make_shared<PCImageBinder>();
    watch(view, binder);
    binder->startLoading(view.context);
    ASSERT_EQ(errors.size(), 1u) << "reported within the start, not later";
    ASSERT_TRUE(errors[0].imageSettingErrorReason());
    EXPECT_TRUE(std::holds_alternative<PicturaError::EmptySource>(*errors[0].imageSettingErrorReason()));
    EXPECT_TRUE(binder->loaded());
    EXPECT_FALSE(binder->loading());
    EXPECT_EQ(journal.size(), 1u) << "no failure image, no change event";

    auto failureImage = samples::image(samples::filled(1, 1, gfx::Color::white()));
    view.options().onFailureImage = failureImage;
    binder->startLoading(view.context);
    EXPECT_EQ(errors.size(), 2u);
    EXPECT_EQ(binder->loadedImage(), failureImage);

    auto hosting = host(view);  // appears at once: the failure image replaces the placeholder
    ASSERT_TRUE(waitUntil([&] { return !hosting->hasPendingUpdates() && showsPicture(hosting); }));
    EXPECT_EQ(imageViewIn(hosting)->image(), failureImage);
    EXPECT_EQ(errors.size(), 3u);
}

TEST_F(DeclarativeImages, fadeAppliesToImagesNotFromACacheUnlessForcedAndOnlyForAFadeTransition) {
    auto view = PCImage::url(server.url("/image/fade")).fade(0.3);
    const auto& context = *view.context;
    EXPECT_EQ(context.fadeDuration(CacheType::none), 0.3);
    EXPECT_FALSE(context.fadeDuration(CacheType::memory));
    EXPECT_FALSE(context.fadeDuration(CacheType::disk));
    view.options().forceTransition = true;
    EXPECT_EQ(context.fadeDuration(CacheType::disk), 0.3);
    view.options().transition = ImageTransition::flipFromLeft(0.3);
    EXPECT_TRUE(context.appliesFade(CacheType::none));
    EXPECT_FALSE(context.fadeDuration(CacheType::none)) << "other transitions never animate here";
    EXPECT_TRUE(view.context->options.loadDiskFileSynchronously) << "cached images are there on the first frame";
}

TEST_F(DeclarativeImages, memoryHitCompletesOnTheMainThreadWithoutFadeAndStillTellsSuccessLater) {
    auto view = PCImage::url(server.url("/image/cached")).fade(0.3);
    auto picture = samples::image(samples::filled(3, 3, gfx::Color::white()));
    cache->store(picture, std::nullopt, view.context->source->cacheKey(), PicturaParsedOptionsInfo{}, false);
    auto binder = std::make_shared<PCImageBinder>();
    watch(view, binder);
    binder->startLoading(view.context);
    EXPECT_EQ(binder->loadedImage(), picture);
    EXPECT_EQ(journal, (std::vector<std::string>{"change loading=false loaded=true animating=false image=false animation=-"}))
        << "no fade for a cached image, and success waits for the main queue";
    ASSERT_TRUE(waitUntil([&] { return ended(); }));
    EXPECT_EQ(journal.back(), "success loading=false loaded=true animating=false image=true animation=-");
    EXPECT_EQ(server.hits("/image/cached"), 0);

    journal.clear();
    view.options().forceTransition = true;
    auto forced = std::make_shared<PCImageBinder>();
    watch(view, forced);
    forced->startLoading(view.context);
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.front(), "change loading=false loaded=true animating=true image=false animation=0.3");
}

TEST_F(DeclarativeImages, contextsAreTheSameIdentityForEqualSourcesAndProcessors) {
    auto first = PCImage::url(server.url("/image/a"));
    auto same = PCImage::url(server.url("/image/a"));
    auto other = PCImage::url(server.url("/image/b"));
    auto keyed = PCImage::url(server.url("/image/a"), "another key");
    auto none = PCImage::url(std::nullopt);
    EXPECT_EQ(*first.context, *same.context);
    EXPECT_EQ(first.context->hashValue(), same.context->hashValue());
    EXPECT_FALSE(*first.context == *other.context);
    EXPECT_FALSE(*first.context == *keyed.context);
    EXPECT_FALSE(*first.context == *none.context);
    EXPECT_EQ(*none.context, *PCImage::source(std::nullopt).context);
    same.options().processor = std::make_shared<BlackWhiteProcessor>();
    EXPECT_FALSE(*first.context == *same.context);
    EXPECT_NE(first.context->hashValue(), same.context->hashValue());

    auto data = PCImage::data(server.picture, "bytes");
    ASSERT_TRUE(data.context->source);
    EXPECT_EQ(data.context->source->kind(), Source::Kind::provider);
    EXPECT_EQ(data.context->source->cacheKey(), "bytes");
    EXPECT_FALSE(PCImage::data(std::nullopt, "bytes").context->source);
    EXPECT_EQ(PCImage(server.url("/image/a")).context->source, first.context->source);
}

TEST_F(DeclarativeImages, equalViewsKeepTheirBinderAndImageWhileANewUrlStartsAFreshLoad) {
    int successes = 0;
    auto make = [&](const std::string& path) {
        auto view = PCImage::url(server.url(path));
        view.onSuccessDelegate().delegate(view.delegateObserver(), [&](PCImageContextBase&, const RetrieveImageResult&) { ++successes; });
        return view;
    };
    auto hosting = host(make("/image/kept"));
    ASSERT_TRUE(waitUntil([&] { return successes == 1 && showsPicture(hosting); }));
    const auto shown = imageViewIn(hosting)->image();

    hosting->setRootView(make("/image/kept"));
    settle(0.05);
    EXPECT_TRUE(showsPicture(hosting));
    EXPECT_EQ(imageViewIn(hosting)->image(), shown);
    EXPECT_EQ(server.hits("/image/kept"), 1);
    EXPECT_EQ(successes, 1);

    hosting->setRootView(make("/image/fresh"));
    EXPECT_FALSE(showsPicture(hosting)) << "a new binder shows nothing until its own load ends";
    ASSERT_TRUE(waitUntil([&] { return successes == 2 && showsPicture(hosting); }));
    EXPECT_EQ(server.hits("/image/fresh"), 1);
}

TEST_F(DeclarativeImages, placeholderShowsTheBindersProgressUntilTheImageArrives) {
    std::shared_ptr<foundation::Progress> seen;
    const auto marker = gfx::Color{1, 0, 0, 1};
    auto view = PCImage::url(server.url("/held/placeholder")).placeholder([&](const std::shared_ptr<foundation::Progress>& progress) {
        seen = progress;
        return declarative::AnyView(declarative::Color{marker});
    });
    auto hosting = host(view);
    auto placeholderShown = [&] {
        std::function<bool(const std::shared_ptr<ui::View>&)> find = [&](const std::shared_ptr<ui::View>& each) {
            if (each->backgroundColor() == marker) return true;
            for (const auto& child : each->subviews())
                if (find(child)) return true;
            return false;
        };
        return find(hosting);
    };
    ASSERT_TRUE(server.waitForHits("/held/placeholder"));
    EXPECT_TRUE(placeholderShown());
    ASSERT_TRUE(seen);
    server.openGate();
    ASSERT_TRUE(waitUntil([&] { return showsPicture(hosting); }));
    settle(0.02);
    EXPECT_FALSE(placeholderShown());
}

TEST_F(DeclarativeImages, cancelOnDisappearStopsTheLoadSilentlyAndComingBackStartsAgain) {
    int successes = 0;
    auto view = PCImage::url(server.url("/held/scroll")).cancelOnDisappear(true);
    view.onSuccessDelegate().delegate(view.delegateObserver(), [&](PCImageContextBase&, const RetrieveImageResult&) { ++successes; });
    view.onFailureDelegate().delegate(view.delegateObserver(), [&](PCImageContextBase&, const PicturaError& error) {
        errors.push_back(error);
    });
    auto hosting = host(view);
    ASSERT_TRUE(server.waitForHits("/held/scroll", 1));
    hosting->removeFromSuperview();  // scrolled away
    settle(0.05);
    EXPECT_TRUE(errors.empty()) << "a cancelled load is not a failure of the view";
    hostWindow.window()->addSubview(hosting);  // scrolled back
    ASSERT_TRUE(server.waitForHits("/held/scroll", 2));
    server.openGate();
    ASSERT_TRUE(waitUntil([&] { return successes == 1 && showsPicture(hosting); }));
    settle(0.05);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(successes, 1);
}

TEST_F(DeclarativeImages, earlyStartLoadsBeforeAnyAppearanceAndAFailureDoesNotStartItAgain) {
    int successes = 0;
    auto loading = PCImage::url(server.url("/image/early")).startLoadingBeforeViewAppear();
    loading.onSuccessDelegate().delegate(loading.delegateObserver(), [&](PCImageContextBase&, const RetrieveImageResult&) { ++successes; });
    auto hosting = host(loading, false);
    ASSERT_TRUE(waitUntil([&] { return successes == 1; }));
    EXPECT_EQ(server.hits("/image/early"), 1);

    auto failing = PCImage::url(server.url("/status/500")).startLoadingBeforeViewAppear();
    failing.onFailureDelegate().delegate(failing.delegateObserver(), [&](PCImageContextBase&, const PicturaError& error) {
        errors.push_back(error);
    });
    host(failing, false);
    ASSERT_TRUE(waitUntil([&] { return errors.size() == 1; }));
    settle(0.2);
    EXPECT_EQ(server.hits("/status/500"), 1) << "each failure's own change event must not start a new load";
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(DeclarativeImages, networkImageFadesInLinearlyWhileACachedOneShowsAtOnce) {
    auto clock = std::make_shared<foundation::ManualClock>(foundation::Date{}, 100);
    foundation::Clock::setCurrent(clock);
    struct Restore {
        ~Restore() { foundation::Clock::setCurrent(nullptr); }
    } restore;
    auto hosting = host(PCImage::url(server.url("/image/fading")).fade(2));
    ASSERT_TRUE(waitUntil([&] { return showsPicture(hosting) && !hosting->hasPendingUpdates(); }));
    hostWindow.renderIfNeeded();
    auto faded = imageViewIn(hosting)->superview();  // the opacity's container
    EXPECT_EQ(faded->alpha(), 1);
    clock->advance(0.5);
    auto presented = faded->layer()->presentationLayer(clock->uptime());
    ASSERT_TRUE(presented);
    EXPECT_NEAR(std::get<double>(*presented->animatableValue("opacity")), 0.25, 0.05);
    clock->advance(2);
    hostWindow.renderIfNeeded();

    auto again = host(PCImage::url(server.url("/image/fading")).fade(2));
    ASSERT_TRUE(waitUntil([&] { return showsPicture(again) && !again->hasPendingUpdates(); }));
    auto cached = imageViewIn(again)->superview();
    EXPECT_EQ(cached->alpha(), 1);
    EXPECT_FALSE(cached->layer()->hasAnimations()) << "from the cache: no fade";
    EXPECT_EQ(server.hits("/image/fading"), 1);
}

TEST_F(DeclarativeImages, imageModifiersApplyInOrderThenTheContentConfigurationAndLoadImmediatelyChangesNothing) {
    auto view = PCImage::url(server.url("/image/modified"))
                    .resizable()
                    .renderingMode(declarative::Image::TemplateRenderingMode::template_)
                    .loadImmediately(true)
                    .placeholder([] { return declarative::AnyView(declarative::Color::clear()); })
                    .contentConfigure([](declarative::Image image) { return declarative::AnyView(image).opacity(0.5); });
    ASSERT_EQ(view.context->configurations.size(), 2u);
    ASSERT_TRUE(view.context->placeholder);
    auto hosting = host(view);
    ASSERT_TRUE(waitUntil([&] { return showsPicture(hosting); }));
    hostWindow.window()->layoutIfNeeded();
    auto image = imageViewIn(hosting);
    EXPECT_EQ(image->renderingMode(), ui::ImageRenderingMode::alwaysTemplate);
    EXPECT_EQ(image->frame().size, (ui::Size{100, 80})) << "resizable fills the view";
    EXPECT_EQ(image->superview()->alpha(), 0.5) << "the content configuration wraps the configured image";
}

}  // namespace
}  // namespace pictura
