#include <gtest/gtest.h>

#include "RenderProbe.h"
#include "quartz/Renderer.h"
#include "quartz/ShapeLayer.h"

using namespace quartz;
using namespace quartz::testing;
using gfx::Color;

namespace {

std::shared_ptr<Layer> canvas() {
    auto root = Layer::make();
    root->setFrame({0, 0, 100, 100});
    return root;
}

}  // namespace

TEST(LayerRendering, BackgroundIsRoundedByTheCornerRadius) {
    auto root = canvas();
    root->addSublayer(coloredLayer({0, 0, 100, 100}, red));
    root->sublayers()[0]->setCornerRadius(30);
    gfx::Bitmap image = renderToBitmap(*root, {100, 100});
    EXPECT_TRUE(colorNear(image, 1, 1, transparent));
    EXPECT_TRUE(colorNear(image, 98, 98, transparent));
    EXPECT_TRUE(colorNear(image, 50, 1, red));
    EXPECT_TRUE(colorNear(image, 50, 50, red));
}

TEST(LayerRendering, MasksToBoundsClipsSublayersToTheRoundedBounds) {
    auto root = canvas();
    auto parent = coloredLayer({0, 0, 50, 50}, red);
    parent->addSublayer(coloredLayer({25, 25, 50, 50}, blue));
    root->addSublayer(parent);
    EXPECT_TRUE(colorNear(renderToBitmap(*root, {100, 100}), 60, 60, blue));

    parent->setMasksToBounds(true);
    parent->setCornerRadius(10);
    gfx::Bitmap clipped = renderToBitmap(*root, {100, 100});
    EXPECT_TRUE(colorNear(clipped, 60, 60, transparent));
    EXPECT_TRUE(colorNear(clipped, 40, 40, blue));
    EXPECT_TRUE(colorNear(clipped, 49, 49,
                          transparent));  // the rounded corner clips the sublayer too
    EXPECT_TRUE(colorNear(clipped, 10, 10, red));
}

TEST(LayerRendering, OpacityAppliesToTheLayerAsAGroup) {
    auto root = canvas();
    auto group = Layer::make();
    group->setFrame({0, 0, 100, 100});
    group->setOpacity(0.5);
    group->addSublayer(coloredLayer({0, 0, 60, 60}, red));
    group->addSublayer(coloredLayer({40, 40, 60, 60}, blue));
    root->addSublayer(group);
    gfx::Bitmap image = renderToBitmap(*root, {100, 100}, 2);
    // The overlap shows the front child alone at half alpha, like the parts that do not overlap.
    EXPECT_NEAR(alphaAt(image, 40, 40), 128, 2);
    EXPECT_NEAR(alphaAt(image, 100, 100), 128, 2);
    EXPECT_NEAR(alphaAt(image, 180, 180), 128, 2);
    EXPECT_TRUE(colorNear(image, 100, 100, blue.withAlphaComponent(0.5)));
}

TEST(LayerRendering, MaskLayerAlphaMultipliesTheLayer) {
    auto root = canvas();
    auto layer = coloredLayer({0, 0, 100, 100}, red);
    auto mask = coloredLayer({0, 0, 50, 100}, black.withAlphaComponent(0.5));
    mask->addSublayer(coloredLayer({0, 0, 50, 20}, black));
    layer->setMask(mask);
    layer->addSublayer(coloredLayer({0, 80, 100, 20}, blue));  // masked with the layer
    root->addSublayer(layer);
    gfx::Bitmap image = renderToBitmap(*root, {100, 100}, 2);
    EXPECT_TRUE(colorNear(image, 50, 100, red.withAlphaComponent(0.5)));
    EXPECT_TRUE(colorNear(image, 50, 10, red));
    EXPECT_TRUE(colorNear(image, 50, 190, blue.withAlphaComponent(0.5)));
    EXPECT_TRUE(colorNear(image, 150, 100, transparent));
    EXPECT_TRUE(colorNear(image, 150, 190, transparent));
}

