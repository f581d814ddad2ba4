#include <gtest/gtest.h>

#include "CellLayoutSupport.h"
#include "cells/DriverCell.h"
#include "cells/DriverOfTheDayCell.h"

namespace {

void fill(DriverCell& cell) {
    cell.position->setText("1");
    cell.fromGridPosition->setText("from 1");
    cell.status->setText("Finished");
    cell.driver->setText("Max Verstappen");
    cell.constructor->setText("Red Bull Racing");
    cell.fastestLap->setText("Fastest lap: 1:36.236");
}

TEST(ResultCellsTest, driverRowPlacesPhotoNameColumnAndFigures) {
    FixedTextSizes sizes;
    auto cellPointer = std::make_shared<DriverCell>();
    auto& cell = *cellPointer;
    fill(cell);

    EXPECT_EQ(layOut(cell), 114);
    EXPECT_EQ(frame(cell.driverImage), (ui::Rect{20, 32, 50, 50}));
    EXPECT_EQ(frame(cell.status), (ui::Rect{85, 14, 80, 20}));
    EXPECT_EQ(frame(cell.driver), (ui::Rect{85, 36, 140, 20}));
    EXPECT_EQ(frame(cell.constructor).minY(), 58);
    EXPECT_EQ(frame(cell.fastestLap).minY(), 80);
    EXPECT_EQ(frame(cell.position), (ui::Rect{360, 36, 10, 20}));
    EXPECT_EQ(frame(cell.fromGridPosition), (ui::Rect{310, 58, 60, 20}));

    EXPECT_EQ(cell.fromGridPosition->textAlignment(), gfx::TextAlignment::center);
    EXPECT_EQ(cell.fastestLap->numberOfLines(), 0);
    EXPECT_EQ(cell.fastestLap->textColor(), gfx::Color::secondaryLabel());
    EXPECT_EQ(cell.position->font(), gfx::Font::systemFont(20, gfx::FontWeight::semibold));
    EXPECT_EQ(cell.status->textColor(), gfx::Color::systemRed());
    EXPECT_EQ(cell.driverImage->layer()->cornerRadius(), 25);
}

TEST(ResultCellsTest, longTextsWrapInTheMiddleColumnAndThePhotoStaysCentred) {
    FixedTextSizes sizes;
    auto cellPointer = std::make_shared<DriverCell>();
    auto& cell = *cellPointer;
    fill(cell);
    cell.position->setText("575");
    cell.fromGridPosition->setText("points");
    cell.driver->setText("Maximilian Emilian Verstappen van Lommel");
    cell.fastestLap->setText("Fastest lap: 1:36.236 Avg: 202.3 km/h");

    double height = layOut(cell);
    EXPECT_EQ(frame(cell.position), (ui::Rect{340, 36, 30, 20}));
    EXPECT_EQ(frame(cell.fromGridPosition), (ui::Rect{310, 58, 60, 20}));
    EXPECT_LE(frame(cell.driver).maxX(), 320);
    EXPECT_EQ(frame(cell.driver).height(), 40);
    EXPECT_EQ(frame(cell.fastestLap).height(), 40);
    EXPECT_EQ(height, 154);
    EXPECT_EQ(frame(cell.driverImage).midY(), 77);
}

TEST(ResultCellsTest, driverOfTheDayPutsPhotoAndNameUnderTheInfoHeader) {
    FixedTextSizes sizes;
    auto cellPointer = std::make_shared<DriverOfTheDayCell>();
    auto& cell = *cellPointer;
    cell.infoTitle->setText("Driver of the Day");
    cell.infoDescription->setText("Based on user polls");
    cell.driver->setText("Fernando Alonso");
    cell.constructor->setText("Aston Martin");

    EXPECT_EQ(layOut(cell), 134);
    EXPECT_EQ(frame(cell.infoTitle), (ui::Rect{20, 14, 350, 20}));
    EXPECT_EQ(frame(cell.driverImage), (ui::Rect{20, 70, 50, 50}));
    EXPECT_EQ(frame(cell.driver), (ui::Rect{85, 70, 150, 20}));
    EXPECT_EQ(frame(cell.constructor).minY(), 92);
    EXPECT_TRUE(cell.driverImage->layer()->masksToBounds());
}

}  // namespace
