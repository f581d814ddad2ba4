#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "declarative/Color.h"
#include "declarative/HostingView.h"
#include "declarative/Image.h"
#include "declarative/ZStack.h"
#include "dispatch/RunLoop.h"
#include "foundation/Clock.h"
#include "gfx/Bitmap.h"
#include "ui/HeadlessHost.h"
#include "ui/ImageView.h"

namespace declarative {
namespace {

struct Counter : ObservableObject {
    int value = 0;
    void increment() {
        objectWillChange();
        ++value;
    }
};

// What the tests' views saw, in order.
struct Journal {
    std::vector<std::string> lines;
    std::vector<std::weak_ptr<Counter>> counters;
    int evaluations = 0;
};

// A view with a counter of its own, showing a child only while the counter is even.
struct CountingView {
    std::shared_ptr<Journal> journal;
    AnyView body(ViewContext& context) const {
        auto counter = context.stateObject<Counter>([j = journal] {
            auto made = std::make_shared<Counter>();
            j->counters.push_back(made);
            return made;
        });
        ++journal->evaluations;
        journal->lines.push_back("body " + std::to_string(counter->value));
        std::vector<AnyView> children{Color{gfx::Color::white()}};
        if (counter->value % 2 == 0)
            children.push_back(AnyView(Color::clear())
                                   .onAppear([j = journal] { j->lines.push_back("appear"); })
                                   .onDisappear([j = journal] { j->lines.push_back("disappear"); }));
        return ZStack{children};
    }
};

// Hosts a platform view of its own, recording how often it was made and updated.
struct Hosted {
    using ViewType = ui::ImageView;
    std::shared_ptr<Journal> journal;
    std::string label;
    std::shared_ptr<ui::ImageView> makeView() const {
        journal->lines.push_back("make");
        return std::make_shared<ui::ImageView>();
    }
    void updateView(ui::ImageView& view) const {
        journal->lines.push_back("update " + label);
        view.setTag(static_cast<int>(label.size()));
    }
};

std::shared_ptr<gfx::Image> picture(int width, int height) {
    return gfx::Image::make(std::make_shared<gfx::Bitmap>(gfx::Bitmap::make(width, height)));
}

class Declarative : public ::testing::Test {
protected:
    void SetUp() override { foundation::Clock::setCurrent(clock); }
    void TearDown() override {
        host.renderIfNeeded();
        foundation::Clock::setCurrent(nullptr);
    }

    // Turns the main run loop until the hosting view has nothing left to evaluate.
    void settle(HostingView& view) {
        dispatch::RunLoop::main()->runUntil([&] { return !view.hasPendingUpdates(); }, 5);
    }

