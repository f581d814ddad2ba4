#include <gtest/gtest.h>

#include "gfx/Color.h"

using namespace gfx;

TEST(Color, ReadsSixDigitHexWithOrWithoutHash) {
    EXPECT_EQ(Color::fromHex("#FF8000"), Color::rgb(255, 128, 0));
    EXPECT_EQ(Color::fromHex("3671c6"), Color::rgb(0x36, 0x71, 0xC6));
    EXPECT_FALSE(Color::fromHex("#FFF"));
    EXPECT_FALSE(Color::fromHex("#GG0000"));
    EXPECT_FALSE(Color::fromHex(""));
    EXPECT_FALSE(Color::fromHex("##FF0000"));
}

TEST(Color, SystemColoursUseLightAppearanceValues) {
    EXPECT_EQ(Color::systemBlue(), Color::rgb(0, 122, 255));
    EXPECT_EQ(Color::label(), Color::black());
    EXPECT_EQ(Color::secondaryLabel(), Color::rgb(60, 60, 67, 0.6));
    EXPECT_EQ(Color::systemGray4(), Color::rgb(209, 209, 214));
    EXPECT_EQ(Color::systemBackground().withAlphaComponent(0.2), Color::white(1, 0.2));
    EXPECT_NE(Color::systemRed(), Color::systemPink());
}

TEST(Color, PremultipliedPixelsRoundTrip) {
    EXPECT_EQ(Color::rgb(255, 0, 0, 0.5).premultipliedPixel(), 0x80800000u);
    EXPECT_EQ(Color::clear().premultipliedPixel(), 0u);
    Color back = Color::fromPremultipliedPixel(Color::rgb(200, 100, 50, 0.8).premultipliedPixel());
    EXPECT_NEAR(back.red, 200 / 255.0, 0.01);
    EXPECT_NEAR(back.blue, 50 / 255.0, 0.01);
    EXPECT_NEAR(back.alpha, 0.8, 0.01);
}
