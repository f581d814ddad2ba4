#include <gtest/gtest.h>

#include "PixelProbe.h"
#include "gfx/ImageRenderer.h"

using namespace gfx;
using gfx::testing::pixelNear;

TEST(ImageRenderer, RendersATopLeftContextAtTheFormatScale) {
    ImageRenderer renderer({10, 5}, {.scale = 3});
    RenderedImage rendered = renderer.image([](Context& context) {
        EXPECT_EQ(context.origin(), Origin::topLeft);
        context.setFillColor(Color::rgb(0, 0, 255));
        context.fillRect({0, 0, 10, 1});
    });
    EXPECT_EQ(rendered.scale, 3);
    ASSERT_EQ(rendered.bitmap.width, 30);
    ASSERT_EQ(rendered.bitmap.height, 15);
    EXPECT_TRUE(pixelNear(rendered.bitmap, 0, 0, 0xFF0000FF));
    EXPECT_TRUE(pixelNear(rendered.bitmap, 0, 3, 0));
}

TEST(ImageRenderer, AContextKeptByTheBlockStillDrawsAfterTheImageIsMade) {
    std::shared_ptr<Context> kept;
    RenderedImage rendered = ImageRenderer({2, 2}).image([&](Context&) { kept = currentContext(); });
    ASSERT_TRUE(kept);
    kept->setFillColor(Color::rgb(255, 0, 0));
    kept->fillRect({0, 0, 2, 2});
    EXPECT_TRUE(pixelNear(rendered.bitmap, 1, 1, 0));
    EXPECT_TRUE(pixelNear(kept->makeImage(), 1, 1, 0xFFFF0000));
}

TEST(ImageRenderer, TakingTheImageEndsTheContextsDrawing) {
    auto context = Context::create(3, 3, {});
    context->setFillColor(Color::rgb(0, 255, 0));
    context->fillRect({0, 0, 3, 3});
    Bitmap taken = context->takeImage();
    EXPECT_TRUE(pixelNear(taken, 2, 2, 0xFF00FF00));
    context->fillRect({0, 0, 3, 3});  // goes nowhere, and breaks nothing
    EXPECT_TRUE(pixelNear(taken, 2, 2, 0xFF00FF00));
}

TEST(ImageRenderer, OpaqueFormatGivesOpaquePixels) {
    RenderedImage rendered = ImageRenderer({2, 2}, {.opaque = true}).image([](Context&) {});
    EXPECT_TRUE(pixelNear(rendered.bitmap, 1, 1, 0xFF000000));
}

TEST(ImageRenderer, EmptySizeSkipsTheBlock) {
    bool ran = false;
    RenderedImage rendered = ImageRenderer({0, 10}).image([&](Context&) { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_TRUE(rendered.bitmap.empty());
}

TEST(ImageRenderer, NestedRenderersEachSeeTheirOwnCurrentContext) {
    EXPECT_EQ(currentContext(), nullptr);
    ImageRenderer({4, 4}).image([](Context& outer) {
        EXPECT_EQ(currentContext().get(), &outer);
        ImageRenderer({2, 2}).image([&](Context& inner) {
            EXPECT_EQ(currentContext().get(), &inner);
            EXPECT_NE(&inner, &outer);
        });
        EXPECT_EQ(currentContext().get(), &outer);
    });
    EXPECT_EQ(currentContext(), nullptr);
}

TEST(ImageRenderer, ImageContextsBeginDrawAndEnd) {
    ASSERT_TRUE(beginImageContext({3, 3}, false, 2));
    auto context = currentContext();
    ASSERT_TRUE(context);
    context->setFillColor(Color::rgb(255, 0, 0));
    context->fillRect({0, 0, 3, 3});
    auto image = imageFromCurrentImageContext();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->scale, 2);
    EXPECT_EQ(image->bitmap.width, 6);
    EXPECT_TRUE(pixelNear(image->bitmap, 5, 5, 0xFFFF0000));
    endImageContext();
    EXPECT_EQ(currentContext(), nullptr);
    EXPECT_FALSE(imageFromCurrentImageContext());
    endImageContext();  // nothing open: ignored
    EXPECT_FALSE(beginImageContext({0, 0}, false, 1));
}
