#include <gtest/gtest.h>

#include "ImageSamples.h"
#include "SetImageTestSupport.h"

namespace pictura {
namespace {

class IndicatorAndPlaceholderTest : public testing::SetImageFixture {};

// An indicator with a fixed size and an offset, counting what it is told.
class FixedIndicator final : public Indicator {
public:
    void startIndicatorAnimation() override { ++starts; }
    void stopIndicatorAnimation() override { ++stops; }
    ui::Point centerOffset() const override { return {5, -5}; }
    std::shared_ptr<ui::View> indicatorView() const override { return view; }
    IndicatorSizeStrategy sizeStrategy(const ui::ImageView&) const override {
        return IndicatorSizeStrategy::size({30, 10});
    }

    int starts = 0;
    int stops = 0;
    std::shared_ptr<ui::View> view = std::make_shared<ui::View>();
};

// Only what an indicator must give; the rest as every indicator has it.
class PlainIndicator final : public Indicator {
public:
    void startIndicatorAnimation() override {}
    void stopIndicatorAnimation() override {}
    std::shared_ptr<ui::View> indicatorView() const override { return view; }
    std::shared_ptr<ui::View> view = std::make_shared<ui::View>();
};

TEST_F(IndicatorAndPlaceholderTest, theSpinnerCountsOverlappingStartsAndNeverCountsBelowZero) {
    ActivityIndicator spinner;
    const auto& shown = spinner.activityIndicatorView();
    EXPECT_EQ(shown->style(), ui::ActivityIndicatorStyle::medium);
    spinner.stopIndicatorAnimation();
    EXPECT_EQ(spinner.animatingCount(), 0);
    EXPECT_TRUE(shown->isHidden());
    spinner.startIndicatorAnimation();
    spinner.startIndicatorAnimation();
    spinner.stopIndicatorAnimation();
    EXPECT_TRUE(shown->isAnimating());
    EXPECT_FALSE(shown->isHidden());
    spinner.stopIndicatorAnimation();
    EXPECT_FALSE(shown->isAnimating());
    EXPECT_TRUE(shown->isHidden());
    spinner.stopIndicatorAnimation();
    EXPECT_EQ(spinner.animatingCount(), 0);
    spinner.startIndicatorAnimation();
    EXPECT_TRUE(shown->isAnimating());
}

TEST_F(IndicatorAndPlaceholderTest, anImageIndicatorExistsOnlyForBytesThatDecodeAndPlaysEveryFrame) {
    EXPECT_FALSE(ImageIndicator::make(foundation::Data::fromString("not a picture")));
    pc(view).setIndicatorType(IndicatorType::image(foundation::Data::fromString("not a picture")));
    EXPECT_FALSE(pc(view).indicator());
    EXPECT_EQ(pc(view).indicatorType().kind(), IndicatorType::Kind::image);
    EXPECT_TRUE(view->subviews().empty());

    auto indicator = ImageIndicator::make(samples::gif({0.1, 0.1, 0.1}));
    ASSERT_TRUE(indicator);
    const auto& shown = indicator->animatedImageIndicatorView();
    ASSERT_TRUE(shown->image());
    EXPECT_EQ(shown->image()->frames().size(), 3u);  // all frames, though the options asked for none
    EXPECT_EQ(shown->contentMode(), ui::ContentMode::center);
    EXPECT_EQ(indicator->sizeStrategy(*view), IndicatorSizeStrategy::full());
    indicator->startIndicatorAnimation();
    indicator->startIndicatorAnimation();
    EXPECT_FALSE(shown->isHidden());
    indicator->stopIndicatorAnimation();  // no counting: one stop hides it
    EXPECT_TRUE(shown->isHidden());

    // Only the first frame when the options say so.
    PicturaParsedOptionsInfo firstFrame({PicturaOptionsInfoItem::onlyLoadFirstFrame()});
    auto still = ImageIndicator::make(samples::gif({0.1, 0.1}), DefaultImageProcessor::defaultProcessor(), firstFrame);
    ASSERT_TRUE(still);
    EXPECT_FALSE(still->animatedImageIndicatorView()->image()->isAnimated());
}

TEST_F(IndicatorAndPlaceholderTest, indicatorsAreCentredAndSizedByTheirStrategy) {
    pc(view).setIndicatorType(IndicatorType::activity());
    auto spinner = pc(view).indicator();
    ASSERT_TRUE(spinner);
    EXPECT_EQ(pc(view).indicatorType().kind(), IndicatorType::Kind::activity);
    host.renderIfNeeded();
    EXPECT_EQ(spinner->indicatorView()->frame(), (ui::Rect{40, 40, 20, 20}));  // its own size, centred

    auto fixed = std::make_shared<FixedIndicator>();
    pc(view).setIndicatorType(IndicatorType::custom(fixed));
    EXPECT_FALSE(spinner->indicatorView()->superview());  // the earlier one is taken away
    EXPECT_EQ(pc(view).indicator(), fixed);
    EXPECT_TRUE(fixed->view->isHidden());
    host.renderIfNeeded();
    EXPECT_EQ(fixed->view->frame(), (ui::Rect{40, 40, 30, 10}));

    auto plain = std::make_shared<PlainIndicator>();
    EXPECT_EQ(plain->centerOffset(), (ui::Point{0, 0}));
    EXPECT_EQ(plain->sizeStrategy(*view), IndicatorSizeStrategy::full());
    pc(view).setIndicatorType(IndicatorType::custom(plain));
    host.renderIfNeeded();
    EXPECT_EQ(plain->view->frame(), (ui::Rect{0, 0, 100, 100}));

    pc(view).setIndicatorType(IndicatorType::none());
    EXPECT_FALSE(pc(view).indicator());
    EXPECT_FALSE(plain->view->superview());
    EXPECT_TRUE(view->constraints().empty());  // none left behind naming the views taken away
}

TEST_F(IndicatorAndPlaceholderTest, aCustomIndicatorIsStartedAndStoppedOncePerRequestEvenWhenStale) {
    auto fixed = std::make_shared<FixedIndicator>();
    pc(view).setIndicatorType(IndicatorType::custom(fixed));
    auto older = std::make_shared<testing::Report>();
    auto newer = std::make_shared<testing::Report>();
    pc(view).setImage(network("/held/one"), nullptr, items(), testing::reportTo(older));
    pc(view).setImage(network("/held/two"), nullptr, items(), testing::reportTo(newer));
    EXPECT_EQ(fixed->starts, 2);
    server.openGate();
    ASSERT_TRUE(waitFor(older) && waitFor(newer));
    EXPECT_EQ(fixed->stops, 2);
    EXPECT_EQ(older->code(), 5002);
    EXPECT_TRUE(newer->succeeded());
}

TEST_F(IndicatorAndPlaceholderTest, placeholdersAreTakenAwayWhateverHappenedMeanwhile) {
    auto picture = solid(gfx::Color::white());
    auto imagePlaceholder = Placeholder::image(picture);
    imagePlaceholder->add(view);
    EXPECT_EQ(view->image(), picture);
    view->setImage(solid(gfx::Color::black()));
    imagePlaceholder->remove(view);
    EXPECT_FALSE(view->image());

    auto cover = std::make_shared<ui::View>();
    auto viewPlaceholder = Placeholder::view(cover);
    viewPlaceholder->add(view);
    EXPECT_EQ(cover->superview(), view);
    auto elsewhere = std::make_shared<ui::View>();
    elsewhere->addSubview(cover);
    viewPlaceholder->remove(view);
    EXPECT_FALSE(cover->superview());
    EXPECT_TRUE(view->constraints().empty());

    // Replacing the applied placeholder removes it first; none clears the view.
    pc(view).setImage(std::optional<Source>(), viewPlaceholder, items());
    EXPECT_EQ(cover->superview(), view);
    pc(view).setImage(std::optional<Source>(), imagePlaceholder, items());
    EXPECT_FALSE(cover->superview());
    EXPECT_EQ(view->image(), picture);
    EXPECT_EQ(pc(view).placeholder(), imagePlaceholder);
    pc(view).setImage(std::optional<Source>(), nullptr, items());
    EXPECT_FALSE(view->image());
    EXPECT_FALSE(pc(view).placeholder());
}

}  // namespace
}  // namespace pictura
