#include <gtest/gtest.h>

#include "ui/View.h"

namespace ui {
namespace {

struct Stage {
    std::shared_ptr<View> root = std::make_shared<View>(Rect{0, 0, 300, 300});
    std::shared_ptr<View> card = std::make_shared<View>(Rect{50, 50, 100, 100});
    std::shared_ptr<View> badge = std::make_shared<View>(Rect{80, 80, 40, 40});  // pokes out of the card

    Stage() {
        root->addSubview(card);
        card->addSubview(badge);
    }
    std::shared_ptr<View> hit(Point point) { return root->hitTest(point, {}); }
};

TEST(HitTesting, deepestVisibleViewWinsAndFrontSiblingsFirst) {
    Stage scene;
    EXPECT_EQ(scene.hit({60, 60}), scene.card);
    EXPECT_EQ(scene.hit({135, 135}), scene.badge);
    EXPECT_EQ(scene.hit({10, 10}), scene.root);
    EXPECT_EQ(scene.hit({301, 10}), nullptr);
    auto cover = std::make_shared<View>(Rect{0, 0, 300, 300});
    scene.root->addSubview(cover);
    EXPECT_EQ(scene.hit({135, 135}), cover);
}

TEST(HitTesting, partsOutsideTheSuperviewAreNotHitWhetherOrNotItClips) {
    Stage scene;
    EXPECT_EQ(scene.hit({165, 165}), scene.root);  // badge area beyond the card's bounds
    scene.card->setClipsToBounds(true);
    EXPECT_EQ(scene.hit({165, 165}), scene.root);
    EXPECT_EQ(scene.hit({140, 140}), scene.badge);
}

TEST(HitTesting, nearlyTransparentHiddenAndNonInteractiveViewsAreSkippedWithTheirSubtrees) {
    Stage scene;
    scene.card->setAlpha(0.009);
    EXPECT_EQ(scene.hit({140, 140}), scene.root);
    scene.card->setAlpha(0.01);
    EXPECT_EQ(scene.hit({140, 140}), scene.badge);
    scene.card->setHidden(true);
    EXPECT_EQ(scene.hit({140, 140}), scene.root);
    scene.card->setHidden(false);
    scene.badge->setUserInteractionEnabled(false);
    EXPECT_EQ(scene.hit({140, 140}), scene.card);
}

TEST(HitTesting, transformedViewsAreHitWhereTheyAppear) {
    Stage scene;
    scene.card->setTransform(gfx::AffineTransform::translation(100, 0));
    EXPECT_EQ(scene.hit({60, 60}), scene.root);
    EXPECT_EQ(scene.hit({160, 60}), scene.card);
}

}  // namespace
}  // namespace ui
