#include <gtest/gtest.h>

#include "CellLayoutSupport.h"
#include "cells/DetailHeaderCell.h"
#include "cells/EventPickerCell.h"
#include "cells/LapPickerCell.h"

namespace {

TEST(HeaderAndPickerCellsTest, detailHeaderStacksFourWhiteLinesAndGrowsWithTheRaceName) {
    FixedTextSizes sizes;
    auto cellPointer = std::make_shared<DetailHeaderCell>();
    auto& cell = *cellPointer;
    cell.time->setText("Round 1 Started at 18:00, on 5 Mar 2023 and a few more words to be cut");
    cell.race->setText("Bahrain Grand Prix");
    cell.circuit->setText("Bahrain International Circuit");
    cell.location->setText("Sakhir, Bahrain");

    EXPECT_EQ(layOut(cell), 118);
    EXPECT_EQ(frame(cell.bgView), (ui::Rect{0, 0, 390, 118}));
    EXPECT_EQ(frame(cell.time), (ui::Rect{20, 14, 350, 20}));
    EXPECT_EQ(frame(cell.race), (ui::Rect{20, 38, 180, 20}));
    EXPECT_EQ(frame(cell.circuit).minY(), 62);
    EXPECT_EQ(frame(cell.location), (ui::Rect{20, 84, 150, 20}));

    cell.race->setText("Formula 1 Gulf Air Bahrain Grand Prix 2023 at Sakhir");
    EXPECT_EQ(layOut(cell), 138);
    EXPECT_EQ(frame(cell.race).height(), 40);
    EXPECT_EQ(frame(cell.location).minY(), 104);

    for (const auto& label : {cell.time, cell.race, cell.circuit, cell.location})
        EXPECT_EQ(label->textColor(), gfx::Color::white());
    EXPECT_EQ(cell.time->font(), gfx::Font::systemFont(13, gfx::FontWeight::semibold));
    EXPECT_EQ(cell.race->font(), gfx::Font::systemFont(20, gfx::FontWeight::bold));
    EXPECT_EQ(cell.race->numberOfLines(), 0);
    EXPECT_EQ(cell.location->numberOfLines(), 1);
}

TEST(HeaderAndPickerCellsTest, eventPickerPutsThePillAndCaptionSideBySideAtOneHeight) {
    FixedTextSizes sizes;
    auto cellPointer = std::make_shared<EventPickerCell>();
    auto& cell = *cellPointer;
    cell.event->setTitle("Race", ui::ControlState::normal);
    cell.title->setText("Results");

    EXPECT_EQ(layOut(cell), 56);
    EXPECT_EQ(frame(cell.event), (ui::Rect{20, 14, 56, 28}));
    EXPECT_EQ(frame(cell.title), (ui::Rect{82, 14, 70, 28}));
    EXPECT_EQ(cell.title->font(), gfx::Font::systemFont(20, gfx::FontWeight::semibold));
    EXPECT_EQ(cell.title->textColor(), gfx::Color::white());
    EXPECT_EQ(cell.event->titleColor(ui::ControlState::normal), gfx::Color::white());
}

TEST(HeaderAndPickerCellsTest, aLongCaptionGivesWayAndTheSessionNameKeepsItsWidth) {
    FixedTextSizes sizes;
    auto cellPointer = std::make_shared<EventPickerCell>();
    auto& cell = *cellPointer;
    cell.event->setTitle("Practice 1", ui::ControlState::normal);
    cell.title->setText("Start time to be confirmed now");
    layOut(cell);
    EXPECT_EQ(frame(cell.event).width(), cell.event->intrinsicContentSize().width) << "the name is never cut";
    EXPECT_EQ(frame(cell.title).minX(), frame(cell.event).maxX() + 6);
    EXPECT_LE(frame(cell.title).maxX(), 370) << "the caption stays inside the margin";
}

TEST(HeaderAndPickerCellsTest, lapPickerKeepsThePlaceOfHiddenItems) {
    FixedTextSizes sizes;
    auto cellPointer = std::make_shared<LapPickerCell>();
    auto& cell = *cellPointer;
    cell.event->setText("Lap");
    cell.lap->setTitle("12", ui::ControlState::normal);
    cell.title->setText("of 57");
    layOut(cell);
    auto shown = std::vector{frame(cell.event), frame(cell.lap), frame(cell.title)};
    EXPECT_EQ(shown[1], (ui::Rect{56, 14, 36, 28}));
    EXPECT_EQ(shown[2].minX(), 98);

    cell.lap->setHidden(true);
    cell.title->setHidden(true);
    layOut(cell);
    EXPECT_EQ((std::vector{frame(cell.event), frame(cell.lap), frame(cell.title)}), shown);
}

}  // namespace
