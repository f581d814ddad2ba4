#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "CacheTestSupport.h"
#include "dispatch/RunLoop.h"
#include "foundation/NotificationCenter.h"
#include "pictura/AssociatedValues.h"
#include "pictura/Box.h"
#include "pictura/CacheKeyText.h"
#include "pictura/CallbackQueue.h"
#include "pictura/Delegate.h"
#include "pictura/PlatformWrappers.h"
#include "pictura/SizeGeometry.h"
#include "ui/Application.h"
#include "ui/ListItem.h"

namespace pictura {
namespace {

struct Owner {
    std::string name = "owner";
};

TEST(CallbackQueueTest, mainCurrentOrAsyncRunsInlineOnTheMainThreadAndLaterFromElsewhere) {
    bool ran = false;
    CallbackQueue::mainCurrentOrAsync().execute([&] { ran = true; });
    EXPECT_TRUE(ran);

    std::atomic<bool> ranOnMain = false;
    std::atomic<bool> returnedFirst = false;
    std::thread([&] {
        CallbackQueue::mainCurrentOrAsync().execute([&] { ranOnMain = dispatch::isMainThread() && returnedFirst; });
        returnedFirst = true;
    }).join();
    EXPECT_TRUE(dispatch::RunLoop::main()->runUntil([&] { return ranOnMain.load(); }, 10));
}

TEST(CallbackQueueTest, mainAsyncWaitsForTheCurrentMainWorkEvenOnTheMainThread) {
    bool ran = false;
    CallbackQueue::mainAsync().execute([&] { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_TRUE(dispatch::RunLoop::main()->runUntil([&] { return ran; }, 10));
}

TEST(CallbackQueueTest, untouchRunsOnTheCallingThreadBeforeReturning) {
    std::thread::id ranOn;
    std::thread caller([&] { CallbackQueue::untouch().execute([&] { ranOn = std::this_thread::get_id(); }); });
    const auto callerId = caller.get_id();
    caller.join();
    EXPECT_EQ(ranOn, callerId);
}

TEST(CallbackQueueTest, dispatchFromItsOwnQueueRunsAfterTheCurrentWorkItem) {
    auto queue = dispatch::Queue::serial("pictura.test.callbacks");
    std::promise<std::vector<int>> done;
    auto order = std::make_shared<std::vector<int>>();
    queue->async([&, order, queue] {
        CallbackQueue::dispatch(queue).execute([&, order] {
            order->push_back(2);
            done.set_value(*order);
        });
        order->push_back(1);
    });
    EXPECT_EQ(done.get_future().get(), (std::vector<int>{1, 2}));
    EXPECT_EQ(CallbackQueue::dispatch(queue).queue(), queue);
    EXPECT_EQ(CallbackQueue::untouch().queue(), nullptr);
}

TEST(DelegateTest, anUnboundDelegateAnswersNothing) {
    Delegate<int, std::string> plain;
    EXPECT_EQ(plain.call(1), std::nullopt);
    Delegate<int, std::optional<std::string>> optional;
    std::optional<std::string> answer = optional(1);  // the absent value itself, not a nested optional
    EXPECT_EQ(answer, std::nullopt);
}

TEST(DelegateTest, aBoundDelegateCallsItsBlockWithTheTargetUntilTheTargetIsGone) {
    auto owner = std::make_shared<Owner>();
    Delegate<int, std::string> delegate;
    int calls = 0;
    delegate.delegate<Owner>(owner, [&calls](Owner& target, int value) {
        ++calls;
        return target.name + std::to_string(value);
    });
    EXPECT_EQ(delegate.call(7), "owner7");
    EXPECT_EQ(delegate(8), "owner8");
    EXPECT_EQ(owner.use_count(), 1);  // held weakly

    owner.reset();
    EXPECT_EQ(delegate.call(9), std::nullopt);
    EXPECT_EQ(calls, 2);
}

TEST(DelegateTest, anOptionalOutputFlattensAndANullBlockAnswersNothing) {
    auto owner = std::make_shared<Owner>();
    Delegate<int, std::optional<int>> halves;
    halves.delegate<Owner>(owner, [](Owner&, int value) -> std::optional<int> {
        if (value % 2) return std::nullopt;
        return value / 2;
    });
    EXPECT_EQ(halves.call(4), 2);
    EXPECT_EQ(halves.call(3), std::nullopt);

    halves.delegate<Owner>(owner, nullptr);
    EXPECT_EQ(halves.call(4), std::nullopt);
}

TEST(DelegateTest, rebindingReplacesTheFirstBindingAndReleasesItsTarget) {
    auto first = std::make_shared<Owner>();
    auto second = std::make_shared<Owner>(Owner{"second"});
    auto firstBlockCapture = std::make_shared<int>(0);
    Delegate<void, std::string> delegate;
    delegate.delegate<Owner>(first, [firstBlockCapture](Owner&) { return std::string("first"); });
    EXPECT_EQ(delegate.call(), "first");
    delegate.delegate<Owner>(second, [](Owner& target) { return target.name; });
    EXPECT_EQ(delegate(), "second");
    EXPECT_EQ(firstBlockCapture.use_count(), 1);  // the first block is gone
    EXPECT_EQ(first.use_count(), 1);

    Delegate<int, void> sink;
    int received = 0;
    sink.delegate<Owner>(second, [&](Owner&, int value) { received = value; });
    sink.call(5);
    EXPECT_EQ(received, 5);
}

TEST(BoxTest, sharesOneValueBetweenItsReferences) {
    auto box = Box<int>::make(1);
    auto other = box;
    other->value = 2;
    EXPECT_EQ(box->value, 2);
}

TEST(AssociatedValuesTest, readsWhatWasStoredUnderTheKeyAndTypeOnly) {
    static const char taskKey = 0;
    static const char otherKey = 0;
    auto view = std::make_shared<Owner>();
    EXPECT_EQ(associatedValue<int>(view, &taskKey), std::nullopt);

    setRetainedAssociatedValue(view, &taskKey, 42);
    EXPECT_EQ(associatedValue<int>(view, &taskKey), 42);
    EXPECT_EQ(associatedValue<std::string>(view, &taskKey), std::nullopt);  // another type
    EXPECT_EQ(associatedValue<int>(view, &otherKey), std::nullopt);
    EXPECT_EQ(associatedValue<int>(std::make_shared<Owner>(), &taskKey), std::nullopt);

    setRetainedAssociatedValue(view, &taskKey, std::string("replaced"));
    EXPECT_EQ(associatedValue<std::string>(view, &taskKey), "replaced");
    setRetainedAssociatedValue(view, &taskKey, std::any());
    EXPECT_EQ(associatedValue<std::string>(view, &taskKey), std::nullopt);
}

TEST(AssociatedValuesTest, aValueIsReleasedOnceItsObjectIsGone) {
    static const char key = 0;
    auto view = std::make_shared<Owner>();
    auto stored = Box<int>::make(3);
    std::weak_ptr<Box<int>> watch = stored;
    setRetainedAssociatedValue(view, &key, stored);
    stored.reset();
    EXPECT_EQ(associatedValue<std::shared_ptr<Box<int>>>(view, &key).value()->value, 3);
    EXPECT_FALSE(watch.expired());  // retained by the table

    view.reset();
    sweepAssociatedValues();
    EXPECT_TRUE(watch.expired());
}

TEST(AssociatedValuesTest, theValuesOfAGoneObjectGoAtAMemoryWarningAndOnATimer) {
    static const char key = 0;
    auto storeOnItemThenDropIt = [] {
        auto item = ui::ListItem::make();
        auto value = Box<int>::make(1);
        setRetainedAssociatedValue(item, &key, value);
        return std::weak_ptr<Box<int>>(value);
    };
    auto warned = storeOnItemThenDropIt();
    foundation::NotificationCenter::defaultCenter().post(ui::Application::didReceiveMemoryWarningNotification);
    EXPECT_TRUE(warned.expired());

    testing::ClockGuard clock(0);
    auto timed = storeOnItemThenDropIt();
    clock->advance(associatedValuesSweepInterval);
    EXPECT_TRUE(testing::eventually([&] { return timed.expired(); }));
}

TEST(AssociatedValuesTest, manyShortLivedObjectsDoNotPileUp) {
    static const char key = 0;
    auto survivor = std::make_shared<Owner>();
    setRetainedAssociatedValue(survivor, &key, 1);
    std::weak_ptr<Box<int>> firstValue;
    for (int index = 0; index < 1000; ++index) {
        auto view = std::make_shared<Owner>();
        auto value = Box<int>::make(index);
        if (index == 0) firstValue = value;
        setRetainedAssociatedValue(view, &key, value);
    }
    EXPECT_TRUE(firstValue.expired());  // dropped as the table grew, without an explicit sweep
    EXPECT_EQ(associatedValue<int>(survivor, &key), 1);
}

TEST(PicturaWrapperTest, holdsTheObjectItselfOrACopyOfTheValue) {
    std::string key = "photo.jpg";
    auto wrapper = pc(key);
    wrapper.base += "@2x";
    EXPECT_EQ(key, "photo.jpg");
    pc(key) = PicturaWrapper<std::string>("other");  // writing to pc changes nothing
    EXPECT_EQ(key, "photo.jpg");
    EXPECT_EQ(pc(gfx::Size{4, 2}).base, (gfx::Size{4, 2}));

    auto image = gfx::Image::fromBitmap(gfx::Bitmap::make(1, 1));
    {
        auto imageWrapper = pc(image);
        EXPECT_EQ(imageWrapper.base, image);  // the very object, held strongly while the wrapper lives
        EXPECT_EQ(image.use_count(), 2);
    }
    EXPECT_EQ(image.use_count(), 1);
    auto view = std::make_shared<ui::ImageView>();
    EXPECT_EQ(pc(view).base, view);
    auto data = foundation::Data::fromString("abc");
    auto dataWrapper = pc(data);
    dataWrapper.base.append("d", 1);
    EXPECT_EQ(data.toString(), "abc");
}

}  // namespace
}  // namespace pictura