// A mask that layers lying alike share is drawn once in a pass, not once a layer (an SVG clip path clipping
// many elements, or each part of another clip path).
TEST(LayerRendering, AMaskLayersShareIsDrawnOnceAPass) {
    struct Counter : LayerDelegate {
        void drawLayer(const Layer& layer, gfx::Context& context) override {
            ++drawn;
            context.setFillColor(black);
            context.fillRect(layer.bounds());
        }
        int drawn = 0;
    };
    auto counter = std::make_shared<Counter>();
    auto mask = Layer::make();
    mask->setFrame({0, 0, 50, 100});
    auto drawing = Layer::make();
    drawing->setFrame({0, 0, 50, 100});
    drawing->setDelegate(counter);
    mask->addSublayer(drawing);
    auto root = canvas();
    for (const Color& color : {red, blue}) {
        auto layer = coloredLayer({0, 0, 100, 100}, color.withAlphaComponent(0.5));
        layer->addSublayer(coloredLayer({0, 0, 100, 10}, color));
        layer->setMask(mask);
        root->addSublayer(layer);
    }
    gfx::Bitmap image = renderToBitmap(*root, {100, 100});
    EXPECT_EQ(counter->drawn, 1);
    EXPECT_NEAR(alphaAt(image, 25, 50), 191, 2);
    EXPECT_TRUE(colorNear(image, 25, 5, blue));
    EXPECT_TRUE(colorNear(image, 75, 50, transparent));
    renderToBitmap(*root, {100, 100});
    EXPECT_EQ(counter->drawn, 2) << "once in each pass";
}

TEST(LayerRendering, ContentsGravityPlacesTheBitmap) {
    gfx::Bitmap wide = gfx::Bitmap::make(20, 10);
    for (int y = 0; y < 10; ++y) std::fill_n(wide.row(y), 20, Color::rgb(0, 255, 0).premultipliedPixel());
    auto layer = Layer::make();
    layer->setFrame({0, 0, 100, 100});
    layer->setContents(std::make_shared<const gfx::Bitmap>(wide));

    layer->setContentsGravity(ContentsGravity::resizeAspect);
    gfx::Bitmap fitted = renderToBitmap(*layer, {100, 100});
    EXPECT_TRUE(colorNear(fitted, 50, 10, transparent));  // letterboxed above and below
    EXPECT_TRUE(colorNear(fitted, 50, 90, transparent));
    EXPECT_TRUE(colorNear(fitted, 2, 50, Color::rgb(0, 255, 0)));

    layer->setContentsGravity(ContentsGravity::center);
    layer->setContentsScale(2);  // 10 x 5 points
    gfx::Bitmap centred = renderToBitmap(*layer, {100, 100});
    EXPECT_TRUE(colorNear(centred, 50, 50, Color::rgb(0, 255, 0)));
    EXPECT_TRUE(colorNear(centred, 43, 50, transparent));
    EXPECT_EQ(layer->contentsRectInBounds(), (gfx::Rect{45, 47.5, 10, 5}));

    layer->setContentsGravity(ContentsGravity::topLeft);
    EXPECT_EQ(layer->contentsRectInBounds(), (gfx::Rect{0, 0, 10, 5}));
}

TEST(LayerRendering, BorderIsDrawnOverSublayers) {
    auto root = canvas();
    root->setBorderWidth(5);
    root->setBorderColor(black);
    root->addSublayer(coloredLayer({0, 0, 100, 100}, red));
    gfx::Bitmap image = renderToBitmap(*root, {100, 100});
    EXPECT_TRUE(colorNear(image, 2, 50, black));
    EXPECT_TRUE(colorNear(image, 97, 97, black));
    EXPECT_TRUE(colorNear(image, 6, 50, red));
}

TEST(LayerRendering, SublayerTransformMovesSublayersOnly) {
    auto root = canvas();
    root->setBackgroundColor(blue.withAlphaComponent(0.5));
    root->addSublayer(coloredLayer({0, 0, 20, 20}, red));
    root->setSublayerTransform(Transform3D::translation(50, 0));
    gfx::Bitmap image = renderToBitmap(*root, {100, 100});
    EXPECT_TRUE(colorNear(image, 60, 10, red));
    EXPECT_TRUE(colorNear(image, 10, 10, blue.withAlphaComponent(0.5)));
}

TEST(LayerRendering, HiddenAndTransparentLayersDrawNothing) {
    auto root = canvas();
    auto hidden = coloredLayer({0, 0, 50, 50}, red);
    hidden->setHidden(true);
    hidden->addSublayer(coloredLayer({0, 0, 10, 10}, blue));
    auto faded = coloredLayer({50, 50, 50, 50}, red);
    faded->setOpacity(0);
    root->addSublayer(hidden);
    root->addSublayer(faded);
    gfx::Bitmap image = renderToBitmap(*root, {100, 100});
    EXPECT_TRUE(colorNear(image, 5, 5, transparent));
    EXPECT_TRUE(colorNear(image, 25, 25, transparent));
    EXPECT_TRUE(colorNear(image, 75, 75, transparent));
}

TEST(LayerRendering, RootIsDrawnInItsOwnSpaceAtTheContextScale) {
    auto root = Layer::make();
    root->setBounds({10, 10, 50, 50});  // its own space starts at (10, 10)
    root->setPosition({500, 500});      // its own placement is not applied
    root->addSublayer(coloredLayer({10, 10, 10, 10}, red));
    gfx::Bitmap image = renderToBitmap(*root, {40, 40}, 2);
    EXPECT_TRUE(colorNear(image, 25, 25, red));
    EXPECT_TRUE(colorNear(image, 41, 41, transparent));
}

