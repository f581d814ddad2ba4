#include <gtest/gtest.h>

#include "CellLayoutSupport.h"
#include "cells/CircuitCell.h"
#include "cells/WeekendCell.h"

namespace {

void fill(CircuitCell& cell) {
    cell.day->setText("05");
    cell.month->setText("Mar");
    cell.round->setText("Round 1");
    cell.race->setText("Bahrain Grand Prix");
    cell.circuit->setText("Bahrain International Circuit");
    cell.location->setText("Sakhir, Bahrain");
}

TEST(SeasonAndScheduleCellsTest, circuitRowPutsFlagAndDateLeftOfTheRaceLines) {
    FixedTextSizes sizes;
    auto cellPointer = std::make_shared<CircuitCell>();
    auto& cell = *cellPointer;
    fill(cell);

    EXPECT_EQ(layOut(cell), 114);
    EXPECT_EQ(frame(cell.day), (ui::Rect{20, 36, 20, 20}));
    EXPECT_EQ(frame(cell.month).minY(), 58);
    EXPECT_EQ(frame(cell.month).midX(), frame(cell.day).midX());
    EXPECT_EQ(frame(cell.round), (ui::Rect{54, 14, 70, 20}));
    for (const auto& line : {cell.race, cell.circuit, cell.location}) EXPECT_EQ(frame(line).minX(), 54);
    EXPECT_EQ(frame(cell.location).minY(), 80);
    // The flag box: (body - 4) x 1.4 by (body - 4) x 1.1, centred on the day and the round line.
    EXPECT_NEAR(frame(cell.flag).width(), 18.2, 1e-9);
    EXPECT_NEAR(frame(cell.flag).height(), 14.3, 1e-9);
    EXPECT_NEAR(frame(cell.flag).midX(), frame(cell.day).midX(), 1e-9);
    EXPECT_NEAR(frame(cell.flag).midY(), 24, 1e-9);

    EXPECT_EQ(cell.round->textColor(), gfx::Color::systemRed());
    EXPECT_EQ(cell.month->textAlignment(), gfx::TextAlignment::center);
    EXPECT_EQ(cell.month->textColor(), gfx::Color::secondaryLabel());
    EXPECT_EQ(cell.day->font(), gfx::Font::systemFont(20, gfx::FontWeight::semibold));
}

TEST(SeasonAndScheduleCellsTest, countdownRoundLineLowersTheFlagHalfALineAndLongNamesWrap) {
    FixedTextSizes sizes;
    auto cellPointer = std::make_shared<CircuitCell>();
    auto& cell = *cellPointer;
    fill(cell);
    cell.round->setNumberOfLines(0);
    cell.round->setText("Round 1\nIn 3 days, 4 hours, 12 minutes");
    cell.race->setText("Formula 1 Gulf Air Bahrain Grand Prix 2023");

    EXPECT_EQ(layOut(cell), 154);
    EXPECT_NEAR(frame(cell.flag).midY(), 34, 1e-9);
    EXPECT_EQ(frame(cell.race).height(), 40);
    EXPECT_EQ(frame(cell.day).width(), 20);
    EXPECT_EQ(frame(cell.month).midX(), frame(cell.day).midX());
}

TEST(SeasonAndScheduleCellsTest, weekendHeaderIsTheInfoHeaderAlone) {
    FixedTextSizes sizes;
    auto cellPointer = std::make_shared<WeekendHeaderCell>();
    auto& cell = *cellPointer;
    cell.infoTitle->setText("Weekend Structure");
    cell.infoDescription->setText("The Bahrain GP weekend at a glance");

    EXPECT_EQ(layOut(cell), 70);
    EXPECT_EQ(frame(cell.infoTitle), (ui::Rect{20, 14, 350, 20}));
    EXPECT_EQ(frame(cell.infoDescription), (ui::Rect{20, 36, 350, 20}));
    EXPECT_EQ(cell.infoTitle->font(), gfx::Font::systemFont(22, gfx::FontWeight::semibold));
    EXPECT_EQ(cell.infoDescription->textColor(), gfx::Color::secondaryLabel());
}

TEST(SeasonAndScheduleCellsTest, scheduleRowUsesEightPointMargins) {
    FixedTextSizes sizes;
    auto cellPointer = std::make_shared<WeekendCell>();
    auto& cell = *cellPointer;
    cell.day->setText("03");
    cell.month->setText("Mar");
    cell.event->setText("Practice 1");
    cell.time->setText("14:30, Friday");

    EXPECT_EQ(layOut(cell), 58);
    EXPECT_EQ(frame(cell.day), (ui::Rect{20, 8, 20, 20}));
    EXPECT_EQ(frame(cell.month).midX(), 30);
    EXPECT_EQ(frame(cell.event), (ui::Rect{54, 8, 100, 20}));
    EXPECT_EQ(frame(cell.time), (ui::Rect{54, 30, 130, 20}));
    EXPECT_EQ(cell.event->font(), gfx::Font::systemFont(20, gfx::FontWeight::bold));

    // A session without a date keeps its name in the column of the others.
    auto undated = std::make_shared<WeekendCell>();
    undated->event->setText("Practice 2");
    undated->time->setText("TBC");
    layOut(*undated);
    EXPECT_EQ(frame(undated->event).minX(), 54);
    EXPECT_EQ(frame(undated->time).minX(), 54);
}

}  // namespace
