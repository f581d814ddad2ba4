#include <gtest/gtest.h>

#include "cells/CellStyles.h"

namespace {

TEST(CellStylesTest, defaultTextSizesGiveTheCardFontScheme) {
    auto bases = FontBases::current();
    EXPECT_EQ(bases.titleSize, 22);
    EXPECT_EQ(bases.bodySize, 17);

    EXPECT_EQ(infoTitleStyle(bases).font, gfx::Font::systemFont(22, gfx::FontWeight::semibold));
    EXPECT_EQ(infoTitleStyle(bases).numberOfLines, 1);
    EXPECT_EQ(infoDescriptionStyle(bases).font, gfx::Font::systemFont(13));
    EXPECT_EQ(infoDescriptionStyle(bases).textColor, gfx::Color::secondaryLabel());
    EXPECT_EQ(infoDescriptionStyle(bases).numberOfLines, 0);
    EXPECT_EQ(nameStyle(bases).font, gfx::Font::systemFont(20, gfx::FontWeight::bold));
    EXPECT_EQ(nameStyle(bases).alignment, gfx::TextAlignment::left);
    EXPECT_EQ(nameStyle(bases).numberOfLines, 0);
    EXPECT_EQ(detailStyle(bases).font, gfx::Font::systemFont(13));
    EXPECT_EQ(detailStyle(bases).numberOfLines, 1);
    EXPECT_EQ(alertStyle(bases).textColor, gfx::Color::systemRed());
}

TEST(CellStylesTest, fontsFollowLargerTextSizesTogether) {
    FontBases larger{28, 23};
    EXPECT_EQ(infoTitleStyle(larger).font.pointSize(), 28);
    EXPECT_EQ(nameStyle(larger).font.pointSize(), 26);
    EXPECT_EQ(detailStyle(larger).font.pointSize(), 19);
}

TEST(CellStylesTest, labelStyleIsAppliedWhole) {
    ui::Label label;
    alertStyle({}).apply(label);
    EXPECT_EQ(label.textColor(), gfx::Color::systemRed());
    EXPECT_EQ(label.font(), gfx::Font::systemFont(13));
    EXPECT_EQ(label.textAlignment(), gfx::TextAlignment::left);
    EXPECT_EQ(label.numberOfLines(), 1);
}

TEST(CellStylesTest, buttonStylesTintTitleAndBackground) {
    ui::Button action;
    actionButtonStyle(action, gfx::Color::systemPink(), {});
    EXPECT_EQ(action.titleColor(ui::ControlState::normal), gfx::Color::systemPink());
    EXPECT_EQ(action.backgroundColor(), gfx::Color::systemPink().withAlphaComponent(0.2));
    EXPECT_EQ(action.titleLabel()->font(), gfx::Font::systemFont(20, gfx::FontWeight::bold));
    EXPECT_EQ(action.contentEdgeInsets(), (ui::EdgeInsets{12, 8, 12, 8}));
    EXPECT_EQ(action.layer()->cornerRadius(), 12);
    EXPECT_FALSE(action.layer()->masksToBounds());

    ui::Button pill;
    pillButtonStyle(pill, {});
    EXPECT_EQ(pill.titleColor(ui::ControlState::normal), gfx::Color::white());
    EXPECT_EQ(pill.backgroundColor(), gfx::Color::black().withAlphaComponent(0.18));
    EXPECT_EQ(pill.titleLabel()->font(), gfx::Font::systemFont(20, gfx::FontWeight::semibold));
    EXPECT_EQ(pill.contentEdgeInsets(), (ui::EdgeInsets{4, 8, 4, 8}));
}

TEST(CellStylesTest, driverImageIsClippedRoundAndFitted) {
    ui::ImageView image;
    driverImageStyle(image);
    EXPECT_EQ(image.contentMode(), ui::ContentMode::scaleAspectFit);
    EXPECT_EQ(image.layer()->cornerRadius(), 25);
    EXPECT_TRUE(image.layer()->masksToBounds());
}

}  // namespace