TEST(LayerRendering, ShadowFallsOffsetBelowTheLayer) {
    auto root = canvas();
    auto card = coloredLayer({20, 20, 40, 40}, Color::white());
    card->setShadowOpacity(1);
    card->setShadowRadius(0);
    card->setShadowOffset({10, 10});
    root->addSublayer(card);
    gfx::Bitmap image = renderToBitmap(*root, {100, 100});
    EXPECT_TRUE(colorNear(image, 65, 65, black));
    EXPECT_TRUE(colorNear(image, 40, 40,
                          Color::white()));  // the layer stays above its shadow
    EXPECT_TRUE(colorNear(image, 15, 15, transparent));

    // A blurred shadow from a shadow path (in the layer's space) fades out across its edge.
    gfx::Path path;
    path.addRect({0, 0, 40, 40});
    card->setShadowPath(path);
    card->setShadowRadius(8);
    card->setShadowOpacity(0.5);
    gfx::Bitmap blurred = renderToBitmap(*root, {100, 100});
    int near = alphaAt(blurred, 66, 50), far = alphaAt(blurred, 76, 50);
    EXPECT_GT(near, far);
    EXPECT_GT(far, 0);
    EXPECT_LE(near, 128);
}

TEST(LayerRendering, CustomDrawingGoesThroughTheDelegate) {
    struct Painter : LayerDelegate {
        void drawLayer(const Layer& layer, gfx::Context& context) override {
            context.setFillColor(Color::rgb(0, 0, 255));
            context.fillRect(layer.bounds().insetBy(10, 10));
        }
        void displayLayer(Layer& layer) override {
            displayed = true;
            layer.setBackgroundColor(Color::rgb(255, 0, 0));
        }
        bool displayed = false;
    };
    auto painter = std::make_shared<Painter>();
    auto root = canvas();
    auto layer = Layer::make();
    layer->setFrame({0, 0, 100, 100});
    layer->setDelegate(painter);
    root->addSublayer(layer);

    layer->setNeedsDisplay();
    root->displayIfNeeded();
    EXPECT_TRUE(painter->displayed);
    EXPECT_FALSE(layer->needsDisplay());
    gfx::Bitmap image = renderToBitmap(*root, {100, 100});
    EXPECT_TRUE(colorNear(image, 5, 5, red));
    EXPECT_TRUE(colorNear(image, 50, 50, blue));
}

// A layer's drawing sets line widths, dashes and colours; none of it may reach the layers drawn after it,
// its own sublayers or its later siblings.
TEST(LayerRendering, WhatALayerDrawsWithLeavesNoTraceOnTheLayersAfterIt) {
    struct Liner : LayerDelegate {
        void drawLayer(const Layer&, gfx::Context& context) override {
            context.setStrokeColor(blue);
            gfx::Path line;
            line.moveTo({0, 50.5});
            line.lineTo({100, 50.5});
            context.stroke(line);
        }
    };
    auto liner = std::make_shared<Liner>();
    const auto picture = [&](bool dashedShapeFirst, bool insideShape) {
        auto root = canvas();
        auto layer = Layer::make();
        layer->setFrame({0, 0, 100, 100});
        layer->setDelegate(liner);
        if (dashedShapeFirst) {
            auto shape = ShapeLayer::make();
            shape->setFrame({0, 0, 100, 20});
            gfx::Path path;
            path.moveTo({0, 10});
            path.lineTo({100, 10});
            shape->setPath(path);
            shape->setFillColor(std::nullopt);
            shape->setStrokeColor(red);
            shape->setLineWidth(12);
            shape->setLineDashPattern({3, 9});
            root->addSublayer(shape);
            // The shape's space is the root's, so the line lands in one place either way.
            if (insideShape) shape->addSublayer(layer);
        }
        if (!layer->superlayer()) root->addSublayer(layer);
        return renderToBitmap(*root, {100, 100});
    };
    const gfx::Bitmap alone = picture(false, false);
    for (bool insideShape : {false, true}) {
        const gfx::Bitmap after = picture(true, insideShape);
        for (int y = 40; y < 60; ++y)
            for (int x = 0; x < 100; ++x)
                ASSERT_EQ(after.pixel(x, y), alone.pixel(x, y)) << x << ", " << y << (insideShape ? " (sublayer)" : "");
    }
    EXPECT_TRUE(colorNear(alone, 50, 50, blue));
    EXPECT_TRUE(colorNear(alone, 50, 45, transparent));
}