    std::shared_ptr<foundation::ManualClock> clock = std::make_shared<foundation::ManualClock>(foundation::Date{}, 10);
    ui::HeadlessHost host{{{200, 100}, 1}};
    std::shared_ptr<Journal> journal = std::make_shared<Journal>();
};

TEST_F(Declarative, stateObjectIsMadeOncePerIdentityAndChangeEventsCoalesceIntoOneLaterEvaluation) {
    auto hosting = HostingView::make(AnyView(CountingView{journal}).id(std::string("first")));
    ASSERT_EQ(journal->counters.size(), 1u);
    auto counter = journal->counters[0].lock();
    counter->increment();
    counter->increment();
    counter->increment();
    EXPECT_EQ(journal->evaluations, 1) << "evaluation waits for the run loop";
    settle(*hosting);
    EXPECT_EQ(journal->evaluations, 2);
    EXPECT_EQ(journal->lines.back(), "body 3");

    hosting->setRootView(AnyView(CountingView{journal}).id(std::string("first")));
    EXPECT_EQ(journal->counters.size(), 1u) << "the same identity keeps the state";
    EXPECT_EQ(journal->lines.back(), "body 3");

    counter.reset();
    hosting->setRootView(AnyView(CountingView{journal}).id(std::string("second")));
    ASSERT_EQ(journal->counters.size(), 2u);
    EXPECT_TRUE(journal->counters[0].expired()) << "a new identity drops the old state";
    EXPECT_EQ(journal->lines.back(), "body 0");
}

TEST_F(Declarative, appearAndDisappearFollowTheWindowAndTheTree) {
    auto hosting = HostingView::make(CountingView{journal});
    EXPECT_EQ(journal->lines, (std::vector<std::string>{"body 0"})) << "no window, no appearance";
    host.window()->addSubview(hosting);
    EXPECT_EQ(journal->lines.back(), "appear");

    journal->counters[0].lock()->increment();  // odd: the child leaves
    settle(*hosting);
    EXPECT_EQ(journal->lines, (std::vector<std::string>{"body 0", "appear", "body 1", "disappear"}));

    journal->counters[0].lock()->increment();  // even: a new child comes
    settle(*hosting);
    EXPECT_EQ(journal->lines.back(), "appear");

    hosting->removeFromSuperview();
    EXPECT_EQ(journal->lines.back(), "disappear");
    host.window()->addSubview(hosting);
    EXPECT_EQ(journal->lines.back(), "appear");
    hosting->removeFromSuperview();
}

TEST_F(Declarative, opacityAnimatesOnlyForChangesAnnouncedInsideAnAnimation) {
    struct Faded {
        std::shared_ptr<Counter> shared;
        AnyView body(ViewContext& context) const {
            auto counter = context.stateObject<Counter>([s = shared] { return s; });
            return AnyView(Color{gfx::Color::black()}).opacity(counter->value > 0 ? 1.0 : 0.0);
        }
    };
    auto counter = std::make_shared<Counter>();
    auto hosting = HostingView::make(Faded{counter});
    hosting->setFrame({0, 0, 200, 100});
    host.window()->addSubview(hosting);
    host.renderIfNeeded();
    // The root holds the body's node, which holds the opacity's container.
    ui::View& faded = *hosting->subviews()[0]->subviews()[0];
    EXPECT_EQ(faded.alpha(), 0) << "a new view takes its opacity at once";

    withAnimation(Animation::linear(2), [&] { counter->increment(); });
    settle(*hosting);
    EXPECT_EQ(faded.alpha(), 1);
    clock->advance(0.5);
    host.renderIfNeeded();
    auto presented = faded.layer()->presentationLayer(clock->uptime());
    ASSERT_TRUE(presented);
    EXPECT_NEAR(std::get<double>(*presented->animatableValue("opacity")), 0.25, 1e-9);

    counter->value = 0;
    counter->objectWillChange();
    settle(*hosting);
    EXPECT_EQ(faded.alpha(), 0);
    EXPECT_FALSE(faded.layer()->presentationLayer(clock->uptime() + 10)) << "no animation outside withAnimation";
    hosting->removeFromSuperview();
}

TEST_F(Declarative, stackCentresItsChildrenAtTheirSizeWhileColoursAndResizableImagesFill) {
    auto image = picture(40, 20);
    auto hosting = HostingView::make(ZStack{{Color{gfx::Color::white()}, Image(image), Image(image).resizable()}});
    hosting->setFrame({0, 0, 200, 100});
    host.window()->addSubview(hosting);
    host.window()->layoutIfNeeded();
    const auto& stack = hosting->subviews()[0];
    ASSERT_EQ(stack->subviews().size(), 3u);
    EXPECT_EQ(stack->subviews()[0]->frame(), (ui::Rect{0, 0, 200, 100}));
    EXPECT_EQ(stack->subviews()[1]->frame(), (ui::Rect{80, 40, 40, 20}));
    EXPECT_EQ(stack->subviews()[2]->frame(), (ui::Rect{0, 0, 200, 100}));
    EXPECT_EQ(std::static_pointer_cast<ui::ImageView>(stack->subviews()[1])->image(), image);
    hosting->removeFromSuperview();
}

TEST_F(Declarative, imageModifiersReachThePlatformViewAndCopyTheValue) {
    auto plain = Image(picture(4, 4));
    auto templated = plain.renderingMode(Image::TemplateRenderingMode::template_).interpolation(Image::Interpolation::none).antialiased(false);
    EXPECT_FALSE(plain.templateRenderingMode());
    EXPECT_EQ(plain.interpolationQuality(), Image::Interpolation::high);
    EXPECT_EQ(templated.interpolationQuality(), Image::Interpolation::none);
    EXPECT_FALSE(templated.isAntialiased());
    auto hosting = HostingView::make(templated);
    auto& view = static_cast<ui::ImageView&>(*hosting->subviews()[0]);
    EXPECT_EQ(view.renderingMode(), ui::ImageRenderingMode::alwaysTemplate);
    hosting->setRootView(plain.renderingMode(Image::TemplateRenderingMode::original));
    EXPECT_EQ(view.renderingMode(), ui::ImageRenderingMode::alwaysOriginal);
}

TEST_F(Declarative, hostedViewIsMadeOnceAndUpdatedOnEveryEvaluationUntilItsKindChanges) {
    auto hosting = HostingView::make(Hosted{journal, "a"});
    auto made = hosting->subviews()[0];
    hosting->setRootView(Hosted{journal, "bb"});
    EXPECT_EQ(hosting->subviews()[0], made);
    EXPECT_EQ(made->tag(), 2);
    EXPECT_EQ(journal->lines, (std::vector<std::string>{"make", "update a", "update bb"}));
    hosting->setRootView(Color::clear());
    EXPECT_NE(hosting->subviews()[0], made);
    EXPECT_EQ(hosting->subviews().size(), 1u);
}

TEST_F(Declarative, droppingASubscriptionStopsTheObserverAndObserversMayUnsubscribeWhileTold) {
    Counter counter;
    int first = 0;
    int second = 0;
    Subscription held;
    Subscription other = counter.subscribe([&] { ++second; });
    held = counter.subscribe([&] {
        ++first;
        other.reset();
    });
    counter.increment();
    counter.increment();
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 1) << "told once from the snapshot, then gone";
    held.reset();
    counter.increment();
    EXPECT_EQ(first, 2);
}

TEST_F(Declarative, withAnimationNestsAndRestores) {
    EXPECT_FALSE(currentAnimation());
    withAnimation(Animation::linear(1), [] {
        withAnimation(std::nullopt, [] { EXPECT_FALSE(currentAnimation()); });
        EXPECT_EQ(currentAnimation(), Animation::linear(1));
    });
    EXPECT_FALSE(currentAnimation());
}

}  // namespace
}  // namespace declarative
